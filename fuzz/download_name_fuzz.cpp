// The download file name for any song title: always one name, inside the download folder.
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_support.h"
#include "pages/song_search/download.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  using namespace tfx;
  const Text title = fuzz::text_of(std::string(reinterpret_cast<const char*>(data), size));
  const std::string name = download_file_name(title);

  static const std::string kOpen = "【";
  static const std::string kClose = "】-听风匣.mp3";
  FUZZ_CHECK(name.size() <= kMaxFileNameBytes);
  FUZZ_CHECK(name.compare(0, kOpen.size(), kOpen) == 0);
  FUZZ_CHECK(name.size() >= kOpen.size() + kClose.size() &&
             name.compare(name.size() - kClose.size(), kClose.size(), kClose) == 0);
  FUZZ_CHECK(fuzz::is_valid_utf8(name));
  for (unsigned char c : name) {
    FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    FUZZ_CHECK(c != '/' && c != '\\' && c != ':' && c != '*' && c != '?' && c != '"' && c != '<' &&
               c != '>' && c != '|');
  }
  const fs::path folder = "/music/下载音乐";
  const fs::path file = folder / name;
  FUZZ_CHECK(file.parent_path() == folder);
  FUZZ_CHECK(file.filename().string() == name);
  FUZZ_CHECK(file.lexically_normal() == file);
  return 0;
}
