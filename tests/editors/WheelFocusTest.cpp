// A wheel turned to scroll the page: the value controls inside it leave the wheel to the
// scroll area unless they have the focus, so nothing under the pointer changes (and
// nothing is written to the device) by accident.
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <qtestspontaneevent.h>

#include <memory>

#include "editors/MicMusicPage.h"
#include "link/LinkState.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"
#include "ui/EditorPage.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

// A wheel notch as the window system delivers it: spontaneous, so Qt passes it on to
// the parents when the widget under the pointer leaves it.
void SendWheel(QWidget* target, int angle) {
  const QPointF pos(target->width() / 2.0, target->height() / 2.0);
  QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&event);
  qApp->notify(target, &event);
}

// The value a control shows, whatever its kind.
int ValueOf(QWidget* control) {
  if (auto* slider = qobject_cast<QSlider*>(control)) return slider->value();
  if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->value();
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentIndex();
  return -1;
}

}  // namespace

class WheelFocusTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    SetCurrentLanguage(kEnglish);
    ResetLinkState();
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
  }

  void cleanup() {
    area_.reset();
    SetDeviceWriter(nullptr);
  }

  // Mic 1's volume on the mic page, in a window smaller than the page.
  void aMicVolumeUnderTheWheelIsNotChangedWhileScrolling() {
    auto* page = new MicMusicPage(0);
    Show(page);
    QSlider& volume = page->VolumeSlider(0);
    volume.setValue(60);  // mid-range: a notch either way would move it
    writer_.sent.clear();
    CheckWheel(&volume);
  }

  // Every kind of value control of the pages: a slider, a spin box and a drop-down (the
  // last two take the focus from the wheel unless told otherwise).
  void everyValueControlLeavesAnUnfocusedWheelToThePage() {
    for (int kind = 0; kind < 3; ++kind) {
      auto* page = new BlankEditorPage(kEditorMicMusic, 0, nullptr);
      auto* layout = new QVBoxLayout(page);
      layout->addSpacing(400);
      QWidget* control = nullptr;
      if (kind == 0) {
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setRange(0, 100);
        slider->setValue(50);
        control = slider;
      } else if (kind == 1) {
        auto* spin = new QSpinBox;
        spin->setRange(0, 100);
        spin->setValue(50);
        control = spin;
      } else {
        auto* combo = new QComboBox;
        combo->addItems({"a", "b", "c", "d"});
        combo->setCurrentIndex(2);
        control = combo;
      }
      layout->addWidget(control);  // added after the page was made: guarded all the same
      layout->addSpacing(400);
      Show(page);
      CheckWheel(control);
      if (QTest::currentTestFailed()) return;
      area_.reset();
    }
  }

 private:
  void Show(EditorPage* page) {
    area_ = std::make_unique<QScrollArea>();
    area_->setWidgetResizable(true);
    area_->setWidget(page);
    area_->resize(500, 300);
    area_->show();
    QVERIFY(QTest::qWaitForWindowExposed(area_.get()));
    area_->activateWindow();
    QTRY_VERIFY(area_->isActiveWindow());
  }

  // Unfocused: the value stays, nothing is written, the control does not take the
  // focus, the page scrolls. Focused: the control takes the wheel.
  void CheckWheel(QWidget* control) {
    control->clearFocus();  // the only focusable widget of a page gets the focus when shown
    area_->ensureWidgetVisible(control);
    QScrollBar* bar = area_->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    const int angle = bar->value() > 0 ? 120 : -120;  // towards where the page can go
    const int value = ValueOf(control);
    const int scrolled = bar->value();
    SendWheel(control, angle);
    QVERIFY2(ValueOf(control) == value, control->metaObject()->className());
    QVERIFY(writer_.sent.empty());
    QVERIFY2(!control->hasFocus(), control->metaObject()->className());
    QVERIFY2(bar->value() != scrolled, control->metaObject()->className());

    area_->ensureWidgetVisible(control);
    control->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(control->hasFocus());
    const int still = bar->value();
    SendWheel(control, -120);
    QVERIFY(ValueOf(control) != value);
    QCOMPARE(bar->value(), still);
  }

  test::RecordingWriter writer_;
  std::unique_ptr<QScrollArea> area_;
};

}  // namespace dsptune

QTEST_MAIN(dsptune::WheelFocusTest)
#include "WheelFocusTest.moc"
