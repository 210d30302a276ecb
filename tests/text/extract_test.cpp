#include <gtest/gtest.h>

#include <optional>

#include "text/extract.h"
#include "text/url_coding.h"

namespace tfx::testing {
namespace {

TEST(TextBetween, FirstPieceUntrimmed) {
  const Text quote_word = cp936("#引号");
  const struct {
    const char* name;
    Text page, left, right;
    std::optional<int> start;
    bool ignore_case;
    Text want;
  } cases[] = {
      {"plain", "<b>x</b>", "<b>", "</b>", std::nullopt, false, "x"},
      {"markers touch", "<b></b>", "<b>", "</b>", std::nullopt, false, ""},
      {"left missing", "<i>x</b>", "<b>", "</b>", std::nullopt, false, ""},
      {"right missing", "<b>x", "<b>", "</b>", std::nullopt, false, ""},
      {"right searched after the left marker", "a]b[c]", "[", "]", std::nullopt, false, "c"},
      {"not trimmed", "[ a ]", "[", "]", std::nullopt, false, " a "},
      {"quote word in both markers", "x=\"v\"", "x=" + quote_word, quote_word, std::nullopt, false,
       "v"},
      {"quote word twice", "a=\"\"b\"\"", "a=" + quote_word + quote_word, quote_word, std::nullopt,
       false, "b"},
      {"exact case by default", "<DIV>x</div>", "<div>", "</div>", std::nullopt, false, ""},
      {"ignore case", "<DIV>x</DIV>", "<div>", "</div>", std::nullopt, true, "x"},
      {"start skips the first pair", "[a][b]", "[", "]", 2, false, "b"},
      {"start 0 is the first byte", "[a][b]", "[", "]", 0, false, "a"},
      {"first right marker after c", "[a]]", "[", "]", std::nullopt, false, "a"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(text_between(c.page, c.left, c.right, c.start, c.ignore_case), c.want) << c.name;
}

TEST(TextBetween, HeaderValueWithQuoteWordNotSubstitutedInPage) {
  // The page's own "#引号" is plain text; only the markers stand for a quote.
  const Text page = cp936("k=#引号v#引号");
  EXPECT_EQ(text_between(page, "k=", cp936("#引号")), "");  // marker means '"', page has none
  EXPECT_EQ(text_between(page, "k=", "v"), cp936("#引号"));
}

struct AllCase {
  const char* name;
  Text page, left, right;
  BetweenAllOptions options;
  TextArray want;
};

BetweenAllOptions exact() {
  BetweenAllOptions o;
  o.match_case = true;
  return o;
}
BetweenAllOptions capped(int cap) {
  BetweenAllOptions o;
  o.length_cap = cap;
  return o;
}
BetweenAllOptions decorated() {
  BetweenAllOptions o;
  o.prefix = "P";
  o.suffix = "S";
  o.include_left = true;
  o.include_right = true;
  return o;
}
BetweenAllOptions from(int start) {
  BetweenAllOptions o;
  o.start = start;
  return o;
}

TEST(TextBetweenAll, PiecesInPageOrder) {
  const AllCase cases[] = {
      {"folded by default", "<DIV>x</div>", "<div>", "</div>", {}, {"x"}},
      {"match case", "<DIV>x</div>", "<div>", "</div>", exact(), {}},
      {"empty piece ends everything", "[a][ ][b]", "[", "]", {}, {"a"}},
      {"full-width blank piece ends everything", "[a][\xA1\xA1][b]", "[", "]", {}, {"a"}},
      {"trimmed",
       "[ a ][\xA1\xA1"
       "b ]",
       "[",
       "]",
       {},
       {"a", "b"}},
      {"length cap skips, does not cut", "[a][bc][d]", "[", "]", capped(1), {"a", "d"}},
      {"cap counts the trimmed content", "[ a ][bc]", "[", "]", capped(1), {"a"}},
      {"decoration order", "[a]", "[", "]", decorated(), {"[PaS]"}},
      {"right marker serves as next left", "|a|b|", "|", "|", {}, {"a", "b"}},
      {"line breaks kept", "[\nx\n]", "[", "]", {}, {"\nx\n"}},
      {"start", "[a][b]", "[", "]", from(2), {"b"}},
      {"right marker missing", "[a][b", "[", "]", {}, {"a"}},
      {"no left marker", "abc", "[", "]", {}, {}},
      // An empty left marker would be found at byte 1 forever.
      {"empty left marker", "[a]", "", "]", {}, {}},
      {"empty right marker", "[a]", "[", "", {}, {}},
  };
  for (const auto& c : cases) {
    TextArray out{"stale"};
    const int n = text_between_all(c.page, c.left, c.right, out, c.options);
    EXPECT_EQ(out, c.want) << c.name;
    EXPECT_EQ(n, static_cast<int>(c.want.size())) << c.name;
  }
}

TEST(TextBetweenAll, MarkersMatchOnlyAtCharacterStarts) {
  // Song blocks end at "日</span>" (0xC8 0xD5 ...). Here those bytes also occur starting on
  // the second byte of 0xB0 0xC8, where they must not end the block.
  const Text day = cp936("日");
  const Text left = "<div class=\"text\">";
  const Text right = day + "</span>";
  const Text fake = "\xB0\xC8\xD5</span>";  // 0xB0 0xC8 | 0xD5 '<' | "/span>"
  const Text page = left + "one" + fake + "x" + right + left + "two" + right;
  TextArray out;
  ASSERT_EQ(text_between_all(page, left, right, out), 2);
  EXPECT_EQ(out[0], "one" + fake + "x");
  EXPECT_EQ(out[1], "two");
}

}  // namespace
}  // namespace tfx::testing
