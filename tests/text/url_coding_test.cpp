#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "text/extract.h"
#include "text/url_coding.h"

namespace tfx::testing {
namespace {

const Text kZheng = "\xD5\xFD";  // 正

TEST(UrlEncode, Modes) {
  const struct {
    const char* name;
    Text in;
    bool keep_plain, as_utf8;
    Text want;
  } cases[] = {
      {"empty", "", false, false, ""},
      {"empty utf8", "", true, true, ""},
      {"keep plain", "a b/", true, false, "a%20b%2F"},
      {"every byte", "a b/", false, false, "%61%20%62%2F"},
      {"kept set", "A-z.09", true, false, "A-z.09"},
      {"underscore and tilde coded", "_~+", true, false, "%5F%7E%2B"},
      {"two digits, upper case", "\n\xAB", false, false, "%0A%AB"},
      {"utf8 of a Chinese character", kZheng, false, true, "%E6%AD%A3"},
      {"code page bytes", kZheng, false, false, "%D5%FD"},
      {"song name as the search sends it", cp936("正义之道"), false, true,
       "%E6%AD%A3%E4%B9%89%E4%B9%8B%E9%81%93"},
      {"letters coded too", "abc", false, true, "%61%62%63"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(url_encode(c.in, c.keep_plain, c.as_utf8), c.want) << c.name;
}

TEST(UrlDecode, DigitRules) {
  const struct {
    Text in;
    bool from_utf8;
    Text want;
  } cases[] = {
      {"%41%62c", false, "Abc"},
      {"%4a", false, "J"},
      {"100%", false, "100"},  // both digits missing: code 0 adds nothing
      {"a%2", false, "a "},    // second digit missing counts 0
      {"%zz", false, "\xDE"},  // -2 * 16 - 2
      {"%4g", false, ">"},     // 4 * 16 - 2
      {"%%41", false,
       "\xE4"
       "1"},  // '%' and '4' as digits, then '1'
      {"%00x", false, "x"},
      {"a+b", false, "a+b"},
      {"", true, ""},
      {"%E6%AD%A3", true, kZheng},
      {"\xE6\xAD\xA3", true, kZheng},
      {"%e6%ad%a3!", true, kZheng + "!"},
      {"%D5%FD", false, kZheng},
  };
  for (const auto& c : cases) EXPECT_EQ(url_decode(c.in, c.from_utf8), c.want) << c.in;
}

TEST(CodePages, WindowsTableAndSubstitutes) {
  const struct {
    const char* name;
    Text got;
    Text want;
  } cases[] = {
      {"euro sign is 0x80", gbk_to_utf8("\x80"), "\xE2\x82\xAC"},
      {"euro sign back", utf8_to_gbk("\xE2\x82\xAC"), "\x80"},
      {"user-defined area to private use", gbk_to_utf8("\xAA\xA1"), "\xEE\x80\x80"},
      {"private use back", utf8_to_gbk("\xEE\x80\x80"), "\xAA\xA1"},
      {"not in the code page",
       utf8_to_gbk("a\xF0\x9F\x98\x80"
                   "b"),
       "a?b"},
      {"Hangul not in the code page", utf8_to_gbk("\xEA\xB0\x80"), "?"},
      // No near match stands in for a character the code page lacks.
      {"capital with accent", utf8_to_gbk("\xC3\x80"), "?"},
      {"soft hyphen",
       utf8_to_gbk("a\xC2\xAD"
                   "b"),
       "a?b"},
      // Invisible characters are no exception: they too leave a mark.
      {"zero width space",
       utf8_to_gbk("a\xE2\x80\x8B"
                   "b"),
       "a?b"},
      {"Arabic letter mark", utf8_to_gbk("\xD8\x9C"), "?"},
      {"zero width space from UTF-16", from_utf16(u"a\u200Bb", kCodePageGbk), "a?b"},
      {"zero width space percent-coded", url_decode("a%E2%80%8Bb", true), "a?b"},
      {"invalid byte does not stop", utf8_to_gbk(Text("a\xFF") + "b\xE6\xAD\xA3"), "a?b" + kZheng},
      {"truncated sequence in the middle",
       utf8_to_gbk("x\xE6\xAD"
                   "y\xE6\xAD\xA3"),
       "x?y" + kZheng},
      {"truncated sequence at the end", utf8_to_gbk("x\xE6\xAD"), "x?"},
      {"ascii untouched", gbk_to_utf8("plain <a href=\"/\">"), "plain <a href=\"/\">"},
      {"Chinese", gbk_to_utf8(kZheng), "\xE6\xAD\xA3"},
      {"empty", utf8_to_gbk(""), ""},
      {"literal helper", cp936("日"), "\xC8\xD5"},
      {"literal helper quote word", cp936("#引号"), "#\xD2\xFD\xBA\xC5"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(CodePages, Utf16Pair) {
  EXPECT_EQ(to_utf16(kZheng + "a", kCodePageGbk), u"\u6B63a");
  EXPECT_EQ(to_utf16("\xE6\xAD\xA3"
                     "a",
                     kCodePageUtf8),
            u"\u6B63a");
  EXPECT_EQ(to_utf16("\xF0\x9F\x98\x80", kCodePageUtf8), u"\U0001F600");
  EXPECT_EQ(to_utf16("", kCodePageGbk), u"");
  EXPECT_EQ(from_utf16(u"\u6B63a", kCodePageGbk), kZheng + "a");
  EXPECT_EQ(from_utf16(u"\u6B63a", kCodePageUtf8),
            "\xE6\xAD\xA3"
            "a");
  EXPECT_EQ(from_utf16(std::u16string_view(u"ab\0cd", 5), kCodePageGbk), "ab");
  EXPECT_EQ(from_utf16(u"\U0001F600", kCodePageGbk), "?");
  EXPECT_EQ(from_utf16(u"", kCodePageUtf8), "");
}

// Every double-byte character the code page defines must come back as the same two bytes
// after a trip through UTF-8; a wrong table or a lossy conversion shows up here.
TEST(CodePages, EveryDoubleByteCharacterRoundTrips) {
  const Text replacement = "\xEF\xBF\xBD";  // U+FFFD: the pair is not a character
  std::vector<int> lead_without_character;
  std::vector<int> gb2312_unmapped;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    bool any = false;
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text pair{static_cast<char>(lead), static_cast<char>(trail)};
      const Text utf8 = gbk_to_utf8(pair);
      if (utf8.empty() || utf8 == replacement || utf8 == "?" || utf8.find(replacement) == 0) {
        if (lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1)
          gb2312_unmapped.push_back(lead << 8 | trail);
        continue;
      }
      any = true;
      EXPECT_EQ(utf8_to_gbk(utf8), pair) << std::hex << lead << ' ' << trail;
    }
    if (!any) lead_without_character.push_back(lead);
  }
  // The loop really checked the table: every lead byte opens characters, and the whole
  // GB2312 hanzi area (0xB0A1..0xF7FE) is among them.
  EXPECT_TRUE(lead_without_character.empty()) << ::testing::PrintToString(lead_without_character);
  EXPECT_TRUE(gb2312_unmapped.empty()) << ::testing::PrintToString(gb2312_unmapped);
}

TEST(CodePages, ConvertersAreNotSharedBetweenThreads) {
  // Each thread converts its own texts in a tight loop; shared converter state would mix
  // partial sequences of one thread into another's output.
  const Text utf8_a = std::string(200, 'a') + "\xE6\xAD\xA3";
  const Text utf8_b = "\xE9\x81\x93" + std::string(150, 'b') + "\xE4\xB9";
  const Text want_a = utf8_to_gbk(utf8_a);
  const Text want_b = utf8_to_gbk(utf8_b);
  const Text back_a = gbk_to_utf8(want_a);
  const Text back_b = gbk_to_utf8(want_b);
  std::vector<int> failures(4, 0);
  std::vector<std::thread> threads;
  for (int k = 0; k < 4; ++k) {
    threads.emplace_back([&, k] {
      const bool odd = k % 2 != 0;
      int& failed = failures[static_cast<std::size_t>(k)];
      for (int i = 0; i < 2000; ++i) {
        if (utf8_to_gbk(odd ? utf8_b : utf8_a) != (odd ? want_b : want_a)) ++failed;
        if (gbk_to_utf8(odd ? want_b : want_a) != (odd ? back_b : back_a)) ++failed;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

Text read_sample(const char* name) {
  std::ifstream in(std::string(TFX_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return Text(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A search results page as the music site sends it (UTF-8, percent sequences in its links
// and a bare '%' in its style sheet), and the code page 936 bytes the search works on.
TEST(SearchPageSample, DecodesToTheCodePageSampleAndCutsIntoSongs) {
  const Text utf8 = read_sample("text-search-page.utf8.html");
  const Text gbk = read_sample("text-search-page.cp936.html");
  ASSERT_FALSE(utf8.empty());
  const Text decoded = url_decode(utf8, true);
  EXPECT_EQ(decoded, gbk);

  TextArray blocks;
  ASSERT_EQ(text_between_all(decoded, "<div class=\"text\">", cp936("日</span>"), blocks), 3);
  const struct {
    Text uid, title, size;
  } want[] = {
      {"8f3a21", cp936("正义之道（Live）"), "4.12 MB"},
      {"00b7c4", cp936("风之歌 · 纯音乐"), ""},
      {"ABC", cp936("听海"), "3.5 MB"},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    const Text& block = blocks[i];
    EXPECT_EQ(text_between(block, "href=\"/play/", ".html"), want[i].uid) << i;
    EXPECT_EQ(text_between(block, "html\" title=\"", "\" target"), want[i].title) << i;
    EXPECT_EQ(text_between(block, "class=\"size\">", "</span>"), want[i].size) << i;
  }
}

}  // namespace
}  // namespace tfx::testing
