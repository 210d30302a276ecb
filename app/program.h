// The program around the window: the pages and the menu bound to the window's events, and
// start-up in its fixed order.
#pragma once

#include <memory>

#include "app/menu_commands.h"
#include "pages/song_search/song_search.h"
#include "pages/space_music/space_music.h"
#include "text/text.h"
#include "ui/main_window.h"
#include "ui/qt_window_ops.h"

namespace tfx {

struct ProgramConfig {
  SongSearchConfig song_search;
  SpaceMusicConfig space_music;
  MakerConfig maker;
  Text start_page_url;
};

// The addresses fixed when the program was built.
ProgramConfig built_in_config();

class Program {
 public:
  // Builds the window, hidden, with every event bound to its handler.
  explicit Program(ProgramConfig config);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The window's created event, then the window appears in the middle of the screen.
  void start();

  MainWindow& window() { return *window_; }
  QtWindowOps& ops() { return *ops_; }

 private:
  void bind_events();

  ProgramConfig config_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<QtWindowOps> ops_;
  std::unique_ptr<SongSearchPage> song_search_;
  std::unique_ptr<SpaceMusicPage> space_music_;
  std::unique_ptr<MenuCommands> menu_;
};

}  // namespace tfx
