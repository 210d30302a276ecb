#include <string>

#include "web/curl_support.h"
#include "web/http_exchange.h"

namespace tfx {

namespace {

using detail::EasyHandle;
using detail::HeaderList;
using detail::SilenceWatch;

struct Delivery {
  Delivery(const ByteSink& s, std::chrono::milliseconds stall) : sink(s), watch(stall) {}

  const ByteSink& sink;
  SilenceWatch watch;
  std::uint64_t bytes = 0;
  bool sink_failed = false;
};

std::size_t on_body(char* data, std::size_t, std::size_t n, void* user) {
  auto* out = static_cast<Delivery*>(user);
  out->watch.touch();
  if (n == 0) return 0;
  bool taken = false;
  try {
    taken = out->sink(data, n);
  } catch (...) {
    // A sink that throws has refused the bytes; the exception must not cross libcurl.
    taken = false;
  }
  if (!taken) {
    out->sink_failed = true;
    return 0;
  }
  out->bytes += n;
  return n;
}

std::size_t on_head(char*, std::size_t, std::size_t n, void* user) {
  static_cast<Delivery*>(user)->watch.touch();
  return n;
}

DownloadOutcome download(const Text& url, const ByteSink& sink, const TimeLimits& limits) {
  DownloadOutcome outcome;
  detail::ensure_curl_ready();
  EasyHandle easy;
  if (!easy) {
    outcome.error = curl_easy_strerror(CURLE_FAILED_INIT);
    return outcome;
  }
  const std::optional<std::string> address = detail::request_address(url);
  if (!address) {
    outcome.error = curl_easy_strerror(CURLE_URL_MALFORMAT);
    return outcome;
  }
  CURL* const h = easy.get();
  Delivery delivery(sink, limits.stall);
  HeaderList headers;
  // The one header of its own; the second line keeps libcurl from adding another when a
  // proxy is in use.
  if (!headers.append("Accept: */*") || !headers.append("Proxy-Connection:")) {
    outcome.error = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    return outcome;
  }
  char error_text[CURL_ERROR_SIZE] = {};
  detail::apply_common_options(h, limits, delivery.watch);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_text);
  curl_easy_setopt(h, CURLOPT_URL, address->c_str());
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(detail::kMaxRedirects));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &delivery);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_head);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &delivery);
  // No CURLOPT_PROXY: the proxy settings of the environment apply to downloads.

  const CURLcode result = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &outcome.status);
  outcome.bytes = delivery.bytes;
  outcome.sink_failed = delivery.sink_failed;
  outcome.complete = result == CURLE_OK;
  if (delivery.watch.tripped()) {
    outcome.error = "Operation timed out: no data received for " +
                    std::to_string(limits.stall.count()) + " milliseconds";
  } else if (result != CURLE_OK) {
    outcome.error = error_text[0] != '\0' ? error_text : curl_easy_strerror(result);
  }
  return outcome;
}

}  // namespace

DownloadOutcome download_stream(const Text& url, const ByteSink& sink) {
  return download_stream(url, sink, default_time_limits());
}

DownloadOutcome download_stream(const Text& url, const ByteSink& sink, const TimeLimits& limits) {
  try {
    return download(url, sink, limits);
  } catch (...) {
    DownloadOutcome outcome;
    outcome.error = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    return outcome;
  }
}

Bytes download_bytes(const Text& url) {
  Bytes data;
  download_stream(url, [&data](const char* bytes, std::size_t size) {
    data.insert(data.end(), bytes, bytes + size);
    return true;
  });
  return data;
}

}  // namespace tfx
