#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "text/text.h"

namespace tfx::testing {
namespace {

// Double-byte characters used below, as code page 936 bytes.
const Text kA = "\xB0\xA1";     // 啊
const Text kWide = "\xA1\xA1";  // full-width space

struct CutCase {
  const char* name;
  Text got;
  Text want;
};

TEST(TextCut, ByteCountsAndOutOfRangeArguments) {
  const CutCase cases[] = {
      {"left negative", text_left("abc", -1), ""},
      {"left zero", text_left("abc", 0), ""},
      {"left past end", text_left("abc", 9), "abc"},
      {"left cuts a double-byte character", text_left(kA + "x", 1), "\xB0"},
      {"right past end", text_right("abc", 5), "abc"},
      {"right two", text_right("abc", 2), "bc"},
      {"right zero", text_right("abc", 0), ""},
      {"mid at 0", text_mid("abc", 0, 2), ""},
      {"mid past end", text_mid("abc", 4, 1), ""},
      {"mid cut at end", text_mid("abc", 2, 10), "bc"},
      {"mid zero length", text_mid("abc", 2, 0), ""},
      {"mid negative length", text_mid("abc", 1, -3), ""},
      {"mid last byte", text_mid("abc", 3, 1), "c"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

struct FindCase {
  const char* name;
  Text t;
  Text needle;
  std::optional<int> start;
  bool ignore_case;
  int want;
};

TEST(TextFind, FirstOccurrenceAtCharacterStarts) {
  const FindCase cases[] = {
      {"from 4", "abcabc", "c", 4, false, 6},
      {"start 0 is the first byte", "abcabc", "c", 0, false, 3},
      {"start 1", "abcabc", "c", 1, false, 3},
      {"negative start", "abcabc", "c", -5, false, 3},
      {"absent start", "abcabc", "bc", std::nullopt, false, 2},
      {"start past end", "abcabc", "c", 7, false, -1},
      {"start at a hit", "abcabc", "c", 6, false, 6},
      {"needle longer than the rest", "abcabc", "bca", 5, false, -1},
      {"empty needle", "abc", "", std::nullopt, false, 1},
      {"empty needle is found at byte 1 from any start", "abc", "", 3, false, 1},
      {"empty needle past end", "abc", "", 4, false, -1},
      {"empty text", "", "", std::nullopt, false, -1},
      {"case folded", "ABC", "b", 1, true, 2},
      {"exact case", "ABC", "b", 1, false, -1},
      {"second byte of a character", kA, "\xA1", std::nullopt, false, -1},
      {"second byte equals an ASCII letter",
       "\xB0"
       "a",
       "a", std::nullopt, false, -1},
      {"after a double-byte character", kA + "a", "a", std::nullopt, false, 3},
      {"needle spanning characters", "x" + kA + "y", "\xA1y", std::nullopt, false, -1},
      {"needle from a character start", "x" + kA + "y", kA + "y", std::nullopt, false, 2},
      // The scan is re-aligned at the region start: from byte 2, 0xA1 opens a character.
      {"region starts inside a character", kA + "x", "\xA1x", 2, false, 2},
      {"same needle from the first byte", kA + "x", "\xA1x", 1, false, -1},
      {"incomplete last character is a candidate", "ab\xB0", "\xB0", std::nullopt, false, 3},
      {"second bytes fold like any byte",
       "\xB0"
       "a",
       "\xB0"
       "A",
       std::nullopt, true, 1},
      {"full-width letters do not fold", "\xA3\xC1", "\xA3\xE1", std::nullopt, true, -1},
      {"folding finds the later lower-case hit", "xx<DIV>", "<div>", std::nullopt, true, 3},
      {"all-letter needle folded", "xyzABC", "abc", std::nullopt, true, 4},
  };
  for (const auto& c : cases)
    EXPECT_EQ(text_find(c.t, c.needle, c.start, c.ignore_case), c.want) << c.name;
}

TEST(TextFind, LongRunsOfDoubleByteCharactersKeepAlignment) {
  // Many candidates for the second half of a character; only the real character start counts.
  // Long enough for the search to take its long-stretch route as well.
  Text t;
  for (int i = 0; i < 3000; ++i) t += "\xC8\xC8";  // 0xC8 0xC8 is one character each time
  t += "\xC8\xD5x";
  EXPECT_EQ(text_find(t, "\xC8\xD5"), 6001);
  EXPECT_EQ(text_find(t, "\xC8\xD5x", std::nullopt, true), 6001);
  EXPECT_EQ(text_find(t, "\xC8\xC8\xD5"), -1);  // would need to start on a second byte
  EXPECT_EQ(text_find(t, "\xC8\xD5", 2), -1);   // re-aligned: now every 0xC8 pair is shifted
  EXPECT_EQ(text_find_last(t, "\xC8\xC8"), 5999);
  EXPECT_EQ(text_replace(t, "\xC8\xD5", "!"), t.substr(0, 6000) + "!x");

  // A text where the needle's rarest bytes stand together everywhere, without a match.
  Text pairs;
  for (int i = 0; i < 3000; ++i) pairs += "ab";
  EXPECT_EQ(text_find(pairs + "c", "ababc"), 5997);
  EXPECT_EQ(text_find(pairs + "\xB0" + "ababc", "ababc"), -1);  // only on a second byte
  EXPECT_EQ(text_find(pairs + "\xB0\xB0" + "ababc", "ababc"), 6003);
}

TEST(TextFindLast, LastOccurrenceWhollyBeforeStart) {
  const FindCase cases[] = {
      {"whole text", "a.b.c", ".", std::nullopt, false, 4},
      {"before 4", "a.b.c", ".", 4, false, 2},
      {"before 2", "a.b.c", ".", 2, false, -1},
      {"hit ending on the last byte is outside start = length", "ab.", ".", 3, false, -1},
      {"start past end means whole text", "ab.", ".", 10, false, 3},
      {"start 1 is an empty region", "a.b", ".", 1, false, -1},
      {"start 0 is an empty region", "a.b", ".", 0, false, -1},
      {"occurrence running past start-1", "abcd", "bc", 3, false, -1},
      {"empty needle", "abc", "", std::nullopt, false, 1},
      {"empty needle empty region", "abc", "", 1, false, -1},
      {"case folded", "xAxa", "a", std::nullopt, true, 4},
      {"never inside a character", "a" + kA + "\xA1", "\xA1", std::nullopt, false, 4},
  };
  for (const auto& c : cases)
    EXPECT_EQ(text_find_last(c.t, c.needle, c.start, c.ignore_case), c.want) << c.name;
}

TEST(TextFindLast, WalksBackwardsThroughOccurrences) {
  const Text t = "x;y;z;";
  std::vector<int> hits;
  for (int p = text_find_last(t, ";"); p != -1; p = text_find_last(t, ";", p)) hits.push_back(p);
  EXPECT_EQ(hits, (std::vector<int>{6, 4, 2}));
}

TEST(TextCase, OnlyOneByteLettersChange) {
  const Text mixed = "aZ" + Text("\xB0") + "a" + "\xA3\xC1" + "m\xB0";
  EXPECT_EQ(text_upper(mixed),
            "AZ\xB0"
            "a\xA3\xC1"
            "M\xB0");
  EXPECT_EQ(text_lower(mixed),
            "az\xB0"
            "a\xA3\xC1"
            "m\xB0");
  EXPECT_EQ(text_lower("\xB0"
                       "A"),
            "\xB0"
            "A");
}

TEST(TextSpaces, TrimAndStrip) {
  const struct {
    const char* name;
    Text in;
    Text trimmed;
    Text stripped;
  } cases[] = {
      {"tab and line break stay", " \t a \r\n", "\t a \r\n", "\ta\r\n"},
      {"only spaces", "   ", "", ""},
      {"full-width at both ends", kWide + "a b" + kWide, "a b", "ab"},
      {"mixed runs", kWide + " " + kWide + "x" + " " + kWide, "x", "x"},
      {"0xA1 0xA1 straddling two characters is no space", "\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0",
       "\xB0\xA1\xA1\xB0"},
      {"incomplete last character is cut, spaces before it stay", "a \xB0", "a ", "a"},
      {"empty", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_trim(c.in), c.trimmed) << c.name;
    EXPECT_EQ(text_strip_spaces(c.in), c.stripped) << c.name;
  }
}

TEST(TextSplit, PiecesAndTrailingSeparator) {
  const struct {
    const char* name;
    Text t;
    Text sep;
    TextArray want;
  } cases[] = {
      {"touching separators", "a;;b;", ";", {"a", "", "b"}},
      {"separator alone", ";", ";", {""}},
      {"leading separator", ";a", ";", {"", "a"}},
      {"header lines", "a\r\n\r\nb\r\n", "\r\n", {"a", "", "b"}},
      {"empty text", "", ";", {}},
      {"empty separator", "a;b", "", {"a;b"}},
      {"no separator", "abc", ";", {"abc"}},
      {"no folding", "aXbxc", "x", {"aXb", "c"}},
      // 0xA1 0xA1 inside "啊" + 0xA1 'c' is no full-width space; the real one follows.
      {"separator never inside a character",
       kA + "\xA1" + "c" + kWide + "d",
       kWide,
       {kA + "\xA1" + "c", "d"}},
      {"incomplete last character ends the scan", "a;\xB0", "\xB0", {"a;\xB0"}},
  };
  for (const auto& c : cases) {
    const TextArray got = text_split(c.t, c.sep);
    EXPECT_EQ(got, c.want) << c.name;
  }
  const TextArray parts = text_split("x|y", "|");
  ASSERT_EQ(text_array_count(parts), 2);
  EXPECT_EQ(text_array_at(parts, 1), "x");
  EXPECT_EQ(text_array_at(parts, 2), "y");
}

TEST(TextReplace, StartCountAndCase) {
  const struct {
    const char* name;
    Text got;
    Text want;
  } cases[] = {
      {"header names normalised",
       text_replace("Set-COOKIE: x; set-cookie: y", "Set-Cookie", "Set-Cookie"),
       "Set-Cookie: x; Set-Cookie: y"},
      {"match case", text_replace("aAa", "a", "b", std::nullopt, std::nullopt, true), "bAb"},
      {"default replacement deletes", text_replace("a-b-c", "-"), "abc"},
      {"count limits", text_replace("aaaa", "a", "b", std::nullopt, 2), "bbaa"},
      {"count 0 changes nothing", text_replace("aaaa", "a", "b", std::nullopt, 0), "aaaa"},
      // A negative count never counts down to 0, so nothing stops the replacing.
      {"negative count replaces all", text_replace("aaaa", "a", "b", std::nullopt, -1), "bbbb"},
      {"negative count after start", text_replace("aaaa", "a", "b", 2, -1), "abbb"},
      {"lowest count replaces all",
       text_replace("aa", "a", "b", std::nullopt, std::numeric_limits<int>::min()), "bb"},
      {"start skips bytes", text_replace("aaaa", "a", "b", 3), "aabb"},
      {"start 0 is the first byte", text_replace("aa", "a", "b", 0), "bb"},
      {"start past end", text_replace("aa", "a", "b", 3), "aa"},
      {"empty target", text_replace("aa", "", "b"), "aa"},
      {"replacement is not rescanned", text_replace("aa", "a", "aa"), "aaaa"},
      {"overlaps go left to right", text_replace("aaa", "aa", "b"), "ba"},
      {"never inside a character", text_replace(kA + "\xA1", "\xA1", "!"), kA + "!"},
      {"start inside a character re-aligns", text_replace(kA + "x", "\xA1x", "!", 2), "\xB0!"},
      {"incomplete last character is dropped", text_replace("ab\xB0", "z", "y"), "ab"},
      {"incomplete last character can match", text_replace("ab\xB0", "\xB0", "y"), "aby"},
      {"longer target keeps the incomplete byte", text_replace("ab\xB0", "zz", "y"), "ab\xB0"},
      {"used-up count keeps the rest", text_replace("ab\xB0", "a", "y", std::nullopt, 1), "yb\xB0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(TextToInt, LeadingNumberWithFullWidthForms) {
  const struct {
    Text in;
    int want;
  } cases[] = {
      {"", 0},
      {"x1", 0},
      {" -12a", -12},
      {"8080/x", 8080},
      {"+7", 7},
      {"\t\r\n 42", 42},
      {"- 1", 0},
      {"\xA3\xB8\xA3\xB0\xA3\xB8\xA3\xB0", 8080},  // full-width digits
      {"\xA3\xAD\xA3\xB1\xA3\xB2", -12},           // full-width minus
      {"\xA3\xAB"
       "5",
       5},                       // full-width plus, ASCII digit
      {kWide + kWide + "3", 3},  // full-width spaces are white space
      {"12\xA3\xB3x", 123},
      {kA + "1", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(text_to_int(c.in), c.want) << c.in;
}

TEST(TextSmallConstructors, CodesHexAndSpaces) {
  EXPECT_EQ(text_of_code(0), "");
  EXPECT_EQ(text_of_code(256), "");
  EXPECT_EQ(text_of_code(-28), "\xE4");
  EXPECT_EQ(text_of_code(0x41 + 512), "A");
  EXPECT_EQ(text_hex(10), "A");
  EXPECT_EQ(text_hex(255), "FF");
  EXPECT_EQ(text_hex(0), "0");
  EXPECT_EQ(text_hex(-1), "FFFFFFFF");
  EXPECT_EQ(text_spaces(3), "   ");
  EXPECT_EQ(text_spaces(0), "");
  EXPECT_EQ(text_concat(Text("a"), Text(), Text("bc")), "abc");
}

TEST(TextCompare, UnsignedByteOrder) {
  EXPECT_EQ(text_compare("", ""), 0);
  EXPECT_LT(text_compare("ab", "abc"), 0);
  EXPECT_GT(text_compare("\xB0", "a"), 0);  // 0xB0 sorts after every ASCII byte
  EXPECT_LT(text_compare("A", "a"), 0);
}

TEST(BytesOps, ZeroBytesAndClamping) {
  const Bytes abc{'a', 0, 'b'};
  EXPECT_EQ(text_of_bytes(abc), "a");
  EXPECT_EQ(text_of_bytes({}), "");
  EXPECT_EQ(bytes_length(abc), 3);
  EXPECT_EQ(bytes_left(abc, 2), (Bytes{'a', 0}));
  EXPECT_EQ(bytes_left(abc, -1), Bytes{});
  EXPECT_EQ(bytes_left(abc, 9), abc);
  EXPECT_EQ(bytes_concat(abc, Bytes{'c'}), (Bytes{'a', 0, 'b', 'c'}));
  EXPECT_TRUE(bytes_equal(bytes_of_text("a\xB0"), (Bytes{'a', 0xB0})));
  EXPECT_FALSE(bytes_equal(abc, bytes_left(abc, 2)));
  EXPECT_EQ(bytes_zeroed(2), (Bytes{0, 0}));
  EXPECT_EQ(bytes_zeroed(-1), Bytes{});
}

// The searches skip ahead with memchr and work out character boundaries from the bytes in
// front of a candidate. This walks the text one character at a time instead, exactly as the
// rules describe it, and both must agree on many small texts made of spaces, letters and bytes
// that can open or close a double-byte character.
namespace walk {

bool same(const Text& t, std::size_t at, const Text& needle, bool fold) {
  for (std::size_t k = 0; k < needle.size(); ++k) {
    char a = t[at + k], b = needle[k];
    if (fold && a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
    if (fold && b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
    if (a != b) return false;
  }
  return true;
}
std::size_t step(const Text& t, std::size_t i) {
  return static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1;
}
int find(const Text& t, const Text& needle, int start, bool fold) {
  const std::size_t skip = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (skip >= t.size()) return -1;
  if (needle.empty()) return 1;
  for (std::size_t i = skip; i < t.size(); i += step(t, i))
    if (i + needle.size() <= t.size() && same(t, i, needle, fold)) return static_cast<int>(i + 1);
  return -1;
}
int find_last(const Text& t, const Text& needle, int start, bool fold) {
  const std::size_t region =
      std::min(t.size(), start > 1 ? static_cast<std::size_t>(start - 1) : std::size_t{0});
  if (region == 0) return -1;
  if (needle.empty()) return 1;
  int last = -1;
  for (std::size_t i = 0; i < region; i += step(t, i))
    if (i + needle.size() <= region && same(t, i, needle, fold)) last = static_cast<int>(i + 1);
  return last;
}
Text trim(const Text& t) {
  std::size_t i = 0;
  auto space_at = [&](std::size_t k) {
    return t[k] == ' ' || (k + 1 < t.size() && t[k] == '\xA1' && t[k + 1] == '\xA1');
  };
  while (i < t.size() && space_at(i)) i += step(t, i);
  const std::size_t begin = i;
  std::size_t end = i;
  for (; i < t.size(); i += step(t, i)) {
    if (i + step(t, i) > t.size()) return t.substr(begin, i - begin);
    if (!space_at(i)) end = i + step(t, i);
  }
  return t.substr(begin, end - begin);
}
Text replace(const Text& t, const Text& target, const Text& with, int start, int count) {
  const std::size_t skip = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (t.empty() || target.empty() || skip >= t.size() || count == 0) return t;
  Text out = t.substr(0, skip);
  std::size_t i = skip;
  while (i < t.size() && i + target.size() <= t.size() && count != 0) {
    if (same(t, i, target, true)) {
      out += with;
      i += target.size();
      --count;
    } else if (i + step(t, i) > t.size()) {
      return out;  // incomplete last character
    } else {
      out.append(t, i, step(t, i));
      i += step(t, i);
    }
  }
  return out + t.substr(std::min(i, t.size()));
}
TextArray split(const Text& t, const Text& sep) {
  if (t.empty()) return {};
  if (sep.empty()) return {t};
  TextArray out;
  std::size_t piece = 0, i = 0;
  while (i < t.size() && i + step(t, i) <= t.size()) {
    if (i + sep.size() <= t.size() && same(t, i, sep, false)) {
      out.push_back(t.substr(piece, i - piece));
      i += sep.size();
      piece = i;
    } else {
      i += step(t, i);
    }
  }
  if (piece < t.size()) out.push_back(t.substr(piece));
  return out;
}

}  // namespace walk

TEST(TextScan, AgreesWithACharacterByCharacterWalk) {
  const char alphabet[] = {'\xA1', '\xB0', 'a', 'A', ' ', 'x'};
  unsigned state = 12345;
  auto random = [&](unsigned below) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % below;
  };
  auto random_text = [&](unsigned max_len) {
    Text t(random(max_len + 1), ' ');
    for (char& c : t) c = alphabet[random(sizeof alphabet)];
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    // Now and then a long text, for the routes taken over long stretches.
    const Text t = random_text(round % 50 == 0 ? 6000 : 24);
    const Text needle = random_text(3);
    const int start = static_cast<int>(random(static_cast<unsigned>(t.size()) + 4)) - 1;
    const bool fold = random(2) == 0;
    // Negative counts and no count at all both mean every occurrence.
    const int count = static_cast<int>(random(5)) - 2;
    const bool counted = random(3) != 0;
    ASSERT_EQ(text_find(t, needle, start, fold), walk::find(t, needle, start, fold))
        << ::testing::PrintToString(t) << " / " << ::testing::PrintToString(needle) << " @"
        << start;
    ASSERT_EQ(text_find_last(t, needle, start, fold), walk::find_last(t, needle, start, fold))
        << ::testing::PrintToString(t) << " / " << ::testing::PrintToString(needle) << " @"
        << start;
    ASSERT_EQ(text_trim(t), walk::trim(t)) << ::testing::PrintToString(t);
    ASSERT_EQ(
        text_replace(t, needle, "#", start, counted ? std::optional<int>(count) : std::nullopt),
        walk::replace(t, needle, "#", start, counted ? count : -1))
        << ::testing::PrintToString(t) << " / " << ::testing::PrintToString(needle) << " @"
        << start;
    ASSERT_EQ(text_split(t, needle), walk::split(t, needle))
        << ::testing::PrintToString(t) << " / " << ::testing::PrintToString(needle);
  }
}

}  // namespace
}  // namespace tfx::testing
