// What every fuzz target shares: turning fuzz bytes into texts, and checks that end the run
// with a message libFuzzer keeps beside the crashing input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/text.h"

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

namespace tfx::fuzz {

// A Text never holds a zero byte; a zero from the fuzzer ends the text there, as the web layer
// cuts a page at its first zero byte.
inline Text text_of(std::string bytes) {
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  return bytes;
}

inline Text take_text(FuzzedDataProvider& in, std::size_t max_length) {
  return text_of(in.ConsumeRandomLengthString(max_length));
}

// The same bytes folded onto a small printable alphabet that holds the characters the routine
// under test reacts to, so that the fuzzer reaches its structure more often than raw bytes do.
inline Text folded(const Text& t, const std::string& alphabet) {
  Text out = t;
  for (char& c : out) c = alphabet[static_cast<unsigned char>(c) % alphabet.size()];
  return out;
}

inline bool is_valid_utf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1, min = 0x80, code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2, min = 0x800, code = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3, min = 0x10000, code = b & 0x07;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      code = (code << 6) | (c & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace tfx::fuzz
