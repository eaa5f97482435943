#pragma once
// One titled group of a ribbon category: the content sits in rows, the title in a thin
// caption bar along the bottom edge. The panel knows nothing about what its widgets do.
#include <QFrame>
#include <QList>
#include <QString>

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

namespace dsptune {

class RibbonPanel : public QFrame {
  Q_OBJECT
 public:
  explicit RibbonPanel(const QString& title = QString(), QWidget* parent = nullptr);

  void SetTitle(const QString& title);
  QString Title() const;

  // Adds widget to content row `row` (rows are numbered from 0 at the top), after the
  // widgets already there; rows that do not exist yet are created. row -1 starts a new
  // row below the others. The panel takes ownership.
  void AddWidget(QWidget* widget, int row = -1);
  int RowCount() const;
  // The widgets of one row, left to right (empty for a row that does not exist).
  QList<QWidget*> RowWidgets(int row) const;

  // The caption bar that shows the title (a part of the panel's frame, not content).
  QLabel* Caption() const { return caption_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QHBoxLayout* Row(int row);

  QVBoxLayout* rows_ = nullptr;
  QList<QHBoxLayout*> rowLayouts_;
  QLabel* caption_ = nullptr;
};

}  // namespace dsptune
