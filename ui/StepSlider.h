#pragma once
// A slider for master controls: a left click in the track, away from the handle, moves the
// value by exactly one step (singleStep) towards the click; dragging the handle works as
// usual. Every change the user makes is announced at once with stepApplied(), so the owner
// can apply it to the device; programmatic setValue() does not emit it, which lets the owner
// keep twin sliders in line without feedback loops.
//
// The slider never handles the mouse wheel itself: wheel events are ignored so that they
// reach the parent (the main frame decides what a notch does over a master control).
#include <QSlider>

#include <functional>

namespace dsptune {

class StepSlider : public QSlider {
  Q_OBJECT
 public:
  explicit StepSlider(QWidget* parent = nullptr);
  explicit StepSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

 signals:
  // The user changed the value (track click, drag or keyboard); value is the new value.
  // A track click at the end of the range that changes nothing does not emit.
  void stepApplied(int value);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // Runs one piece of QSlider's input handling and emits stepApplied() if it moved the value.
  void ForwardInput(const std::function<void()>& handle);
  // True when the press at pos hits the handle (and so starts a drag).
  bool OnHandle(const QPoint& pos) const;
  // +1 when pos lies on the side of the handle towards larger values, else -1.
  int DirectionTowards(const QPoint& pos) const;

  // A track click was taken by this slider: its move and release must not reach QSlider.
  bool trackClick_ = false;
};

}  // namespace dsptune
