// Servers that misbehave: every road that reads from a server (the page fetch, the song search,
// the QQ Space lookup, the song download to disk) survives them, ends with the outcome the
// program promises, and leaves the download folder as it was unless a whole song arrived.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "pages/song_search/song_search.h"
#include "pages/space_music/space_music.h"
#include "tests/mock/fake_window.h"
#include "tests/reliability/hostile_server.h"
#include "tests/reliability/served_pages.h"
#include "text/url_coding.h"
#include "web/http_exchange.h"

namespace tfx::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A stalled server costs each road this long instead of the program's 30 seconds; a slow one
// sends well within it.
constexpr auto kStallLimit = 1500ms;
constexpr auto kSlowGap = 250ms;

class ShortTimeLimits : public ::testing::Environment {
 public:
  void SetUp() override { set_default_time_limits({5s, kStallLimit}); }
};
const auto* const kLimits = ::testing::AddGlobalTestEnvironment(new ShortTimeLimits);

const std::string& song() {
  static const std::string data = song_file(50 * 1024);
  return data;
}

// What a well-behaved server would send for this request.
std::string body_for(const Exchange& ex) {
  const std::string target = ex.target();
  if (target.rfind("/qzone/", 0) == 0) return space_page();
  if (target.rfind("/down/", 0) == 0) return song();
  return search_page();
}

std::string head(int status, const std::string& reason, std::size_t length) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

// Up to the first song block, so that a page cut there holds no whole song.
std::size_t before_first_block(const std::string& body) {
  const std::size_t search = body.find("<div class=\"text\">");
  if (search != std::string::npos) return search + 5;
  const std::size_t space = body.find("<table width");
  if (space != std::string::npos) return space + 5;
  return body.size() / 2;
}

enum class Page { whole, prefix, error_body, empty };
enum class Saved { whole_song, nothing };

struct HostileCase {
  const char* name;
  HostileServer::Script script;  // none: nobody listens on the port
  Page page;
  int rows;                              // rows each list ends with
  Saved saved;                           // what the download leaves under the song's name
  const char* failure_reason = nullptr;  // UTF-8 part of the failure message, when fixed
  std::function<std::string(const std::string&)> served = [](const std::string& b) { return b; };
};

const std::string kErrorPage = "<html><body><h1>Not here</h1></body></html>";

void error_answer(Exchange& ex, int status, const char* reason) {
  ex.send(head(status, reason, kErrorPage.size()) + kErrorPage);
}

std::vector<HostileCase> hostile_cases() {
  return {
      {"ConnectionRefused", nullptr, Page::empty, 0, Saved::nothing, "服务器没有应答"},
      {"ResetInTheMiddleOfTheBody",
       [](Exchange& ex) {
         const std::string body = body_for(ex);
         ex.send(head(200, "OK", body.size()) + body.substr(0, before_first_block(body)));
         ex.pause(100ms);
         ex.reset();
       },
       Page::prefix, 0, Saved::nothing},
      {"ContentLengthLongerThanTheBodyThenClose",
       [](Exchange& ex) {
         const std::string body = body_for(ex);
         ex.send(head(200, "OK", body.size() + 1000) + body);
       },
       // A page is whatever arrived before the connection ended: here all of it.
       Page::whole, 2, Saved::nothing, "传输中途断开,文件不完整"},
      {"SlowServerWithinTheLimits",
       [](Exchange& ex) {
         const std::string body = body_for(ex);
         std::string all = head(200, "OK", body.size()) + body;
         const std::size_t piece = all.size() / 4 + 1;
         for (std::size_t at = 0; at < all.size(); at += piece) {
           ex.pause(kSlowGap);
           if (!ex.send(std::string_view(all).substr(at, piece))) return;
         }
       },
       Page::whole, 2, Saved::whole_song},
      {"StallPastTheLimits",
       [](Exchange& ex) {
         const std::string body = body_for(ex);
         ex.send(head(200, "OK", body.size()) + body.substr(0, before_first_block(body)));
         ex.stall();
       },
       Page::prefix, 0, Saved::nothing, "传输中途断开,文件不完整"},
      {"StallBeforeTheHead", [](Exchange& ex) { ex.stall(); }, Page::empty, 0, Saved::nothing,
       "服务器没有应答"},
      {"NotFound", [](Exchange& ex) { error_answer(ex, 404, "Not Found"); }, Page::error_body, 0,
       Saved::nothing, "服务器返回错误 404"},
      {"ServerError", [](Exchange& ex) { error_answer(ex, 500, "Internal Server Error"); },
       Page::error_body, 0, Saved::nothing, "服务器返回错误 500"},
      {"RedirectLoop",
       [](Exchange& ex) {
         ex.send("HTTP/1.1 302 Found\r\nLocation: " + ex.target() + "\r\nContent-Length: " +
                 std::to_string(kErrorPage.size()) + "\r\n\r\n" + kErrorPage);
       },
       Page::error_body, 0, Saved::nothing, "服务器返回错误 302"},
      {"BodyOverTheSizeLimit",
       [](Exchange& ex) {
         const std::string body = body_for(ex);
         const std::size_t size = kMaxBodyBytes + 4096;
         if (!ex.send(head(200, "OK", size))) return;
         const std::string filler(1 << 20, 'x');
         // A page that starts like the real one and never ends in time; a song file that is
         // simply large.
         std::size_t sent = 0;
         const std::string start = body.substr(0, before_first_block(body));
         if (ex.target().rfind("/down/", 0) != 0 && ex.send(start)) sent = start.size();
         while (sent < size) {
           const std::size_t n = std::min(filler.size(), size - sent);
           if (!ex.send(std::string_view(filler).substr(0, n))) return;
           sent += n;
         }
       },
       Page::empty, 0, Saved::whole_song, nullptr,
       [](const std::string&) { return std::string(kMaxBodyBytes + 4096, 'x'); }},
      {"BrokenChunkedEncoding",
       [](Exchange& ex) {
         const std::string body = body_for(ex);
         const std::string part = body.substr(0, before_first_block(body));
         char size[16];
         std::snprintf(size, sizeof size, "%zx", part.size());
         ex.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(size) +
                 "\r\n" + part + "\r\nzz-not-a-size\r\n" + body + "\r\n0\r\n\r\n");
       },
       Page::prefix, 0, Saved::nothing, "传输中途断开,文件不完整"},
      {"ZeroBytes", [](Exchange& ex) { ex.send(head(200, "OK", 0)); }, Page::empty, 0,
       Saved::nothing, "服务器没有返回文件内容"},
      {"InvalidUtf8",
       [](Exchange& ex) {
         const std::string target = ex.target();
         const std::string body = target.rfind("/qzone/", 0) == 0  ? space_page("\x80\xFF")
                                  : target.rfind("/down/", 0) == 0 ? song()
                                                                   : search_page("\xFF\xFE\xC0");
         ex.send(head(200, "OK", body.size()) + body);
       },
       Page::whole, 2, Saved::whole_song, nullptr,
       [](const std::string& b) {
         if (b == search_page()) return search_page("\xFF\xFE\xC0");
         if (b == space_page()) return space_page("\x80\xFF");
         return b;
       }},
      {"OneMebibyteHead",
       [](Exchange& ex) {
         std::string h = "HTTP/1.1 200 OK\r\n";
         const std::string value(1000, 'v');
         for (int i = 0; h.size() < (1u << 20) + 1000; ++i) {
           h += "X-Filler-" + std::to_string(i) + ": " + value + "\r\n";
         }
         const std::string body = body_for(ex);
         ex.send(h + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
       },
       Page::empty, 0, Saved::nothing},
  };
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::string> entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

class HostileServerTest : public ::testing::TestWithParam<HostileCase> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tfx-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    if (GetParam().script) {
      server_ = std::make_unique<HostileServer>(GetParam().script);
      base_ = server_->base();
    } else {
      base_ = "http://127.0.0.1:" + std::to_string(refusing_port()) + "/";
    }
  }
  void TearDown() override {
    server_.reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  fs::path root_;
  std::unique_ptr<HostileServer> server_;
  std::string base_;
};

TEST_P(HostileServerTest, PageFetchEndsWithWhatThePageRoadPromises) {
  const HostileCase& c = GetParam();
  for (const std::string path : {"?search=%61", "qzone/?qq=10001"}) {
    SCOPED_TRACE(path);
    const std::string well_formed = path[0] == '?' ? search_page() : space_page();
    const std::string served = c.served(well_formed);
    const Text page = fetch_text(base_ + path);
    switch (c.page) {
      case Page::whole:
        EXPECT_TRUE(page == served) << page.size() << " of " << served.size() << " bytes";
        break;
      case Page::prefix:
        EXPECT_TRUE(served.compare(0, page.size(), page) == 0) << "not what the server sent";
        break;
      case Page::error_body:
        EXPECT_EQ(page, kErrorPage);
        break;
      case Page::empty:
        EXPECT_EQ(page, "");
        break;
    }
  }
}

TEST_P(HostileServerTest, ListsHoldOnlyWholeSongs) {
  const HostileCase& c = GetParam();
  FakeWindow window;
  SongSearchPage search(window, {base_, root_});
  SpaceMusicPage space(window, {base_ + "qzone/"});
  window.set_rows(List::超级列表框1, {{"old", "old", "old"}});
  window.set_rows(List::超级列表框2, {{"old", "old"}});
  window.set_text(Control::编辑框_搜索, cp936("正义"));
  window.set_text(Control::编辑框_QQ, "10001");

  search.on_search_clicked();
  space.on_extract_clicked();

  const auto songs = window.rows(List::超级列表框1);
  const auto space_songs = window.rows(List::超级列表框2);
  ASSERT_EQ(songs.size(), static_cast<std::size_t>(c.rows));
  ASSERT_EQ(space_songs.size(), static_cast<std::size_t>(c.rows));
  if (c.rows == 2) {
    EXPECT_EQ(songs[0][0], "1001");
    EXPECT_EQ(songs[1][0], "1004");
    EXPECT_EQ(songs[1][2], "3.62 MB");
    EXPECT_EQ(space_songs[1][1], "http://127.0.0.1/down/1001.mp3");
  }
  EXPECT_THAT(window.messages(), ::testing::IsEmpty());
}

TEST_P(HostileServerTest, DownloadReportsAndNeverDamagesTheSongOnDisk) {
  const HostileCase& c = GetParam();
  const fs::path folder = root_ / "下载音乐";
  fs::create_directories(folder);
  const std::string name = "【T】-听风匣.mp3";
  const std::string earlier = "the song downloaded yesterday";
  std::ofstream(folder / name, std::ios::binary) << earlier;

  FakeWindow window;
  SongSearchPage page(window, {base_, root_});
  window.set_text(Control::标签1, "T");
  window.set_text(Control::介绍_标签_下载地址, base_ + "down/1001.mp3");
  page.on_download_clicked();

  const auto messages = window.messages();
  ASSERT_EQ(messages.size(), 2u);
  const ShownMessage& result = messages[0];
  if (c.saved == Saved::whole_song) {
    EXPECT_EQ(result.title, cp936("下载成功"));
    const std::string got = read_file(folder / name);
    const std::string want = c.served(song());
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "the file is not the song the server sent";
  } else {
    EXPECT_EQ(result.title, cp936("下载失败"));
    if (c.failure_reason != nullptr) {
      EXPECT_THAT(result.text, ::testing::HasSubstr(cp936(c.failure_reason)));
    }
    EXPECT_EQ(read_file(folder / name), earlier);
  }
  EXPECT_EQ(entries(folder), std::set<std::string>{name}) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Servers, HostileServerTest, ::testing::ValuesIn(hostile_cases()),
                         [](const ::testing::TestParamInfo<HostileCase>& p) {
                           return std::string(p.param.name);
                         });

// While one search waits on a stalled server, later searches run and fill the list; the
// stalled one, when it gives up, writes nothing.
TEST(StalledSearch, LaterSearchesGoOnAndTheStalledOneWritesNothing) {
  HostileServer server([](Exchange& ex) {
    if (ex.target().find("%73%74%61%6C%6C") != std::string::npos) {  // "stall"
      ex.stall();
      return;
    }
    const std::string body = search_page();
    ex.send(head(200, "OK", body.size()) + body);
  });
  FakeWindow window(FakeWindow::Workers::threads);
  SongSearchPage page(window, {server.base(), "/nonexistent"});

  window.set_text(Control::编辑框_搜索, "stall");
  page.on_search_clicked();
  std::this_thread::sleep_for(200ms);  // the stalled request is surely out
  window.set_text(Control::编辑框_搜索, "ok");
  page.on_search_clicked();
  window.join_workers();

  const auto rows = window.rows(List::超级列表框1);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "1001");
  EXPECT_EQ(server.requests(), 2);
}

}  // namespace
}  // namespace tfx::testing
