// Both pages on the real window (offscreen) against the bundled sample site on loopback: what
// a user does, click by click, and what lands on the screen, the clipboard and the disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "sample_site/media.h"
#include "sample_site/site.h"
#include "tests/support/loopback_server.h"
#include "tests/ui/gui_test_support.h"
#include "text/url_coding.h"
#include "ui/application.h"

namespace tfx::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::Pair;

// The sample site answers at once; the margin is for a loaded machine or a sanitizer build.
constexpr std::chrono::seconds kPatience{30};

// Whether some message box that was answered said `text`.
bool said(const BoxAnswerer& boxes, const QString& text) {
  for (const SeenBox& box : boxes.seen()) {
    if (box.text == text) return true;
  }
  return false;
}

QString edit_text(Program& program, Control c) {
  return qobject_cast<QLineEdit*>(program.window().control(c))->text();
}

// A real click on a row, through the list's own press and release handling.
void click_row(ClickList* list, int row, Qt::MouseButton button) {
  QTreeWidgetItem* item = list->topLevelItem(row);
  ASSERT_NE(item, nullptr);
  QTest::mouseClick(list->viewport(), button, {}, list->visualItemRect(item).center());
}

class PagesEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    sample_site::install(site_.server());
    site_.start();
    char pattern[] = "/tmp/tfx-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;

    ProgramConfig config;
    config.song_search = {site_.base(), root_};
    config.space_music = {site_.base() + "qzone/"};
    config.maker.maker_qq_number = "10001";
    config.start_page_url = site_.base() + "start.html";
    program_ = std::make_unique<Program>(config);
    program_->start();
  }
  void TearDown() override {
    program_->window().hide();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  LoopbackServer site_;
  fs::path root_;
  std::unique_ptr<Program> program_;
  BoxAnswerer messages_;
};

TEST_F(PagesEndToEnd, SearchPickAndDownloadASong) {
  MainWindow& window = program_->window();
  ClickList* songs = window.list(List::超级列表框1);

  // 编辑框_搜索 starts with "正义之道"; the sample site has two songs of that name.
  window.button("按钮_确定")->click();
  ASSERT_TRUE(wait_until(
      [&] { return songs->topLevelItemCount() == 2 && !songs->topLevelItem(1)->text(2).isEmpty(); },
      kPatience));
  EXPECT_EQ(songs->topLevelItem(0)->text(0), "1001");
  EXPECT_EQ(songs->topLevelItem(0)->text(1), "正义之道");
  EXPECT_EQ(songs->topLevelItem(1)->text(1), "正义之道 (伴奏)");
  EXPECT_TRUE(messages_.seen().empty());

  click_row(songs, 0, Qt::LeftButton);
  const QString link = QString::fromStdString(site_.base()) + "down/1001.mp3";
  ASSERT_TRUE(wait_until([&] { return said(messages_, "获取成功！已自动复制 Ctrl+C 粘贴即可"); },
                         kPatience));
  EXPECT_EQ(edit_text(*program_, Control::编辑框_地址), link);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), link);

  window.button("按钮_下载")->click();
  ASSERT_TRUE(wait_until(
      [&] { return said(messages_, "【正义之道】下载成功,文件在目录下[下载音乐]文件夹内"); },
      kPatience));
  EXPECT_TRUE(said(messages_, "开始下载，请等待提示完成！"));
  const fs::path file = root_ / "下载音乐" / "【正义之道】-听风匣.mp3";
  std::ifstream in(file, std::ios::binary);
  std::ostringstream saved;
  saved << in.rdbuf();
  EXPECT_FALSE(saved.str().empty());
  EXPECT_TRUE(saved.str() == sample_site::media_file("1001")) << file;
}

TEST_F(PagesEndToEnd, ListTheMusicOfAQqSpaceAndCopyAnAddress) {
  MainWindow& window = program_->window();
  window.tabs()->setCurrentIndex(1);
  ClickList* music = window.list(List::超级列表框2);

  // 编辑框_QQ starts with the maker's number, whose space has three songs.
  window.button("按钮_提取")->click();
  ASSERT_EQ(music->topLevelItemCount(), 3);  // on the window's thread: done when the click is
  EXPECT_EQ(music->topLevelItem(0)->text(0), "正义之道");
  EXPECT_EQ(music->topLevelItem(2)->text(0), "风吹麦浪");
  const QString address = "http://127.0.0.1:" + QString::number(site_.port()) + "/down/1004.mp3";
  EXPECT_EQ(music->topLevelItem(1)->text(1), address);

  click_row(music, 1, Qt::RightButton);
  EXPECT_EQ(edit_text(*program_, Control::编辑框_地址1), address);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), address);
  click_row(music, 2, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "风吹麦浪");

  window.button("按钮_复制1")->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), address);
  EXPECT_TRUE(said(messages_, "已复制！Ctrl+C 粘贴即可"));
}

}  // namespace
}  // namespace tfx::testing

int main(int argc, char** argv) {
  tfx::prepare_application();
  QApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // Detached workers and the browser engine may still run; end as the program does.
  std::fflush(nullptr);
  std::_Exit(result);
}
