// A search whose answer lists 2,000 songs: the time from the click on 按钮_确定 to the last row
// filled, beside the time of the page fetch alone. The difference is what decoding, cutting
// and filling the list add. The window is the test double, so this shows the page's own share;
// the real window adds its cost per call on top.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <string>
#include <thread>

#include "bench/song_search/results_page.h"
#include "pages/song_search/song_search.h"
#include "tests/mock/fake_window.h"
#include "text/url_coding.h"
#include "web/http_exchange.h"

namespace {

using tfx::bench::kSongs;
using tfx::bench::results_page;

class Site {
 public:
  Site() {
    server_.Get("/", [page = results_page()](const httplib::Request&, httplib::Response& res) {
      res.set_content(page, "text/html; charset=utf-8");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~Site() {
    server_.stop();
    thread_.join();
  }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

Site& site() {
  static Site s;
  return s;
}

void BM_PageFetchAlone(benchmark::State& state) {
  const tfx::Text url =
      site().base() + "?search=" + tfx::url_encode(tfx::cp936("正义之道"), false, true);
  for (auto _ : state) benchmark::DoNotOptimize(tfx::fetch_text(url));
}
BENCHMARK(BM_PageFetchAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ClickToLastRow(benchmark::State& state) {
  tfx::testing::FakeWindow window;  // inline worker: the click returns with the list filled
  window.set_text(tfx::Control::编辑框_搜索, tfx::cp936("正义之道"));
  tfx::SongSearchPage page(window, {site().base(), {}});
  for (auto _ : state) page.on_search_clicked();
  if (window.rows(tfx::List::超级列表框1).size() != kSongs) state.SkipWithError("rows missing");
  state.counters["rows"] = static_cast<double>(window.rows(tfx::List::超级列表框1).size());
}
BENCHMARK(BM_ClickToLastRow)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
