// The text primitives with arbitrary texts and arbitrary positions, counts and lengths.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>

#include "fuzz/fuzz_support.h"
#include "text/text.h"

namespace {

using namespace tfx;
using fuzz::folded;
using fuzz::take_text;

bool same_byte(char a, char b, bool ignore_case) {
  if (a == b) return true;
  if (!ignore_case) return false;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  return lower(a) == lower(b);
}

bool matches_at(const Text& t, int pos, const Text& needle, bool ignore_case) {
  const std::size_t at = static_cast<std::size_t>(pos - 1);
  if (at + needle.size() > t.size()) return false;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    if (!same_byte(t[at + i], needle[i], ignore_case)) return false;
  }
  return true;
}

// 1-based character starts of t, scanning from byte `from` (0-based).
std::set<int> character_starts(const Text& t, std::size_t from) {
  std::set<int> starts;
  for (std::size_t i = from; i < t.size();) {
    starts.insert(static_cast<int>(i) + 1);
    i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1;
  }
  return starts;
}

std::optional<int> maybe_position(FuzzedDataProvider& in) {
  if (!in.ConsumeBool()) return std::nullopt;
  // Mostly positions near the text, sometimes anything an int can hold.
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-3, 300) : in.ConsumeIntegral<int>();
}

void check_find(const Text& t, const Text& needle, std::optional<int> start, bool ignore_case) {
  const int found = text_find(t, needle, start, ignore_case);
  if (found == -1) return;
  const std::int64_t skip = std::max<std::int64_t>(std::int64_t{start.value_or(1)} - 1, 0);
  FUZZ_CHECK(found >= 1 && found <= text_len(t));
  if (needle.empty()) {
    FUZZ_CHECK(found == 1);
    return;
  }
  FUZZ_CHECK(found > skip);
  FUZZ_CHECK(matches_at(t, found, needle, ignore_case));
  FUZZ_CHECK(character_starts(t, static_cast<std::size_t>(skip)).count(found) == 1);
}

void check_find_last(const Text& t, const Text& needle, std::optional<int> start,
                     bool ignore_case) {
  const int found = text_find_last(t, needle, start, ignore_case);
  if (found == -1) return;
  FUZZ_CHECK(found >= 1 && found <= text_len(t));
  if (needle.empty()) {
    FUZZ_CHECK(found == 1);
    return;
  }
  FUZZ_CHECK(matches_at(t, found, needle, ignore_case));
  FUZZ_CHECK(character_starts(t, 0).count(found) == 1);
  if (start) {
    // The occurrence lies wholly before start.
    FUZZ_CHECK(std::int64_t{found} + text_len(needle) - 1 <= std::int64_t{*start} - 1);
  }
}

void check_cuts(const Text& t, int n, int pos) {
  const std::int64_t len = text_len(t);
  const Text left = text_left(t, n);
  FUZZ_CHECK(left == t.substr(0, static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, len))));
  const Text right = text_right(t, n);
  const auto right_len = static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, len));
  FUZZ_CHECK(right == t.substr(t.size() - right_len));
  const Text mid = text_mid(t, pos, n);
  if (pos < 1 || pos > len || n <= 0) {
    FUZZ_CHECK(mid.empty());
  } else {
    const std::int64_t count = std::min<std::int64_t>(n, len - pos + 1);
    FUZZ_CHECK(mid == t.substr(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(count)));
  }
}

void check_split(const Text& t, const Text& separator) {
  const TextArray parts = text_split(t, separator);
  if (t.empty()) {
    FUZZ_CHECK(parts.empty());
    return;
  }
  if (separator.empty()) {
    FUZZ_CHECK(parts.size() == 1 && parts[0] == t);
    return;
  }
  // Joined again the pieces give the text back, less a separator at its very end.
  Text joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  FUZZ_CHECK(joined == t || joined + separator == t);
}

void check_spaces(const Text& t) {
  const Text trimmed = text_trim(t);
  FUZZ_CHECK(t.find(trimmed) != Text::npos);
  const Text stripped = text_strip_spaces(t);
  FUZZ_CHECK(stripped.size() <= t.size());
  // Nothing but spaces go: removing them again changes nothing.
  FUZZ_CHECK(text_strip_spaces(stripped) == stripped);
  FUZZ_CHECK(text_upper(t).size() == t.size() && text_lower(t).size() == t.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool ignore_case = in.ConsumeBool();
  const bool fold = in.ConsumeBool();
  const int n =
      in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-3, 300) : in.ConsumeIntegral<int>();
  const int pos =
      in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-3, 300) : in.ConsumeIntegral<int>();
  const std::optional<int> start = maybe_position(in);
  const std::optional<int> count = maybe_position(in);
  Text needle = take_text(in, 12);
  Text replacement = take_text(in, 12);
  Text t = fuzz::text_of(in.ConsumeRemainingBytesAsString());
  if (fold) {
    // Letters of both cases, spaces, separators and the bytes that open double-byte characters.
    static const std::string kAlphabet = "aAbB ;:=\r\n\xA1\xA3\xB0\xD5\x80\xFF";
    t = folded(t, kAlphabet);
    needle = folded(needle, kAlphabet);
    replacement = folded(replacement, kAlphabet);
  }

  check_find(t, needle, start, ignore_case);
  check_find_last(t, needle, start, ignore_case);
  check_cuts(t, n, pos);
  check_split(t, needle);
  check_spaces(t);

  const Text replaced = text_replace(t, needle, replacement, start, count, !ignore_case);
  if (needle.empty() || count == 0) FUZZ_CHECK(replaced == t);

  (void)text_to_int(t);
  (void)text_to_int(needle);
  (void)text_compare(t, needle);
  FUZZ_CHECK(text_hex(n).size() >= 1 && text_hex(n).size() <= 8);
  FUZZ_CHECK(text_of_code(n).size() == ((n & 0xFF) == 0 ? 0u : 1u));
  // Sizes from the fuzzer stay small: a request for gigabytes is not a fault of these routines.
  const int small = n % 5000;
  FUZZ_CHECK(text_spaces(small).size() == static_cast<std::size_t>(std::max(small, 0)));
  FUZZ_CHECK(bytes_zeroed(small).size() == static_cast<std::size_t>(std::max(small, 0)));
  const Bytes b = bytes_of_text(t);
  FUZZ_CHECK(text_of_bytes(b) == t);
  FUZZ_CHECK(bytes_left(b, n).size() ==
             static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, b.size())));
  return 0;
}
