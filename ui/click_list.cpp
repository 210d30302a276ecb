#include "ui/click_list.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTimer>

namespace tfx {

namespace {

// Rows do not light up under the mouse; only the selection is drawn.
class NoHoverDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->state &= ~QStyle::State_MouseOver;
    option->state &= ~QStyle::State_HasFocus;
  }
};

}  // namespace

ClickList::ClickList(const QString& name, const QList<Column>& columns, QWidget* parent)
    : QTreeWidget(parent) {
  setObjectName(name);
  setColumnCount(static_cast<int>(columns.size()));
  QStringList captions;
  for (const auto& c : columns) captions << c.caption;
  setHeaderLabels(captions);
  for (int i = 0; i < columns.size(); ++i) {
    setColumnWidth(i, columns[i].width);
    headerItem()->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
  }

  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setDragEnabled(false);
  setMouseTracking(false);
  viewport()->setAttribute(Qt::WA_Hover, false);
  setItemDelegate(new NoHoverDelegate(this));

  QHeaderView* h = header();
  h->setSectionsClickable(false);
  h->setSectionsMovable(false);
  h->setSortIndicatorShown(false);
  h->setStretchLastSection(false);
  h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // Black on white; without the focus the selection is kept but not drawn.
  QPalette p = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Base, Qt::white);
    p.setColor(group, QPalette::Text, Qt::black);
  }
  p.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
  setPalette(p);
}

int ClickList::selected_row() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void ClickList::coalesce_repaints() {
  if (repaint_held_) return;
  repaint_held_ = true;
  setUpdatesEnabled(false);
  // 100 ms keeps a long fill visibly moving while painting stays a small share of its time.
  QTimer::singleShot(100, this, [this] {
    repaint_held_ = false;
    setUpdatesEnabled(true);
  });
}

void ClickList::select_at(const QPoint& pos) {
  const QModelIndex index = indexAt(pos);
  if (index.isValid()) {
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else {
    selectionModel()->clear();
  }
}

void ClickList::mousePressEvent(QMouseEvent* event) {
  // The base class would start drags and rubber bands; a press here only picks the row.
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  setFocus(Qt::MouseFocusReason);
  select_at(event->position().toPoint());
  pressed_ = event->button();
  swallow_release_ = false;
  event->accept();
}

void ClickList::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click: select as any press does, but its release must not
  // deliver a second click event.
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  select_at(event->position().toPoint());
  pressed_ = event->button();
  swallow_release_ = true;
  event->accept();
}

void ClickList::mouseReleaseEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  if (button != pressed_) return;
  pressed_ = Qt::NoButton;
  event->accept();
  if (swallow_release_) {
    swallow_release_ = false;
    return;
  }
  if (button == Qt::LeftButton) emit leftClicked();
  if (button == Qt::RightButton) emit rightClicked();
}

void ClickList::mouseMoveEvent(QMouseEvent* event) {
  // Dragging with the button held neither extends nor moves the selection.
  event->accept();
}

}  // namespace tfx
