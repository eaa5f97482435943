// The master-control slider: one step per track click, live drag, no wheel handling.
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <qtestspontaneevent.h>

#include "ui/StepSlider.h"

using dsptune::StepSlider;

namespace {

// Records the wheel events that reach it, to prove the slider passed them on.
class WheelSink : public QWidget {
 public:
  int wheels = 0;

 protected:
  void wheelEvent(QWheelEvent* event) override {
    ++wheels;
    event->accept();
  }
};

QRect HandleRect(StepSlider* slider) {
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  option.singleStep = slider->singleStep();
  option.pageStep = slider->pageStep();
  option.upsideDown = slider->invertedAppearance();
  option.subControls = QStyle::SC_All;
  return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
}

// A wheel turn as the window system delivers it: spontaneous, so Qt passes it on to the
// parents when the widget under the pointer ignores it.
void SendWheel(QWidget* target, QPoint pos, int angle) {
  QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&event);
  qApp->notify(target, &event);
}

}  // namespace

class StepSliderTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    parent_ = new WheelSink;
    parent_->resize(240, 40);
    slider_ = new StepSlider(parent_);
    slider_->setGeometry(10, 8, 200, 24);
    slider_->setRange(0, 99);
    slider_->setValue(50);
    parent_->show();
    QVERIFY(QTest::qWaitForWindowExposed(parent_));
  }
  void cleanup() { delete parent_; }

  void trackClickMovesOneStep_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("where");  // pixels from the handle centre along the track
    QTest::addColumn<int>("expected");
    QTest::newRow("just right") << 1 << false << 15 << 51;
    QTest::newRow("far right") << 1 << false << 1000 << 51;
    QTest::newRow("just left") << 1 << false << -15 << 49;
    QTest::newRow("far left") << 1 << false << -1000 << 49;
    QTest::newRow("step 5 right") << 5 << false << 1000 << 55;
    QTest::newRow("step 5 left") << 5 << false << -1000 << 45;
    QTest::newRow("inverted right") << 1 << true << 1000 << 49;
  }
  void trackClickMovesOneStep() {
    QFETCH(int, step);
    QFETCH(bool, inverted);
    QFETCH(int, where);
    QFETCH(int, expected);
    slider_->setSingleStep(step);
    slider_->setInvertedAppearance(inverted);
    const QRect handle = HandleRect(slider_);
    const int x = std::clamp(handle.center().x() + where, 0, slider_->width() - 1);
    QSignalSpy applied(slider_, &StepSlider::stepApplied);
    QSignalSpy changed(slider_, &QSlider::valueChanged);

    QTest::mouseClick(slider_, Qt::LeftButton, Qt::NoModifier, QPoint(x, slider_->height() / 2));
    QCOMPARE(slider_->value(), expected);
    QCOMPARE(applied.size(), 1);
    QCOMPARE(applied.first().first().toInt(), expected);
    QCOMPARE(changed.size(), 1);
  }

  void holdingInTheTrackDoesNotRepeat() {
    QSignalSpy applied(slider_, &StepSlider::stepApplied);
    const QPoint far(slider_->width() - 1, slider_->height() / 2);
    QTest::mousePress(slider_, Qt::LeftButton, Qt::NoModifier, far);
    QTest::qWait(700);  // longer than QSlider's auto-repeat delay
    QTest::mouseRelease(slider_, Qt::LeftButton, Qt::NoModifier, far);
    QCOMPARE(slider_->value(), 51);
    QCOMPARE(applied.size(), 1);
  }

  void clickWithoutChangeIsSilent() {
    QSignalSpy applied(slider_, &StepSlider::stepApplied);
    // At the end of the range there is no step left to take.
    slider_->setValue(99);
    QTest::mouseClick(slider_, Qt::LeftButton, Qt::NoModifier, QPoint(2, slider_->height() / 2));
    QCOMPARE(slider_->value(), 98);
    slider_->setValue(99);
    QTest::mouseClick(slider_, Qt::LeftButton, Qt::NoModifier, QPoint(slider_->width() - 1, slider_->height() / 2));
    QCOMPARE(slider_->value(), 99);
    // Right and middle buttons and a click on the handle itself do not step.
    slider_->setValue(50);
    QTest::mouseClick(slider_, Qt::RightButton, Qt::NoModifier, QPoint(slider_->width() - 1, slider_->height() / 2));
    QTest::mouseClick(slider_, Qt::MiddleButton, Qt::NoModifier, QPoint(slider_->width() - 1, slider_->height() / 2));
    QTest::mouseClick(slider_, Qt::LeftButton, Qt::NoModifier, HandleRect(slider_).center());
    QCOMPARE(slider_->value(), 50);
    QCOMPARE(applied.size(), 1);  // only the 99 -> 98 click
    // Programmatic changes are not user steps.
    slider_->setValue(10);
    QCOMPARE(applied.size(), 1);
  }

  void dragFollowsLive() {
    QSignalSpy applied(slider_, &StepSlider::stepApplied);
    const QPoint start = HandleRect(slider_).center();
    QTest::mousePress(slider_, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(slider_, start + QPoint(30, 0));
    const int afterFirstMove = slider_->value();
    QVERIFY(afterFirstMove > 51);
    QCOMPARE(applied.size(), 1);
    QCOMPARE(applied.last().first().toInt(), afterFirstMove);
    QTest::mouseMove(slider_, QPoint(slider_->width() - 1, start.y()));
    QCOMPARE(slider_->value(), 99);
    QCOMPARE(applied.size(), 2);
    QCOMPARE(applied.last().first().toInt(), 99);
    QTest::mouseRelease(slider_, Qt::LeftButton, Qt::NoModifier, QPoint(slider_->width() - 1, start.y()));
    QCOMPARE(applied.size(), 2);
  }

  void clampInsideHandlerIsNotAnotherStep() {
    // The owner limits the value from its handler, as the master volume limit does.
    int calls = 0;
    connect(slider_, &StepSlider::stepApplied, this, [&](int value) {
      ++calls;
      if (value > 60) slider_->setValue(60);
    });
    const QPoint start = HandleRect(slider_).center();
    QTest::mousePress(slider_, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(slider_, QPoint(slider_->width() - 1, start.y()));
    QCOMPARE(calls, 1);
    QCOMPARE(slider_->value(), 60);
    QTest::mouseRelease(slider_, Qt::LeftButton, Qt::NoModifier, QPoint(slider_->width() - 1, start.y()));
    QCOMPARE(calls, 1);
  }

  void keyboardStepIsApplied() {
    QSignalSpy applied(slider_, &StepSlider::stepApplied);
    QTest::keyClick(slider_, Qt::Key_Right);
    QCOMPARE(slider_->value(), 51);
    QCOMPARE(applied.size(), 1);
  }

  void wheelIsLeftToTheParent() {
    QSignalSpy applied(slider_, &StepSlider::stepApplied);
    SendWheel(slider_, HandleRect(slider_).center(), 120);
    SendWheel(slider_, HandleRect(slider_).center(), -240);
    QCOMPARE(slider_->value(), 50);
    QCOMPARE(applied.size(), 0);
    QCOMPARE(parent_->wheels, 2);
  }

 private:
  WheelSink* parent_ = nullptr;
  StepSlider* slider_ = nullptr;
};

QTEST_MAIN(StepSliderTest)
#include "StepSliderTest.moc"
