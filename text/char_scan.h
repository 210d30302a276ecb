// Searching a code page 936 text by character, shared by the text primitives and the marker
// extraction. Not part of the interface other modules use.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace tfx::detail {

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

inline bool is_ascii_letter(unsigned char b) {
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

// Finds a needle at character starts of a scan that begins at `region_start`.
//
// Walking every character would cost a branch per byte. Instead candidates come from memmem /
// memchr and only their alignment is checked: the byte after any byte below 0x80 always starts
// a character (such a byte is either a character of its own or a second byte), so only the run
// of high bytes just in front of a candidate decides, by its parity, whether the candidate is a
// first or a second byte. `known_` is a character start at or before every later candidate,
// which bounds the backward look and keeps the whole search linear.
class CharScanner {
 public:
  CharScanner(std::string_view hay, std::size_t region_start, std::string_view needle, bool fold)
      : p_(reinterpret_cast<const unsigned char*>(hay.data())),
        n_(hay.size()),
        nd_(reinterpret_cast<const unsigned char*>(needle.data())),
        nl_(needle.size()),
        known_(region_start) {
    fold_ = false;
    anchor_ = 0;
    if (fold) {
      for (std::size_t i = 0; i < nl_; ++i)
        if (is_ascii_letter(nd_[i])) fold_ = true;
      if (fold_) {
        anchor_ = kNone;
        for (std::size_t i = 0; i < nl_ && anchor_ == kNone; ++i)
          if (!is_ascii_letter(nd_[i])) anchor_ = i;
      }
    }
  }

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
    if (nl_ == 0) return from < n_ ? 0 : kNone;
    if (n_ < nl_ || from > n_ - nl_) return kNone;
    const std::size_t last = n_ - nl_;  // last candidate where the needle still fits
    std::size_t m = from;
    if (!fold_) {
      while (m <= last) {
        const void* hit = memmem(p_ + m, n_ - m, nd_, nl_);
        if (hit == nullptr) return kNone;
        const auto h = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - p_);
        if (at_char_start(h)) return h;
        m = h + 1;
      }
      return kNone;
    }
    if (anchor_ != kNone) {
      const unsigned char a = nd_[anchor_];
      while (m <= last) {
        const void* hit = std::memchr(p_ + m + anchor_, a, last - m + 1);
        if (hit == nullptr) return kNone;
        const auto h =
            static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - p_) - anchor_;
        if (equal_folded(p_ + h, nd_, nl_) && at_char_start(h)) return h;
        m = h + 1;
      }
      return kNone;
    }
    const unsigned char first = kFold[nd_[0]];
    for (; m <= last; ++m) {
      if (kFold[p_[m]] == first && equal_folded(p_ + m, nd_, nl_) && at_char_start(m)) return m;
    }
    return kNone;
  }

 private:
  const unsigned char* p_;
  std::size_t n_;
  const unsigned char* nd_;
  std::size_t nl_;
  std::size_t known_;
  bool fold_;
  std::size_t anchor_;  // index of a needle byte that folding leaves alone, or kNone
};

// Leading and trailing ASCII and full-width spaces removed, scanning by character from the
// start of `t`; an incomplete last character is cut off together with nothing else.
std::string_view trim_view(std::string_view t);

}  // namespace tfx::detail
