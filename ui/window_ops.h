// The operations through which the pages read and change the window.
//
// The pages see the window only through this interface, so they build and test without any
// GUI toolkit. Every operation may be called from the window's thread or from a worker; from a
// worker it takes effect on the window's thread as one whole step and returns when done.
// Nothing here reports an error: a missing row or column is ignored or reads as empty.
#pragma once

#include <functional>
#include <optional>

#include "text/text.h"

namespace tfx {

// Controls keep the names they have in the window.
enum class Control {
  编辑框_搜索,
  编辑框_地址,
  编辑框_QQ,
  编辑框_地址1,
  标签1,
  介绍_标签_下载地址,
};

enum class List {
  超级列表框1,
  超级列表框2,
};

class WindowOps {
 public:
  virtual ~WindowOps() = default;

  // Rows and columns are 0-based.
  virtual void list_clear(List list) = 0;
  virtual int list_append_row(List list) = 0;  // index of the new row
  virtual void list_set_cell(List list, int row, int column, const Text& text) = 0;
  virtual Text list_cell(List list, int row, int column) = 0;
  virtual int list_current_row(List list) = 0;  // -1 when no row is selected

  virtual Text control_text(Control control) = 0;
  virtual void set_control_text(Control control, const Text& text) = 0;

  // Starts loading into the hidden browser box and returns at once.
  virtual void browser_navigate(const Text& address) = 0;
  // Modal box with one OK button; title "信息：" when none is given. Blocks the calling thread
  // only: from a worker the window stays usable.
  virtual void show_message(const Text& text, const std::optional<Text>& title = std::nullopt) = 0;
  virtual void clipboard_set_text(const Text& text) = 0;
  virtual void open_in_default_browser(const Text& address) = 0;
  // Runs the routine on a new detached thread; nobody waits for it.
  virtual void start_worker(std::function<void()> routine) = 0;
};

}  // namespace tfx
