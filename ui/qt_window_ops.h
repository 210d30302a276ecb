// The window operations over the Qt main window.
//
// Any thread may call them. On the window's thread they act directly; from a worker each call
// is carried out on the window's thread as one whole step and returns when done. The window's
// thread serves these calls also while a message box is open, so a worker never waits on the
// user.
#pragma once

#include <utility>

#include <QString>
#include <functional>

#include "ui/main_window.h"
#include "ui/window_ops.h"

namespace tfx {

class QtWindowOps : public WindowOps {
 public:
  // Hands an address to the desktop's "open" action. Tests put their own in its place.
  using Opener = std::function<void(const QString& address)>;

  explicit QtWindowOps(MainWindow& window);

  // Call before any worker runs.
  void set_opener(Opener opener) { opener_ = std::move(opener); }
  // The opener the program uses: the desktop's "open" action (xdg-open).
  static void open_with_desktop(const QString& address);

  void list_clear(List list) override;
  int list_append_row(List list) override;
  void list_set_cell(List list, int row, int column, const Text& text) override;
  Text list_cell(List list, int row, int column) override;
  int list_current_row(List list) override;
  Text control_text(Control control) override;
  void set_control_text(Control control, const Text& text) override;
  void browser_navigate(const Text& address) override;
  void show_message(const Text& text, const std::optional<Text>& title = std::nullopt) override;
  void clipboard_set_text(const Text& text) override;
  void open_in_default_browser(const Text& address) override;
  void start_worker(std::function<void()> routine) override;

 private:
  template <class F>
  auto on_window_thread(F&& f) -> decltype(f());
  template <class F>
  auto change_list(List list, F&& f) -> decltype(f(std::declval<ClickList*>()));

  MainWindow& window_;
  Opener opener_;
};

}  // namespace tfx
