#pragma once
// What the editor page tests share: reading a table cell, typing into a field, turning
// the wheel over a widget and switching the interface language with its table file.
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

#include "editors/EqGraphPanel.h"
#include "ui/LanguageTables.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune::test {

inline QString Cell(const QTableWidget& table, int row, int column) {
  const QTableWidgetItem* item = table.item(row, column);
  return item ? item->text() : QString();
}

// Types `text` into the field and presses Enter.
inline void Enter(QLineEdit& field, const QString& text) {
  field.setText(text);
  QTest::keyClick(&field, Qt::Key_Return);
}

// `notches` wheel notches (positive: away from the user) over the middle of `target`.
inline void Wheel(QWidget* target, int notches) {
  const QPointF pos(target->width() / 2.0, target->height() / 2.0);
  QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

// The current language, with its table written out as the current language file.
inline void UseLanguage(int language) {
  SetCurrentLanguage(language);
  QVERIFY(WriteCurrentLanguageFile(language));
}

// The EQ graph's menu, opened with a right click on an empty spot of the plot: the
// entries it offers, and choosing one by its text.
inline void RightClickEmptySpot(EqGraphPanel& graph) {
  const PlotRect plot = graph.Model().Plot();
  QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier, QPoint(plot.right - 8, plot.top + 6));
}
inline QStringList GraphMenuEntries(EqGraphPanel& graph) {
  QStringList offered;
  graph.SetMenuRunner([&offered](QMenu& menu, const QPoint&) -> QAction* {
    for (QAction* a : menu.actions())
      if (!a->isSeparator()) offered << a->text();
    return nullptr;
  });
  RightClickEmptySpot(graph);
  return offered;
}
inline void PickGraphMenuEntry(EqGraphPanel& graph, const QString& text) {
  graph.SetMenuRunner([text](QMenu& menu, const QPoint&) -> QAction* {
    for (QAction* a : menu.actions())
      if (a->text() == text) return a;
    return nullptr;
  });
  RightClickEmptySpot(graph);
}

}  // namespace dsptune::test
