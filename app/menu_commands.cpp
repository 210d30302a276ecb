#include "app/menu_commands.h"

#include <utility>

#include "text/url_coding.h"

namespace tfx {

MenuCommands::MenuCommands(WindowOps& window, MakerConfig config)
    : window_(window), config_(std::move(config)) {}

void MenuCommands::official_site() {
  window_.open_in_default_browser(config_.maker_site_url);
}

void MenuCommands::fan_group() {
  static const Text kPath = cp936("/wpa/qunwpa?idkey=");
  window_.open_in_default_browser(
      text_concat(config_.fan_group_join_base, kPath, config_.fan_group_key));
}

void MenuCommands::contact_me() {
  static const Text kLead = cp936("tencent://Message/?Uin=");
  static const Text kSite = cp936("&websiteName=");
  static const Text kTail = cp936("&Menu=yes");
  window_.open_in_default_browser(
      text_concat(kLead, config_.maker_qq_number, kSite, config_.contact_site_name, kTail));
}

// Loading another page into the hidden browser box drops the preview and its sound.
void MenuCommands::cancel_preview() {
  window_.browser_navigate(config_.maker_site_host);
}

// There is no version check of the program's own: the maker's site tells what is new.
void MenuCommands::check_update() {
  window_.open_in_default_browser(config_.maker_site_url);
}

}  // namespace tfx
