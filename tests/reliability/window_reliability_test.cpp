// The real window (offscreen) under load and under hostile input: many searches while many
// downloads run, closing the window in the middle of downloads, and whatever a user may type
// into the two boxes that end up in a request.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidgetItem>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "sample_site/site.h"
#include "tests/reliability/hostile_server.h"
#include "tests/reliability/served_pages.h"
#include "tests/support/loopback_server.h"
#include "tests/ui/gui_test_support.h"
#include "text/url_coding.h"
#include "ui/application.h"
#include "ui/qt_text.h"

extern char** environ;

namespace tfx::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Generous: the machine may be loaded, or the build a sanitizer one.
constexpr std::chrono::seconds kPatience{120};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

fs::path make_temp_root(const char* tag) {
  std::string pattern = std::string("/tmp/tfx-") + tag + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

QLineEdit* edit(Program& program, Control c) {
  return qobject_cast<QLineEdit*>(program.window().control(c));
}

std::vector<std::vector<QString>> rows_of(ClickList* list) {
  std::vector<std::vector<QString>> rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    rows.push_back({item->text(0), item->text(1), item->text(2)});
  }
  return rows;
}

// ---- 50 searches while 20 downloads run --------------------------------------------------

constexpr int kSongs = 20;
constexpr int kSearches = 50;

std::string extra_song(int i) {
  return song_file(96 * 1024 + static_cast<std::size_t>(i) * 7919, static_cast<std::uint32_t>(i));
}
// Every fifth song breaks off halfway: a download that must be reported, not saved.
bool breaks_off(int i) {
  return i % 5 == 4;
}
QString song_title(int i) {
  return QStringLiteral("并发歌曲%1").arg(i, 2, 10, QLatin1Char('0'));
}

class ConcurrentUse : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = make_temp_root("concurrent");
    ASSERT_FALSE(root_.empty());
    httplib::Server& s = site_.server();
    // Enough threads that downloads and searches do not queue behind each other.
    s.new_task_queue = [] { return new httplib::ThreadPool(48); };
    // Searches answer after a random short delay, so that they finish out of order.
    s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
      if (req.has_param("search")) {
        ++searches_asked_;
        std::uniform_int_distribution<int> delay(0, 40);
        int ms = 0;
        {
          std::lock_guard lock(mutex_);
          ms = delay(random_);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      }
      return httplib::Server::HandlerResponse::Unhandled;
    });
    s.set_logger([this](const httplib::Request& req, const httplib::Response&) {
      if (req.has_param("search")) ++searches_answered_;
    });
    // The extra songs come in pieces with pauses, so that all downloads overlap the searches.
    s.Get(R"(/down/(2\d\d\d)\.mp3)", [](const httplib::Request& req, httplib::Response& res) {
      const int i = std::stoi(req.matches[1].str()) - 2000;
      auto data = std::make_shared<std::string>(extra_song(i));
      res.set_content_provider(data->size(), "audio/mpeg",
                               [data, i](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 if (breaks_off(i) && offset >= data->size() / 2) return false;
                                 const std::size_t n =
                                     std::min<std::size_t>(16 * 1024, data->size() - offset);
                                 std::this_thread::sleep_for(5ms);
                                 return sink.write(data->data() + offset, n);
                               });
    });
    sample_site::install(s);
    site_.start();

    ProgramConfig config;
    config.song_search = {site_.base(), root_};
    config.space_music = {site_.base() + "qzone/"};
    config.maker.maker_qq_number = "10001";
    config.start_page_url = site_.base() + "start.html";
    program_ = std::make_unique<Program>(config);
    program_->start();
  }
  void TearDown() override {
    program_->window().hide();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  LoopbackServer site_;
  fs::path root_;
  std::unique_ptr<Program> program_;
  std::mutex mutex_;
  std::mt19937 random_{7};
  // A search that a newer one overtakes before it starts does not ask the site at all.
  std::atomic<int> searches_asked_{0};
  std::atomic<int> searches_answered_{0};
  BoxAnswerer boxes_;
};

TEST_F(ConcurrentUse, ManySearchesWhileManyDownloadsRun) {
  MainWindow& window = program_->window();
  QtWindowOps& ops = program_->ops();
  ClickList* songs = window.list(List::超级列表框1);
  const std::vector<QString> queries = {"", "风", "Hello", "没有这首", "晴天", "正义"};

  for (int i = 0; i < kSearches; ++i) {
    const bool last = i == kSearches - 1;
    edit(*program_, Control::编辑框_搜索)
        ->setText(last ? QStringLiteral("正义") : queries[i % queries.size()]);
    window.button("按钮_确定")->click();
    if (i < kSongs) {
      // What a left click on the song's row leaves behind, then a click on 按钮_下载.
      const std::string url = site_.base() + "down/" + std::to_string(2000 + i) + ".mp3";
      ops.set_control_text(Control::标签1, to_text(song_title(i)));
      ops.set_control_text(Control::介绍_标签_下载地址, url);
      window.button("按钮_下载")->click();
    }
  }

  // Every download ends with its own message, success or failure.
  std::map<QString, QString> ended;  // title -> message title
  ASSERT_TRUE(wait_until(
      [&] {
        for (const SeenBox& box : boxes_.seen()) {
          if (box.title != "下载成功" && box.title != "下载失败") continue;
          for (int i = 0; i < kSongs; ++i) {
            if (box.text.startsWith("【" + song_title(i) + "】")) ended[song_title(i)] = box.title;
          }
        }
        return ended.size() == static_cast<std::size_t>(kSongs);
      },
      kPatience))
      << ended.size() << " of " << kSongs << " downloads ended";

  // The list ends with exactly the rows of the last search, and stays so once every search
  // that asked the site has had its answer.
  const std::vector<std::vector<QString>> expected = {{"1001", "正义之道", "3.62 MB"},
                                                      {"1002", "正义之道 (伴奏)", "3.41 MB"}};
  const auto settled = [&] {
    return searches_asked_ > 0 && searches_answered_ == searches_asked_ &&
           rows_of(songs) == expected;
  };
  ASSERT_TRUE(wait_until(settled, kPatience))
      << searches_answered_ << " of " << searches_asked_ << " searches answered, "
      << songs->topLevelItemCount() << " rows";
  wait_until([] { return false; }, 1s);
  EXPECT_TRUE(settled());
  EXPECT_EQ(rows_of(songs), expected);

  const fs::path folder = root_ / "下载音乐";
  std::set<std::string> expected_files;
  for (int i = 0; i < kSongs; ++i) {
    SCOPED_TRACE(i);
    const fs::path file = folder / ("【" + song_title(i).toStdString() + "】-听风匣.mp3");
    if (breaks_off(i)) {
      EXPECT_EQ(ended[song_title(i)], "下载失败");
      EXPECT_FALSE(fs::exists(file));
    } else {
      EXPECT_EQ(ended[song_title(i)], "下载成功");
      EXPECT_TRUE(read_file(file) == extra_song(i)) << "not the bytes the server sent";
      expected_files.insert(file.filename().string());
    }
  }
  std::set<std::string> files;
  for (const auto& e : fs::directory_iterator(folder)) files.insert(e.path().filename().string());
  EXPECT_EQ(files, expected_files) << "a temporary file was left behind";
}

// ---- Closing the window while downloads run ------------------------------------------------

TEST(ClosingWhileDownloading, EndsAtOnceWithStatusZeroAndNoHalfWrittenSong) {
  const fs::path root = make_temp_root("close");
  ASSERT_FALSE(root.empty());
  const fs::path folder = root / "下载音乐";
  fs::create_directories(folder);
  // A song downloaded earlier under a name one of the running downloads will take.
  const std::string earlier = "downloaded yesterday";
  std::ofstream(folder / "【歌曲1】-听风匣.mp3", std::ios::binary) << earlier;

  // Each song sends a part and then holds the rest back until the test ends.
  std::mutex mutex;
  std::condition_variable released_changed;
  bool released = false;
  LoopbackServer server;
  server.server().new_task_queue = [] { return new httplib::ThreadPool(16); };
  server.server().Get(
      R"(/down/slow(\d)\.mp3)", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1 << 20, "audio/mpeg",
                                 [&](std::size_t, std::size_t, httplib::DataSink& sink) {
                                   const std::string part(64 * 1024, 'p');
                                   sink.write(part.data(), part.size());
                                   std::unique_lock lock(mutex);
                                   released_changed.wait(lock, [&] { return released; });
                                   return false;
                                 });
      });
  server.start();

  const std::string base = server.base();
  const std::string root_text = root.string();
  char* argv[] = {const_cast<char*>(CLOSE_PROBE), const_cast<char*>(base.c_str()),
                  const_cast<char*>(root_text.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, CLOSE_PROBE, nullptr, nullptr, argv, environ), 0);

  // The downloads stall for the program's full 30 seconds; a program that waited for them
  // would still be running long after this.
  int status = 0;
  pid_t ended = 0;
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  {
    std::lock_guard lock(mutex);
    released = true;
  }
  released_changed.notify_all();

  ASSERT_NE(ended, 0) << "the program did not end";
  ASSERT_TRUE(WIFEXITED(status)) << "the program did not exit normally";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The probe closes the window only once every download has written part of its song.
  std::set<std::string> finals;
  int partial = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(".tfx-", 0) == 0) {
      ++partial;
    } else {
      finals.insert(name);
    }
  }
  EXPECT_EQ(partial, 3) << "the window was closed before the downloads were under way";
  EXPECT_EQ(finals, std::set<std::string>{"【歌曲1】-听风匣.mp3"});
  EXPECT_EQ(read_file(folder / "【歌曲1】-听风匣.mp3"), earlier);
  server.stop();
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

// ---- What a user may type ----------------------------------------------------------------

struct TypedCase {
  const char* name;
  QString typed;
};

std::vector<TypedCase> typed_cases() {
  QString long_text;
  while (long_text.size() < 10000) long_text += QStringLiteral("a正");
  return {
      {"Empty", ""},
      {"TenThousandCharacters", long_text},
      {"OutsideCodePage936", QStringLiteral("A😀ก€")},
      {"LineBreakAndHeader", QStringLiteral("1\r\nX-Injected: 1\r\n\r\nGET /other HTTP/1.1")},
      {"Percent", "100%"},
      {"Ampersand", "1&qq=2"},
      {"Hash", "1#2"},
      {"DotSegments", "/../../etc/passwd"},
      {"AtAndBackslash", "a@evil.example\\x"},
  };
}

// Records each request head and answers with an empty page.
struct RecordingServer {
  RecordingServer()
      : server([this](Exchange& ex) {
          {
            std::lock_guard lock(mutex);
            heads.push_back(ex.request());
          }
          ex.send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        }) {}
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex);
    return heads;
  }
  std::mutex mutex;
  std::vector<std::string> heads;
  HostileServer server;
};

// One request line and header lines the program writes itself, nothing else.
void expect_one_clean_request(const std::string& request, const std::string& path_start,
                              const std::string& host) {
  const std::size_t end = request.find("\r\n\r\n");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(end + 4, request.size()) << "bytes after the request head";
  std::vector<std::string> lines;
  for (std::size_t from = 0; from < end;) {
    const std::size_t at = request.find("\r\n", from);
    lines.push_back(request.substr(from, std::min(at, end) - from));
    from = std::min(at, end) + 2;
  }
  ASSERT_FALSE(lines.empty());
  const std::string& line = lines[0];
  ASSERT_EQ(line.rfind("GET " + path_start, 0), 0u) << line.substr(0, 200);
  ASSERT_TRUE(line.ends_with(" HTTP/1.1"));
  const std::string target = line.substr(4, line.size() - 4 - 9);
  for (unsigned char c : target) {
    ASSERT_TRUE(c > 0x20 && c < 0x7F) << "byte " << int(c);
  }
  std::multiset<std::string> names;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t colon = lines[i].find(':');
    ASSERT_NE(colon, std::string::npos) << lines[i];
    names.insert(lines[i].substr(0, colon));
    for (unsigned char c : lines[i]) {
      ASSERT_TRUE(c >= 0x20 && c < 0x7F) << lines[i];
    }
    if (lines[i].rfind("Host:", 0) == 0) {
      EXPECT_EQ(lines[i], "Host: " + host);
    }
  }
  EXPECT_EQ(names, (std::multiset<std::string>{"Host", "User-Agent", "Accept", "Accept-Language",
                                               "Content-Type"}));
}

std::string percent_decoded(const std::string& coded) {
  std::string out;
  for (std::size_t i = 0; i < coded.size(); ++i) {
    if (coded[i] == '%' && i + 2 < coded.size()) {
      out += static_cast<char>(std::stoi(coded.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += coded[i];
    }
  }
  return out;
}

class TypedInput : public ::testing::TestWithParam<TypedCase> {
 protected:
  void SetUp() override {
    ProgramConfig config;
    root_ = make_temp_root("typed");
    config.song_search = {recorder_.server.base(), root_};
    config.space_music = {recorder_.server.base() + "qzone/"};
    config.maker.maker_qq_number = "10001";
    config.start_page_url = "about:blank";
    program_ = std::make_unique<Program>(config);
    program_->start();
    host_ = recorder_.server.base().substr(7, recorder_.server.base().size() - 8);
  }
  void TearDown() override {
    program_->window().hide();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  RecordingServer recorder_;
  fs::path root_;
  std::unique_ptr<Program> program_;
  std::string host_;
  BoxAnswerer boxes_;
};

TEST_P(TypedInput, QqBoxGivesOneCleanRequestToTheLookupService) {
  QLineEdit* box = edit(*program_, Control::编辑框_QQ);
  box->setText(GetParam().typed);
  program_->window().button("按钮_提取")->click();

  const auto requests = recorder_.requests();
  if (box->text().isEmpty()) {
    EXPECT_TRUE(requests.empty());
    ASSERT_TRUE(wait_until([&] { return !boxes_.seen().empty(); }, kPatience));
    EXPECT_EQ(boxes_.seen().back().text, "请输入QQ！");
    return;
  }
  ASSERT_EQ(requests.size(), 1u);
  expect_one_clean_request(requests[0], "/qzone/?qq=", host_);
}

TEST_P(TypedInput, SearchBoxGivesOneCleanRequestCarryingTheWholeName) {
  QLineEdit* box = edit(*program_, Control::编辑框_搜索);
  box->setText(GetParam().typed);
  const QString name = box->text();
  program_->window().button("按钮_确定")->click();
  ASSERT_TRUE(wait_until([&] { return !recorder_.requests().empty(); }, kPatience));
  wait_until([] { return false; }, 200ms);

  const auto requests = recorder_.requests();
  ASSERT_EQ(requests.size(), 1u);
  expect_one_clean_request(requests[0], "/?search=", host_);
  const std::string line = requests[0].substr(0, requests[0].find("\r\n"));
  const std::string query = line.substr(13, line.size() - 13 - 9);
  // Every byte percent-coded, and decoded again it is the name as typed, with each character
  // code page 936 cannot hold turned into "?".
  for (std::size_t i = 0; i < query.size(); i += 3) ASSERT_EQ(query[i], '%');
  QString expected;
  for (const uint c : name.toUcs4()) {
    expected += (c == 0x1F600 || c == 0x0E01)
                    ? QStringLiteral("?")
                    : QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
  }
  EXPECT_EQ(QString::fromStdString(percent_decoded(query)), expected);
  EXPECT_TRUE(boxes_.seen().empty());
}

INSTANTIATE_TEST_SUITE_P(Boxes, TypedInput, ::testing::ValuesIn(typed_cases()),
                         [](const ::testing::TestParamInfo<TypedCase>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
}  // namespace tfx::testing

int main(int argc, char** argv) {
  tfx::prepare_application();
  QApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // Detached workers and the browser engine may still run; end as the program does.
  std::fflush(nullptr);
  std::_Exit(result);
}
