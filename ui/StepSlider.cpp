#include "ui/StepSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

namespace dsptune {

StepSlider::StepSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

StepSlider::StepSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

// Only changes that come out of the user's own input are announced: a setValue() made by
// a stepApplied() handler (a clamp, a twin update) or by a refresh timer during a drag
// must not come back as another user step.
void StepSlider::ForwardInput(const std::function<void()>& handle) {
  const int before = value();
  handle();
  if (value() != before) emit stepApplied(value());
}

bool StepSlider::OnHandle(const QPoint& pos) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->hitTestComplexControl(QStyle::CC_Slider, &option, pos, this) == QStyle::SC_SliderHandle;
}

int StepSlider::DirectionTowards(const QPoint& pos) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const bool horizontal = orientation() == Qt::Horizontal;
  const int along = horizontal ? pos.x() : pos.y();
  const int centre = horizontal ? handle.center().x() : handle.center().y();
  // Same rule as QSlider uses to map pixels to values: a horizontal slider grows to the
  // right unless inverted or right-to-left, a vertical one grows upwards unless inverted.
  const bool upsideDown = horizontal ? (invertedAppearance() != (layoutDirection() == Qt::RightToLeft))
                                     : !invertedAppearance();
  const int towardsLarger = along > centre ? 1 : -1;
  return upsideDown ? -towardsLarger : towardsLarger;
}

void StepSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    // Only the left button moves a master control; other buttons are left to the parent.
    event->ignore();
    return;
  }
  if (!isEnabled() || OnHandle(event->position().toPoint())) {
    ForwardInput([&] { QSlider::mousePressEvent(event); });
    return;
  }
  // Handled here rather than by QSlider, which would page-step with auto-repeat or, in
  // some styles, jump straight to the click.
  trackClick_ = true;
  event->accept();
  const int before = value();
  setValue(before + DirectionTowards(event->position().toPoint()) * singleStep());
  if (value() != before) emit stepApplied(value());
}

void StepSlider::mouseMoveEvent(QMouseEvent* event) {
  if (trackClick_) {
    event->accept();
    return;
  }
  // The drag is followed live: every value the handle passes is applied.
  ForwardInput([&] { QSlider::mouseMoveEvent(event); });
}

void StepSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (trackClick_ && event->button() == Qt::LeftButton) {
    trackClick_ = false;
    event->accept();
    return;
  }
  ForwardInput([&] { QSlider::mouseReleaseEvent(event); });
}

void StepSlider::keyPressEvent(QKeyEvent* event) {
  ForwardInput([&] { QSlider::keyPressEvent(event); });
}

void StepSlider::wheelEvent(QWheelEvent* event) { event->ignore(); }

}  // namespace dsptune
