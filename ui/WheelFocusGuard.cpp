#include "ui/WheelFocusGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QChildEvent>
#include <QComboBox>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>

namespace dsptune {

WheelFocusGuard::WheelFocusGuard(QWidget* root) : QObject(root) { Watch(root); }

bool WheelFocusGuard::IsGuarded(const QObject* object) {
  if (qobject_cast<const QScrollBar*>(object)) return false;
  return qobject_cast<const QAbstractSlider*>(object) || qobject_cast<const QAbstractSpinBox*>(object) ||
         qobject_cast<const QComboBox*>(object);
}

namespace {
constexpr char kGuarded[] = "dsptuneWheelGuarded";
}  // namespace

// Each widget once: installing again would move this filter in front of the ones a page
// installs itself (a page that routes the wheel to its focused control sees it first).
void WheelFocusGuard::Watch(QWidget* widget) {
  QList<QWidget*> widgets = widget->findChildren<QWidget*>();
  widgets.prepend(widget);
  for (QWidget* w : widgets) {
    if (w->property(kGuarded).toBool()) continue;
    w->setProperty(kGuarded, true);
    w->installEventFilter(this);
  }
}

bool WheelFocusGuard::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ChildAdded: {  // made here, or moved here by a layout
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (child && child->isWidgetType()) Watch(static_cast<QWidget*>(child));
      break;
    }
    case QEvent::Polish:
      // By now the control's own constructor has set its policy; Qt hands the focus to
      // a Qt::WheelFocus widget before any filter sees the wheel.
      if (IsGuarded(watched)) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->focusPolicy() == Qt::WheelFocus) widget->setFocusPolicy(Qt::StrongFocus);
      }
      break;
    case QEvent::Wheel:
      if (IsGuarded(watched) && !static_cast<QWidget*>(watched)->hasFocus()) {
        // Not taken here: Qt passes an ignored wheel on to the parents.
        event->ignore();
        return true;
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace dsptune
