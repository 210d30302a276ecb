// The page "搜索音乐": search the music site, pick a song for its link, preview, download.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "text/text.h"
#include "ui/window_ops.h"

namespace tfx {

struct SongSearchConfig {
  Text music_site_base;  // root of the music site, ending in a slash
  // Folder the "下载音乐" folder is made in. Empty: the folder of the running program, or the
  // user's music folder where the program's folder cannot be written (an installed program).
  std::filesystem::path download_root;
};

class SongSearchPage {
 public:
  SongSearchPage(WindowOps& window, SongSearchConfig config);
  ~SongSearchPage();
  SongSearchPage(const SongSearchPage&) = delete;
  SongSearchPage& operator=(const SongSearchPage&) = delete;

  // Event handlers, bound by the window.
  void on_search_clicked();    // 按钮_确定
  void on_list_left_click();   // 超级列表框1
  void on_list_right_click();  // 超级列表框1
  void on_copy_clicked();      // 按钮_复制
  void on_download_clicked();  // 按钮_下载

  void show_song_link(const Text& uid);
  void preview_song(const Text& uid);

 private:
  struct State;
  // Worker routines. Each gets what it works on from its click, so a later click cannot change
  // it halfway: the search its ticket, the download the song picked at that moment.
  static void search_songs(State& state, std::uint64_t ticket);
  static void download_song(State& state, const Text& title, const Text& url);

  std::shared_ptr<State> state_;  // shared with running workers, which may outlive a handler
};

}  // namespace tfx
