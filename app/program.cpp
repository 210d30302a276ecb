#include "app/program.h"

#include "app/build_config.h"
#include "text/url_coding.h"
#include "ui/qt_text.h"

namespace tfx {

ProgramConfig built_in_config() {
  namespace c = build_config;
  ProgramConfig config;
  config.song_search.music_site_base = cp936(c::kMusicSiteBase);
  config.space_music.space_lookup_base = cp936(c::kSpaceLookupBase);
  config.maker =
      MakerConfig{cp936(c::kMakerSiteUrl),    cp936(c::kMakerSiteHost),    cp936(c::kMakerQqNumber),
                  cp936(c::kContactSiteName), cp936(c::kFanGroupJoinBase), cp936(c::kFanGroupKey)};
  config.start_page_url = cp936(c::kStartPageUrl);
  return config;
}

Program::Program(ProgramConfig config) : config_(std::move(config)) {
  window_ = std::make_unique<MainWindow>(
      MainWindowOptions{to_qstring(config_.maker.maker_qq_number), /*with_browser=*/true});
  ops_ = std::make_unique<QtWindowOps>(*window_);
  song_search_ = std::make_unique<SongSearchPage>(*ops_, config_.song_search);
  space_music_ = std::make_unique<SpaceMusicPage>(*ops_, config_.space_music);
  menu_ = std::make_unique<MenuCommands>(*ops_, config_.maker);
  bind_events();
}

void Program::bind_events() {
  MainWindow& w = *window_;
  SongSearchPage* song = song_search_.get();
  SpaceMusicPage* space = space_music_.get();
  MenuCommands* menu = menu_.get();

  auto on_click = [&w](const char* button, auto handler) {
    QObject::connect(w.button(QString::fromUtf8(button)), &QPushButton::clicked, &w, handler);
  };
  on_click("按钮_确定", [song] { song->on_search_clicked(); });
  on_click("按钮_复制", [song] { song->on_copy_clicked(); });
  on_click("按钮_下载", [song] { song->on_download_clicked(); });
  on_click("按钮_提取", [space] { space->on_extract_clicked(); });
  on_click("按钮_复制1", [space] { space->on_copy_clicked(); });

  ClickList* songs = w.list(List::超级列表框1);
  QObject::connect(songs, &ClickList::leftClicked, &w, [song] { song->on_list_left_click(); });
  QObject::connect(songs, &ClickList::rightClicked, &w, [song] { song->on_list_right_click(); });
  ClickList* space_list = w.list(List::超级列表框2);
  QObject::connect(space_list, &ClickList::leftClicked, &w,
                   [space] { space->on_list_left_click(); });
  QObject::connect(space_list, &ClickList::rightClicked, &w,
                   [space] { space->on_list_right_click(); });

  auto on_menu = [&w](MenuCommand command, auto handler) {
    QObject::connect(w.menu_action(command), &QAction::triggered, &w, handler);
  };
  on_menu(MenuCommand::官网, [menu] { menu->official_site(); });
  on_menu(MenuCommand::粉丝群, [menu] { menu->fan_group(); });
  on_menu(MenuCommand::联系我, [menu] { menu->contact_me(); });
  on_menu(MenuCommand::取消试听, [menu] { menu->cancel_preview(); });
  on_menu(MenuCommand::检查更新, [menu] { menu->check_update(); });
}

void Program::start() {
  ops_->browser_navigate(config_.start_page_url);
  window_->show_centred();
}

}  // namespace tfx
