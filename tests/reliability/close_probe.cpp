// The program as main() runs it, against a test server, closed by its user while downloads
// run: it starts three downloads, waits until each has written part of its song, then closes
// the window and ends as the program ends.
//
//   reliability_close_probe <music site base> <download root>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/program.h"
#include "tests/ui/gui_test_support.h"
#include "text/url_coding.h"
#include "ui/application.h"

int main(int argc, char* argv[]) {
  namespace fs = std::filesystem;
  if (argc != 3) return 2;
  const std::string base = argv[1];
  const fs::path root = argv[2];

  tfx::prepare_application();
  QApplication app(argc, argv);
  tfx::ProgramConfig config;
  config.song_search = {base, root};
  config.space_music = {base + "qzone/"};
  config.maker.maker_qq_number = "10001";
  config.start_page_url = "about:blank";
  tfx::Program program(config);
  program.start();
  tfx::testing::BoxAnswerer boxes;

  QTimer::singleShot(0, [&] {
    for (int i = 1; i <= 3; ++i) {
      program.ops().set_control_text(tfx::Control::标签1, tfx::cp936("歌曲" + std::to_string(i)));
      program.ops().set_control_text(tfx::Control::介绍_标签_下载地址,
                                     base + "down/slow" + std::to_string(i) + ".mp3");
      program.window().button("按钮_下载")->click();
    }
  });
  // Closes the window once every download has part of its song on disk.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    int under_way = 0;
    std::error_code error;
    for (fs::directory_iterator it(root / "下载音乐", error), end; !error && it != end;
         it.increment(error)) {
      if (it->path().filename().string().rfind(".tfx-", 0) == 0 && it->file_size(error) > 0) {
        ++under_way;
      }
    }
    if (under_way == 3) program.window().close();
  });
  watch.start(20);
  tfx::run_until_closed(app);
}
