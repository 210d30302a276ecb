// Runs the song page's download once, as the program would from wherever this file is placed,
// against a song served on loopback. The packaging test copies it beside the installed
// program and runs it as an ordinary user, then looks where the file landed.
//
// Exit status: 0 when the page reported a successful download, 1 otherwise.
#include <chrono>
#include <cstdio>

#include "pages/song_search/song_search.h"
#include "tests/mock/fake_window.h"
#include "tests/support/loopback_server.h"
#include "text/url_coding.h"

int main() {
  using tfx::Control;
  using tfx::testing::FakeWindow;

  tfx::testing::LoopbackServer site;
  site.server().Get("/down/probe.mp3", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("ID3 probe song body", "audio/mpeg");
  });
  site.start();

  FakeWindow window(FakeWindow::Workers::threads);
  // What a left click on the song's row leaves behind.
  window.set_text(Control::标签1, "probe");
  window.set_text(Control::介绍_标签_下载地址, site.base() + "down/probe.mp3");

  {
    tfx::SongSearchPage page(window, tfx::SongSearchConfig{site.base(), {}});
    page.on_download_clicked();
    // The click's own "please wait" plus the worker's verdict.
    window.wait_for_messages(2, std::chrono::seconds(30));
    window.join_workers();
  }

  static const tfx::Text success_title = tfx::cp936("下载成功");
  bool ok = false;
  for (const auto& m : window.messages()) {
    std::printf("%s\n", tfx::gbk_to_utf8(m.text).c_str());
    if (m.title == success_title) ok = true;
  }
  return ok ? 0 : 1;
}
