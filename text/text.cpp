#include "text/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/char_scan.h"

namespace tfx {

using detail::CharScanner;
using detail::kNone;

namespace {

constexpr unsigned char kWide = 0xA1;  // both bytes of the full-width space

inline const unsigned char* bytes(const Text& t) {
  return reinterpret_cast<const unsigned char*>(t.data());
}

std::size_t skip_of(std::optional<int> start) {
  return start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
}

}  // namespace

namespace detail {

std::string_view trim_view(std::string_view t) {
  const auto* p = reinterpret_cast<const unsigned char*>(t.data());
  const std::size_t n = t.size();
  std::size_t begin = 0;
  for (;;) {
    if (begin < n && p[begin] == ' ') {
      ++begin;
    } else if (begin + 1 < n && p[begin] == kWide && p[begin + 1] == kWide) {
      begin += 2;
    } else {
      break;
    }
  }
  // The end is found from the back so that a long piece is not walked character by character.
  // A position right after a byte below 0x80 is always a character start, so the run of high
  // bytes in front of a point, counted back to such a byte (or to `begin`), tells by its parity
  // how the characters fall there.
  auto high_run_start = [&](std::size_t e) {
    while (e > begin && p[e - 1] >= 0x80) --e;
    return e;
  };
  std::size_t e = n;
  std::size_t run = high_run_start(e);  // [run, e): whole double-byte characters
  if (((e - run) & 1) != 0) return t.substr(begin, e - 1 - begin);  // incomplete last character
  for (;;) {
    while (e > run && p[e - 2] == kWide && p[e - 1] == kWide) e -= 2;
    if (e > run || e == begin) break;  // a character that is no space, or nothing left
    // p[e - 1] is below 0x80: a character of its own, or the second byte of one.
    run = high_run_start(e - 1);
    if (((e - 1 - run) & 1) != 0 || p[e - 1] != ' ') break;
    e -= 1;
  }
  return t.substr(begin, e - begin);
}

}  // namespace detail

int text_len(const Text& t) {
  return static_cast<int>(t.size());
}

int text_compare(const Text& a, const Text& b) {
  const int c = a.compare(b);  // char_traits<char>::compare orders bytes as unsigned
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Text text_left(const Text& t, int n) {
  if (n <= 0) return {};
  return t.substr(0, static_cast<std::size_t>(n));
}

Text text_right(const Text& t, int n) {
  if (n <= 0) return {};
  const auto k = std::min(t.size(), static_cast<std::size_t>(n));
  return t.substr(t.size() - k);
}

Text text_mid(const Text& t, int pos, int n) {
  if (pos < 1 || static_cast<std::size_t>(pos) > t.size() || n <= 0) return {};
  return t.substr(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(n));
}

int text_find(const Text& t, const Text& needle, std::optional<int> start, bool ignore_case) {
  const std::size_t skip = skip_of(start);
  if (skip >= t.size()) return -1;
  const detail::Needle nd(needle, ignore_case, t.size() - skip);
  CharScanner scan(t, skip, nd);
  const std::size_t hit = scan.next(skip);
  return hit == kNone ? -1 : static_cast<int>(hit + 1);
}

int text_find_last(const Text& t, const Text& needle, std::optional<int> start, bool ignore_case) {
  const std::size_t region = start ? std::min(t.size(), skip_of(start)) : t.size();
  if (region == 0) return -1;
  if (needle.empty()) return 1;
  const detail::Needle nd(needle, ignore_case, region);
  CharScanner scan(std::string_view(t).substr(0, region), 0, nd);
  std::size_t last = kNone;
  for (std::size_t hit = scan.next(0); hit != kNone; hit = scan.next(hit + 1)) last = hit;
  return last == kNone ? -1 : static_cast<int>(last + 1);
}

namespace {

// Changes the case of the one-byte letters first..last by `delta`; a double-byte character,
// its second byte included, is left as it is.
Text shift_ascii_case(const Text& t, char first, char last, int delta) {
  Text out = t;
  const std::size_t n = out.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(out[i]);
    if (b >= 0x80) {
      i += 2;
    } else {
      if (b >= first && b <= last) out[i] = static_cast<char>(b + delta);
      ++i;
    }
  }
  return out;
}

}  // namespace

Text text_upper(const Text& t) {
  return shift_ascii_case(t, 'a', 'z', -0x20);
}

Text text_lower(const Text& t) {
  return shift_ascii_case(t, 'A', 'Z', 0x20);
}

int text_to_int(const Text& t) {
  const unsigned char* p = bytes(t);
  const std::size_t n = t.size();
  std::size_t i = 0;
  // The ASCII byte a character stands for (full-width forms read as ASCII), or 0 for any
  // other character; `width` receives its length in bytes.
  auto next = [&](std::size_t& width) -> unsigned char {
    if (i >= n) return 0;
    if (p[i] < 0x80) {
      width = 1;
      return p[i];
    }
    width = 2;
    if (i + 1 >= n) return 0;
    if (p[i] == 0xA3 && p[i + 1] >= 0xA1 && p[i + 1] <= 0xFE)
      return static_cast<unsigned char>(p[i + 1] - 0x80);
    if (p[i] == kWide && p[i + 1] == kWide) return ' ';
    return 0;
  };
  std::size_t w = 0;
  unsigned char c = next(w);
  while (c == ' ' || (c >= '\t' && c <= '\r')) {
    i += w;
    c = next(w);
  }
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    i += w;
    c = next(w);
  }
  // Only port numbers are parsed; larger values saturate instead of overflowing.
  std::int64_t value = 0;
  while (c >= '0' && c <= '9') {
    value = std::min<std::int64_t>(value * 10 + (c - '0'), std::int64_t{1} << 31);
    i += w;
    c = next(w);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

Text text_trim(const Text& t) {
  return Text(detail::trim_view(t));
}

Text text_strip_spaces(const Text& t) {
  const unsigned char* p = bytes(t);
  const std::size_t n = t.size();
  Text out;
  out.reserve(n);
  for (std::size_t i = 0; i < n;) {
    if (p[i] >= 0x80) {
      if (i + 1 >= n) break;  // incomplete last character
      if (!(p[i] == kWide && p[i + 1] == kWide)) out.append(t, i, 2);
      i += 2;
    } else {
      if (p[i] != ' ') out.push_back(static_cast<char>(p[i]));
      ++i;
    }
  }
  return out;
}

Text text_replace(const Text& t, const Text& target, const Text& replacement,
                  std::optional<int> start, std::optional<int> count, bool match_case) {
  const std::size_t skip = skip_of(start);
  if (t.empty() || target.empty() || skip >= t.size() || (count && *count == 0)) return t;
  const std::size_t n = t.size();
  const std::size_t tl = target.size();
  std::optional<int> left = count;
  Text out;
  out.reserve(n);
  out.append(t, 0, skip);
  const detail::Needle nd(target, !match_case, n - skip);
  CharScanner scan(t, skip, nd);
  std::size_t pos = skip;  // a character start: the scan's position
  // Only a count that reaches 0 ends the replacing; a negative one never does.
  while (!(left && *left == 0)) {
    const std::size_t hit = scan.next(pos);
    if (hit == kNone) {
      // The scan walks on to the end. A one-byte target still fits at the last byte, so the
      // scan meets an incomplete last character there and drops it.
      if (tl == 1 && static_cast<unsigned char>(t[n - 1]) >= 0x80 && scan.at_char_start(n - 1)) {
        out.append(t, pos, n - 1 - pos);
        return out;
      }
      break;
    }
    out.append(t, pos, hit - pos);
    out.append(replacement);
    pos = hit + tl;
    scan.resync(pos);
    if (left && *left > 0) --*left;
  }
  out.append(t, pos, n - pos);
  return out;
}

TextArray text_split(const Text& t, const Text& separator) {
  TextArray out;
  if (t.empty()) return out;
  if (separator.empty()) {
    out.push_back(t);
    return out;
  }
  const std::size_t n = t.size();
  const detail::Needle nd(separator, false, n);
  CharScanner scan(t, 0, nd);
  std::size_t piece = 0;
  for (;;) {
    const std::size_t hit = scan.next(piece);
    // An incomplete last character ends the scan without being tried.
    if (hit == kNone || (hit == n - 1 && static_cast<unsigned char>(t[hit]) >= 0x80)) break;
    out.emplace_back(t, piece, hit - piece);
    piece = hit + separator.size();
    scan.resync(piece);
  }
  if (piece < n) out.emplace_back(t, piece, n - piece);
  return out;
}

Text text_of_code(int code) {
  const auto b = static_cast<char>(static_cast<unsigned>(code) & 0xFFu);
  if (b == 0) return {};
  return Text(1, b);
}

Text text_hex(int value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto v = static_cast<std::uint32_t>(value);
  char buf[8];
  int k = 8;
  do {
    buf[--k] = kDigits[v & 0xFu];
    v >>= 4;
  } while (v != 0);
  return Text(buf + k, static_cast<std::size_t>(8 - k));
}

Text text_spaces(int n) {
  if (n < 1) return {};
  return Text(static_cast<std::size_t>(n), ' ');
}

Bytes bytes_of_text(const Text& t) {
  return Bytes(t.begin(), t.end());
}

Text text_of_bytes(const Bytes& b) {
  const auto zero = std::find(b.begin(), b.end(), std::uint8_t{0});
  return Text(b.begin(), zero);
}

int bytes_length(const Bytes& b) {
  return static_cast<int>(b.size());
}

Bytes bytes_left(const Bytes& b, int n) {
  const auto k = static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(b.size())));
  return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(k));
}

Bytes bytes_concat(const Bytes& a, const Bytes& b) {
  Bytes out;
  out.reserve(a.size() + b.size());
  out.insert(out.end(), a.begin(), a.end());
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

bool bytes_equal(const Bytes& a, const Bytes& b) {
  return a == b;
}

Bytes bytes_zeroed(int n) {
  if (n <= 0) return {};
  return Bytes(static_cast<std::size_t>(n), 0);
}

int text_array_count(const TextArray& a) {
  return static_cast<int>(a.size());
}

const Text& text_array_at(const TextArray& a, int i) {
  return a[static_cast<std::size_t>(i - 1)];
}

void text_array_append(TextArray& a, const Text& t) {
  a.push_back(t);
}

void text_array_clear(TextArray& a) {
  a.clear();
}

}  // namespace tfx
