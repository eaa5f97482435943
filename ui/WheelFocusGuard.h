#pragma once
// Value controls inside a scrolling page take the wheel only while they have the focus.
// A wheel turned to scroll the page must not change the slider, spin box or drop-down
// that happens to pass under the pointer (and write it to the device): such a control
// lets an unfocused wheel go on to its parents, so the scroll area scrolls, and a
// wheel no longer gives it the focus (Qt::StrongFocus instead of Qt::WheelFocus). A
// click or Tab focuses it; from then on the wheel steps it as usual. Scroll bars keep
// the wheel.
#include <QObject>

class QWidget;

namespace dsptune {

class WheelFocusGuard : public QObject {
  Q_OBJECT
 public:
  // Guards every value control inside `root`, now and added later; owned by `root`.
  explicit WheelFocusGuard(QWidget* root);

  // True for the controls the guard holds back: sliders (not scroll bars), spin boxes
  // and drop-downs.
  static bool IsGuarded(const QObject* object);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Watch(QWidget* widget);
};

}  // namespace dsptune
