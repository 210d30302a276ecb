// Pictures of the real window for the documentation: both tab pages after a search and a
// lookup against the sample site, mounted in-process on a loopback port.
//   window_screenshot OUTPUT_DIR
#include <httplib.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <thread>

#include "app/program.h"
#include "sample_site/site.h"
#include "ui/application.h"

namespace {

bool wait_for(const std::function<bool()>& condition) {
  for (int i = 0; i < 1000 && !condition(); ++i) QTest::qWait(10);
  return condition();
}

void click_row(tfx::ClickList* list, int row, Qt::MouseButton button) {
  QTest::mouseClick(list->viewport(), button, {},
                    list->visualItemRect(list->topLevelItem(row)).center());
}

bool save(tfx::MainWindow& window, const QString& path) {
  QTest::qWait(200);
  const bool ok = window.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_screenshot OUTPUT_DIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);

  httplib::Server site;
  tfx::sample_site::install(site);
  const int port = site.bind_to_any_port("127.0.0.1");
  std::thread server([&] { site.listen_after_bind(); });
  const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";

  tfx::prepare_application();
  QApplication app(argc, argv);
  tfx::ProgramConfig config = tfx::built_in_config();
  config.song_search.music_site_base = base;
  config.space_music.space_lookup_base = base + "qzone/";
  config.start_page_url = base + "start.html";
  tfx::Program program(config);
  program.start();
  tfx::MainWindow& w = program.window();

  // The song page confirms a picked song with a message; answer it as the user would.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(top); box != nullptr && box->isVisible()) {
        box->button(QMessageBox::Ok)->click();
      }
    }
  });
  answer.start(50);

  bool ok = wait_for([&] { return w.browser() != nullptr; });
  w.button(QStringLiteral("按钮_确定"))->click();
  // The search worker appends a row and then fills its cells.
  ok = ok && wait_for([&] {
         const tfx::ClickList* l = w.list(tfx::List::超级列表框1);
         return l->topLevelItemCount() > 1 && !l->topLevelItem(1)->text(2).isEmpty();
       });
  if (ok) click_row(w.list(tfx::List::超级列表框1), 0, Qt::LeftButton);
  ok = ok && save(w, out + "/screenshot-search.png");

  w.tabs()->setCurrentIndex(1);
  w.button(QStringLiteral("按钮_提取"))->click();
  ok = ok && wait_for([&] { return w.list(tfx::List::超级列表框2)->topLevelItemCount() > 0; });
  if (ok) click_row(w.list(tfx::List::超级列表框2), 1, Qt::RightButton);
  ok = ok && save(w, out + "/screenshot-space.png");

  site.stop();
  server.join();
  std::fflush(stdout);
  std::_Exit(ok ? 0 : 1);
}
