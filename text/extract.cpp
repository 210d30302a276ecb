#include "text/extract.h"

#include <algorithm>

#include "text/char_scan.h"
#include "text/url_coding.h"

namespace tfx {

using detail::CharScanner;
using detail::kNone;

namespace {

// Markers are written with "#引号" where the page has a double quote, so that they can be
// typed without escaping. `storage` holds the substituted marker when there is one.
std::string_view unquote_marker(const Text& marker, Text& storage) {
  static const Text kQuoteWord = cp936("#引号");
  // A short loop: markers are a few bytes and this runs for every field of every block.
  if (std::find(marker.begin(), marker.end(), '#') == marker.end()) return marker;
  storage = text_replace(marker, kQuoteWord, "\"", std::nullopt, std::nullopt, true);
  return storage;
}

// 0-based byte where a search starting at 1-based `pos` begins.
std::size_t skip_of(std::optional<int> pos) {
  return pos && *pos > 1 ? static_cast<std::size_t>(*pos - 1) : 0;
}

std::size_t find_from(std::string_view page, std::size_t skip, const detail::Needle& needle) {
  if (skip >= page.size()) return kNone;
  CharScanner scan(page, skip, needle);
  return scan.next(skip);
}

}  // namespace

Text text_between(const Text& page, const Text& left, const Text& right, std::optional<int> start,
                  bool ignore_case) {
  Text left_storage;
  Text right_storage;
  const std::string_view l = unquote_marker(left, left_storage);
  const std::string_view r = unquote_marker(right, right_storage);
  const detail::Needle left_needle(l, ignore_case, page.size());
  const std::size_t p = find_from(page, skip_of(start), left_needle);
  if (p == kNone) return {};
  const std::size_t c = p + l.size();
  const detail::Needle right_needle(r, ignore_case, page.size() - std::min(c, page.size()));
  const std::size_t q = find_from(page, c, right_needle);
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
  const detail::Needle left_needle(left, fold, page.size());
  const detail::Needle right_needle(right, fold, page.size());
  const std::string_view view(page);
  std::size_t pos = skip_of(options.start);
  for (;;) {
    const std::size_t p = find_from(view, pos, left_needle);
    if (p == kNone) break;
    const std::size_t c = p + left.size();
    const std::size_t q = find_from(view, c, right_needle);
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
