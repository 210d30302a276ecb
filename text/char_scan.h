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

// Markers are short: a loop beats a call into memcmp.
inline bool equal_exact(const unsigned char* a, const unsigned char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// How often a byte turns up in the pages this program reads (HTML markup around Chinese
// text), on a rough scale of 1 (rare) to 5 (everywhere). Long searches probe for the needle's
// two rarest bytes, so that few candidates need a full comparison.
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

// A needle prepared for searching. Candidates are positions where two of its bytes (the
// probes) stand at the right distance; only those are compared in full. Over a long text the
// probes are its two rarest bytes; over a short one choosing would cost more than it saves, and
// the first and last bytes are probed. A folded letter probes as (byte | 0x20) == lower case,
// which holds for exactly its two case forms.
struct Needle {
  // `hay_size`: how far the search may run.
  Needle(std::string_view needle, bool fold_letters, std::size_t hay_size)
      : bytes(reinterpret_cast<const unsigned char*>(needle.data())), size(needle.size()) {
    bool letters = false;
    if (fold_letters)
      for (std::size_t i = 0; i < size && !letters; ++i) letters = is_ascii_letter(bytes[i]);
    fold = fold_letters && letters;
    if (size == 0) return;
    probe[0] = 0;
    probe[1] = size - 1;
    if (hay_size > kShortHay && size > 2) pick_rare_probes();
    for (int k = 0; k < 2; ++k) {
      const unsigned char b = bytes[probe[k]];
      const bool both_cases = fold && is_ascii_letter(b);
      probe_or[k] = both_cases ? 0x20 : 0;
      probe_value[k] = both_cases ? kFold[b] : b;
    }
  }

  void pick_rare_probes() {
    // Probing cost of each byte: a folded letter counts for both case forms.
    static constexpr auto kCost = [] {
      std::array<std::array<unsigned char, 256>, 2> t{};
      for (int b = 0; b < 256; ++b) {
        t[0][b] = kCommonness[b];
        const bool letter = is_ascii_letter(static_cast<unsigned char>(b));
        t[1][b] = static_cast<unsigned char>(kCommonness[b] + (letter ? kCommonness[b ^ 0x20] : 0));
      }
      return t;
    }();
    const auto& cost = kCost[fold ? 1 : 0];
    unsigned best = 100, second = 100;
    for (std::size_t i = 0; i < size; ++i) {
      const unsigned c = cost[bytes[i]];
      if (c < best) {
        second = best;
        probe[1] = probe[0];
        best = c;
        probe[0] = i;
      } else if (c < second) {
        second = c;
        probe[1] = i;
      }
    }
  }

  bool probes_match(const unsigned char* at) const {
    return (at[probe[0]] | probe_or[0]) == probe_value[0] &&
           (at[probe[1]] | probe_or[1]) == probe_value[1];
  }

  static constexpr std::size_t kShortHay = 1024;
  const unsigned char* bytes;
  std::size_t size;
  bool fold = false;
  std::size_t probe[2] = {0, 0};
  unsigned char probe_or[2] = {0, 0};
  unsigned char probe_value[2] = {0, 0};
};

// Finds a needle at character starts of a scan that begins at `region_start`.
//
// Walking every character would cost a branch per byte. Instead candidates come from the probes
// of the Needle (or from memmem) and only their alignment is checked: the byte after any byte
// below 0x80 always starts a character (such a byte is either a character of its own or a
// second byte), so only the run of high bytes just in front of a candidate decides, by its
// parity, whether the candidate is a first or a second byte. `known_` is a character start at
// or before every later candidate, which bounds the backward look and keeps the search linear.
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
    if (nd_.fold || last - m < kLongStretch) return probe<false>(m, last);
    // A long exact search: probing streams through the text at a steady rate, but a text where
    // the probed bytes stand together everywhere would make it compare at every position.
    // When candidates turn out that common, memmem, linear whatever the text, takes over.
    const std::size_t hit = probe<true>(m, last, (last - m) / 64 + 64);
    if (hit != kMoreCandidates) return hit;
    while (m <= last) {
      const void* found = memmem(p_ + m, n_ - m, nd_.bytes, nd_.size);
      if (found == nullptr) return kNone;
      const auto h = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - p_);
      if (at_char_start(h)) return h;
      m = h + 1;
    }
    return kNone;
  }

 private:
  static constexpr std::size_t kMoreCandidates = kNone - 1;

  // Candidates from `from` to `last` by the two probes. When kLimited, it gives up after
  // `max_checks` full comparisons with kMoreCandidates and leaves in `from` the first position
  // not yet tried.
  template <bool kLimited>
  std::size_t probe(std::size_t& from, std::size_t last, std::size_t max_checks = 0) {
    std::size_t m = from;  // a local: `from` may alias the members the checks update
    std::size_t checks = 0;
#if defined(__SSE2__)
    const __m128i or0 = _mm_set1_epi8(static_cast<char>(nd_.probe_or[0]));
    const __m128i or1 = _mm_set1_epi8(static_cast<char>(nd_.probe_or[1]));
    const __m128i v0 = _mm_set1_epi8(static_cast<char>(nd_.probe_value[0]));
    const __m128i v1 = _mm_set1_epi8(static_cast<char>(nd_.probe_value[1]));
    // Sixteen candidate positions per round; the loads stay inside the text because every
    // candidate leaves room for the whole needle.
    // Locals, so that nothing is reloaded per round after the stores of a full check.
    const unsigned char* const at0 = p_ + nd_.probe[0];
    const unsigned char* const at1 = p_ + nd_.probe[1];
    for (; m <= last && last - m >= 15; m += 16) {
      const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at0 + m));
      const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at1 + m));
      auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
          _mm_cmpeq_epi8(_mm_or_si128(x0, or0), v0), _mm_cmpeq_epi8(_mm_or_si128(x1, or1), v1))));
      if (mask == 0) continue;
      if constexpr (kLimited) {
        checks += static_cast<std::size_t>(__builtin_popcount(mask));
        if (checks > max_checks) {
          from = m;
          return kMoreCandidates;
        }
      }
      do {
        const std::size_t h = m + static_cast<std::size_t>(__builtin_ctz(mask));
        if (equal_at(h) && at_char_start(h)) return h;
        mask &= mask - 1;
      } while (mask != 0);
    }
#endif
    for (; m <= last; ++m) {
      if (!nd_.probes_match(p_ + m)) continue;
      if constexpr (kLimited) {
        if (++checks > max_checks) {
          from = m;
          return kMoreCandidates;
        }
      }
      if (equal_at(m) && at_char_start(m)) return m;
    }
    return kNone;
  }

  bool equal_at(std::size_t h) const {
    return nd_.fold ? equal_folded(p_ + h, nd_.bytes, nd_.size)
                    : equal_exact(p_ + h, nd_.bytes, nd_.size);
  }

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
