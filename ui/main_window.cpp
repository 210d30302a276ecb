#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tfx {

namespace {

// The plan's client area under the menu bar: the tab control (435 × 264) and a small margin.
constexpr int kClientWidth = 436;
constexpr int kClientHeight = 268;

QString caption() {
  return QStringLiteral("墨石-听风匣v1.1    墨石软件站");
}

// The pages of 选择夹1 place their controls relative to the tab control itself, as the plan
// does, wherever the toolkit puts the page below its tab strip.
class TabPage : public QWidget {
 public:
  explicit TabPage(QTabWidget* tabs) : tabs_(tabs) {}

  void place(QWidget* w, const QRect& in_tabs) {
    w->setParent(this);
    items_.push_back({w, in_tabs});
    relayout();
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    relayout();
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    relayout();
  }
  void showEvent(QShowEvent* e) override {
    QWidget::showEvent(e);
    relayout();
  }

 private:
  void relayout() {
    if (!tabs_->isAncestorOf(this)) return;
    const QPoint offset = mapTo(tabs_, QPoint(0, 0));
    for (const auto& [w, r] : items_) w->setGeometry(r.translated(-offset));
  }

  struct Item {
    QWidget* widget;
    QRect in_tabs;
  };
  QTabWidget* tabs_;
  std::vector<Item> items_;
};

QLabel* make_label(const QString& name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  return l;
}

QLineEdit* make_edit(const QString& name, const QString& text, bool centred, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  e->setMaxLength(std::numeric_limits<int>::max());
  if (centred) e->setAlignment(Qt::AlignCenter);
  QPalette p = e->palette();
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Text, Qt::black);
  e->setPalette(p);
  return e;
}

QPushButton* make_button(const QString& name, const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QGroupBox* make_group(const QString& name, QWidget* parent) {
  auto* g = new QGroupBox(parent);
  g->setObjectName(name);
  return g;
}

// Noto Sans CJK draws every character of the window with one set of metrics; without it the
// toolkit's default font falls back per glyph.
QFont window_font(const QFont& fallback) {
  static const QString kFamily = QStringLiteral("Noto Sans CJK SC");
  if (!QFontDatabase::families().contains(kFamily)) return fallback;
  QFont f(kFamily);
  f.setPointSize(9);
  return f;
}

// The plan's tab strip is a line of text with a little room; the toolkit's default tabs are
// much taller and would push the whole layout apart.
class CompactTabs : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_TabBarTab && option != nullptr) {
      s.setHeight(std::min(s.height(), option->fontMetrics.height() + 6));
    }
    return s;
  }
};

struct Caption {
  QString text;
  int width;
};

// The smallest even enlargement of the plan that leaves every caption, header and text whole.
double layout_scale_for(const QFontMetrics& fm, const QFontMetrics& header_fm, int tab_strip) {
  double s = 1.0;
  auto need = [&s](double required, double available) { s = std::max(s, required / available); };
  const int ink_height = fm.ascent() + fm.descent();
  for (const Caption& c :
       {Caption{"歌名：", 31}, Caption{"QQ：", 21}, Caption{"外链：", 31}, Caption{"链接：", 31}}) {
    // Labels paint from their left edge; the trailing full-width colon's blank half may spill.
    need(fm.boundingRect(c.text).right() + 1, c.width);
  }
  need(ink_height, 16);
  for (const char* t : {"搜索", "复制", "下载", "提取"})
    need(fm.horizontalAdvance(QString::fromUtf8(t)) + 12, 49);
  need(ink_height + 8, 25);
  need(ink_height + 4, 20);  // edit boxes: frame and margin above and below the text
  for (const Caption& c :
       {Caption{"UID", 40}, Caption{"歌曲名(左击获取外链,右击试听,取消试听点菜单)", 300},
        Caption{"大小", 60}, Caption{"音乐名(左击自动复制名字)", 160},
        Caption{"音乐链接(右击自动复制链接)", 240}}) {
    need(header_fm.horizontalAdvance(c.text) + 10, c.width);
  }
  need(tab_strip, 21);  // page contents begin at 20, overlapping the strip's bottom line
  return std::ceil(s * 20.0) / 20.0;
}

}  // namespace

int MainWindow::px(int v) const {
  return static_cast<int>(std::lround(v * scale_));
}

QRect MainWindow::rect(int x, int y, int w, int h) const {
  return QRect(px(x), px(y), px(w), px(h));
}

MainWindow::MainWindow(const MainWindowOptions& options) {
  setObjectName(QStringLiteral("窗口"));
  setWindowTitle(caption());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(window_font(font()));

  // Menu "菜单": five commands, always enabled, no shortcut.
  QMenu* menu = menuBar()->addMenu(QStringLiteral("菜单"));
  menu->setObjectName(QStringLiteral("菜单"));
  const QString names[] = {"官网", "粉丝群", "联系我", "取消试听", "检查更新"};
  for (size_t i = 0; i < actions_.size(); ++i) {
    actions_[i] = menu->addAction(names[i]);
    actions_[i]->setObjectName(names[i]);
  }

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("客户区"));
  setCentralWidget(client);

  tabs_ = new QTabWidget(client);
  tabs_->setObjectName(QStringLiteral("选择夹1"));
  tabs_->setTabPosition(QTabWidget::North);
  tabs_->setUsesScrollButtons(false);
  auto* tab_style = new CompactTabs();
  tab_style->setParent(tabs_);
  tabs_->tabBar()->setStyle(tab_style);
  auto* page0 = new TabPage(tabs_);
  auto* page1 = new TabPage(tabs_);
  tabs_->addTab(page0, QStringLiteral("搜索音乐"));
  tabs_->addTab(page1, QStringLiteral("提取空间音乐"));
  tabs_->setCurrentIndex(0);

  lists_[0] = new ClickList(QStringLiteral("超级列表框1"),
                            {{QStringLiteral("UID"), 40},
                             {QStringLiteral("歌曲名(左击获取外链,右击试听,取消试听点菜单)"), 300},
                             {QStringLiteral("大小"), 60}},
                            page0);
  lists_[1] = new ClickList(QStringLiteral("超级列表框2"),
                            {{QStringLiteral("音乐名(左击自动复制名字)"), 160},
                             {QStringLiteral("音乐链接(右击自动复制链接)"), 240}},
                            page1);

  scale_ = layout_scale_for(QFontMetrics(font()), lists_[0]->header()->fontMetrics(),
                            tabs_->tabBar()->sizeHint().height());
  if (scale_ > 1.0) {
    for (ClickList* l : lists_) {
      for (int c = 0; c < l->columnCount(); ++c) l->setColumnWidth(c, px(l->columnWidth(c)));
    }
  }

  tabs_->setGeometry(rect(0, 0, 435, 264));

  // Hidden labels on the client area: the last picked song's title and download address.
  auto* title_label = make_label(QStringLiteral("标签1"), {}, client);
  title_label->setGeometry(rect(104, 72, 144, 24));
  title_label->hide();
  auto* link_label = make_label(QStringLiteral("介绍_标签_下载地址"), {}, client);
  link_label->setGeometry(rect(128, 96, 232, 16));
  link_label->hide();

  // Page 0, "搜索音乐".
  auto* group1 = make_group(QStringLiteral("分组框1"), page0);
  page0->place(group1, rect(5, 20, 428, 40));
  make_label(QStringLiteral("透明标签1"), QStringLiteral("歌名："), group1)
      ->setGeometry(rect(10, 15, 31, 16));
  auto* search_edit =
      make_edit(QStringLiteral("编辑框_搜索"), QStringLiteral("正义之道"), true, group1);
  search_edit->setGeometry(rect(43, 13, 328, 20));
  make_button(QStringLiteral("按钮_确定"), QStringLiteral("搜索"), group1)
      ->setGeometry(rect(374, 10, 49, 25));
  page0->place(lists_[0], rect(4, 61, 429, 171));
  auto* label2 = make_label(QStringLiteral("透明标签2"), QStringLiteral("外链："), page0);
  page0->place(label2, rect(7, 239, 31, 16));
  auto* link_edit = make_edit(QStringLiteral("编辑框_地址"), {}, false, page0);
  page0->place(link_edit, rect(41, 237, 280, 20));
  page0->place(make_button(QStringLiteral("按钮_复制"), QStringLiteral("复制"), page0),
               rect(324, 234, 49, 25));
  page0->place(make_button(QStringLiteral("按钮_下载"), QStringLiteral("下载"), page0),
               rect(380, 234, 49, 25));

  with_browser_ = options.with_browser;
  browser_page_ = page0;
  browser_rect_ = rect(73, 92, 240, 152);

  // Page 1, "提取空间音乐".
  auto* group2 = make_group(QStringLiteral("分组框2"), page1);
  page1->place(group2, rect(5, 20, 428, 40));
  make_label(QStringLiteral("透明标签3"), QStringLiteral("QQ："), group2)
      ->setGeometry(rect(10, 15, 21, 16));
  auto* qq_edit = make_edit(QStringLiteral("编辑框_QQ"), options.qq_number, true, group2);
  qq_edit->setGeometry(rect(35, 13, 336, 20));
  make_button(QStringLiteral("按钮_提取"), QStringLiteral("提取"), group2)
      ->setGeometry(rect(374, 10, 49, 25));
  page1->place(lists_[1], rect(4, 61, 429, 171));
  page1->place(make_label(QStringLiteral("透明标签4"), QStringLiteral("链接："), page1),
               rect(7, 239, 31, 16));
  auto* link1_edit = make_edit(QStringLiteral("编辑框_地址1"), {}, false, page1);
  page1->place(link1_edit, rect(41, 237, 335, 20));
  page1->place(make_button(QStringLiteral("按钮_复制1"), QStringLiteral("复制"), page1),
               rect(380, 234, 49, 25));

  controls_[static_cast<size_t>(Control::编辑框_搜索)] = search_edit;
  controls_[static_cast<size_t>(Control::编辑框_地址)] = link_edit;
  controls_[static_cast<size_t>(Control::编辑框_QQ)] = qq_edit;
  controls_[static_cast<size_t>(Control::编辑框_地址1)] = link1_edit;
  controls_[static_cast<size_t>(Control::标签1)] = title_label;
  controls_[static_cast<size_t>(Control::介绍_标签_下载地址)] = link_label;

  client->setFixedSize(px(kClientWidth), px(kClientHeight));
  setFixedSize(px(kClientWidth), px(kClientHeight) + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() {
  // The page must go before the profile it was made with.
  delete browser_;
  browser_ = nullptr;
}

QWidget* MainWindow::control(Control c) const {
  return controls_[static_cast<size_t>(c)];
}

ClickList* MainWindow::list(List l) const {
  return lists_[static_cast<size_t>(l)];
}

QPushButton* MainWindow::button(const QString& name) const {
  return findChild<QPushButton*>(name);
}

QAction* MainWindow::menu_action(MenuCommand command) const {
  return actions_[static_cast<size_t>(command)];
}

void MainWindow::navigate(const QString& address) {
  const QUrl url = QUrl::fromUserInput(address);
  if (browser_ != nullptr) {
    browser_->setUrl(url);
  } else {
    pending_address_ = url;
  }
}

QUrl MainWindow::browser_address() const {
  return browser_ != nullptr ? browser_->url() : pending_address_;
}

void MainWindow::create_browser() {
  if (!with_browser_ || browser_ != nullptr) return;
  // Its own profile keeps nothing on disk: the program stores no history and no cache.
  profile_ = new QWebEngineProfile(this);
  profile_->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  browser_ = new QWebEngineView(profile_, browser_page_);
  browser_->setObjectName(QStringLiteral("超文本浏览框1"));
  static_cast<TabPage*>(browser_page_)->place(browser_, browser_rect_);
  browser_->hide();  // for good: showing its page again must not show the box
  if (!pending_address_.isEmpty()) browser_->setUrl(pending_address_);
  emit browserCreated();
}

void MainWindow::show_centred() {
  // The outer size counts the frame, where the platform tells it before the window appears.
  winId();
  QSize outer = size();
  if (const QWindow* handle = windowHandle()) {
    const QMargins m = handle->frameMargins();
    outer += QSize(m.left() + m.right(), m.top() + m.bottom());
  }
  if (const QScreen* s = screen()) {
    const QRect g = s->geometry();
    move(g.x() + (g.width() - outer.width()) / 2, g.y() + (g.height() - outer.height()) / 2);
  }
  show();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_once_) {
    shown_once_ = true;
    if (with_browser_) {
      // Right after the first paint, or a moment after showing when nothing gets painted.
      centralWidget()->installEventFilter(this);
      QTimer::singleShot(1000, this, &MainWindow::create_browser);
    }
    emit firstShown();
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Paint) {
    centralWidget()->removeEventFilter(this);
    QTimer::singleShot(0, this, &MainWindow::create_browser);
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the window ends the program, whatever message boxes of workers are still open.
  event->accept();
  QCoreApplication::quit();
}

}  // namespace tfx
