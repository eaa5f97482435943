// Undo, redo and A/B comparison in the window, against the emulator on loopback: what
// the device ends up holding after the history is walked, how few frames a switch
// takes, and when the history survives and when it is cleared.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "link/LinkState.h"
#include "link/SyncJobs.h"
#include "model/CompareSlots.h"
#include "model/EditJournal.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "shell/HistoryCommands.h"
#include "shell/MainWindow.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"

using namespace dsptune;

namespace {

using Emulator = test::LoopbackEmulator;

// Writes on the wire: DSP record writes (parameters, coefficients), live-block writes
// (band records, settings records) and whole-image chunks.
struct WireCounts {
  int records, live, chunks;
};
WireCounts Count(const Emulator& emu) {
  return {emu.CountLines("81 09"), emu.CountLines("81 85"), emu.CountLines("81 31")};
}

}  // namespace

class HistoryTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }
  void init() {
    test::ClearSettingsStore();
    dialogs_ = ScriptedDialogs();
    ResetDataModel();
    ResetLinkState();
    CurrentJournal().Clear();
    CurrentCompareSlots().Clear();
  }
  void cleanup() { parts_.TearDown(); }

  // A band dragged, then Reset EQ: two undos put the device back where it was before
  // the drag, and redo makes the reset again.
  void dragResetAndUndoTwice() {
    Emulator emu;
    Connect(emu);
    const ParameterImageBytes beforeDrag = emu.sim.WorkingImage();
    for (int move = 0; move < 60; ++move)
      WriteEqBand(kEqMicA, 4, 1, 160 + 10 * move, 0.1f * float(move % 30), 1.414f);
    QTest::qWait(600);  // the gesture ends
    dialogs_.answer = QMessageBox::Yes;
    parts_.frame->ResetEqButton().click();
    QTRY_VERIFY_WITH_TIMEOUT(emu.sim.WorkingImage() != beforeDrag, 3000);
    const ParameterImageBytes afterReset = WorkingSettings();
    QCOMPARE(CurrentJournal().UndoSteps(), std::size_t(2));

    HistoryCommands& history = parts_.frame->History();
    history.ApplyTexts();
    QCOMPARE(history.UndoAction()->text(), QString::fromUtf8("撤销 重置均衡"));
    history.UndoAction()->trigger();
    history.UndoAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), beforeDrag, 5000);
    QCOMPARE(WorkingSettings(), beforeDrag);
    history.RedoAction()->trigger();
    history.RedoAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(WorkingSettings(), afterReset, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), afterReset, 5000);
    QCOMPARE(Count(emu).chunks, 0);  // never a whole-image write
  }

  // Store A, change three parameters, store B: each switch sends three parameter writes
  // and nothing else, and the device holds A, then B.
  void abSwitchSendsOnlyTheDifferences() {
    Emulator emu;
    Connect(emu);
    HistoryCommands& history = parts_.frame->History();
    history.StoreAs(CompareSlots::kA);
    const ParameterImageBytes a = WorkingSettings();
    SetParameter(1, 0x0E, 61);
    SetParameter(2, 0x1C, 30);
    SetParameter(4, 0x0C, 44);
    history.StoreAs(CompareSlots::kB);
    const ParameterImageBytes b = WorkingSettings();
    QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), b, 3000);
    QVERIFY(history.Pane()->text().endsWith(QLatin1String("B")));

    for (const ParameterImageBytes* expected : {&a, &b}) {
      const WireCounts before = Count(emu);
      history.SwitchSlots();
      QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), *expected, 3000);
      QTest::qWait(100);
      const WireCounts after = Count(emu);
      QCOMPARE(after.records - before.records, 3);
      QCOMPARE(after.live - before.live, 0);
      QCOMPARE(after.chunks - before.chunks, 0);
    }
    QVERIFY(history.Pane()->text().endsWith(QLatin1String("B")));
    // The switch is a step of its own.
    history.Undo();
    QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), a, 3000);
  }

  // The history outlives page and language switches; reading a different device clears
  // it, with a notice, while reading the same one again keeps it.
  void historySurvivesSwitchesAndEndsWithTheDevice() {
    {
      Emulator emu;
      Connect(emu);
      SetParameter(1, 0x0E, 70);
      parts_.frame->View().ShowEditor(kEditorOutput, 0);
      parts_.frame->SwitchLanguage();
      parts_.frame->History().ApplyTexts();
      QVERIFY2(parts_.frame->History().UndoAction()->text().startsWith(QLatin1String("Undo ")),
               qPrintable(parts_.frame->History().UndoAction()->text()));
      parts_.frame->History().Undo();
      QCOMPARE(UiValue(1, 0x0E), 50);
      QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), WorkingSettings(), 3000);
      parts_.frame->History().Redo();
      QCOMPARE(UiValue(1, 0x0E), 70);

      // The same device read again: the history stays.
      StartReadJob();
      QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));
      QTRY_VERIFY_WITH_TIMEOUT(CurrentJournal().CanUndo(), 2000);
      QTest::qWait(200);
      QVERIFY(CurrentJournal().CanUndo());
      parts_.frame->Disconnect();
    }
    DeviceOptions other;
    other.mcuVersion = "V2.0.0";
    Emulator second(other);
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", second.net.Port()));
    QVERIFY(!CurrentJournal().CanUndo());
    QVERIFY(!CurrentJournal().CanRedo());
    QCOMPARE(test::PopupText(*parts_.progress), QString("Another device: the undo history was cleared"));
  }

 private:
  void Connect(Emulator& emu) {
    QVERIFY(emu.started);
    parts_.Make();
    SetCurrentLanguage(kChinese);
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    QTest::qWait(600);  // edits below start a history of their own
    CurrentJournal().Clear();
  }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
};

QTEST_MAIN(HistoryTest)
#include "HistoryTest.moc"
