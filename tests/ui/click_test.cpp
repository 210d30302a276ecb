// Clicks in the two lists: the press picks the row, the release delivers one click event.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>
#include <memory>

#include "tests/ui/gui_test_support.h"
#include "ui/main_window.h"
#include "ui/qt_window_ops.h"

// The entry through which the platform hands mouse input to the toolkit; QTest uses it too.
// Through it a double click takes the same road as the user's: the toolkit itself turns the
// second press into a double-click event.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

namespace tfx::testing {
namespace {

class ClickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui_app();
    window_ = std::make_unique<MainWindow>(MainWindowOptions{QStringLiteral("10001"), false});
    ops_ = std::make_unique<QtWindowOps>(*window_);
    window_->show_centred();
    ASSERT_TRUE(wait_until([&] { return window_->isVisible(); }));
    for (int row = 0; row < 3; ++row) {
      ops_->list_append_row(List::超级列表框1);
      ops_->list_set_cell(List::超级列表框1, row, 0, std::to_string(100 + row));
    }
    list_ = window_->list(List::超级列表框1);
    // The handlers see the selection as it is when the event arrives.
    QObject::connect(list_, &ClickList::leftClicked,
                     [this] { left_rows_.push_back(ops_->list_current_row(List::超级列表框1)); });
    QObject::connect(list_, &ClickList::rightClicked,
                     [this] { right_rows_.push_back(ops_->list_current_row(List::超级列表框1)); });
  }

  QPoint row_point(int row) const {
    return list_->visualItemRect(list_->topLevelItem(row)).center();
  }
  QPoint below_rows() const {
    const QRect last = list_->visualItemRect(list_->topLevelItem(list_->topLevelItemCount() - 1));
    return QPoint(last.center().x(), last.bottom() + 3 * last.height());
  }

  void double_click(Qt::MouseButton button, int row) {
    QWindow* handle = window_->windowHandle();
    const QPoint local = list_->viewport()->mapTo(window_.get(), row_point(row));
    const QPoint global = window_->mapToGlobal(local);
    static int timestamp = 1'000'000;
    for (int i = 0; i < 2; ++i) {
      qt_handleMouseEvent(handle, local, global, button, button, QEvent::MouseButtonPress, {},
                          timestamp += 20);
      qt_handleMouseEvent(handle, local, global, Qt::NoButton, button, QEvent::MouseButtonRelease,
                          {}, timestamp += 20);
    }
    QApplication::processEvents();
  }

  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<QtWindowOps> ops_;
  ClickList* list_ = nullptr;
  std::vector<int> left_rows_;
  std::vector<int> right_rows_;
};

struct ClickCase {
  const char* what;
  Qt::MouseButton button;
  int row;  // -1: below the last row
  std::vector<int> left_rows;
  std::vector<int> right_rows;
};

TEST_F(ClickTest, PressSelectsAndReleaseDeliversOneEvent) {
  const ClickCase cases[] = {
      {"left on a row", Qt::LeftButton, 2, {2}, {}},
      {"right on a row that was not selected", Qt::RightButton, 1, {}, {1}},
      {"left below the last row", Qt::LeftButton, -1, {-1}, {}},
      {"right below the last row", Qt::RightButton, -1, {}, {-1}},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.what);
    list_->setCurrentItem(list_->topLevelItem(0));
    left_rows_.clear();
    right_rows_.clear();
    const QPoint at = c.row >= 0 ? row_point(c.row) : below_rows();

    QTest::mousePress(list_->viewport(), c.button, {}, at);
    // The press alone selects, without any event yet.
    EXPECT_EQ(ops_->list_current_row(List::超级列表框1), c.row);
    EXPECT_TRUE(left_rows_.empty() && right_rows_.empty());
    QTest::mouseRelease(list_->viewport(), c.button, {}, at);

    EXPECT_EQ(left_rows_, c.left_rows);
    EXPECT_EQ(right_rows_, c.right_rows);
    EXPECT_EQ(ops_->list_current_row(List::超级列表框1), c.row);
  }
}

TEST_F(ClickTest, ClickInAnEmptyListStillDeliversItsEvent) {
  ops_->list_clear(List::超级列表框1);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(left_rows_, std::vector<int>{-1});
}

TEST_F(ClickTest, DoubleClickDeliversExactlyOneClickEvent) {
  double_click(Qt::LeftButton, 1);
  EXPECT_EQ(left_rows_, std::vector<int>{1});
  EXPECT_TRUE(right_rows_.empty());

  left_rows_.clear();
  QTest::qWait(QApplication::doubleClickInterval() + 50);
  double_click(Qt::RightButton, 2);
  EXPECT_TRUE(left_rows_.empty());
  EXPECT_EQ(right_rows_, std::vector<int>{2});
}

TEST_F(ClickTest, HeaderClickDeliversNothingAndKeepsOrderAndSelection) {
  ops_->list_set_cell(List::超级列表框1, 0, 0, "300");  // out of order, to see any sorting
  list_->setCurrentItem(list_->topLevelItem(1));
  QHeaderView* header = list_->header();
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
    QTest::mouseClick(header->viewport(), button, {},
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
  }
  EXPECT_TRUE(left_rows_.empty());
  EXPECT_TRUE(right_rows_.empty());
  EXPECT_EQ(ops_->list_current_row(List::超级列表框1), 1);
  EXPECT_EQ(ops_->list_cell(List::超级列表框1, 0, 0), "300");
}

TEST_F(ClickTest, DraggingDoesNotMoveTheSelection) {
  QTest::mousePress(list_->viewport(), Qt::LeftButton, {}, row_point(0));
  QTest::mouseMove(list_->viewport(), row_point(2));
  QTest::mouseRelease(list_->viewport(), Qt::LeftButton, {}, row_point(2));
  EXPECT_EQ(ops_->list_current_row(List::超级列表框1), 0);
  EXPECT_EQ(left_rows_, std::vector<int>{0});
}

}  // namespace
}  // namespace tfx::testing
