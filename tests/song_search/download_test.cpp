// Downloading the picked song into the download folder, against a fake window and a music
// site on loopback: what is saved, under which name, and what survives a failed download.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "pages/song_search/download.h"
#include "pages/song_search/song_search.h"
#include "tests/mock/fake_window.h"
#include "tests/support/loopback_server.h"
#include "text/url_coding.h"

extern char** environ;

namespace tfx::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::UnorderedElementsAre;

std::string song_body() {
  std::string body;
  for (int i = 0; i < 300000; ++i) body.push_back(static_cast<char>((i * 7) & 0xFF));
  return body;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void write_file(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::set<std::string> folder_entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

const Text& started_message() {
  static const Text text = cp936("开始下载，请等待提示完成！");
  return text;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tfx-download-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    folder_ = root_ / "下载音乐";

    auto& s = server_.server();
    s.Get("/down/good.mp3", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(song_body(), "audio/mpeg");
      (void)req;
    });
    s.Get("/down/missing.mp3", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("<html>not found</html>", "text/html");
    });
    s.Get("/down/empty.mp3", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("", "audio/mpeg");
    });
    // Announces 1000 bytes, sends 100 and drops the connection.
    s.Get("/down/cut.mp3", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(1000, "audio/mpeg", [](size_t, size_t, httplib::DataSink& sink) {
        sink.write(std::string(100, 'x').data(), 100);
        return false;
      });
    });
    // Sends 100 of 1000 bytes and then nothing until the test lets it go.
    s.Get("/down/stall.mp3", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(1000, "audio/mpeg", [this](size_t, size_t, httplib::DataSink& sink) {
        sink.write(std::string(100, 'x').data(), 100);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return released_; });
        return false;
      });
    });
    // Answers only once two requests are in, so that two downloads surely overlap.
    s.Get("/down/together.mp3", [this](const httplib::Request&, httplib::Response& res) {
      {
        std::unique_lock lock(mutex_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(10), [this] { return arrived_ >= 2; });
      }
      res.set_content(song_body(), "audio/mpeg");
    });
    s.Get("/down/profile.mp3", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      seen_ = req;
      res.set_content("abc", "audio/mpeg");
    });
    server_.start();
  }

  void TearDown() override {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
      changed_.notify_all();
    }
    server_.stop();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // What the click takes: the picked song, as a left click on its row leaves it.
  void pick(FakeWindow& window, const Text& title, const std::string& path) {
    window.set_text(Control::标签1, title);
    window.set_text(Control::介绍_标签_下载地址, server_.base() + path);
  }

  LoopbackServer server_;
  fs::path root_;
  fs::path folder_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  int arrived_ = 0;
  httplib::Request seen_;
};

TEST_F(DownloadTest, SavesOnlyCompleteAnswersAndSaysWhatHappened) {
  const std::string earlier = "an earlier, good download";
  const struct {
    const char* what;
    Text title;
    std::string path;
    bool earlier_file;                 // a file of the same name is already there
    std::optional<std::string> saved;  // content of the song file afterwards
    std::string file_name;
    ShownMessage message;
  } cases[] = {
      {"success",
       cp936("正义之道"),
       "down/good.mp3",
       false,
       song_body(),
       "【正义之道】-听风匣.mp3",
       {cp936("【正义之道】下载成功,文件在目录下[下载音乐]文件夹内"), cp936("下载成功")}},
      {"replaces an earlier file",
       "T",
       "down/good.mp3",
       true,
       song_body(),
       "【T】-听风匣.mp3",
       {cp936("【T】下载成功,文件在目录下[下载音乐]文件夹内"), cp936("下载成功")}},
      {"characters a file name cannot hold",
       "A/B?",
       "down/good.mp3",
       false,
       song_body(),
       "【A／B？】-听风匣.mp3",
       {cp936("【A/B?】下载成功,文件在目录下[下载音乐]文件夹内"), cp936("下载成功")}},
      {"nothing picked",
       "",
       "down/good.mp3",
       false,
       std::nullopt,
       "",
       {cp936("请选择(点击)一个下载歌曲"), std::nullopt}},
      {"error status",
       "T",
       "down/missing.mp3",
       true,
       earlier,
       "【T】-听风匣.mp3",
       {cp936("【T】下载失败,服务器返回错误 404"), cp936("下载失败")}},
      {"cut short",
       "T",
       "down/cut.mp3",
       true,
       earlier,
       "【T】-听风匣.mp3",
       {cp936("【T】下载失败,传输中途断开,文件不完整"), cp936("下载失败")}},
      {"empty body",
       "T",
       "down/empty.mp3",
       true,
       earlier,
       "【T】-听风匣.mp3",
       {cp936("【T】下载失败,服务器没有返回文件内容"), cp936("下载失败")}},
      {"no answer",
       "T",
       "",
       false,
       std::nullopt,
       "",
       {cp936("【T】下载失败,服务器没有应答"), cp936("下载失败")}},
  };
  std::string unreachable;
  {
    LoopbackServer closed;
    closed.start();
    unreachable = closed.base();
  }

  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(folder_);
    FakeWindow window;
    pick(window, c.title, c.path);
    if (c.path.empty()) window.set_text(Control::介绍_标签_下载地址, unreachable + "down/1.mp3");
    if (c.earlier_file) {
      fs::create_directories(folder_);
      write_file(folder_ / c.file_name, earlier);
    }
    SongSearchPage page(window, {server_.base(), root_});

    page.on_download_clicked();

    EXPECT_THAT(window.messages(),
                UnorderedElementsAre(ShownMessage{started_message(), {}}, c.message));
    ASSERT_TRUE(fs::is_directory(folder_));
    if (c.saved) {
      // Exactly the song file: no temporary file is left behind.
      EXPECT_EQ(folder_entries(folder_), std::set<std::string>{c.file_name});
      EXPECT_TRUE(read_file(folder_ / c.file_name) == *c.saved);
    } else {
      EXPECT_TRUE(folder_entries(folder_).empty());
    }
  }
}

TEST_F(DownloadTest, TakesTheSongPickedAtTheClick) {
  FakeWindow window(FakeWindow::Workers::threads);
  SongSearchPage page(window, {server_.base(), root_});
  pick(window, "First", "down/good.mp3");

  page.on_download_clicked();
  pick(window, "Second", "down/missing.mp3");  // a left click while the first one runs
  window.join_workers();

  EXPECT_EQ(folder_entries(folder_), std::set<std::string>{"【First】-听风匣.mp3"});
  EXPECT_TRUE(read_file(folder_ / "【First】-听风匣.mp3") == song_body());
}

TEST_F(DownloadTest, TwoDownloadsOfTheSameSongBothEndWell) {
  FakeWindow window(FakeWindow::Workers::threads);
  SongSearchPage page(window, {server_.base(), root_});
  pick(window, "T", "down/together.mp3");

  page.on_download_clicked();
  page.on_download_clicked();
  window.join_workers();

  const ShownMessage started{started_message(), {}};
  const ShownMessage done{cp936("【T】下载成功,文件在目录下[下载音乐]文件夹内"), cp936("下载成功")};
  EXPECT_THAT(window.messages(), UnorderedElementsAre(started, started, done, done));
  EXPECT_EQ(folder_entries(folder_), std::set<std::string>{"【T】-听风匣.mp3"});
  EXPECT_TRUE(read_file(folder_ / "【T】-听风匣.mp3") == song_body());
}

TEST_F(DownloadTest, TemporaryFileOfAKilledProgramIsCleanedUpByTheNextDownload) {
  // Another program downloads the same song and is killed halfway through.
  fs::create_directories(folder_);
  const std::string url = server_.base() + "down/stall.mp3";
  const std::string folder = folder_.string();
  char* argv[] = {const_cast<char*>(SONG_DOWNLOAD_PROBE), const_cast<char*>(url.c_str()),
                  const_cast<char*>(folder.c_str()), const_cast<char*>("T"), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, SONG_DOWNLOAD_PROBE, nullptr, nullptr, argv, environ), 0);
  const auto partial_written = [&] {
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.file_size() == 100) return true;
    }
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!partial_written() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  ASSERT_EQ(folder_entries(folder_).size(), 1u) << "the killed download left its temporary file";

  FakeWindow window;
  SongSearchPage page(window, {server_.base(), root_});
  pick(window, "T", "down/good.mp3");
  page.on_download_clicked();

  EXPECT_EQ(folder_entries(folder_), std::set<std::string>{"【T】-听风匣.mp3"});
}

TEST_F(DownloadTest, RequestHasTheDownloadProfile) {
  FakeWindow window;
  SongSearchPage page(window, {server_.base(), root_});
  pick(window, "T", "down/profile.mp3");
  page.on_download_clicked();

  std::lock_guard lock(mutex_);
  EXPECT_EQ(seen_.method, "GET");
  EXPECT_EQ(seen_.version, "HTTP/1.0");
  EXPECT_EQ(seen_.get_header_value("User-Agent"),
            "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(seen_.get_header_value("Accept"), "*/*");
  EXPECT_FALSE(seen_.has_header("Accept-Language"));
  EXPECT_FALSE(seen_.has_header("Content-Type"));
  EXPECT_FALSE(seen_.has_header("Cookie"));
}

// ---- File names ------------------------------------------------------------------------------

TEST(DownloadFileName, HoldsOnEverySystem) {
  const struct {
    Text title;
    std::string name;
  } cases[] = {
      {cp936("正义之道"), "【正义之道】-听风匣.mp3"},
      {"\\/:*?\"<>|", "【＼／：＊？＂＜＞｜】-听风匣.mp3"},
      {"a\tb\x01"
       "c\x7f",
       "【abc】-听风匣.mp3"},
      {"..", "【..】-听风匣.mp3"},
      {"../../etc/passwd", "【..／..／etc／passwd】-听风匣.mp3"},
      // Second bytes 0x5C and 0x7C belong to their characters and are no separators.
      {"\x81\x5c\x81\x7c", "【乗亅】-听风匣.mp3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(download_file_name(c.title), c.name) << c.name;
  }
}

TEST(DownloadFileName, LongTitleIsShortenedAtACharacterBoundary) {
  Text title;
  for (int i = 0; i < 120; ++i) title += cp936("歌");
  title += "x";
  for (int extra = 0; extra < 3; ++extra) {  // every cut position within a character
    const std::string name = download_file_name(title + std::string(extra, 'y'));
    SCOPED_TRACE(extra);
    EXPECT_LE(name.size(), kMaxFileNameBytes);
    EXPECT_GT(name.size(), kMaxFileNameBytes - 3);
    EXPECT_TRUE(name.starts_with("【歌歌"));
    EXPECT_TRUE(name.ends_with("歌】-听风匣.mp3")) << name;
  }
  // And the name is one the file system takes.
  char pattern[] = "/tmp/tfx-name-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path path = fs::path(pattern) / download_file_name(title);
  write_file(path, "x");
  EXPECT_TRUE(fs::exists(path));
  fs::remove_all(pattern);
}

TEST(UserMusicFolder, FollowsTheXdgSettingElseMusicAtHome) {
  char pattern[] = "/tmp/tfx-home-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path home = pattern;
  const struct {
    const char* setting;  // content of user-dirs.dirs; nullptr: no such file
    fs::path folder;
  } cases[] = {
      {nullptr, home / "Music"},
      {"# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/音乐\"\n", home / "音乐"},
      {"XDG_MUSIC_DIR=\"/srv/songs\"\n", "/srv/songs"},
      {"XDG_MUSIC_DIR=\"$HOME/\"\n", home / "Music"},  // "none set"
  };
  setenv("HOME", pattern, 1);
  unsetenv("XDG_CONFIG_HOME");
  for (const auto& c : cases) {
    fs::remove_all(home / ".config");
    if (c.setting) {
      fs::create_directories(home / ".config");
      write_file(home / ".config" / "user-dirs.dirs", c.setting);
    }
    EXPECT_EQ(user_music_folder(), c.folder) << (c.setting ? c.setting : "no file");
  }
  fs::remove_all(home);
}

}  // namespace
}  // namespace tfx::testing
