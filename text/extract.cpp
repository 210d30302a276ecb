#include "text/extract.h"

#include "text/char_scan.h"
#include "text/url_coding.h"

namespace tfx {

using detail::CharScanner;
using detail::kNone;

namespace {

// Markers are written with "#引号" where the page has a double quote, so that they can be
// typed without escaping.
Text unquote_marker(const Text& marker) {
  static const Text kQuoteWord = cp936("#引号");
  if (marker.find('#') == Text::npos) return marker;
  return text_replace(marker, kQuoteWord, "\"", std::nullopt, std::nullopt, true);
}

// 0-based byte where a search starting at 1-based `pos` begins.
std::size_t skip_of(std::optional<int> pos) {
  return pos && *pos > 1 ? static_cast<std::size_t>(*pos - 1) : 0;
}

std::size_t find_from(std::string_view page, std::size_t skip, std::string_view needle, bool fold) {
  if (skip >= page.size()) return kNone;
  CharScanner scan(page, skip, needle, fold);
  return scan.next(skip);
}

}  // namespace

Text text_between(const Text& page, const Text& left, const Text& right, std::optional<int> start,
                  bool ignore_case) {
  const Text l = unquote_marker(left);
  const Text r = unquote_marker(right);
  const std::size_t p = find_from(page, skip_of(start), l, ignore_case);
  if (p == kNone) return {};
  const std::size_t c = p + l.size();
  const std::size_t q = find_from(page, c, r, ignore_case);
  if (q == kNone) return {};
  // An empty right marker is "found" at byte 1, before c: that piece is empty.
  if (q <= c) return {};
  return page.substr(c, q - c);
}

int text_between_all(const Text& page, const Text& left, const Text& right, TextArray& out,
                     const BetweenAllOptions& options) {
  out.clear();
  // An empty left marker is found at byte 1 again and again, so the loop below would never
  // move on; there is no piece to find.
  if (left.empty()) return 0;
  const bool fold = !options.match_case;
  const std::string_view view(page);
  std::size_t pos = skip_of(options.start);
  for (;;) {
    const std::size_t p = find_from(view, pos, left, fold);
    if (p == kNone) break;
    const std::size_t c = p + left.size();
    const std::size_t q = find_from(view, c, right, fold);
    if (q == kNone) break;
    if (q <= c) break;  // an empty piece (or an empty right marker found at byte 1)
    const std::string_view content = detail::trim_view(view.substr(c, q - c));
    if (content.empty()) break;
    if (options.length_cap == 0 || static_cast<long long>(content.size()) <= options.length_cap) {
      Text& item = out.emplace_back();
      item.reserve((options.include_left ? left.size() : 0) + options.prefix.size() +
                   content.size() + options.suffix.size() +
                   (options.include_right ? right.size() : 0));
      if (options.include_left) item.append(left);
      item.append(options.prefix);
      item.append(content);
      item.append(options.suffix);
      if (options.include_right) item.append(right);
    }
    // The next left marker may begin inside the right marker just found.
    pos = q;
  }
  return static_cast<int>(out.size());
}

}  // namespace tfx
