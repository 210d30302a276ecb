// The search, link, preview and copy handlers of the song search page, against a fake window
// and a music site on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "pages/song_search/song_search.h"
#include "tests/mock/fake_window.h"
#include "tests/support/loopback_server.h"
#include "text/url_coding.h"

namespace tfx::testing {
namespace {

using ::testing::ElementsAre;
using Rows = std::vector<std::vector<Text>>;

std::string read_data(const std::string& name) {
  std::ifstream in(std::string(TFX_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string song_block(const std::string& uid, const std::string& title) {
  return "<li><div class=\"text\"><a href=\"/play/" + uid + ".html\" title=\"" + title +
         "\" target=\"_blank\">" + title + "</a><span class=\"size\">1.00M</span>" +
         "<span class=\"date\">2020年1月1日</span></div></li>\n";
}

// The music site: answers every search with the sample page, and records what was asked.
class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Get("/", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(mutex_);
        targets_.push_back(req.target);
      }
      res.set_content(page_for(req.get_param_value("search")), "text/html; charset=utf-8");
    });
    server_.start();
  }
  void TearDown() override { server_.stop(); }

  virtual std::string page_for(const std::string& /*name*/) {
    return read_data("song-search-results.html");
  }

  std::vector<std::string> targets() {
    std::lock_guard lock(mutex_);
    return targets_;
  }

  LoopbackServer server_;
  std::mutex mutex_;
  std::vector<std::string> targets_;
};

TEST_F(SearchTest, FillsOneRowPerSongInPageOrder) {
  FakeWindow window;
  window.set_rows(List::超级列表框1, {{"1", "old", "1M"}});
  window.set_text(Control::编辑框_搜索, cp936("正义之道"));
  SongSearchPage page(window, {server_.base(), {}});

  page.on_search_clicked();

  EXPECT_THAT(targets(), ElementsAre("/?search=%E6%AD%A3%E4%B9%89%E4%B9%8B%E9%81%93"));
  // The last entry has no size; its title shows that the whole page was percent-decoded.
  EXPECT_EQ(window.rows(List::超级列表框1), (Rows{{"1024", cp936("正义之道"), "3.52M"},
                                                  {"2048", cp936("正义之道 (Live)"), "4.10M"},
                                                  {"4096", cp936("正义之道伴奏"), ""}}));
  EXPECT_TRUE(window.messages().empty());
  // The list is emptied before anything else, so it stands empty while the site answers.
  const auto calls = window.calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "start_worker");
  EXPECT_EQ(calls[1], "list_clear");
  EXPECT_EQ(calls[2], "control_text");
}

TEST_F(SearchTest, NameIsSentAsTypedWithEveryByteCoded) {
  const struct {
    Text name;
    std::string target;
  } cases[] = {
      {"abc", "/?search=%61%62%63"},
      {" a1 ", "/?search=%20%61%31%20"},
      {"", "/?search="},
  };
  for (const auto& c : cases) {
    FakeWindow window;
    window.set_text(Control::编辑框_搜索, c.name);
    SongSearchPage page(window, {server_.base(), {}});
    page.on_search_clicked();
    EXPECT_EQ(targets().back(), c.target) << "name '" << c.name << "'";
    EXPECT_EQ(window.rows(List::超级列表框1).size(), 3u) << "name '" << c.name << "'";
  }
}

TEST(SearchUnreachable, LeavesTheListEmptyAndSaysNothing) {
  std::string base;
  {
    LoopbackServer closed;
    closed.start();
    base = closed.base();
  }  // nothing listens there any more
  FakeWindow window;
  window.set_rows(List::超级列表框1, {{"1", "old", "1M"}});
  window.set_text(Control::编辑框_搜索, "abc");
  SongSearchPage page(window, {base, {}});

  page.on_search_clicked();

  EXPECT_TRUE(window.rows(List::超级列表框1).empty());
  EXPECT_TRUE(window.messages().empty());
}

// The first search's answer is held back until the second search has filled the list.
class SupersededSearchTest : public SearchTest {
 protected:
  void TearDown() override {
    release();  // a failed test must not leave the server waiting
    SearchTest::TearDown();
  }
  std::string page_for(const std::string& name) override {
    if (name == "slow") {
      std::unique_lock lock(release_mutex_);
      released_.wait(lock, [this] { return release_; });
      return song_block("1", "slow-1") + song_block("2", "slow-2") + song_block("3", "slow-3");
    }
    return song_block("7", "fast-7");
  }
  void release() {
    std::lock_guard lock(release_mutex_);
    release_ = true;
    released_.notify_all();
  }

  std::mutex release_mutex_;
  std::condition_variable released_;
  bool release_ = false;
};

TEST_F(SupersededSearchTest, OnlyTheLatestSearchWritesRows) {
  FakeWindow window(FakeWindow::Workers::threads);
  SongSearchPage page(window, {server_.base(), {}});

  window.set_text(Control::编辑框_搜索, "slow");
  page.on_search_clicked();
  while (targets().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  window.set_text(Control::编辑框_搜索, "fast");
  page.on_search_clicked();
  while (window.rows(List::超级列表框1).empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  release();
  window.join_workers();

  EXPECT_EQ(window.rows(List::超级列表框1), (Rows{{"7", "fast-7", "1.00M"}}));
}

// ---- Link, preview and copy ----------------------------------------------------------------

class SongLinkTest : public ::testing::Test {
 protected:
  SongLinkTest() : page_(window_, {kBase, {}}) {
    window_.set_rows(List::超级列表框1, {{"123", "T", "3M"}, {"456", cp936("夜曲"), "4M"}});
    window_.set_text(Control::编辑框_QQ, "10001");
  }
  static constexpr const char* kBase = "http://music.example/";
  FakeWindow window_;
  SongSearchPage page_;
};

TEST_F(SongLinkTest, LeftClickPublishesAndCopiesTheDownloadAddress) {
  window_.select_row(List::超级列表框1, 0);
  page_.on_list_left_click();

  const Text link = "http://music.example/down/123.mp3";
  EXPECT_EQ(window_.text(Control::标签1), "T");
  EXPECT_EQ(window_.text(Control::介绍_标签_下载地址), link);
  EXPECT_EQ(window_.text(Control::编辑框_地址), link);
  EXPECT_EQ(window_.clipboard(), link);
  EXPECT_THAT(window_.messages(),
              ElementsAre(ShownMessage{cp936("获取成功！已自动复制 Ctrl+C 粘贴即可"), {}}));
  EXPECT_EQ(window_.text(Control::编辑框_QQ), "10001");  // the other page's box is left alone
}

TEST_F(SongLinkTest, LeftClickBelowTheLastRowKeepsTheEarlierAddress) {
  window_.select_row(List::超级列表框1, 1);
  page_.on_list_left_click();
  window_.select_row(List::超级列表框1, 5);
  page_.on_list_left_click();

  const Text link = "http://music.example/down/456.mp3";
  EXPECT_EQ(window_.text(Control::标签1), "");
  EXPECT_EQ(window_.text(Control::介绍_标签_下载地址), link);
  EXPECT_EQ(window_.text(Control::编辑框_地址), link);
  ASSERT_EQ(window_.messages().size(), 2u);
  EXPECT_EQ(window_.messages()[1], (ShownMessage{cp936("请点击有效的歌曲！"), {}}));
}

TEST_F(SongLinkTest, RightClickPreviewsWithoutTouchingTheSelection) {
  window_.select_row(List::超级列表框1, 1);
  page_.on_list_left_click();
  window_.select_row(List::超级列表框1, 0);
  page_.on_list_right_click();

  EXPECT_THAT(window_.navigations(), ElementsAre("http://music.example/play/123.html"));
  EXPECT_EQ(window_.messages().size(), 1u);  // the left click's only
  EXPECT_EQ(window_.text(Control::标签1), cp936("夜曲"));
  EXPECT_EQ(window_.text(Control::编辑框_地址), "http://music.example/down/456.mp3");
}

TEST_F(SongLinkTest, CopyTakesWhatTheLinkBoxHolds) {
  for (const Text& typed : {Text("my own link"), Text()}) {
    window_.set_text(Control::编辑框_地址, typed);
    page_.on_copy_clicked();
    EXPECT_EQ(window_.clipboard(), typed);
    EXPECT_EQ(window_.messages().back(), (ShownMessage{cp936("已复制！Ctrl+C 粘贴即可"), {}}));
  }
}

}  // namespace
}  // namespace tfx::testing
