// The ribbon's master controls without a device: they stand for the stored settings (the
// start-up image, or a file opened offline), in both twins, from the first moment.
#include <QTemporaryDir>
#include <QtTest>

#include "model/ParameterImage.h"
#include "shell/MainView.h"
#include "shell/MasterControls.h"
#include "tests/shell/ShellTestSupport.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"
#include "ui/StepSlider.h"

using namespace dsptune;

class MasterControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }
  void init() {
    test::ClearSettingsStore();
    ResetDataModel();
  }
  void cleanup() { parts_.TearDown(); }

  void offlineTheControlsShowTheStoredSettings() {
    parts_.Make();
    QVERIFY(!CurrentLink().connected);
    // The start-up settings differ from the controls' top values, so a slider left at its
    // maximum cannot pass for a stored value.
    QCOMPARE(CurrentValue(MasterControl::Mic), 50);
    QCOMPARE(CurrentValue(MasterControl::NoiseGate), 0);
    CheckControlsShowTheImage();
  }

  // Settings changed offline (as a file opened without a device changes them) and shown
  // anew; the mute boxes follow the enable parameters.
  void offlineChangesAreShownInBothTwins() {
    parts_.Make();
    const int values[] = {11, 22, 33, 44, 55, 66};
    for (int i = 0; i < 6; ++i) {
      const MasterControlInfo& info = InfoOf(kMasterControls[std::size_t(i)]);
      SetParameter(info.block, info.address, values[i]);
    }
    const MasterControlInfo& echo = InfoOf(MasterControl::Echo);
    SetParameter(echo.enableBlock, echo.enableAddress, 0);
    parts_.frame->View().RefreshMasterControls();
    CheckControlsShowTheImage();
    QVERIFY(parts_.frame->View().MuteBox(MasterControl::Echo, MainView::kOutput)->isChecked());
    QVERIFY(!parts_.frame->View().MuteBox(MasterControl::Mic, MainView::kInput)->isChecked());
  }

 private:
  void CheckControlsShowTheImage() {
    MainView& view = parts_.frame->View();
    for (int i = 0; i < 6; ++i) {
      const MasterControl control = kMasterControls[std::size_t(i)];
      const int stored = CurrentValue(control);
      for (MainView::Twin twin : {MainView::kInput, MainView::kOutput}) {
        QCOMPARE(view.Slider(control, twin)->value(), stored);
        if (view.Label(control, twin)) QCOMPARE(view.Label(control, twin)->text(), LabelText(control, stored, CurrentLanguage()));
        if (view.MuteBox(control, twin)) QCOMPARE(view.MuteBox(control, twin)->isChecked(), IsMuted(control));
      }
    }
  }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
};

QTEST_MAIN(MasterControlsTest)
#include "MasterControlsTest.moc"
