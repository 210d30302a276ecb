// The text layer every other part of 听风匣 stands on.
//
// A Text is a run of bytes in code page 936 (GBK as Windows has it) with no zero byte inside.
// Positions are 1-based byte positions; a search that finds nothing gives -1; an out-of-range
// position or a length of 0 or less gives the empty text. The pages compute positions
// arithmetically from these results, so the edge rules are part of the contract, not details.
//
// Scanning "by character": from a character start, a byte >= 0x80 opens a double-byte
// character together with the byte after it; any other byte is a character by itself. A match
// is tried only at character starts, so a needle is never found inside a double-byte character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tfx {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;
using TextArray = std::vector<Text>;  // addressed 1..count through text_array_at

int text_len(const Text& t);

template <class... Parts>
Text text_concat(const Parts&... parts) {
  Text out;
  out.reserve((std::size(parts) + ...));
  (out.append(parts), ...);
  return out;
}

// Negative, 0 or positive by unsigned byte order; a proper prefix comes first.
int text_compare(const Text& a, const Text& b);

Text text_left(const Text& t, int n);
Text text_right(const Text& t, int n);
Text text_mid(const Text& t, int pos, int n);

// First occurrence at or after `start` (absent, 0 and 1 all mean the first byte).
int text_find(const Text& t, const Text& needle, std::optional<int> start = std::nullopt,
              bool ignore_case = false);
// Last occurrence lying wholly before `start`; absent means the whole text.
int text_find_last(const Text& t, const Text& needle, std::optional<int> start = std::nullopt,
                   bool ignore_case = false);

Text text_upper(const Text& t);
Text text_lower(const Text& t);
int text_to_int(const Text& t);
Text text_trim(const Text& t);
Text text_strip_spaces(const Text& t);

// count absent or negative: every occurrence; 0: none. match_case false folds ASCII letters only.
Text text_replace(const Text& t, const Text& target, const Text& replacement = {},
                  std::optional<int> start = std::nullopt, std::optional<int> count = std::nullopt,
                  bool match_case = false);

TextArray text_split(const Text& t, const Text& separator);

Text text_of_code(int code);
Text text_hex(int value);
Text text_spaces(int n);

Bytes bytes_of_text(const Text& t);
Text text_of_bytes(const Bytes& b);
int bytes_length(const Bytes& b);
Bytes bytes_left(const Bytes& b, int n);
Bytes bytes_concat(const Bytes& a, const Bytes& b);
bool bytes_equal(const Bytes& a, const Bytes& b);
Bytes bytes_zeroed(int n);

int text_array_count(const TextArray& a);
const Text& text_array_at(const TextArray& a, int i);  // 1 <= i <= count
void text_array_append(TextArray& a, const Text& t);
void text_array_clear(TextArray& a);

}  // namespace tfx
