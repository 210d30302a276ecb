// The space music page against a fake window and a lookup service on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "pages/space_music/space_music.h"
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

// The lookup service: answers with the page set for the test and records what it was asked.
class SpaceMusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Get("/qzone/", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      asked_.push_back(req.get_param_value("qq"));
      res.set_content(page_, "text/html; charset=gb2312");
    });
    server_.start();
  }
  void TearDown() override { server_.stop(); }

  SpaceMusicConfig config() const { return {server_.base() + "qzone/"}; }
  void serve(const std::string& page) {
    std::lock_guard lock(mutex_);
    page_ = page;
  }
  std::vector<std::string> asked() {
    std::lock_guard lock(mutex_);
    return asked_;
  }

  LoopbackServer server_;
  std::mutex mutex_;
  std::string page_;
  std::vector<std::string> asked_;
};

const Rows kTwoSongs = {
    {cp936("正义之道"), "http://music.example/mp3/zhengyi.mp3"},
    {cp936("夜空中最亮的星"), "http://music.example/get.php?id=77&amp;type=mp3"},
};

TEST_F(SpaceMusicTest, ListsTheSongsOfThePageInOrder) {
  const struct {
    const char* page;
    Rows rows;
  } cases[] = {
      {"qzone-two-songs.html", kTwoSongs},
      // The markers end in a carriage return: a page with bare line feeds gives nothing.
      {"qzone-two-songs-lf.html", {}},
  };
  for (const auto& c : cases) {
    serve(read_data(c.page));
    FakeWindow window;
    window.set_rows(List::超级列表框2, {{"old", "row"}});
    window.set_text(Control::编辑框_QQ, "10001");
    SpaceMusicPage page(window, config());

    page.on_extract_clicked();

    EXPECT_EQ(window.rows(List::超级列表框2), c.rows) << c.page;
    EXPECT_TRUE(window.messages().empty()) << c.page;
    EXPECT_EQ(asked().back(), "10001");
  }
}

TEST_F(SpaceMusicTest, BoxTextGoesOutAsTypedInAValidRequest) {
  serve(read_data("qzone-two-songs.html"));
  FakeWindow window;
  window.set_text(Control::编辑框_QQ, "123 ");
  SpaceMusicPage page(window, config());

  page.on_extract_clicked();

  EXPECT_THAT(asked(), ElementsAre("123 "));
  EXPECT_EQ(window.rows(List::超级列表框2), kTwoSongs);
}

TEST_F(SpaceMusicTest, EmptyBoxAsksForANumberAndKeepsTheRows) {
  FakeWindow window;
  window.set_rows(List::超级列表框2, {{"kept", "row"}});
  SpaceMusicPage page(window, config());

  page.on_extract_clicked();

  EXPECT_THAT(window.messages(), ElementsAre(ShownMessage{cp936("请输入QQ！"), {}}));
  EXPECT_EQ(window.rows(List::超级列表框2), (Rows{{"kept", "row"}}));
  EXPECT_TRUE(asked().empty());
}

TEST(SpaceMusicUnreachable, LeavesTheListEmptyAndSaysNothing) {
  std::string base;
  {
    LoopbackServer closed;
    closed.start();
    base = closed.base();
  }
  FakeWindow window;
  window.set_rows(List::超级列表框2, {{"old", "row"}});
  window.set_text(Control::编辑框_QQ, "10001");
  SpaceMusicPage page(window, {base + "qzone/"});

  page.on_extract_clicked();

  EXPECT_TRUE(window.rows(List::超级列表框2).empty());
  EXPECT_TRUE(window.messages().empty());
}

class SpaceMusicClicksTest : public ::testing::Test {
 protected:
  SpaceMusicClicksTest() : page_(window_, {"http://lookup.example/"}) {
    window_.set_rows(List::超级列表框2, kTwoSongs);
  }
  FakeWindow window_;
  SpaceMusicPage page_;
};

TEST_F(SpaceMusicClicksTest, LeftClickCopiesTheName) {
  window_.set_text(Control::编辑框_地址1, "kept");
  window_.select_row(List::超级列表框2, 1);
  page_.on_list_left_click();
  EXPECT_EQ(window_.clipboard(), cp936("夜空中最亮的星"));
  EXPECT_EQ(window_.text(Control::编辑框_地址1), "kept");
  EXPECT_TRUE(window_.messages().empty());
}

TEST_F(SpaceMusicClicksTest, RightClickShowsAndCopiesTheAddress) {
  const struct {
    int row;
    Text address;
  } cases[] = {{1, kTwoSongs[1][1]}, {7, ""}};  // 7: below the last row
  for (const auto& c : cases) {
    window_.set_text(Control::编辑框_地址1, "before");
    window_.select_row(List::超级列表框2, c.row);
    page_.on_list_right_click();
    EXPECT_EQ(window_.text(Control::编辑框_地址1), c.address);
    EXPECT_EQ(window_.clipboard(), c.address);
  }
  EXPECT_TRUE(window_.messages().empty());
}

TEST_F(SpaceMusicClicksTest, CopyButtonCopiesTheLinkBox) {
  window_.set_text(Control::编辑框_地址1, "typed by hand");
  page_.on_copy_clicked();
  EXPECT_EQ(window_.clipboard(), "typed by hand");
  EXPECT_THAT(window_.messages(), ElementsAre(ShownMessage{cp936("已复制！Ctrl+C 粘贴即可"), {}}));
}

}  // namespace
}  // namespace tfx::testing
