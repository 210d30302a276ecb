#include "pages/song_search/song_search.h"

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

#include "pages/song_search/download.h"
#include "text/extract.h"
#include "text/url_coding.h"
#include "web/http_exchange.h"

namespace tfx {

struct SongSearchPage::State {
  State(WindowOps& w, SongSearchConfig c) : window(w), config(std::move(c)) {}

  WindowOps& window;
  const SongSearchConfig config;

  // Ticket of the latest click on 按钮_确定. Only that search may write to 超级列表框1.
  std::atomic<std::uint64_t> latest_search{0};
  // Taken by search workers only, never by the window's thread: the window operations a
  // worker makes while holding it are served by the window's thread, which must stay free.
  std::mutex list_mutex;
};

SongSearchPage::SongSearchPage(WindowOps& window, SongSearchConfig config)
    : state_(std::make_shared<State>(window, std::move(config))) {}

SongSearchPage::~SongSearchPage() = default;

// ---- Search ----------------------------------------------------------------------------

void SongSearchPage::on_search_clicked() {
  const std::uint64_t ticket = ++state_->latest_search;
  state_->window.start_worker([state = state_, ticket] { search_songs(*state, ticket); });
}

void SongSearchPage::search_songs(State& state, std::uint64_t ticket) {
  static const Text kBlockLeft = "<div class=\"text\">";
  static const Text kBlockRight = cp936("日</span>");
  static const Text kUidLeft = "href=\"/play/";
  static const Text kUidRight = ".html";
  static const Text kTitleLeft = "html\" title=\"";
  static const Text kTitleRight = "\" target";
  static const Text kSizeLeft = "class=\"size\">";
  static const Text kSizeRight = "</span>";

  WindowOps& window = state.window;
  const auto still_latest = [&] { return ticket == state.latest_search.load(); };
  {
    std::lock_guard lock(state.list_mutex);
    if (!still_latest()) return;  // a newer search has taken over before this one began
    window.list_clear(List::超级列表框1);
  }

  const Text name = window.control_text(Control::编辑框_搜索);
  const Text encoded = url_encode(name, /*keep_plain=*/false, /*as_utf8=*/true);
  const Text page =
      url_decode(fetch_text(state.config.music_site_base + "?search=" + encoded), true);

  TextArray blocks;
  text_between_all(page, kBlockLeft, kBlockRight, blocks);
  const int n = text_array_count(blocks);
  for (int i = 1; i <= n; ++i) {
    const Text& block = text_array_at(blocks, i);
    const Text uid = text_between(block, kUidLeft, kUidRight);
    const Text title = text_between(block, kTitleLeft, kTitleRight);
    const Text size = text_between(block, kSizeLeft, kSizeRight);

    // A whole row or none: a newer search either cleared the list before this row or will
    // clear it after, and from then on this run writes nothing.
    std::lock_guard lock(state.list_mutex);
    if (!still_latest()) return;
    window.list_append_row(List::超级列表框1);
    window.list_set_cell(List::超级列表框1, i - 1, 0, uid);
    window.list_set_cell(List::超级列表框1, i - 1, 1, title);
    window.list_set_cell(List::超级列表框1, i - 1, 2, size);
  }
}

// ---- Link, preview, copy -----------------------------------------------------------------

void SongSearchPage::on_list_left_click() {
  static const Text kPickValidSong = cp936("请点击有效的歌曲！");
  WindowOps& window = state_->window;
  const int row = window.list_current_row(List::超级列表框1);
  window.set_control_text(Control::标签1, window.list_cell(List::超级列表框1, row, 1));
  if (window.control_text(Control::标签1).empty()) {
    window.show_message(kPickValidSong);
    return;
  }
  show_song_link(window.list_cell(List::超级列表框1, row, 0));
}

void SongSearchPage::show_song_link(const Text& uid) {
  static const Text kCopied = cp936("获取成功！已自动复制 Ctrl+C 粘贴即可");
  WindowOps& window = state_->window;
  const Text link = state_->config.music_site_base + "down/" + uid + ".mp3";
  window.set_control_text(Control::介绍_标签_下载地址, link);
  window.set_control_text(Control::编辑框_地址, link);
  window.clipboard_set_text(link);
  window.show_message(kCopied);
}

void SongSearchPage::on_list_right_click() {
  WindowOps& window = state_->window;
  preview_song(window.list_cell(List::超级列表框1, window.list_current_row(List::超级列表框1), 0));
}

void SongSearchPage::preview_song(const Text& uid) {
  state_->window.browser_navigate(state_->config.music_site_base + "play/" + uid + ".html");
}

void SongSearchPage::on_copy_clicked() {
  static const Text kCopied = cp936("已复制！Ctrl+C 粘贴即可");
  WindowOps& window = state_->window;
  window.clipboard_set_text(window.control_text(Control::编辑框_地址));
  window.show_message(kCopied);
}

// ---- Download -----------------------------------------------------------------------------

void SongSearchPage::on_download_clicked() {
  static const Text kStarted = cp936("开始下载，请等待提示完成！");
  WindowOps& window = state_->window;
  // The song is taken now, as the user sees it picked, so that a click in the list while the
  // file downloads cannot give one song's sound another song's name.
  Text title = window.control_text(Control::标签1);
  Text url = window.control_text(Control::介绍_标签_下载地址);
  window.start_worker([state = state_, title = std::move(title), url = std::move(url)] {
    download_song(*state, title, url);
  });
  window.show_message(kStarted);
}

namespace {

Text failure_message(const Text& title, const SaveOutcome& outcome) {
  static const Text kOpen = cp936("【");
  static const Text kFailed = cp936("】下载失败,");
  static const Text kNoAnswer = cp936("服务器没有应答");
  static const Text kStatus = cp936("服务器返回错误 ");
  static const Text kCutShort = cp936("传输中途断开,文件不完整");
  static const Text kEmpty = cp936("服务器没有返回文件内容");
  static const Text kDisk = cp936("文件无法写入[下载音乐]文件夹,请检查磁盘空间和权限");

  Text why;
  switch (outcome.failure) {
    case SaveOutcome::Failure::no_answer:
      why = kNoAnswer;
      break;
    case SaveOutcome::Failure::http_status:
      why = kStatus + std::to_string(outcome.status);
      break;
    case SaveOutcome::Failure::cut_short:
      why = kCutShort;
      break;
    case SaveOutcome::Failure::empty_body:
      why = kEmpty;
      break;
    case SaveOutcome::Failure::disk:
    case SaveOutcome::Failure::none:
      why = kDisk;
      break;
  }
  return kOpen + title + kFailed + why;
}

}  // namespace

void SongSearchPage::download_song(State& state, const Text& title, const Text& url) {
  static const Text kPickSong = cp936("请选择(点击)一个下载歌曲");
  static const Text kOpen = cp936("【");
  static const Text kDone = cp936("】下载成功,文件在目录下[下载音乐]文件夹内");
  static const Text kDoneTitle = cp936("下载成功");
  static const Text kFailedTitle = cp936("下载失败");

  WindowOps& window = state.window;
  const std::filesystem::path folder = download_folder(state.config.download_root);
  ensure_directory(folder);
  if (title.empty()) {
    window.show_message(kPickSong);
    return;
  }
  const SaveOutcome outcome = save_download(url, folder, download_file_name(title));
  if (outcome.ok()) {
    window.show_message(kOpen + title + kDone, kDoneTitle);
  } else {
    window.show_message(failure_message(title, outcome), kFailedTitle);
  }
}

}  // namespace tfx
