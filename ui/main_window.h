// The main window of 听风匣: the menu "菜单", the tab control 选择夹1 with its two pages, the
// two lists, the edit boxes, buttons and labels, and the hidden browser box 超文本浏览框1.
//
// Every control's object name is its name in the window description. The layout keeps the
// pixel plan of the original window, scaled evenly where the font needs more room.
#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <array>

#include "ui/click_list.h"
#ifndef Q_MOC_RUN  // moc does not read identifiers outside ASCII
#include "ui/window_ops.h"
#endif

class QWebEngineView;
class QWebEngineProfile;

namespace tfx {

struct MainWindowOptions {
  QString qq_number;  // initial text of 编辑框_QQ
  // The start-up benchmark builds the same window without the browser box to weigh its cost.
  bool with_browser = true;
};

#ifndef Q_MOC_RUN
enum class MenuCommand { 官网, 粉丝群, 联系我, 取消试听, 检查更新 };
#endif

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(const MainWindowOptions& options);
  ~MainWindow() override;

  QWidget* control(Control c) const;  // a QLineEdit or a QLabel
  ClickList* list(List l) const;
  QTabWidget* tabs() const { return tabs_; }
  QPushButton* button(const QString& name) const;
  QAction* menu_action(MenuCommand command) const;
  // The browser box is made right after the window's first paint, so that starting the
  // browser engine does not hold up the window's appearance. Null until then, and when built
  // without the browser box.
  QWebEngineView* browser() const { return browser_; }

  // Loads the address into the hidden browser box; an address without a scheme is taken as a
  // web address. Before the box exists the last address waits for it.
  void navigate(const QString& address);
  // The page the box holds or is about to load.
  QUrl browser_address() const;

  // How much the pixel plan was enlarged so that no caption is cut off.
  double layout_scale() const { return scale_; }
  // Shows the window in the middle of its screen.
  void show_centred();

 signals:
  void firstShown();
  void browserCreated();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void create_browser();
  int px(int v) const;
  QRect rect(int x, int y, int w, int h) const;

  double scale_ = 1.0;
  bool shown_once_ = false;
  QTabWidget* tabs_ = nullptr;
  std::array<QWidget*, 6> controls_{};
  std::array<ClickList*, 2> lists_{};
  std::array<QAction*, 5> actions_{};
  bool with_browser_ = true;
  QWidget* browser_page_ = nullptr;
  QRect browser_rect_;
  QUrl pending_address_;
  QWebEngineProfile* profile_ = nullptr;
  QWebEngineView* browser_ = nullptr;
};

}  // namespace tfx
