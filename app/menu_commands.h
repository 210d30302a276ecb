// The commands of the menu "菜单". They send the user to the maker's web presence or stop a
// preview; each returns at once and reports nothing.
#pragma once

#include "text/text.h"
#include "ui/window_ops.h"

namespace tfx {

struct MakerConfig {
  Text maker_site_url;
  Text maker_site_host;
  Text maker_qq_number;
  Text contact_site_name;
  Text fan_group_join_base;
  Text fan_group_key;
};

class MenuCommands {
 public:
  MenuCommands(WindowOps& window, MakerConfig config);

  void official_site();  // "官网"
  void fan_group();      // "粉丝群"
  void contact_me();     // "联系我"
  void cancel_preview(); // "取消试听"
  void check_update();   // "检查更新"

 private:
  WindowOps& window_;
  MakerConfig config_;
};

}  // namespace tfx
