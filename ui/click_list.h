// A report-style list view with the click rules of the window: a press selects the row under
// the mouse (or clears the selection when it hits none), the release delivers one left- or
// right-click event, and the second click of a double click delivers nothing.
#pragma once

#include <QTreeWidget>

namespace tfx {

class ClickList : public QTreeWidget {
  Q_OBJECT

 public:
  struct Column {
    QString caption;
    int width;
  };
  ClickList(const QString& name, const QList<Column>& columns, QWidget* parent);

  // Row of the selected item, -1 when none is selected.
  int selected_row() const;

  // Rows filled from a worker arrive one round trip at a time; repainting after each would
  // cost far more than the rows themselves. Called before such a change, this holds painting
  // back and lets the list repaint a few times a second while the rows stream in.
  void coalesce_repaints();

 signals:
  void leftClicked();
  void rightClicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void select_at(const QPoint& pos);

  Qt::MouseButton pressed_ = Qt::NoButton;
  bool repaint_held_ = false;
  bool swallow_release_ = false;
};

}  // namespace tfx
