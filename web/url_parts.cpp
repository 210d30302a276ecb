#include "web/url_parts.h"

#include "text/extract.h"

namespace tfx {

Text url_host(const Text& target_url, bool keep_port) {
  Text url = text_lower(target_url);
  if (text_right(url, 1) != "/") url += "/";
  Text marker = "https://";
  if (text_left(url, 8) != marker) {
    marker = "http://";
    if (text_find(url, marker) == -1) url = marker + url;
  }
  Text host = text_between(url, marker, "/");
  if (!keep_port) {
    const int colon = text_find(host, ":");
    if (colon != -1) host = text_left(host, colon - 1);
  }
  return host;
}

int url_port(const Text& target_url) {
  const Text host = url_host(target_url, true);
  const int colon = text_find_last(host, ":");
  if (colon != -1) return text_to_int(text_right(host, text_len(host) - colon));
  return text_lower(text_left(target_url, 5)) == "https" ? 443 : 80;
}

Text url_path(const Text& target_url) {
  const Text host = url_host(target_url);
  const int a = text_find(target_url, host, std::nullopt, true);
  const int b = text_find(target_url, "/", a, true);
  if (b == -1) return "/";
  return text_right(target_url, text_len(target_url) - b + 1);
}

}  // namespace tfx
