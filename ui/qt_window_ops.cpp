#include "ui/qt_window_ops.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <future>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>

#include "ui/qt_text.h"

namespace tfx {

namespace {

QMessageBox* make_box(const Text& text, const std::optional<Text>& title, QWidget* parent,
                      const QFont& font) {
  auto* box = new QMessageBox(parent);
  box->setFont(font);
  box->setIcon(QMessageBox::NoIcon);
  box->setTextFormat(Qt::PlainText);
  box->setText(to_qstring(text));
  box->setWindowTitle(title ? to_qstring(*title) : QStringLiteral("信息："));
  box->setStandardButtons(QMessageBox::Ok);
  return box;
}

}  // namespace

QtWindowOps::QtWindowOps(MainWindow& window) : window_(window), opener_(&open_with_desktop) {}

void QtWindowOps::open_with_desktop(const QString& address) {
  // The desktop's opener gets the address exactly as built: a QUrl would lower-case the host
  // part, and "tencent://Message/..." must reach the QQ client as written. Failures are
  // silent: no handler for the scheme simply opens nothing.
  if (QProcess::startDetached(QStringLiteral("xdg-open"), {address})) return;
  QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

template <class F>
auto QtWindowOps::on_window_thread(F&& f) -> decltype(f()) {
  using R = decltype(f());
  if (QThread::currentThread() == window_.thread()) return f();
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(&window_, std::forward<F>(f), Qt::BlockingQueuedConnection);
  } else {
    R result{};
    QMetaObject::invokeMethod(
        &window_, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

template <class F>
auto QtWindowOps::change_list(List list, F&& f) -> decltype(f(std::declval<ClickList*>())) {
  const bool from_worker = QThread::currentThread() != window_.thread();
  return on_window_thread([&] {
    ClickList* l = window_.list(list);
    if (from_worker) l->coalesce_repaints();
    return f(l);
  });
}

void QtWindowOps::list_clear(List list) {
  change_list(list, [](ClickList* l) { l->clear(); });
}

int QtWindowOps::list_append_row(List list) {
  return change_list(list, [](ClickList* l) {
    l->addTopLevelItem(new QTreeWidgetItem());
    return l->topLevelItemCount() - 1;
  });
}

void QtWindowOps::list_set_cell(List list, int row, int column, const Text& text) {
  change_list(list, [&](ClickList* l) {
    if (column < 0 || column >= l->columnCount()) return;
    QTreeWidgetItem* item = l->topLevelItem(row);
    if (item != nullptr) item->setText(column, to_qstring(text));
  });
}

Text QtWindowOps::list_cell(List list, int row, int column) {
  return on_window_thread([&]() -> Text {
    ClickList* l = window_.list(list);
    if (column < 0 || column >= l->columnCount()) return {};
    QTreeWidgetItem* item = l->topLevelItem(row);
    return item != nullptr ? to_text(item->text(column)) : Text{};
  });
}

int QtWindowOps::list_current_row(List list) {
  return on_window_thread([&] { return window_.list(list)->selected_row(); });
}

Text QtWindowOps::control_text(Control control) {
  return on_window_thread([&]() -> Text {
    QWidget* w = window_.control(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return to_text(edit->text());
    if (auto* label = qobject_cast<QLabel*>(w)) return to_text(label->text());
    return {};
  });
}

void QtWindowOps::set_control_text(Control control, const Text& text) {
  on_window_thread([&] {
    QWidget* w = window_.control(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      edit->setText(to_qstring(text));
      edit->setCursorPosition(0);  // a long address shows its beginning, as the box scrolls
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
      label->setText(to_qstring(text));
    }
  });
}

void QtWindowOps::browser_navigate(const Text& address) {
  on_window_thread([&] { window_.navigate(to_qstring(address)); });
}

void QtWindowOps::show_message(const Text& text, const std::optional<Text>& title) {
  if (QThread::currentThread() == window_.thread()) {
    // On the window's thread the box keeps the window from taking input until dismissed,
    // while the boxes of workers stay usable.
    std::unique_ptr<QMessageBox> box(make_box(text, title, &window_, window_.font()));
    box->setWindowModality(Qt::WindowModal);
    box->exec();
    return;
  }
  // From a worker: the box belongs to the window's thread, is not modal, and only this worker
  // waits for it. The box may also go away without being answered, when the program ends.
  auto dismissed = std::make_shared<std::promise<void>>();
  std::future<void> done = dismissed->get_future();
  auto release = [dismissed, once = std::make_shared<std::once_flag>()] {
    std::call_once(*once, [&] { dismissed->set_value(); });
  };
  QMetaObject::invokeMethod(
      &window_,
      [&] {
        QMessageBox* box = make_box(text, title, nullptr, window_.font());
        QObject::connect(box, &QDialog::finished, box, [box, release] {
          release();
          box->deleteLater();
        });
        QObject::connect(box, &QObject::destroyed, release);
        box->setModal(false);
        box->show();
      },
      Qt::BlockingQueuedConnection);
  done.wait();
}

void QtWindowOps::clipboard_set_text(const Text& text) {
  on_window_thread([&] {
    if (QClipboard* c = QGuiApplication::clipboard()) c->setText(to_qstring(text));
  });
}

void QtWindowOps::open_in_default_browser(const Text& address) {
  on_window_thread([&] {
    if (opener_) opener_(to_qstring(address));
  });
}

void QtWindowOps::start_worker(std::function<void()> routine) {
  try {
    std::thread([routine = std::move(routine)] {
      // Nobody learns how a worker ended; an escaping exception must not end the program.
      try {
        routine();
      } catch (...) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // A thread that cannot start is not reported.
  }
}

}  // namespace tfx
