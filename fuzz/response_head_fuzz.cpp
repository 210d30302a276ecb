// A response head, as a server may send it, turned into the cookies it sets and folded into a
// held cookie list, the way every exchange with cookies does it.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "web/cookies.h"
#include "web/curl_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tfx;
  FuzzedDataProvider in(data, size);
  const bool ascii = in.ConsumeBool();
  Text held = fuzz::take_text(in, 64);
  std::string raw = in.ConsumeRemainingBytesAsString();
  if (ascii) {
    static const std::string kAlphabet = "Set-Cookie: a=1;\r\nsET-cOOKIE:x ";
    raw = fuzz::folded(raw, kAlphabet);
  }

  // The head as the exchange gathers it: one line per line the server sent, its line end and
  // anything after a zero byte cut off, each line ended with CR LF.
  Text head;
  int cookie_lines = 0;
  std::size_t from = 0;
  while (from < raw.size()) {
    std::size_t end = raw.find('\n', from);
    if (end == std::string::npos) end = raw.size();
    std::string line = raw.substr(from, end - from);
    from = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    line = fuzz::text_of(line);
    if (line.empty()) continue;
    head += line + "\r\n";
  }
  head = text_replace(head, "Set-Cookie", "Set-Cookie", std::nullopt, std::nullopt, false);
  for (const Text& line : text_split(head, "\r\n")) {
    if (text_find(line, "Set-Cookie") != -1) ++cookie_lines;
  }

  Text returned = detail::returned_cookies_of(head);
  if (ascii) {
    // One value per Set-Cookie line, none holding a ";" or a line break of its own. (With
    // other bytes a line that ends in the first byte of a double-byte character runs on into
    // the next one, as the character scan reads it; the exchange never sends a line break
    // from a cookie value, so that stays a matter of the value alone.)
    FUZZ_CHECK(returned.find('\n') == Text::npos);
    int separators = 0;
    for (char c : returned) separators += c == ';';
    FUZZ_CHECK(cookie_lines == 0 ? returned.empty() : separators == cookie_lines - 1);
  }
  const Text merged = merge_cookies(held, returned);
  FUZZ_CHECK(merged == held);
  return 0;
}
