#include "web/curl_support.h"

#include <array>
#include <cstdio>
#include <mutex>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "web/url_parts.h"

namespace tfx::detail {

namespace {

bool is_host_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

struct CookieShare {
  CURLSH* share = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;
};

void lock_share(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<CookieShare*>(user)->locks[static_cast<std::size_t>(data)].lock();
}
void unlock_share(CURL*, curl_lock_data data, void* user) {
  static_cast<CookieShare*>(user)->locks[static_cast<std::size_t>(data)].unlock();
}

}  // namespace

void ensure_curl_ready() {
  static const bool ready = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)ready;
}

CURLSH* shared_cookie_store() {
  // Never cleaned up: worker threads may still be inside a transfer when the program ends,
  // and the process exit releases it anyway.
  static CookieShare* const store = [] {
    ensure_curl_ready();
    auto* s = new CookieShare;
    s->share = curl_share_init();
    if (s->share != nullptr) {
      curl_share_setopt(s->share, CURLSHOPT_LOCKFUNC, lock_share);
      curl_share_setopt(s->share, CURLSHOPT_UNLOCKFUNC, unlock_share);
      curl_share_setopt(s->share, CURLSHOPT_USERDATA, s);
      curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    return s;
  }();
  return store->share;
}

void SilenceWatch::attach(CURL* handle) {
  curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, &SilenceWatch::on_prereq);
  curl_easy_setopt(handle, CURLOPT_PREREQDATA, this);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &SilenceWatch::on_progress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
}

int SilenceWatch::on_prereq(void* self, char*, char*, int, int) {
  auto* watch = static_cast<SilenceWatch*>(self);
  watch->connected_ = true;
  watch->touch();
  return CURL_PREREQFUNC_OK;
}

int SilenceWatch::on_progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
  auto* watch = static_cast<SilenceWatch*>(self);
  if (!watch->connected_) return 0;
  // The server taking our request body counts as a sign of life as well.
  if (ulnow != watch->last_upload_) {
    watch->last_upload_ = ulnow;
    watch->touch();
  }
  if (Clock::now() - watch->last_activity_ < watch->limit_) return 0;
  watch->tripped_ = true;
  return 1;
}

std::optional<std::string> request_address(const Text& target_url) {
  const Text host = url_host(target_url);
  if (host.empty()) return std::nullopt;
  for (unsigned char c : host) {
    if (!is_host_byte(c)) return std::nullopt;
  }
  const bool secure = is_secure_url(target_url);
  int port = url_port(target_url);
  // A colon without digits reads as port 0, which the platform takes as the scheme's default.
  if (port == 0) port = secure ? 443 : 80;
  if (port < 0 || port > 65535) return std::nullopt;

  std::string address = secure ? "https://" : "http://";
  address += host;
  address += ':';
  address += std::to_string(port);
  for (unsigned char c : url_path(target_url)) {
    // '#' too: libcurl would cut the fragment off, yet it belongs to the object name sent.
    if (c <= 0x20 || c >= 0x7F || c == '#') {
      char coded[4];
      std::snprintf(coded, sizeof coded, "%%%02X", static_cast<unsigned>(c));
      address += coded;
    } else {
      address += static_cast<char>(c);
    }
  }
  return address;
}

bool is_secure_url(const std::string& url) {
  return text_lower(text_left(url, 5)) == "https";
}

std::string proxy_for_scheme(const std::string& proxy_list, bool secure) {
  const std::string scheme = secure ? "https" : "http";
  std::size_t pos = 0;
  while (pos < proxy_list.size()) {
    std::size_t end = proxy_list.find_first_of(" ;", pos);
    if (end == std::string::npos) end = proxy_list.size();
    const std::string entry = proxy_list.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty()) continue;
    const std::size_t eq = entry.find('=');
    if (eq == std::string::npos) return entry;
    if (text_lower(entry.substr(0, eq)) == scheme) return entry.substr(eq + 1);
  }
  return {};
}

std::string without_line_breaks(std::string value) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return value;
}

void prefer_large_pages(void* buffer, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (size < 2 * kHugePage) return;
  const auto start = reinterpret_cast<std::uintptr_t>(buffer);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (start + size) & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)buffer;
  (void)size;
#endif
}

void apply_common_options(CURL* handle, const TimeLimits& limits, SilenceWatch& watch) {
  // Transfers run on worker threads; signals would hit whichever thread they like.
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
  curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  watch.attach(handle);
}

}  // namespace tfx::detail
