// Helpers for tests that drive the real Qt window on the offscreen platform.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <functional>
#include <vector>

#include "ui/application.h"

namespace tfx::testing {

// The one application object of the test process, made on first use.
inline QApplication& gui_app() {
  static int argc = 1;
  static char name[] = "tfx_gui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    prepare_application();
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Delivers events until the condition holds or the time is up; returns the condition.
inline bool wait_until(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

inline std::vector<QMessageBox*> open_boxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
      boxes.push_back(box);
    }
  }
  return boxes;
}

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
  int buttons;
  Qt::WindowModality modality;
  QWidget* owner;
};

// Answers every message box that opens while it lives, also inside the nested loop of a box
// shown on the window's thread. `ready` may hold a box open until it returns true.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::function<bool()> ready = [] { return true; })
      : ready_(std::move(ready)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QMessageBox* box : open_boxes()) {
        if (!ready_()) return;
        seen_.push_back({box->windowTitle(), box->text(), box->icon(),
                         static_cast<int>(box->buttons().size()), box->windowModality(),
                         box->parentWidget()});
        box->button(QMessageBox::Ok)->click();
      }
    });
    timer_.start(10);
  }
  const std::vector<SeenBox>& seen() const { return seen_; }

 private:
  std::function<bool()> ready_;
  std::vector<SeenBox> seen_;
  QTimer timer_;
};

}  // namespace tfx::testing
