// The window as the user sees it: controls, texts, layout, menu, lists and tab pages.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionHeader>
#include <QTabBar>
#include <QWebEngineView>
#include <cmath>
#include <memory>
#include <mutex>

#include "tests/support/loopback_server.h"
#include "tests/ui/gui_test_support.h"
#include "text/url_coding.h"
#include "ui/main_window.h"
#include "ui/qt_window_ops.h"

namespace tfx::testing {
namespace {

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    gui_app();
    window_ = new MainWindow({QStringLiteral("10001"), true});
    window_->show_centred();
    ASSERT_TRUE(wait_until([] { return window_->browser() != nullptr; }));
  }
  static void TearDownTestSuite() {
    delete window_;
    window_ = nullptr;
  }
  void TearDown() override { window_->tabs()->setCurrentIndex(0); }

  static int px(int v) { return static_cast<int>(std::lround(v * window_->layout_scale())); }

  static MainWindow* window_;
};

MainWindow* WindowTest::window_ = nullptr;

struct ControlCase {
  const char* name;
  const char* kind;
  const char* parent;  // "选择夹1", a group box, or "" for the client area
  int page;            // tab page the control lies on, -1 for the client area
  QRect plan;          // position and size in the pixel plan
  const char* text;
  bool shown;
  bool centred;
};

const ControlCase kControls[] = {
    {"选择夹1", "QTabWidget", "", -1, {0, 0, 435, 264}, "", true, false},
    {"标签1", "QLabel", "", -1, {104, 72, 144, 24}, "", false, false},
    {"介绍_标签_下载地址", "QLabel", "", -1, {128, 96, 232, 16}, "", false, false},
    {"分组框1", "QGroupBox", "选择夹1", 0, {5, 20, 428, 40}, "", true, false},
    {"透明标签1", "QLabel", "分组框1", 0, {10, 15, 31, 16}, "歌名：", true, false},
    {"编辑框_搜索", "QLineEdit", "分组框1", 0, {43, 13, 328, 20}, "正义之道", true, true},
    {"按钮_确定", "QPushButton", "分组框1", 0, {374, 10, 49, 25}, "搜索", true, false},
    {"超级列表框1", "QTreeWidget", "选择夹1", 0, {4, 61, 429, 171}, "", true, false},
    {"超文本浏览框1", "QWebEngineView", "选择夹1", 0, {73, 92, 240, 152}, "", false, false},
    {"透明标签2", "QLabel", "选择夹1", 0, {7, 239, 31, 16}, "外链：", true, false},
    {"编辑框_地址", "QLineEdit", "选择夹1", 0, {41, 237, 280, 20}, "", true, false},
    {"按钮_复制", "QPushButton", "选择夹1", 0, {324, 234, 49, 25}, "复制", true, false},
    {"按钮_下载", "QPushButton", "选择夹1", 0, {380, 234, 49, 25}, "下载", true, false},
    {"分组框2", "QGroupBox", "选择夹1", 1, {5, 20, 428, 40}, "", true, false},
    {"透明标签3", "QLabel", "分组框2", 1, {10, 15, 21, 16}, "QQ：", true, false},
    {"编辑框_QQ", "QLineEdit", "分组框2", 1, {35, 13, 336, 20}, "10001", true, true},
    {"按钮_提取", "QPushButton", "分组框2", 1, {374, 10, 49, 25}, "提取", true, false},
    {"超级列表框2", "QTreeWidget", "选择夹1", 1, {4, 61, 429, 171}, "", true, false},
    {"透明标签4", "QLabel", "选择夹1", 1, {7, 239, 31, 16}, "链接：", true, false},
    {"编辑框_地址1", "QLineEdit", "选择夹1", 1, {41, 237, 335, 20}, "", true, false},
    {"按钮_复制1", "QPushButton", "选择夹1", 1, {380, 234, 49, 25}, "复制", true, false},
};

QString text_of(QWidget* w) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

TEST_F(WindowTest, EveryControlHasItsKindPlaceSizeTextAndVisibility) {
  QTabWidget* tabs = window_->tabs();
  for (const ControlCase& c : kControls) {
    SCOPED_TRACE(c.name);
    if (c.page >= 0) {
      tabs->setCurrentIndex(c.page);
      QApplication::processEvents();
    }
    auto* w = window_->findChild<QWidget*>(QString::fromUtf8(c.name));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->inherits(c.kind)) << w->metaObject()->className();

    QPoint pos;
    if (c.page < 0) {
      EXPECT_EQ(w->parentWidget(), window_->centralWidget());
      pos = w->pos();
    } else {
      EXPECT_TRUE(tabs->widget(c.page)->isAncestorOf(w));
      QWidget* parent = window_->findChild<QWidget*>(QString::fromUtf8(c.parent));
      ASSERT_NE(parent, nullptr);
      pos = w->mapTo(parent, QPoint(0, 0));
      if (QString::fromUtf8(c.parent) != QStringLiteral("选择夹1")) {
        EXPECT_EQ(w->parentWidget(), parent);
      }
    }
    EXPECT_EQ(pos, QPoint(px(c.plan.x()), px(c.plan.y())));
    EXPECT_EQ(w->size(), QSize(px(c.plan.width()), px(c.plan.height())));
    EXPECT_EQ(text_of(w), QString::fromUtf8(c.text));
    EXPECT_EQ(!w->isHidden(), c.shown);
    EXPECT_TRUE(w->isEnabled());
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      EXPECT_EQ(e->alignment() & Qt::AlignHCenter, c.centred ? Qt::AlignHCenter : Qt::Alignment{});
      EXPECT_FALSE(e->isReadOnly());
      EXPECT_EQ(e->echoMode(), QLineEdit::Normal);
    }
  }
}

TEST_F(WindowTest, OnlyTheCurrentPagesControlsAreVisible) {
  auto visible = [](const char* name) {
    return window_->findChild<QWidget*>(QString::fromUtf8(name))->isVisible();
  };
  EXPECT_TRUE(visible("编辑框_搜索"));
  EXPECT_FALSE(visible("编辑框_QQ"));
  window_->tabs()->setCurrentIndex(1);
  EXPECT_FALSE(visible("编辑框_搜索"));
  EXPECT_TRUE(visible("编辑框_QQ"));
  EXPECT_FALSE(visible("超文本浏览框1"));
  window_->tabs()->setCurrentIndex(0);
  EXPECT_FALSE(visible("超文本浏览框1"));
  EXPECT_FALSE(visible("标签1"));
}

TEST_F(WindowTest, WindowIsFixedCentredAndCaptioned) {
  const QString caption = window_->windowTitle();
  const QString lead = QStringLiteral("墨石-听风匣v1.1    ");
  ASSERT_TRUE(caption.startsWith(lead));
  EXPECT_GT(caption.size(), lead.size());
  EXPECT_FALSE(caption.at(lead.size()).isSpace());

  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  EXPECT_EQ(window_->size(), window_->minimumSize());
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

  const QRect screen = window_->screen()->geometry();
  EXPECT_EQ(window_->frameGeometry().topLeft(),
            QPoint(screen.x() + (screen.width() - window_->frameGeometry().width()) / 2,
                   screen.y() + (screen.height() - window_->frameGeometry().height()) / 2));
  EXPECT_EQ(window_->tabs()->count(), 2);
  EXPECT_EQ(window_->tabs()->tabText(0), QStringLiteral("搜索音乐"));
  EXPECT_EQ(window_->tabs()->tabText(1), QStringLiteral("提取空间音乐"));
}

TEST_F(WindowTest, MenuHoldsFiveCommandsInOrder) {
  const QList<QAction*> bar = window_->menuBar()->actions();
  ASSERT_EQ(bar.size(), 1);
  EXPECT_EQ(bar[0]->text(), QStringLiteral("菜单"));
  ASSERT_NE(bar[0]->menu(), nullptr);
  QStringList texts;
  for (QAction* a : bar[0]->menu()->actions()) {
    texts << a->text();
    EXPECT_FALSE(a->isSeparator());
    EXPECT_FALSE(a->isCheckable());
    EXPECT_TRUE(a->isEnabled());
    EXPECT_TRUE(a->shortcut().isEmpty());
    EXPECT_EQ(a->menu(), nullptr);
  }
  EXPECT_EQ(texts, (QStringList{"官网", "粉丝群", "联系我", "取消试听", "检查更新"}));
  EXPECT_EQ(window_->menu_action(MenuCommand::取消试听)->text(), QStringLiteral("取消试听"));
}

struct ColumnCase {
  List list;
  int column;
  const char* caption;
  int width;
};

TEST_F(WindowTest, ListsAreReportViewsWithTheirColumns) {
  const ColumnCase columns[] = {
      {List::超级列表框1, 0, "UID", 40},
      {List::超级列表框1, 1, "歌曲名(左击获取外链,右击试听,取消试听点菜单)", 300},
      {List::超级列表框1, 2, "大小", 60},
      {List::超级列表框2, 0, "音乐名(左击自动复制名字)", 160},
      {List::超级列表框2, 1, "音乐链接(右击自动复制链接)", 240},
  };
  for (const ColumnCase& c : columns) {
    ClickList* l = window_->list(c.list);
    SCOPED_TRACE(c.caption);
    EXPECT_EQ(l->headerItem()->text(c.column), QString::fromUtf8(c.caption));
    EXPECT_EQ(l->columnWidth(c.column), px(c.width));
    // Every caption is whole: the header needs no more than the column gives it.
    QStyleOptionHeader option;
    option.initFrom(l->header());
    option.text = QString::fromUtf8(c.caption);
    option.section = c.column;
    const QSize need = l->header()->style()->sizeFromContents(QStyle::CT_HeaderSection, &option,
                                                              QSize(), l->header());
    EXPECT_LE(need.width(), l->columnWidth(c.column));
  }
  for (List which : {List::超级列表框1, List::超级列表框2}) {
    ClickList* l = window_->list(which);
    EXPECT_EQ(l->columnCount(), which == List::超级列表框1 ? 3 : 2);
    EXPECT_FALSE(l->header()->isHidden());
    EXPECT_FALSE(l->header()->sectionsClickable());
    EXPECT_FALSE(l->isSortingEnabled());
    EXPECT_EQ(l->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(l->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(l->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(l->rootIsDecorated());
    EXPECT_EQ(l->topLevelItemCount(), 0);
    // Without the focus the selection stays but is drawn like any other row.
    const QPalette& p = l->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight),
              p.color(QPalette::Inactive, QPalette::Base));
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::HighlightedText),
              p.color(QPalette::Inactive, QPalette::Text));
    EXPECT_NE(p.color(QPalette::Active, QPalette::Highlight),
              p.color(QPalette::Active, QPalette::Base));
  }
}

TEST_F(WindowTest, NoCaptionOrTextIsCutOff) {
  for (auto* label : window_->findChildren<QLabel*>()) {
    if (label->isHidden() || label->text().isEmpty()) continue;
    SCOPED_TRACE(label->objectName().toStdString());
    const QRect ink = label->fontMetrics().boundingRect(label->text());
    EXPECT_LE(ink.right() + 1, label->contentsRect().width());
    EXPECT_LE(label->fontMetrics().ascent() + label->fontMetrics().descent(), label->height());
  }
  for (auto* button : window_->findChildren<QPushButton*>()) {
    if (button->parent() == nullptr || button->objectName().isEmpty()) continue;
    SCOPED_TRACE(button->objectName().toStdString());
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), contents.width());
    EXPECT_LE(button->fontMetrics().height(), contents.height());
  }
  for (auto* edit : window_->findChildren<QLineEdit*>()) {
    SCOPED_TRACE(edit->objectName().toStdString());
    EXPECT_LE(edit->fontMetrics().ascent() + edit->fontMetrics().descent() + 4, edit->height());
  }
  // The page contents start below the tab strip, so the group boxes' top lines show.
  for (int page : {0, 1}) {
    window_->tabs()->setCurrentIndex(page);
    QApplication::processEvents();
    auto* group = window_->tabs()->widget(page)->findChild<QGroupBox*>();
    EXPECT_GE(group->mapTo(window_->tabs(), QPoint(0, 0)).y(),
              window_->tabs()->tabBar()->geometry().bottom() - 1);
  }
}

// A page in the browser box, a list row, a selection and texts all survive a round trip
// through the other tab page; the page is not loaded again.
TEST_F(WindowTest, TabChangesKeepTextsRowsSelectionAndBrowserPage) {
  LoopbackServer site;
  std::atomic<int> song_requests{0};
  site.server().Get("/song.html", [&](const httplib::Request&, httplib::Response& res) {
    ++song_requests;
    res.set_content("<html><body><audio src=\"a.mp3\" autoplay loop></audio></body></html>",
                    "text/html");
  });
  site.start();

  QtWindowOps ops(*window_);
  QWebEngineView* browser = window_->browser();
  ASSERT_NE(browser, nullptr);
  // No scheme: the address is taken as a web address.
  ops.browser_navigate("127.0.0.1:" + std::to_string(site.port()) + "/song.html");
  ASSERT_TRUE(wait_until([&] { return song_requests == 1; }));
  const QUrl loaded = browser->url();
  EXPECT_EQ(loaded, QUrl(QString::fromStdString(site.base() + "song.html")));

  ops.list_clear(List::超级列表框1);
  ops.list_append_row(List::超级列表框1);
  ops.list_append_row(List::超级列表框1);
  ops.list_set_cell(List::超级列表框1, 1, 1, cp936("晴天"));
  window_->list(List::超级列表框1)
      ->setCurrentItem(window_->list(List::超级列表框1)->topLevelItem(1));
  ops.set_control_text(Control::编辑框_地址, cp936("http://example/down/1.mp3"));
  ops.set_control_text(Control::编辑框_QQ, "777");

  for (int page : {1, 0, 1, 0}) {
    window_->tabs()->setCurrentIndex(page);
    QApplication::processEvents();
  }

  EXPECT_EQ(ops.list_cell(List::超级列表框1, 1, 1), cp936("晴天"));
  EXPECT_EQ(ops.list_current_row(List::超级列表框1), 1);
  EXPECT_EQ(ops.control_text(Control::编辑框_地址), cp936("http://example/down/1.mp3"));
  EXPECT_EQ(ops.control_text(Control::编辑框_QQ), "777");
  EXPECT_EQ(browser->url(), loaded);
  EXPECT_TRUE(browser->isHidden());
  QApplication::processEvents();
  EXPECT_EQ(song_requests, 1);
  ops.list_clear(List::超级列表框1);
}

// The browser box is made after the window first shows; addresses given before that are not
// lost, and only the last one is loaded.
TEST(BrowserBoxTest, AddressGivenBeforeTheBoxExistsIsLoadedOnceItDoes) {
  gui_app();
  LoopbackServer site;
  std::mutex mutex;
  std::vector<std::string> paths;
  site.server().Get(R"(/page/\d)", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    paths.push_back(req.path);
    res.set_content("<html></html>", "text/html");
  });
  site.start();

  MainWindow window({QStringLiteral("10001"), true});
  QtWindowOps ops(window);
  ops.browser_navigate(site.base() + "page/1");
  ops.browser_navigate(site.base() + "page/2");
  EXPECT_EQ(window.browser_address(), QUrl(QString::fromStdString(site.base() + "page/2")));
  window.show_centred();
  ASSERT_TRUE(wait_until([&] {
    std::lock_guard lock(mutex);
    return !paths.empty();
  }));
  ASSERT_NE(window.browser(), nullptr);
  EXPECT_TRUE(window.browser()->isHidden());
  QApplication::processEvents();
  std::lock_guard lock(mutex);
  EXPECT_EQ(paths, std::vector<std::string>{"/page/2"});
}

}  // namespace
}  // namespace tfx::testing
