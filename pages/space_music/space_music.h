// The page "提取空间音乐": list the background music of a QQ Space account.
#pragma once

#include "text/text.h"
#include "ui/window_ops.h"

namespace tfx {

struct SpaceMusicConfig {
  Text space_lookup_base;  // root of the lookup service, ending in a slash
};

class SpaceMusicPage {
 public:
  SpaceMusicPage(WindowOps& window, SpaceMusicConfig config);

  // Event handlers, bound by the window.
  void on_extract_clicked();   // 按钮_提取: runs the extraction on the window's thread
  void on_list_left_click();   // 超级列表框2: copies the song's name
  void on_list_right_click();  // 超级列表框2: shows and copies the song's address
  void on_copy_clicked();      // 按钮_复制1

  void extract_space_music();

 private:
  WindowOps& window_;
  SpaceMusicConfig config_;
};

}  // namespace tfx
