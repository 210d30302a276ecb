// A window for page tests: it answers from its own state and records every call, in order.
// Thread-safe, so pages may call it from their workers as they call the real window.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/window_ops.h"

namespace tfx::testing {

struct ShownMessage {
  Text text;
  std::optional<Text> title;
  bool operator==(const ShownMessage&) const = default;
};

class FakeWindow : public WindowOps {
 public:
  enum class Workers { inline_, threads };  // inline_: start_worker runs the routine at once

  explicit FakeWindow(Workers workers = Workers::inline_) : workers_(workers) {}
  ~FakeWindow() override { join_workers(); }

  // ---- WindowOps ---------------------------------------------------------------------
  void list_clear(List list) override {
    std::lock_guard lock(mutex_);
    log("list_clear");
    rows_[list].clear();
    current_[list] = -1;
  }
  int list_append_row(List list) override {
    std::lock_guard lock(mutex_);
    log("list_append_row");
    auto& rows = rows_[list];
    rows.emplace_back(columns(list));
    return static_cast<int>(rows.size()) - 1;
  }
  void list_set_cell(List list, int row, int column, const Text& text) override {
    std::lock_guard lock(mutex_);
    log("list_set_cell");
    auto& rows = rows_[list];
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    if (column < 0 || column >= columns(list)) return;
    rows[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
  }
  Text list_cell(List list, int row, int column) override {
    std::lock_guard lock(mutex_);
    log("list_cell");
    const auto& rows = rows_[list];
    if (row < 0 || row >= static_cast<int>(rows.size())) return {};
    if (column < 0 || column >= columns(list)) return {};
    return rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
  }
  int list_current_row(List list) override {
    std::lock_guard lock(mutex_);
    log("list_current_row");
    auto it = current_.find(list);
    return it == current_.end() ? -1 : it->second;
  }
  Text control_text(Control control) override {
    std::lock_guard lock(mutex_);
    log("control_text");
    return texts_[control];
  }
  void set_control_text(Control control, const Text& text) override {
    std::lock_guard lock(mutex_);
    log("set_control_text");
    texts_[control] = text;
  }
  void browser_navigate(const Text& address) override {
    std::lock_guard lock(mutex_);
    log("browser_navigate");
    navigations_.push_back(address);
  }
  void show_message(const Text& text, const std::optional<Text>& title) override {
    std::lock_guard lock(mutex_);
    log("show_message");
    messages_.push_back({text, title});
    changed_.notify_all();
  }
  void clipboard_set_text(const Text& text) override {
    std::lock_guard lock(mutex_);
    log("clipboard_set_text");
    clipboard_ = text;
  }
  void open_in_default_browser(const Text& address) override {
    std::lock_guard lock(mutex_);
    log("open_in_default_browser");
    opened_.push_back(address);
  }
  void start_worker(std::function<void()> routine) override {
    {
      std::lock_guard lock(mutex_);
      log("start_worker");
    }
    if (workers_ == Workers::inline_) {
      routine();
      return;
    }
    std::lock_guard lock(mutex_);
    threads_.emplace_back(std::move(routine));
  }

  // ---- Test side ---------------------------------------------------------------------
  void set_text(Control control, const Text& text) {
    std::lock_guard lock(mutex_);
    texts_[control] = text;
  }
  Text text(Control control) {
    std::lock_guard lock(mutex_);
    return texts_[control];
  }
  // The user's press on a row: selects it, or clears the selection for a row that does not
  // exist (a click below the last row).
  void select_row(List list, int row) {
    std::lock_guard lock(mutex_);
    current_[list] = (row >= 0 && row < static_cast<int>(rows_[list].size())) ? row : -1;
  }
  void set_rows(List list, const std::vector<std::vector<Text>>& rows) {
    std::lock_guard lock(mutex_);
    rows_[list] = rows;
    for (auto& r : rows_[list]) r.resize(static_cast<size_t>(columns(list)));
    current_[list] = -1;
  }
  std::vector<std::vector<Text>> rows(List list) {
    std::lock_guard lock(mutex_);
    return rows_[list];
  }
  std::vector<ShownMessage> messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  // Waits until at least `count` messages were shown, or the timeout passes.
  bool wait_for_messages(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return messages_.size() >= count; });
  }
  std::vector<Text> navigations() {
    std::lock_guard lock(mutex_);
    return navigations_;
  }
  std::vector<Text> opened() {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  std::optional<Text> clipboard() {
    std::lock_guard lock(mutex_);
    return clipboard_;
  }
  std::vector<std::string> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // Joins every worker, also those that workers started meanwhile.
  void join_workers() {
    for (;;) {
      std::vector<std::thread> threads;
      {
        std::lock_guard lock(mutex_);
        threads.swap(threads_);
      }
      if (threads.empty()) return;
      for (auto& t : threads) t.join();
    }
  }

 private:
  static int columns(List list) { return list == List::超级列表框1 ? 3 : 2; }
  void log(const char* call) { calls_.emplace_back(call); }

  Workers workers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<List, std::vector<std::vector<Text>>> rows_;
  std::map<List, int> current_;
  std::map<Control, Text> texts_;
  std::vector<Text> navigations_;
  std::vector<ShownMessage> messages_;
  std::vector<Text> opened_;
  std::optional<Text> clipboard_;
  std::vector<std::string> calls_;
  std::vector<std::thread> threads_;
};

}  // namespace tfx::testing
