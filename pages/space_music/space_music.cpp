#include "pages/space_music/space_music.h"

#include <utility>

#include "text/extract.h"
#include "text/url_coding.h"
#include "web/http_exchange.h"

namespace tfx {

SpaceMusicPage::SpaceMusicPage(WindowOps& window, SpaceMusicConfig config)
    : window_(window), config_(std::move(config)) {}

void SpaceMusicPage::on_extract_clicked() {
  extract_space_music();
}

void SpaceMusicPage::extract_space_music() {
  static const Text kEnterQq = cp936("请输入QQ！");
  // The service answers in code page 936 with CR LF line ends, and the page is matched as it
  // comes: these markers are its own bytes.
  static const Text kBlockLeft =
      "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\r";
  static const Text kBlockRight =
      "<tr><td colspan=\"2\" height=\"1\" bgcolor=\"#E7F4CC\"></td></tr>\r";
  static const Text kNameLeft =
      cp936("歌曲名称：</font><a  style=\"COLOR: #65a156; TEXT-DECORATION: none \"><b>");
  static const Text kNameRight = "</b></a>";
  static const Text kAddressLeft =
      cp936("歌曲地址：</font><span id=\"tb1\" style=\"COLOR: #65a156; TEXT-DECORATION: none \" >");
  static const Text kAddressRight = "</span></td>\r";

  const Text qq = window_.control_text(Control::编辑框_QQ);
  if (qq.empty()) {
    window_.show_message(kEnterQq);
    return;
  }
  window_.list_clear(List::超级列表框2);
  const Text page = fetch_text(config_.space_lookup_base + "?qq=" + qq);

  TextArray blocks;
  text_between_all(page, kBlockLeft, kBlockRight, blocks);
  const int n = text_array_count(blocks);
  for (int i = 1; i <= n; ++i) {
    const Text& block = text_array_at(blocks, i);
    const Text name = text_between(block, kNameLeft, kNameRight);
    const Text address = text_between(block, kAddressLeft, kAddressRight);
    window_.list_append_row(List::超级列表框2);
    window_.list_set_cell(List::超级列表框2, i - 1, 0, name);
    window_.list_set_cell(List::超级列表框2, i - 1, 1, address);
  }
}

void SpaceMusicPage::on_list_left_click() {
  window_.clipboard_set_text(
      window_.list_cell(List::超级列表框2, window_.list_current_row(List::超级列表框2), 0));
}

void SpaceMusicPage::on_list_right_click() {
  window_.set_control_text(
      Control::编辑框_地址1,
      window_.list_cell(List::超级列表框2, window_.list_current_row(List::超级列表框2), 1));
  window_.clipboard_set_text(
      window_.list_cell(List::超级列表框2, window_.list_current_row(List::超级列表框2), 1));
}

void SpaceMusicPage::on_copy_clicked() {
  static const Text kCopied = cp936("已复制！Ctrl+C 粘贴即可");
  window_.clipboard_set_text(window_.control_text(Control::编辑框_地址1));
  window_.show_message(kCopied);
}

}  // namespace tfx
