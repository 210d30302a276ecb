// Saving a song file into the download folder: where that folder is, what the file is called,
// and how the body gets there without ever leaving a half-written song behind.
#pragma once

#include <filesystem>
#include <string>

#include "text/text.h"

namespace tfx {

// The longest file name, in bytes, that the common Linux file systems accept (ext4, xfs,
// btrfs, tmpfs). Windows counts 255 UTF-16 units, which a UTF-8 name of 255 bytes never
// exceeds, so one limit gives one name everywhere.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// "【" + title + "】-听风匣.mp3" as a UTF-8 file name that every system can hold: the
// characters \ / : * ? " < > | become their full-width forms, control characters are dropped,
// and a name that would be too long loses the end of its title, never its suffix.
std::string download_file_name(const Text& title);

// Makes every missing level of the folder. Failures are left to show up when the file is saved.
void ensure_directory(const std::filesystem::path& folder);

// The folder of the running executable; empty when it cannot be found.
std::filesystem::path program_folder();

// The user's music folder: XDG_MUSIC_DIR of user-dirs.dirs, else ~/Music.
std::filesystem::path user_music_folder();

// Where "下载音乐" lives: under `root` when given, else beside the program, else (the program's
// folder cannot be written) under the user's music folder.
std::filesystem::path download_folder(const std::filesystem::path& root = {});

struct SaveOutcome {
  enum class Failure { none, no_answer, http_status, cut_short, empty_body, disk };
  Failure failure = Failure::none;
  long status = 0;  // status of the server's answer, 0 when none came
  bool ok() const { return failure == Failure::none; }
};

// Fetches `url` with the download request and stores the body as `folder`/`file_name`. The
// body streams into a temporary file beside the target, which replaces the target only once
// the whole body has arrived with a success status; on any failure the target is untouched.
SaveOutcome save_download(const Text& url, const std::filesystem::path& folder,
                          const std::string& file_name);

}  // namespace tfx
