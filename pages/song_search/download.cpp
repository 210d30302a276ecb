#include "pages/song_search/download.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <system_error>

#include "text/url_coding.h"
#include "web/http_exchange.h"

namespace tfx {

namespace fs = std::filesystem;

namespace {

// File names on disk are UTF-8; these literals are, as the source is.
constexpr std::string_view kFolderName = "下载音乐";
constexpr std::string_view kNameOpen = "【";
constexpr std::string_view kNameClose = "】-听风匣.mp3";

// The characters a Windows or Linux file name cannot hold, and the full-width forms (all in
// code page 936) that stand in for them.
std::string_view full_width_form(char c) {
  switch (c) {
    case '\\':
      return "＼";
    case '/':
      return "／";
    case ':':
      return "：";
    case '*':
      return "＊";
    case '?':
      return "？";
    case '"':
      return "＂";
    case '<':
      return "＜";
    case '>':
      return "＞";
    case '|':
      return "｜";
    default:
      return {};
  }
}

// Length of the UTF-8 sequence that starts with `lead`; 1 for a stray continuation byte.
std::size_t utf8_sequence_length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::string download_file_name(const Text& title) {
  // Working on the UTF-8 form makes the rule one of whole characters: in UTF-8 a byte below
  // 0x80 is always a character of its own, whereas in code page 936 the second byte of a
  // double-byte character may be 0x5C ("\") or 0x7C ("|") without being one.
  const std::string utf8 = gbk_to_utf8(title);
  std::string safe;
  safe.reserve(utf8.size());
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) continue;
    if (auto wide = full_width_form(c); !wide.empty()) {
      safe.append(wide);
    } else {
      safe.push_back(c);
    }
  }

  const std::size_t room = kMaxFileNameBytes - kNameOpen.size() - kNameClose.size();
  if (safe.size() > room) {
    std::size_t cut = 0;
    while (cut < safe.size()) {
      const std::size_t next = cut + utf8_sequence_length(static_cast<unsigned char>(safe[cut]));
      if (next > room) break;
      cut = next;
    }
    safe.resize(cut);
  }
  std::string name;
  name.reserve(kNameOpen.size() + safe.size() + kNameClose.size());
  name.append(kNameOpen).append(safe).append(kNameClose);
  return name;
}

void ensure_directory(const fs::path& folder) {
  std::error_code ignored;
  fs::create_directories(folder, ignored);
}

fs::path program_folder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path();
}

namespace {

fs::path home_folder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
    return user->pw_dir;
  }
  return {};
}

// The value of XDG_MUSIC_DIR in user-dirs.dirs: "$HOME/Music" or an absolute path.
fs::path xdg_music_dir(const fs::path& home) {
  fs::path config;
  if (const char* dir = std::getenv("XDG_CONFIG_HOME"); dir != nullptr && *dir == '/') {
    config = dir;
  } else {
    config = home / ".config";
  }
  std::ifstream in(config / "user-dirs.dirs");
  std::string line;
  constexpr std::string_view kKey = "XDG_MUSIC_DIR=\"";
  while (std::getline(in, line)) {
    if (line.rfind(kKey, 0) != 0) continue;
    const auto end = line.find('"', kKey.size());
    if (end == std::string::npos) return {};
    std::string value = line.substr(kKey.size(), end - kKey.size());
    if (value.rfind("$HOME", 0) == 0) {
      value = home.string() + value.substr(5);
    }
    fs::path dir(value);
    // The XDG rules say a music folder equal to the home folder means "none set".
    if (!dir.is_absolute() || (dir / "").lexically_normal() == (home / "").lexically_normal()) {
      return {};
    }
    return dir;
  }
  return {};
}

bool writable_folder(const fs::path& folder) {
  return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

// Folders a program is installed into are the system's, read-only by the rules of the file
// system hierarchy even for root, who could write them.
bool system_folder(const fs::path& folder) {
  for (const char* top : {"/usr", "/bin", "/sbin"}) {
    const fs::path relative = folder.lexically_relative(top);
    if (!relative.empty() && *relative.begin() != "..") return true;
  }
  return false;
}

}  // namespace

fs::path user_music_folder() {
  const fs::path home = home_folder();
  if (fs::path dir = xdg_music_dir(home); !dir.empty()) return dir;
  return home / "Music";
}

fs::path download_folder(const fs::path& root) {
  if (!root.empty()) return root / kFolderName;
  if (const fs::path program = program_folder(); !program.empty() && !system_folder(program)) {
    const fs::path beside = program / kFolderName;
    std::error_code error;
    const bool exists = fs::is_directory(beside, error);
    if (exists ? writable_folder(beside) : writable_folder(program)) return beside;
  }
  return user_music_folder() / kFolderName;
}

// ---- Saving ---------------------------------------------------------------------------------

namespace {

// Temporary files carry a hash of the final name rather than the name itself, which may
// already use the whole length a file name may have.
std::string temp_prefix(const std::string& file_name) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (char c : file_name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  char text[40];
  std::snprintf(text, sizeof text, ".tfx-%016llx-", static_cast<unsigned long long>(hash));
  return text;
}
constexpr std::string_view kTempSuffix = ".part";

bool same_file(int fd, const fs::path& path) {
  struct stat by_fd {};
  struct stat by_path {};
  return fstat(fd, &by_fd) == 0 && stat(path.c_str(), &by_path) == 0 &&
         by_fd.st_dev == by_path.st_dev && by_fd.st_ino == by_path.st_ino;
}

// A running download holds a lock on its temporary file for as long as it writes; the lock
// ends with the process. A temporary file of this name that nobody locks was left by a
// program that ended mid-download, and goes.
void remove_stale_temp_files(const fs::path& folder, const std::string& prefix) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || !name.ends_with(kTempSuffix)) continue;
    const int fd = open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && same_file(fd, it->path())) {
      unlink(it->path().c_str());
    }
    close(fd);
  }
}

// Creates and locks a new temporary file; -1 when the folder cannot take one.
int create_temp_file(const fs::path& folder, const std::string& prefix, fs::path& path) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = folder / (prefix + std::to_string(getpid()) + "-" + std::to_string(++counter) +
                     std::string(kTempSuffix));
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // Between the open and the lock another download's clean-up may have taken the file for
    // a stale one; it is then gone from the folder and this one starts over.
    if (flock(fd, LOCK_EX) == 0 && same_file(fd, path)) return fd;
    close(fd);
  }
  return -1;
}

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

SaveOutcome save_download(const Text& url, const fs::path& folder, const std::string& file_name) {
  const std::string prefix = temp_prefix(file_name);
  remove_stale_temp_files(folder, prefix);

  SaveOutcome result;
  fs::path temp;
  const int fd = create_temp_file(folder, prefix, temp);
  if (fd < 0) {
    result.failure = SaveOutcome::Failure::disk;
    return result;
  }

  const DownloadOutcome got = download_stream(
      url, [fd](const char* data, std::size_t size) { return write_all(fd, data, size); });
  result.status = got.status;
  const bool success_status = got.status >= 200 && got.status < 300;
  if (got.sink_failed) {
    result.failure = SaveOutcome::Failure::disk;
  } else if (got.status == 0) {
    result.failure = SaveOutcome::Failure::no_answer;
  } else if (!success_status) {
    result.failure = SaveOutcome::Failure::http_status;
  } else if (!got.complete) {
    result.failure = SaveOutcome::Failure::cut_short;
  } else if (got.bytes == 0) {
    result.failure = SaveOutcome::Failure::empty_body;
  } else if (rename(temp.c_str(), (folder / file_name).c_str()) != 0) {
    result.failure = SaveOutcome::Failure::disk;
  } else {
    // Renamed while still locked, so no clean-up can take it for a stale file in between.
    close(fd);
    return result;
  }
  unlink(temp.c_str());
  close(fd);
  return result;
}

}  // namespace tfx
