// The bundled sample site speaks the formats the pages cut their fields from.
#include <gtest/gtest.h>

#include "sample_site/site.h"
#include "tests/support/loopback_server.h"
#include "text/extract.h"
#include "text/url_coding.h"

namespace tfx::testing {
namespace {

class SampleSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sample_site::install(site_.server());
    site_.start();
  }
  httplib::Result get(const std::string& target) {
    httplib::Client client("127.0.0.1", site_.port());
    return client.Get(target);
  }
  LoopbackServer site_;
};

struct Row {
  Text uid, title, size;
  bool operator==(const Row&) const = default;
};

TEST_F(SampleSiteTest, SearchAnswersWithSongBlocksForTheDecodedName) {
  struct Case {
    const char* query;
    std::vector<Row> rows;
  };
  const Case cases[] = {
      {"%E6%AD%A3%E4%B9%89%E4%B9%8B%E9%81%93",  // 正义之道
       {{"1001", cp936("正义之道"), "3.62 MB"}, {"1002", cp936("正义之道 (伴奏)"), "3.41 MB"}}},
      {"%E9%A3%8E", {{"1003", cp936("听风的歌"), ""}, {"1007", cp936("风吹麦浪"), ""}}},  // 风
      {"%68%65%6C%6C%6F", {{"1006", "Hello World", "2.20 MB"}}},                          // hello
      {"%E6%B2%A1%E6%9C%89", {}},                                                         // 没有
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    auto res = get(std::string("/?search=") + c.query);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    // The way the song page reads it: percent-decoded as a whole, then into code page 936.
    const Text page = url_decode(res->body, true);
    TextArray blocks;
    text_between_all(page, cp936("<div class=\"text\">"), cp936("日</span>"), blocks);
    std::vector<Row> rows;
    for (const Text& b : blocks) {
      rows.push_back({text_between(b, "href=\"/play/", ".html"),
                      text_between(b, "html\" title=\"", "\" target"),
                      text_between(b, "class=\"size\">", "</span>")});
    }
    EXPECT_EQ(rows, c.rows);
  }
  auto all = get("/?search=");
  ASSERT_TRUE(all);
  TextArray blocks;
  EXPECT_EQ(text_between_all(url_decode(all->body, true), cp936("<div class=\"text\">"),
                             cp936("日</span>"), blocks),
            7);
}

TEST_F(SampleSiteTest, SpaceLookupAnswersInCodePage936WithCarriageReturns) {
  auto res = get("/qzone/?qq=10001");
  ASSERT_TRUE(res);
  TextArray blocks;
  text_between_all(res->body,
                   "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\r",
                   "<tr><td colspan=\"2\" height=\"1\" bgcolor=\"#E7F4CC\"></td></tr>\r", blocks);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(text_between(blocks[1],
                         cp936("歌曲名称：</font><a  style=\"COLOR: #65a156; TEXT-DECORATION: "
                               "none \"><b>"),
                         "</b></a>"),
            cp936("晴天"));
  EXPECT_EQ(text_between(blocks[1],
                         cp936("歌曲地址：</font><span id=\"tb1\" style=\"COLOR: #65a156; "
                               "TEXT-DECORATION: none \" >"),
                         "</span></td>\r"),
            "http://127.0.0.1:" + std::to_string(site_.port()) + "/down/1004.mp3");

  auto unknown = get("/qzone/?qq=42");
  ASSERT_TRUE(unknown);
  text_between_all(unknown->body, "<table width=\"100%\"", "</table>", blocks);
  EXPECT_TRUE(blocks.empty());
}

TEST_F(SampleSiteTest, SongsPlayAndDownload) {
  auto file = get("/down/1001.mp3");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->get_header_value("Content-Type"), "audio/mpeg");
  ASSERT_GT(file->body.size(), 1000u);
  // An MPEG audio frame starts with eleven set bits, unless an ID3 tag comes first.
  const auto b0 = static_cast<unsigned char>(file->body[0]);
  const auto b1 = static_cast<unsigned char>(file->body[1]);
  EXPECT_TRUE(file->body.rfind("ID3", 0) == 0 || (b0 == 0xFF && (b1 & 0xE0) == 0xE0));

  auto play = get("/play/1001.html");
  ASSERT_TRUE(play);
  EXPECT_NE(play->body.find("<audio src=\"/down/1001.mp3\" autoplay"), std::string::npos);

  for (const char* missing : {"/down/999.mp3", "/play/999.html", "/play/.html"}) {
    auto res = get(missing);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404) << missing;
  }
}

}  // namespace
}  // namespace tfx::testing
