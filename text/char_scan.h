// Searching a code page 936 text by character, shared by the text primitives and the marker
// extraction. Not part of the interface other modules use.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tfx::detail {

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

inline constexpr bool is_ascii_letter(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Maps A-Z to a-z and leaves every other byte alone: the only folding the text layer knows.
inline constexpr std::array<unsigned char, 256> kFold = [] {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i)
    t[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
  return t;
}();

inline bool equal_folded(const unsigned char* a, const unsigned char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (kFold[a[i]] != kFold[b[i]]) return false;
  return true;
}

// How often a byte turns up in the pages this program reads (HTML markup around Chinese
// text), on a rough scale of 1 (rare) to 5 (everywhere). Searches look for the needle's
// rarest byte first, so that few candidates need a full comparison.
inline constexpr std::array<unsigned char, 256> kCommonness = [] {
  std::array<unsigned char, 256> t{};
  for (int b = 0; b < 256; ++b) {
    unsigned char c = 3;  // digits, punctuation, and every byte of double-byte characters
    if (b >= 'A' && b <= 'Z') c = 1;
    t[b] = c;
  }
  for (const char* s = " <>\"=/\n"; *s != 0; ++s) t[static_cast<unsigned char>(*s)] = 5;
  for (const char* s = "etaoinsrhldcup"; *s != 0; ++s) t[static_cast<unsigned char>(*s)] = 4;
  for (const char* s = "kvwybgf"; *s != 0; ++s) t[static_cast<unsigned char>(*s)] = 2;
  for (const char* s = "xzqj"; *s != 0; ++s) t[static_cast<unsigned char>(*s)] = 1;
  return t;
}();

// First byte in [p, end) equal to a or b, or nullptr.
inline const unsigned char* find_either(const unsigned char* p, const unsigned char* end,
                                        unsigned char a, unsigned char b) {
  // Short stretches (fields inside a block) are not worth a call into memchr.
  if (a == b && end - p >= 512)
    return static_cast<const unsigned char*>(std::memchr(p, a, end - p));
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(static_cast<char>(a));
  const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
  // Two blocks of 16 per round keep the loop branch off the critical path.
  for (; end - p >= 32; p += 32) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i hx = _mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb));
    const __m128i hy = _mm_or_si128(_mm_cmpeq_epi8(y, va), _mm_cmpeq_epi8(y, vb));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hx)) |
                      (static_cast<unsigned>(_mm_movemask_epi8(hy)) << 16);
    if (mask != 0) return p + __builtin_ctz(mask);
  }
  for (; end - p >= 16; p += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)));
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
#endif
  for (; p < end; ++p)
    if (*p == a || *p == b) return p;
  return nullptr;
}

// A needle prepared for searching: whether letters fold, and which of its bytes is probed for
// first (the rarest one, in both case forms when it is a folded letter). Preparing it once
// serves every search for the same marker.
struct Needle {
  Needle(std::string_view needle, bool fold_letters)
      : bytes(reinterpret_cast<const unsigned char*>(needle.data())), size(needle.size()) {
    // Probing cost of each byte: a folded letter is probed in both case forms.
    static constexpr auto kCost = [] {
      std::array<std::array<unsigned char, 256>, 2> t{};
      for (int b = 0; b < 256; ++b) {
        t[0][b] = kCommonness[b];
        const bool letter = is_ascii_letter(static_cast<unsigned char>(b));
        t[1][b] = static_cast<unsigned char>(kCommonness[b] + (letter ? kCommonness[b ^ 0x20] : 0));
      }
      return t;
    }();
    const auto& cost = kCost[fold_letters ? 1 : 0];
    const unsigned lowest = fold_letters ? 2 : 1;  // nothing can be rarer than this
    bool letters = false;
    unsigned best = 100;
    for (std::size_t i = 0; i < size; ++i) {
      const unsigned char b = bytes[i];
      letters = letters || is_ascii_letter(b);
      if (cost[b] < best) {
        best = cost[b];
        anchor = i;
        if (best == lowest && letters) break;  // the rest only decides `letters`
      }
    }
    fold = fold_letters && letters;
    if (size > 0) {
      const unsigned char b = bytes[anchor];
      const bool both_cases = fold && is_ascii_letter(b);
      anchor_a = both_cases ? kFold[b] : b;
      anchor_b = both_cases ? static_cast<unsigned char>(kFold[b] - 0x20) : b;
    }
  }

  const unsigned char* bytes;
  std::size_t size;
  bool fold = false;
  std::size_t anchor = 0;
  unsigned char anchor_a = 0;
  unsigned char anchor_b = 0;
};

// Finds a needle at character starts of a scan that begins at `region_start`.
//
// Walking every character would cost a branch per byte. Instead candidates come from memchr /
// memmem and only their alignment is checked: the byte after any byte below 0x80 always starts
// a character (such a byte is either a character of its own or a second byte), so only the run
// of high bytes just in front of a candidate decides, by its parity, whether the candidate is a
// first or a second byte. `known_` is a character start at or before every later candidate,
// which bounds the backward look and keeps the whole search linear.
class CharScanner {
 public:
  CharScanner(std::string_view hay, std::size_t region_start, const Needle& needle)
      : p_(reinterpret_cast<const unsigned char*>(hay.data())),
        n_(hay.size()),
        nd_(needle),
        known_(region_start) {}

  // True when `pos` is a character start of the scan. Positions are asked in rising order.
  bool at_char_start(std::size_t pos) {
    if (pos < known_) return false;  // inside a match or character already stepped over
    std::size_t j = pos;
    while (j > known_ && p_[j - 1] >= 0x80) --j;
    const bool start = ((pos - j) & 1) == 0;
    known_ = start ? pos : pos + 1;
    return start;
  }

  // Declares `pos` a character start, e.g. the byte after a match the scan has stepped over.
  void resync(std::size_t pos) { known_ = pos; }

  // First match at a character start at or after `from` (which must not precede a position
  // asked before). The needle must fit wholly inside the text. kNone when there is none.
  std::size_t next(std::size_t from) {
    // An empty needle is found at the text's first byte, wherever the region starts: the
    // percent decoding and the marker arithmetic of the pages are built on that.
    if (nd_.size == 0) return from < n_ ? 0 : kNone;
    if (n_ < nd_.size || from > n_ - nd_.size) return kNone;
    const std::size_t last = n_ - nd_.size;  // last candidate where the needle still fits
    std::size_t m = from;
    // Over long stretches memmem's own skipping beats probing one byte at a time.
    while (!nd_.fold && m <= last && last - m >= kLongStretch) {
      const void* hit = memmem(p_ + m, n_ - m, nd_.bytes, nd_.size);
      if (hit == nullptr) return kNone;
      const auto h = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - p_);
      if (at_char_start(h)) return h;
      m = h + 1;
    }
    while (m <= last) {
      const unsigned char* hit =
          find_either(p_ + m + nd_.anchor, p_ + last + nd_.anchor + 1, nd_.anchor_a, nd_.anchor_b);
      if (hit == nullptr) return kNone;
      const auto h = static_cast<std::size_t>(hit - p_) - nd_.anchor;
      const bool equal = nd_.fold ? equal_folded(p_ + h, nd_.bytes, nd_.size)
                                  : std::memcmp(p_ + h, nd_.bytes, nd_.size) == 0;
      if (equal && at_char_start(h)) return h;
      m = h + 1;
    }
    return kNone;
  }

 private:
  static constexpr std::size_t kLongStretch = 4096;
  const unsigned char* p_;
  std::size_t n_;
  const Needle& nd_;
  std::size_t known_;
};

// Leading and trailing ASCII and full-width spaces removed, scanning by character from the
// start of `t`; an incomplete last character is cut off together with nothing else.
std::string_view trim_view(std::string_view t);

}  // namespace tfx::detail
