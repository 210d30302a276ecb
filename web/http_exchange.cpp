#include "web/http_exchange.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "text/extract.h"
#include "web/cookies.h"
#include "web/curl_support.h"
#include "web/url_parts.h"

namespace tfx {

namespace {

using detail::EasyHandle;
using detail::HeaderList;
using detail::SilenceWatch;

// A head beyond this is not a web server talking; the exchange then fails.
constexpr std::size_t kMaxHeadBytes = std::size_t{1} << 20;

const Text& default_agent() {
  static const Text agent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
  return agent;
}

// What one response leaves behind: its head and its body. The body is held as Bytes for
// http_exchange and as Text for fetch_text, which thus never copies a page once more.
template <class Body>
struct Reception {
  Reception(CURL* handle, std::chrono::milliseconds stall) : easy(handle), watch(stall) {}

  void reset() {
    body.clear();
    head.clear();
    too_large = false;
    watch.reset();
  }

  CURL* easy;
  Body body;
  Text head;
  bool too_large = false;
  SilenceWatch watch;
};

template <class Body>
std::size_t on_body(char* data, std::size_t, std::size_t n, void* user) {
  auto* in = static_cast<Reception<Body>*>(user);
  in->watch.touch();
  if (n > kMaxBodyBytes - in->body.size()) {
    in->too_large = true;
    return 0;
  }
  try {
    if (in->body.empty()) {
      // One allocation for a body of announced length instead of a chain of regrowths.
      curl_off_t announced = -1;
      curl_easy_getinfo(in->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
      if (announced > static_cast<curl_off_t>(kMaxBodyBytes)) {
        in->too_large = true;
        return 0;
      }
      if (announced > 0) {
        in->body.reserve(static_cast<std::size_t>(announced));
        detail::prefer_large_pages(in->body.data(), in->body.capacity());
      }
    }
    // Same element size: this is one block copy, not a converting loop.
    const auto* first = reinterpret_cast<const typename Body::value_type*>(data);
    in->body.insert(in->body.end(), first, first + n);
  } catch (...) {
    in->too_large = true;
    return 0;
  }
  return n;
}

template <class Body>
std::size_t on_head(char* data, std::size_t, std::size_t n, void* user) {
  auto* in = static_cast<Reception<Body>*>(user);
  in->watch.touch();
  std::string_view line(data, n);
  // Each response starts over: interim answers, proxy tunnels and redirects before the final
  // response are not part of the head the caller sees.
  if (line.starts_with("HTTP/")) in->head.clear();
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty()) return n;
  line = line.substr(0, line.find('\0'));
  if (in->head.size() + line.size() + 2 > kMaxHeadBytes) return 0;
  try {
    in->head.append(line);
    in->head.append("\r\n");
  } catch (...) {
    return 0;
  }
  return n;
}

// The header lines as libcurl takes them. Every line the caller wrote is sent as written; a
// blank value is spelled "Name;" because libcurl reads "Name:" as "drop this header". The
// caller's Cookie and Authorization lines are meant for the host they asked, not for one a
// redirect leads to.
HeaderList request_headers(const Text& block, bool drop_credentials) {
  HeaderList list;
  auto add = [&list](const std::string& line) {
    if (!list.append(line)) throw std::bad_alloc();
  };
  // Names of the lines sent, lower-cased and as they open the line: how libcurl matches its own.
  std::vector<std::string> sent;
  const TextArray lines = text_split(block, "\r\n");
  for (int i = 1; i <= text_array_count(lines); ++i) {
    const std::string line = detail::without_line_breaks(text_array_at(lines, i));
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) continue;  // not a header line at all
    const std::string name = text_trim(line.substr(0, colon));
    if (drop_credentials && (text_lower(name) == "cookie" || text_lower(name) == "authorization")) {
      continue;
    }
    const bool blank = line.find_first_not_of(" \t", colon + 1) == std::string::npos;
    add(blank ? line.substr(0, colon) + ";" : line);
    sent.push_back(text_lower(line.substr(0, colon)));
  }
  // Lines libcurl would add of its own accord; the request carries only the caller's. A name
  // that merely appears inside another line's value does not count as sent.
  for (const std::string own : {"Accept", "Content-Type", "Expect", "Proxy-Connection"}) {
    if (std::find(sent.begin(), sent.end(), text_lower(own)) == sent.end()) add(own + ":");
  }
  return list;
}

// "scheme://host:port" of an address, for telling whether a redirect leaves the first host.
// The port is always spelled out: a Location naming the same host usually leaves it implicit.
std::string origin_of(const std::string& address) {
  const bool secure = detail::is_secure_url(address);
  int port = url_port(address);
  if (port == 0) port = secure ? 443 : 80;  // a colon without digits, as request_address reads it
  return (secure ? "https://" : "http://") + url_host(address) + ":" + std::to_string(port);
}

bool is_web_address(const std::string& address) {
  const Text lower = text_lower(text_left(address, 8));
  return lower.starts_with("http://") || lower == "https://";
}

}  // namespace

Text detail::returned_cookies_of(const Text& head) {
  static const Text kSetCookie = "Set-Cookie";
  static const Text kSetCookieColon = "Set-Cookie:";
  Text cookies;
  const TextArray lines = text_split(head, "\r\n");
  for (int i = 1; i <= text_array_count(lines); ++i) {
    const Text& line = text_array_at(lines, i);
    if (text_find(line, kSetCookie) == -1) continue;
    // The attributes after the first ";" (path, expiry, domain) are not part of the cookie.
    const Text value =
        text_find(line, ";") != -1
            ? text_trim(text_between(line, kSetCookieColon, ";"))
            : text_trim(text_replace(line, kSetCookieColon, {}, std::nullopt, std::nullopt, false));
    cookies += value;
    cookies += "; ";
  }
  return text_left(cookies, text_len(cookies) - 2);
}

namespace {

template <class Body>
Body exchange(const Text& target_url, const ExchangeOptions& options, const TimeLimits& limits) {
  const int verb_code = options.verb_code.value_or(0);
  const bool post = verb_code == 1;
  const bool secure = detail::is_secure_url(target_url);
  const Text agent =
      exchange_agent(options.extra_headers != nullptr ? *options.extra_headers : Text{});

  detail::ensure_curl_ready();
  EasyHandle easy;
  if (!easy) return {};
  CURL* const h = easy.get();

  // The header block: the caller's lines completed with the defaults, exact case tests.
  Text block = options.extra_headers != nullptr ? *options.extra_headers : Text{};
  if (block.empty()) {
    block = "Accept: */*";
  } else if (text_find(block, "Accept:") == -1) {
    block += "\r\nAccept: */*";
  }
  if (text_find(block, "Accept-Language:") == -1) block += "\r\nAccept-Language: zh-cn";
  if (text_find(block, "Content-Type:") == -1) {
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  if (options.cookies != nullptr && !options.cookies->empty()) {
    block += "\r\nCookie: " + *options.cookies;
  }
  if (options.extra_headers != nullptr) *options.extra_headers = block;

  Bytes scratch_body;
  Bytes& body_bytes = options.body_bytes != nullptr ? *options.body_bytes : scratch_body;
  if (verb_code != 0 && body_bytes.empty()) {
    body_bytes = bytes_of_text(options.body_text.value_or(Text{}));
  }
  // A GET with nothing to carry goes out as a plain GET; a POST always states its length.
  bool send_body = verb_code != 0 && (post || !body_bytes.empty());

  Reception<Body> in(h, limits.stall);
  detail::apply_common_options(h, limits, in.watch);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body<Body>);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &in);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_head<Body>);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &in);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_USERAGENT, detail::without_line_breaks(agent).c_str());
  curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  // The object name goes out as dissected, dot segments and all.
  curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
  // Redirects are followed here, one hop at a time, so that each hop gets the proxy its own
  // scheme calls for.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  // Each hop on a connection of its own: libcurl counts its retries of a kept connection that
  // the server has closed over the whole life of the handle, and fails the sixth such hop.
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  // Never the environment's proxy or its exceptions: the caller's proxy or a direct line.
  curl_easy_setopt(h, CURLOPT_NOPROXY, "");
  // The tunnel request to a proxy has lines of its own, apart from the caller's; libcurl's
  // "Proxy-Connection: Keep-Alive" is not one the request should carry.
  HeaderList proxy_headers;
  if (!proxy_headers.append("Proxy-Connection:")) return {};
  curl_easy_setopt(h, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
  curl_easy_setopt(h, CURLOPT_PROXYHEADER, proxy_headers.get());
  if (options.cookies == nullptr) {
    curl_easy_setopt(h, CURLOPT_SHARE, detail::shared_cookie_store());
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
  }
  std::string proxy_list;
  if (options.proxy_server)
    proxy_list = secure ? *options.proxy_server : "http=" + *options.proxy_server;

  const std::optional<std::string> first_address = detail::request_address(target_url);
  if (first_address) {
    const std::string first_origin = origin_of(*first_address);
    std::string address = *first_address;
    HeaderList headers = request_headers(block, false);
    bool credentials_dropped = false;
    for (int hop = 0;; ++hop) {
      curl_easy_setopt(h, CURLOPT_URL, address.c_str());
      const std::string proxy =
          detail::proxy_for_scheme(proxy_list, detail::is_secure_url(address));
      curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
      if (!credentials_dropped && origin_of(address) != first_origin) {
        headers = request_headers(block, true);
        credentials_dropped = true;
      }
      curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
      if (send_body) {
        // Never a null pointer: libcurl would then read the body from stdin.
        static const char kNothing[] = "";
        curl_easy_setopt(
            h, CURLOPT_POSTFIELDS,
            body_bytes.empty() ? kNothing : reinterpret_cast<const char*>(body_bytes.data()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(body_bytes.size()));
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, post ? nullptr : "GET");
      } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
      }

      in.reset();
      const CURLcode result = curl_easy_perform(h);
      // A failed read keeps what arrived; an oversized body is dropped below.
      if (result != CURLE_OK || options.no_redirect || hop == detail::kMaxRedirects) break;
      char* next = nullptr;
      if (curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next) != CURLE_OK || next == nullptr) break;
      if (!is_web_address(next)) break;
      long status = 0;
      curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
      if (status == 304) break;  // "not modified" names no other place to go
      // As browsers do: 301, 302 and 303 are answered with a plain GET, 307 and 308 repeat
      // the request as it was.
      if (status == 301 || status == 302 || status == 303) send_body = false;
      address = next;
    }
  }
  if (in.too_large) in.body.clear();

  Text head = text_replace(in.head, "Set-Cookie", "Set-Cookie", std::nullopt, std::nullopt, false);
  Text returned = detail::returned_cookies_of(head);
  if (options.response_head != nullptr) *options.response_head = head;
  if (options.cookies != nullptr) merge_cookies(*options.cookies, returned);
  if (options.returned_cookies != nullptr) *options.returned_cookies = returned;
  return std::move(in.body);
}

}  // namespace

namespace {
std::atomic<std::chrono::milliseconds::rep> default_connect_ms{TimeLimits{}.connect.count()};
std::atomic<std::chrono::milliseconds::rep> default_stall_ms{TimeLimits{}.stall.count()};
}  // namespace

TimeLimits default_time_limits() {
  return {std::chrono::milliseconds(default_connect_ms.load()),
          std::chrono::milliseconds(default_stall_ms.load())};
}

void set_default_time_limits(const TimeLimits& limits) {
  default_connect_ms = limits.connect.count();
  default_stall_ms = limits.stall.count();
}

Bytes http_exchange(const Text& target_url, const ExchangeOptions& options) {
  return http_exchange(target_url, options, default_time_limits());
}

Bytes http_exchange(const Text& target_url, const ExchangeOptions& options,
                    const TimeLimits& limits) {
  try {
    return exchange<Bytes>(target_url, options, limits);
  } catch (...) {
    // Only memory exhaustion gets here; it ends the exchange like any other failure.
    return {};
  }
}

Text header_value(const Text& header_line) {
  const int colon = text_find(header_line, ":");
  if (colon == -1) return {};
  return text_trim(text_right(header_line, text_len(header_line) - colon));
}

Text exchange_agent(const Text& extra_headers) {
  if (text_find(extra_headers, "User-Agent:", std::nullopt, true) == -1) return default_agent();
  Text agent = text_trim(text_between(extra_headers, "User-Agent:", "\r\n"));
  if (agent.empty()) agent = header_value(extra_headers);
  return agent;
}

Text fetch_text(const Text& target_url) {
  try {
    // The body as text up to its first zero byte, as text_of_bytes would give it.
    Text page = exchange<Text>(target_url, ExchangeOptions{}, default_time_limits());
    page.resize(std::min(page.size(), page.find('\0')));
    return page;
  } catch (...) {
    return {};
  }
}

}  // namespace tfx
