// The program as the user meets it: start-up, the menu, the pages bound to the window's
// events, and the end, against the sample site on a loopback port.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QWebEngineView>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "app/program.h"
#include "sample_site/site.h"
#include "tests/support/loopback_server.h"
#include "tests/ui/gui_test_support.h"
#include "text/url_coding.h"
#include "ui/qt_text.h"

namespace tfx::testing {
namespace {

constexpr const char* kGroupKey =
    "3f9a0c1e5b7d2468ace0bd13579f2e4c6a8b0d1f3e5c7a9b2d4f6e8a0c1b3d5f";

ProgramConfig config_for(const std::string& base, int port) {
  ProgramConfig c;
  c.song_search.music_site_base = base;
  c.song_search.download_root =
      std::filesystem::temp_directory_path() / ("tfx-app-test-" + std::to_string(port));
  c.space_music.space_lookup_base = base + "qzone/";
  c.maker = MakerConfig{base + "maker/", "127.0.0.1:" + std::to_string(port), "10001",
                        "moshi.example", base.substr(0, base.size() - 1),     kGroupKey};
  c.start_page_url = base + "start.html";
  return c;
}

class ProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    gui_app();
    site_ = new LoopbackServer;
    sample_site::install(site_->server());
    site_->server().set_logger([](const httplib::Request& req, const httplib::Response&) {
      std::lock_guard lock(mutex_);
      requests_.push_back(req.target);
    });
    site_->start();
    const ProgramConfig config = config_for(site_->base(), site_->port());
    download_root_ = config.song_search.download_root;
    program_ = new Program(config);
    QObject::connect(&program_->window(), &MainWindow::firstShown,
                     [] { url_at_first_show_ = program_->window().browser_address(); });
    program_->start();
  }
  static void TearDownTestSuite() {
    delete program_;
    delete site_;
    std::filesystem::remove_all(download_root_);
  }

  static bool requested(const std::string& target) {
    return wait_until([&] {
      std::lock_guard lock(mutex_);
      return std::find(requests_.begin(), requests_.end(), target) != requests_.end();
    });
  }
  static QUrl site_url(const std::string& path) {
    return QUrl(QString::fromStdString(site_->base() + path));
  }
  void click_row(List which, int row, Qt::MouseButton button) {
    ClickList* l = program_->window().list(which);
    QTest::mouseClick(l->viewport(), button, {}, l->visualItemRect(l->topLevelItem(row)).center());
  }
  QString text_of(Control c) { return to_qstring(program_->ops().control_text(c)); }

  static LoopbackServer* site_;
  static Program* program_;
  static std::mutex mutex_;
  static std::vector<std::string> requests_;
  static QUrl url_at_first_show_;
  static std::filesystem::path download_root_;
};

LoopbackServer* ProgramTest::site_ = nullptr;
Program* ProgramTest::program_ = nullptr;
std::mutex ProgramTest::mutex_;
std::vector<std::string> ProgramTest::requests_;
QUrl ProgramTest::url_at_first_show_;
std::filesystem::path ProgramTest::download_root_;

TEST_F(ProgramTest, StartLoadsTheStartPageBeforeTheWindowShows) {
  // The created event came first: the start page was given to the browser box before the
  // window appeared.
  EXPECT_EQ(url_at_first_show_, site_url("start.html"));
  EXPECT_TRUE(requested("/start.html"));
  EXPECT_TRUE(program_->window().isVisible());
  EXPECT_EQ(program_->window().tabs()->currentIndex(), 0);
  EXPECT_EQ(text_of(Control::编辑框_QQ), QStringLiteral("10001"));
}

TEST_F(ProgramTest, MenuCommandsOpenTheMakersAddressesAndCancelThePreview) {
  QStringList opened;
  program_->ops().set_opener([&](const QString& a) { opened << a; });
  program_->window().tabs()->setCurrentIndex(1);  // the commands work from either page
  for (MenuCommand c :
       {MenuCommand::官网, MenuCommand::粉丝群, MenuCommand::联系我, MenuCommand::检查更新}) {
    program_->window().menu_action(c)->trigger();
  }
  const QString base = QString::fromStdString(site_->base());
  EXPECT_EQ(opened, (QStringList{base + "maker/", base + "wpa/qunwpa?idkey=" + kGroupKey,
                                 "tencent://Message/?Uin=10001&websiteName=moshi.example&Menu=yes",
                                 base + "maker/"}));

  program_->window().menu_action(MenuCommand::取消试听)->trigger();
  // The bare host is completed as a web address and loaded into the hidden box.
  EXPECT_TRUE(requested("/"));
  EXPECT_TRUE(wait_until([] { return program_->window().browser()->url() == site_url(""); }));
  EXPECT_TRUE(program_->window().browser()->isHidden());
  program_->window().tabs()->setCurrentIndex(0);
}

TEST_F(ProgramTest, ButtonsAndListClicksRunThePagesHandlers) {
  BoxAnswerer answerer;
  MainWindow& w = program_->window();

  w.tabs()->setCurrentIndex(1);
  QTest::mouseClick(w.button(QStringLiteral("按钮_提取")), Qt::LeftButton);
  ASSERT_EQ(w.list(List::超级列表框2)->topLevelItemCount(), 3);
  click_row(List::超级列表框2, 1, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("晴天"));
  click_row(List::超级列表框2, 1, Qt::RightButton);
  EXPECT_TRUE(text_of(Control::编辑框_地址1).endsWith(QStringLiteral("/down/1004.mp3")));

  w.tabs()->setCurrentIndex(0);
  QTest::mouseClick(w.button(QStringLiteral("按钮_确定")), Qt::LeftButton);  // "正义之道"
  ASSERT_TRUE(wait_until([&] { return w.list(List::超级列表框1)->topLevelItemCount() == 2; }));
  click_row(List::超级列表框1, 0, Qt::LeftButton);
  EXPECT_EQ(text_of(Control::编辑框_地址), QString::fromStdString(site_->base() + "down/1001.mp3"));
  click_row(List::超级列表框1, 1, Qt::RightButton);
  EXPECT_TRUE(requested("/play/1002.html"));
  QTest::mouseClick(w.button(QStringLiteral("按钮_复制")), Qt::LeftButton);

  ASSERT_EQ(answerer.seen().size(), 2u);
  EXPECT_EQ(answerer.seen()[0].text, QStringLiteral("获取成功！已自动复制 Ctrl+C 粘贴即可"));
  EXPECT_EQ(answerer.seen()[1].text, QStringLiteral("已复制！Ctrl+C 粘贴即可"));
}

// The child process builds the program, keeps workers busy with the window and a worker's
// message box open, and closes the window. A hang ends the child with status 3 instead.
[[noreturn]] void close_while_workers_run() {
  QApplication& app = gui_app();
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(20));
    std::_Exit(3);
  }).detach();
  auto* program = new Program(config_for("http://127.0.0.1:9/", 9));  // kept to the end
  WindowOps& ops = program->ops();
  ops.start_worker([&ops] {
    for (;;) {
      const int row = ops.list_append_row(List::超级列表框1);
      ops.list_set_cell(List::超级列表框1, row, 1, "x");
      ops.set_control_text(Control::编辑框_地址, std::to_string(row));
    }
  });
  ops.start_worker([&ops] {
    ops.show_message(cp936("开始下载，请等待提示完成！"));
    for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  });
  program->start();
  QTimer::singleShot(500, &program->window(), [program] { program->window().close(); });
  run_until_closed(app);
}

TEST(ProgramEndTest, ClosingTheWindowEndsTheProcessAtOnceWhileWorkersRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(close_while_workers_run(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tfx::testing
