// The window operations over the real window, from the window's thread and from workers.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "tests/ui/gui_test_support.h"
#include "text/url_coding.h"
#include "ui/main_window.h"
#include "ui/qt_window_ops.h"

namespace tfx::testing {
namespace {

class WindowOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui_app();
    window_ = std::make_unique<MainWindow>(MainWindowOptions{QStringLiteral("10001"), false});
    ops_ = std::make_unique<QtWindowOps>(*window_);
    window_->show_centred();
    ASSERT_TRUE(wait_until([&] { return window_->isVisible(); }));
  }
  void TearDown() override {
    for (QMessageBox* box : open_boxes()) box->button(QMessageBox::Ok)->click();
  }

  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<QtWindowOps> ops_;
};

TEST_F(WindowOpsTest, ListRowsAndCells) {
  const List l = List::超级列表框2;
  EXPECT_EQ(ops_->list_append_row(l), 0);
  EXPECT_EQ(ops_->list_append_row(l), 1);
  ops_->list_set_cell(l, 1, 1, cp936("音乐链接"));
  EXPECT_EQ(ops_->list_cell(l, 1, 1), cp936("音乐链接"));
  EXPECT_EQ(ops_->list_cell(l, 1, 0), "");

  // Rows and columns that do not exist are ignored and read as empty.
  const std::pair<int, int> missing[] = {{2, 0}, {-1, 0}, {0, 2}, {0, -1}, {1000, 1}};
  for (auto [row, column] : missing) {
    SCOPED_TRACE(std::to_string(row) + "," + std::to_string(column));
    ops_->list_set_cell(l, row, column, "x");
    EXPECT_EQ(ops_->list_cell(l, row, column), "");
  }
  EXPECT_EQ(window_->list(l)->topLevelItemCount(), 2);
  EXPECT_EQ(ops_->list_cell(l, 0, 0) + ops_->list_cell(l, 0, 1) + ops_->list_cell(l, 1, 0), "");

  EXPECT_EQ(ops_->list_current_row(l), -1);
  window_->list(l)->setCurrentItem(window_->list(l)->topLevelItem(1));
  EXPECT_EQ(ops_->list_current_row(l), 1);
  ops_->list_clear(l);
  EXPECT_EQ(window_->list(l)->topLevelItemCount(), 0);
  EXPECT_EQ(ops_->list_current_row(l), -1);
  EXPECT_EQ(ops_->list_append_row(l), 0);
  EXPECT_EQ(ops_->list_current_row(l), -1);
}

TEST_F(WindowOpsTest, ControlTextsRoundTripInCodePage936) {
  const Text text = cp936("【晴天】 down/1001.mp3 Ｑ");
  const Text long_text(40000, 'a');
  for (Control c : {Control::编辑框_搜索, Control::编辑框_地址, Control::编辑框_QQ,
                    Control::编辑框_地址1, Control::标签1, Control::介绍_标签_下载地址}) {
    ops_->set_control_text(c, text);
    EXPECT_EQ(ops_->control_text(c), text);
    ops_->set_control_text(c, long_text);  // no length limit
    EXPECT_EQ(ops_->control_text(c), long_text);
    ops_->set_control_text(c, "");
    EXPECT_EQ(ops_->control_text(c), "");
  }
  // What the user types is what the pages read.
  auto* box = qobject_cast<QLineEdit*>(window_->control(Control::编辑框_搜索));
  box->clear();
  QTest::keyClicks(box, QStringLiteral("abc "));
  box->insert(QStringLiteral("晴天"));  // as an input method commits it
  EXPECT_EQ(ops_->control_text(Control::编辑框_搜索), cp936("abc 晴天"));
}

TEST_F(WindowOpsTest, ClipboardAndOpenerGetTheText) {
  ops_->clipboard_set_text(cp936("正义之道"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("正义之道"));
  ops_->clipboard_set_text("");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());

  QStringList opened;
  ops_->set_opener([&](const QString& a) { opened << a; });
  ops_->open_in_default_browser("tencent://Message/?Uin=10001&websiteName=a.example&Menu=yes");
  EXPECT_EQ(opened, QStringList{"tencent://Message/?Uin=10001&websiteName=a.example&Menu=yes"});
}

TEST_F(WindowOpsTest, MessageOnTheWindowsThreadIsModalToTheWindow) {
  BoxAnswerer answerer;
  ops_->show_message(cp936("获取成功！已自动复制 Ctrl+C 粘贴即可"));
  ops_->show_message(cp936("文件在目录下"), cp936("下载成功"));
  ASSERT_EQ(answerer.seen().size(), 2u);
  EXPECT_EQ(answerer.seen()[0].title, QStringLiteral("信息："));
  EXPECT_EQ(answerer.seen()[0].text, QStringLiteral("获取成功！已自动复制 Ctrl+C 粘贴即可"));
  EXPECT_EQ(answerer.seen()[1].title, QStringLiteral("下载成功"));
  for (const SeenBox& box : answerer.seen()) {
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, 1);
    EXPECT_EQ(box.modality, Qt::WindowModal);
    EXPECT_EQ(box.owner, window_.get());
  }
}

// While the window's thread waits for the user in a message box, it still carries out the
// calls of workers.
TEST_F(WindowOpsTest, WorkerUsesTheWindowWhileAMessageBoxIsOpen) {
  std::atomic<bool> box_open{false};
  std::atomic<bool> worker_done{false};
  Text read_back;
  ops_->start_worker([&] {
    while (!box_open) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ops_->set_control_text(Control::编辑框_地址, cp936("来自工作线程"));
    ops_->list_append_row(List::超级列表框1);
    ops_->list_set_cell(List::超级列表框1, 0, 1, "w");
    read_back = ops_->control_text(Control::编辑框_地址) + ops_->list_cell(List::超级列表框1, 0, 1);
    worker_done = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  BoxAnswerer answerer([&] {
    box_open = true;
    return worker_done || std::chrono::steady_clock::now() > deadline;
  });
  ops_->show_message(cp936("开始下载，请等待提示完成！"));
  EXPECT_TRUE(worker_done);
  EXPECT_EQ(read_back, cp936("来自工作线程") + "w");
}

// A worker's box blocks only that worker: the window takes clicks meanwhile, several boxes
// stand side by side, and each releases its own worker.
TEST_F(WindowOpsTest, WorkersMessageBoxesLeaveTheWindowUsable) {
  std::atomic<int> finished{0};
  for (const char* text : {"请选择(点击)一个下载歌曲", "下载成功"}) {
    ops_->start_worker([this, text, &finished] {
      ops_->show_message(cp936(text));
      ++finished;
    });
  }
  ASSERT_TRUE(wait_until([] { return open_boxes().size() == 2; }));
  EXPECT_EQ(finished, 0);
  for (QMessageBox* box : open_boxes()) {
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("信息："));
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  ops_->list_append_row(List::超级列表框1);
  int clicks = 0;
  ClickList* list = window_->list(List::超级列表框1);
  QObject::connect(list, &ClickList::leftClicked, [&] { ++clicks; });
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->topLevelItem(0)).center());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(ops_->list_current_row(List::超级列表框1), 0);

  open_boxes().front()->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(wait_until([&] { return finished == 1; }));
  EXPECT_EQ(open_boxes().size(), 1u);
  open_boxes().front()->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(wait_until([&] { return finished == 2; }));
}

TEST_F(WindowOpsTest, WorkersRunSideBySideAndTheirCallsEachTakeOneWholeStep) {
  // Each worker waits for the other to have started: neither waits for the other to end.
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  constexpr int kWorkers = 4;
  constexpr int kRows = 50;
  for (int w = 0; w < kWorkers; ++w) {
    ops_->start_worker([&, w] {
      ++started;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (started < kWorkers && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
      }
      for (int i = 0; i < kRows; ++i) {
        const int row = ops_->list_append_row(List::超级列表框1);
        ops_->list_set_cell(List::超级列表框1, row, 0, std::to_string(w));
      }
      ++finished;
    });
  }
  ASSERT_TRUE(wait_until([&] { return finished == kWorkers; }));
  ClickList* list = window_->list(List::超级列表框1);
  ASSERT_EQ(list->topLevelItemCount(), kWorkers * kRows);
  std::vector<int> per_worker(kWorkers);
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    ++per_worker[static_cast<size_t>(std::stoi(ops_->list_cell(List::超级列表框1, row, 0)))];
  }
  EXPECT_EQ(per_worker, std::vector<int>(kWorkers, kRows));
}

TEST_F(WindowOpsTest, ListFilledByAWorkerIsPaintedAgainOnceTheRowsStop) {
  // Painting is held back while a worker streams rows in; the list must not stay frozen after.
  std::atomic<bool> done{false};
  ops_->start_worker([&] {
    for (int i = 0; i < 200; ++i) {
      ops_->list_append_row(List::超级列表框1);
      ops_->list_set_cell(List::超级列表框1, i, 1, std::to_string(i));
    }
    done = true;
  });
  ASSERT_TRUE(wait_until([&] { return done.load(); }));
  ClickList* list = window_->list(List::超级列表框1);
  EXPECT_EQ(list->topLevelItemCount(), 200);
  ASSERT_TRUE(wait_until([&] { return list->updatesEnabled(); }));
  EXPECT_TRUE(list->viewport()->updatesEnabled());
}

TEST(DesktopOpenerTest, HandsTheAddressOverExactlyAsBuilt) {
  // A stand-in xdg-open, first on PATH, records what the desktop would be asked to open.
  char pattern[] = "/tmp/tfx-opener-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  const std::filesystem::path seen = dir / "seen";
  {
    std::ofstream script(dir / "xdg-open");
    script << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << seen.string() << ".tmp\" && mv \""
           << seen.string() << ".tmp\" \"" << seen.string() << "\"\n";
  }
  std::filesystem::permissions(dir / "xdg-open", std::filesystem::perms::owner_all);
  const std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir.string() + ":" + old_path).c_str(), 1);

  const QString addresses[] = {
      QStringLiteral("tencent://Message/?Uin=10001&websiteName=a.example&Menu=yes"),
      QStringLiteral("http://Maker.example/Path?A=1"),
  };
  for (const QString& address : addresses) {
    SCOPED_TRACE(address.toStdString());
    std::filesystem::remove(seen);
    QtWindowOps::open_with_desktop(address);
    ASSERT_TRUE(wait_until([&] { return std::filesystem::exists(seen); }));
    std::ifstream in(seen);
    const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, address.toStdString());
  }
  setenv("PATH", old_path.c_str(), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tfx::testing
