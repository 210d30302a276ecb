// URL dissection, and the request address made from it, for any text typed or served.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "web/curl_support.h"
#include "web/url_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tfx;
  FuzzedDataProvider in(data, size);
  const bool fold = in.ConsumeBool();
  Text url = fuzz::text_of(in.ConsumeRemainingBytesAsString());
  if (fold) {
    // Scheme, port and path characters, and what a typed box might slip in.
    static const std::string kAlphabet = "hHtTpPsS:/.0189a@?#%\\ \r\n\x7F\xD5";
    url = fuzz::folded(url, kAlphabet);
    if (!url.empty() && url[0] == 'h') url = "http://" + url;
  }

  const Text host = url_host(url);
  const Text host_and_port = url_host(url, true);
  FUZZ_CHECK(host_and_port.compare(0, host.size(), host) == 0);
  (void)url_port(url);
  const Text path = url_path(url);
  FUZZ_CHECK(!path.empty() && path[0] == '/');

  // What goes to the network is one well-formed absolute address: a plain host name, a port
  // in range, and a path of printable ASCII only, so nothing a page or a box holds can end the
  // request line or start a header.
  const std::optional<std::string> address = detail::request_address(url);
  if (!address) return 0;
  const std::string& a = *address;
  const std::size_t scheme_end = a.find("://");
  FUZZ_CHECK(scheme_end != std::string::npos);
  FUZZ_CHECK(a.compare(0, scheme_end, "http") == 0 || a.compare(0, scheme_end, "https") == 0);
  for (unsigned char c : a) FUZZ_CHECK(c > 0x20 && c < 0x7F);
  const std::size_t authority = scheme_end + 3;
  const std::size_t path_start = a.find('/', authority);
  FUZZ_CHECK(path_start != std::string::npos);
  const std::string host_port = a.substr(authority, path_start - authority);
  const std::size_t colon = host_port.rfind(':');
  FUZZ_CHECK(colon != std::string::npos && colon > 0);
  FUZZ_CHECK(host_port.substr(0, colon) == host);
  for (char c : host_port.substr(0, colon)) {
    FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
               c == '_');
  }
  const std::string port = host_port.substr(colon + 1);
  FUZZ_CHECK(!port.empty() && port.size() <= 5);
  for (char c : port) FUZZ_CHECK(c >= '0' && c <= '9');
  FUZZ_CHECK(std::stoi(port) >= 1 && std::stoi(port) <= 65535);
  return 0;
}
