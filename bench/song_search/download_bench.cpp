// Downloads one large song through the page's own download, as 按钮_下载 does, and reports the
// time taken and how much the process's peak memory grew meanwhile. The server runs in a
// separate process (mode "serve") so that its memory is not counted.
//   song_download_bench serve <MiB>      prints the port, then serves /down/big.mp3
//   song_download_bench fetch <url> <download root>
#include <httplib.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "pages/song_search/song_search.h"
#include "tests/mock/fake_window.h"
#include "text/url_coding.h"

namespace {

long status_kib(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
  }
  return -1;
}

int serve(std::size_t mib) {
  static std::vector<char> chunk(std::size_t{1} << 20);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 31 + 7);
  httplib::Server server;
  server.Get("/down/big.mp3", [mib](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(mib << 20, "audio/mpeg",
                             [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                               return sink.write(chunk.data(), std::min(length, chunk.size()));
                             });
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::printf("%d\n", port);
  std::fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}

int fetch(const char* url, const char* root) {
  tfx::testing::FakeWindow window;  // workers run inline: the click returns when saved
  tfx::SongSearchPage page(window, {"", root});
  window.set_text(tfx::Control::标签1, "bench");
  window.set_text(tfx::Control::介绍_标签_下载地址, url);

  const long peak_before = status_kib("VmHWM");
  const auto start = std::chrono::steady_clock::now();
  page.on_download_clicked();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const long peak_after = status_kib("VmHWM");

  static const tfx::Text kDone = tfx::cp936("下载成功");
  bool saved = false;
  for (const auto& m : window.messages()) saved = saved || m.title == kDone;
  std::printf("seconds=%.3f peak_before_mib=%.1f peak_growth_mib=%.1f saved=%s\n", took.count(),
              static_cast<double>(peak_before) / 1024,
              static_cast<double>(peak_after - peak_before) / 1024, saved ? "yes" : "no");
  return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "serve" && argc == 3) return serve(std::strtoul(argv[2], nullptr, 10));
  if (mode == "fetch" && argc == 4) return fetch(argv[2], argv[3]);
  std::fprintf(stderr, "usage: %s serve <MiB> | fetch <url> <download root>\n", argv[0]);
  return 2;
}
