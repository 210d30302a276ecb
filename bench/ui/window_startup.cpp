// Time from the start of main() until the main window is shown and first painted, with or
// without the hidden browser box; scripts/bench-startup.sh runs both side by side.
//   window_startup with-browser|without-browser
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "text/url_coding.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/qt_window_ops.h"

namespace {

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(std::function<void()> on_paint) : on_paint_(std::move(on_paint)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && on_paint_) {
      auto f = std::move(on_paint_);
      on_paint_ = nullptr;
      f();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> on_paint_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QElapsedTimer clock;
  clock.start();
  if (argc < 2 ||
      (std::strcmp(argv[1], "with-browser") != 0 && std::strcmp(argv[1], "without-browser") != 0)) {
    std::fprintf(stderr, "usage: window_startup with-browser|without-browser\n");
    return 2;
  }
  const bool with_browser = std::strcmp(argv[1], "with-browser") == 0;

  tfx::prepare_application();
  QApplication app(argc, argv);
  tfx::MainWindow window({QStringLiteral("10001"), with_browser});
  tfx::QtWindowOps ops(window);

  double shown_ms = 0;
  QObject::connect(&window, &tfx::MainWindow::firstShown,
                   [&] { shown_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6; });
  FirstPaint painted([&] {
    const double painted_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("%s shown_ms=%.1f painted_ms=%.1f\n", argv[1], shown_ms, painted_ms);
    std::fflush(stdout);
    if (!with_browser || window.browser() != nullptr) {
      QTimer::singleShot(0, &app, &QCoreApplication::quit);
    } else {
      QObject::connect(&window, &tfx::MainWindow::browserCreated, &app, &QCoreApplication::quit,
                       Qt::QueuedConnection);
    }
  });
  window.centralWidget()->installEventFilter(&painted);
  // Once the box exists the browser engine is up; the program is usable before that.
  QObject::connect(&window, &tfx::MainWindow::browserCreated, [&] {
    std::printf("browser_ms=%.1f\n", static_cast<double>(clock.nsecsElapsed()) / 1e6);
  });

  // The same start-up as the program: the created event loads a page, then the window shows.
  ops.browser_navigate(tfx::cp936("http://127.0.0.1:9/start.html"));
  window.show_centred();
  tfx::run_until_closed(app);
}
