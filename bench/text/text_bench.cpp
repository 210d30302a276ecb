// The text work of one song search, on generated result pages of 1 MiB and 4 MiB:
//   text_bench [benchmark flags]      run the benchmarks
//   text_bench --write_pages=DIR      write the pages (search-page-1MiB.html, ...) and exit,
//                                     so scripts/bench_text_pipeline.py can time the same bytes
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <malloc.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "bench/text/search_page.h"
#include "text/extract.h"
#include "text/url_coding.h"

namespace {

using tfx::Text;
using tfx::TextArray;

constexpr std::size_t kMiB = 1024 * 1024;

const std::string& utf8_page(std::int64_t mib) {
  static std::map<std::int64_t, std::string> pages;  // filled before the benchmarks run
  auto it = pages.find(mib);
  if (it == pages.end())
    it = pages.emplace(mib, tfx::bench::PageGenerator().page(static_cast<std::size_t>(mib) * kMiB))
             .first;
  return it->second;
}

const Text& decoded_page(std::int64_t mib) {
  static std::map<std::int64_t, Text> pages;
  auto it = pages.find(mib);
  if (it == pages.end()) it = pages.emplace(mib, tfx::url_decode(utf8_page(mib), true)).first;
  return it->second;
}

struct Markers {
  Text block_left = "<div class=\"text\">";
  Text block_right = tfx::cp936("日</span>");
};

const Markers& markers() {
  static const Markers m;
  return m;
}

// Blocks and their three fields, as the song search cuts them; returns the fields' bytes so
// that nothing can be optimised away.
std::size_t cut_songs(const Text& page) {
  TextArray blocks;
  const int n = tfx::text_between_all(page, markers().block_left, markers().block_right, blocks);
  std::size_t total = 0;
  for (int i = 1; i <= n; ++i) {
    const Text& block = tfx::text_array_at(blocks, i);
    total += tfx::text_between(block, "href=\"/play/", ".html").size();
    total += tfx::text_between(block, "html\" title=\"", "\" target").size();
    total += tfx::text_between(block, "class=\"size\">", "</span>").size();
  }
  return total;
}

void BM_UrlDecodeFromUtf8(benchmark::State& state) {
  const std::string& page = utf8_page(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(tfx::url_decode(page, true));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

// What the decode step is measured against: ICU converting the same bytes, nothing else.
void BM_BareIcuUtf8ToCp936(benchmark::State& state) {
  const std::string& page = utf8_page(state.range(0));
  UErrorCode err = U_ZERO_ERROR;
  UConverter* from = ucnv_open("UTF-8", &err);
  UConverter* to = ucnv_open("windows-936", &err);
  if (U_FAILURE(err)) {
    state.SkipWithError("ICU converters unavailable");
    return;
  }
  UChar pivot[2048];
  for (auto _ : state) {
    std::string out(page.size(), '\0');
    char* tgt = out.data();
    const char* src = page.data();
    UChar* ps = pivot;
    UChar* pt = pivot;
    err = U_ZERO_ERROR;
    ucnv_convertEx(to, from, &tgt, out.data() + out.size(), &src, page.data() + page.size(), pivot,
                   &ps, &pt, pivot + 2048, true, true, &err);
    out.resize(static_cast<std::size_t>(tgt - out.data()));
    benchmark::DoNotOptimize(out);
  }
  ucnv_close(from);
  ucnv_close(to);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

void BM_ExtractSongs(benchmark::State& state) {
  const Text& page = decoded_page(state.range(0));
  std::size_t fields = 0;
  for (auto _ : state) benchmark::DoNotOptimize(fields = cut_songs(page));
  TextArray blocks;
  state.counters["blocks"] = static_cast<double>(
      tfx::text_between_all(page, markers().block_left, markers().block_right, blocks));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

void BM_FindAbsentMarker(benchmark::State& state) {
  const Text& page = decoded_page(state.range(0));
  const Text absent = "<div class=\"absent\">";
  for (auto _ : state) benchmark::DoNotOptimize(tfx::text_find(page, absent));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

void BM_SearchPagePipeline(benchmark::State& state) {
  const std::string& page = utf8_page(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(cut_songs(tfx::url_decode(page, true)));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

BENCHMARK(BM_UrlDecodeFromUtf8)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareIcuUtf8ToCp936)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractSongs)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
// 16 MiB as well: the 1 MiB page fits in a core's L2 cache and the larger ones do not, so the
// step from 4 to 16 MiB shows the growth of the search itself, cache aside.
BENCHMARK(BM_FindAbsentMarker)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPagePipeline)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

int write_pages(const std::string& dir) {
  for (const std::int64_t mib : {1, 4}) {
    const std::string path = dir + "/search-page-" + std::to_string(mib) + "MiB.html";
    std::ofstream out(path, std::ios::binary);
    const std::string& page = utf8_page(mib);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr std::string_view kWrite = "--write_pages=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.substr(0, kWrite.size()) == kWrite)
      return write_pages(std::string(arg.substr(kWrite.size())));
  }
  // Keep freed memory in the process between iterations. Otherwise glibc hands the blocks of
  // one iteration back to the kernel and the next one pays for fresh pages, which on this kind
  // of virtual machine costs more than the text work itself and depends on which benchmarks
  // ran before (a freed large buffer raises glibc's own thresholds).
  mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  // Generate and decode the pages before any timing starts.
  for (const std::int64_t mib : {1, 4, 16}) decoded_page(mib);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
