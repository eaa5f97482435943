// The window against an emulated device that misbehaves in ways that must not cost the
// user anything: a busy module that keeps answering, a write cut short, a device too
// slow for the transfer's time limit, and a machine reset that restarts the device. In
// each the window's state follows what happened on the device.
#include <QToolButton>
#include <QtTest>
#include <chrono>

#include "files/ModeFile.h"
#include "link/LinkState.h"
#include "link/SyncJobs.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "shell/LinkKeeper.h"
#include "shell/MainWindow.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"

using namespace dsptune;

namespace {

using Emulator = test::LoopbackEmulator;
using test::PopupText;
using namespace std::chrono_literals;

constexpr int kReconnectWaitMs = 12000;  // the first steps of the schedule and a read
// A read, then this many commands into the write job, and the connection is cut.
constexpr int kCutIntoTheWrite = 4 + 1 + 63 + 2 + 30;

std::uint32_t MusicVolWord(const ParameterImageBytes& image) {
  return GetU32(&image[FindRecord(4, 0x0C)->ValueOffset()]);
}

}  // namespace

class LinkFaultsTest : public QObject {
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
    choices_ = 0;
  }
  void cleanup() { parts_.TearDown(); }

  // "ISCONNECTED" means busy, also when the module goes on passing answers: nothing is
  // written, the link is closed, and the device is asked again only at the slow pace.
  void busyModuleThatKeepsAnsweringIsLeftAlone() {
    ServerOptions busy;
    busy.busyAnswering = true;
    Emulator emu({}, busy);
    QVERIFY(emu.started);
    MakeFrame();
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    QTRY_COMPARE_WITH_TIMEOUT(PopupText(*parts_.progress), QString::fromUtf8("主机已连接其他设备，请先断开!\n另一台电脑占用着设备的网络连接"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 3000);
    QVERIFY(!parts_.progress->SyncDialogRunning());
    QVERIFY(parts_.frame->Keeper().Retrying());
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->Keeper().Pane()->text().contains(QString::fromUtf8("秒后")), 2000);
    const int left = parts_.frame->Keeper().Pane()->text().section(QLatin1Char(' '), 0, 0).toInt();
    QVERIFY2(left > 8, qPrintable(parts_.frame->Keeper().Pane()->text()));
    QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));
    QCOMPARE(emu.CountLines("81 31"), 0);  // no image chunk went out
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("未连接"));
    QCOMPARE(dialogs_.shown.size(), 0);
  }

  // A write cut short by a lost link: the box says the device may hold part of the image
  // and offers to write again once it is back. "No": the reconnect's read asks which
  // side to keep, as the working settings are not on the device. "Yes": the write runs
  // again after the read.
  void writeCutShortIsNeitherForgottenNorTakenOn_data() {
    QTest::addColumn<bool>("writeAgain");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
  }
  void writeCutShortIsNeitherForgottenNorTakenOn() {
    QFETCH(bool, writeAgain);
    ServerOptions cut;
    cut.closeAfterCommands = kCutIntoTheWrite;
    Emulator emu({}, cut);
    QVERIFY(emu.started);
    QTemporaryDir dir;
    const QString path = dir.filePath("studio.mode");
    UpdateIdentity([](DeviceIdentity& id) { id.protocolCode = kSupportedProtocol; });
    ParameterImageBytes image = ImageSnapshot();
    image[kImageSize - 1] ^= 0x5A;  // in the last chunk, which the cut write never sends
    StoreImageBytes(0, image);
    QCOMPARE(SaveModeFile(path.toStdString()), 1);
    MakeFrame();
    parts_.frame->SetStartupModeFile(path);
    dialogs_.answer = writeAgain ? QMessageBox::Yes : QMessageBox::No;
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    QTRY_COMPARE_WITH_TIMEOUT(dialogs_.shown.size(), 1, 15000);
    const QString text = dialogs_.shown[0].text;
    QVERIFY2(text.contains(QString::fromUtf8("可能只写入了一部分")) && text.contains(QString::fromUtf8("重新写入")),
             qPrintable(text));
    QVERIFY(HasUnsentEdits());
    const int chunksSent = emu.CountLines("81 31");

    if (writeAgain) {
      QTRY_VERIFY_WITH_TIMEOUT(emu.CountLines("81 31") > chunksSent, kReconnectWaitMs);
      QCOMPARE(choices_, 0);
    } else {
      QTRY_COMPARE_WITH_TIMEOUT(choices_, 1, kReconnectWaitMs);
      QCOMPARE(emu.CountLines("81 31"), chunksSent);
    }
  }

  // A device that answers every command, only slower than the reply time-out: the
  // transfer's one time limit ends the read, one box says so, and the link is closed
  // (the window does not mirror the device without a complete read).
  void slowDeviceEndsOnTheTransfersTimeLimit() {
    DeviceOptions slow;
    slow.replyLatency = 2100ms;
    Emulator emu(slow);
    QVERIFY(emu.started);
    MakeFrame();
    parts_.frame->SetSyncTimeLimit(2500);
    const ParameterImageBytes before = ImageSnapshot();
    dialogs_.answer = QMessageBox::No;  // not "read again"
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    QTRY_COMPARE_WITH_TIMEOUT(dialogs_.shown.size(), 1, 10000);
    const QString text = dialogs_.shown[0].text;
    QVERIFY2(text.contains(QString::fromUtf8("同步超时")) && text.contains(QString::fromUtf8("设置未作任何更改")),
             qPrintable(text));
    QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 3000);
    QCOMPARE(LastSyncResult().outcome, SyncOutcome::TimedOut);
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("未连接"));
    QVERIFY(ImageSnapshot() == before);
    QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));
    QTest::qWait(300);
    QCOMPARE(dialogs_.shown.size(), 1);  // one time-out, one box
  }

  // The machine reset restarts the device with its defaults: the window shows the
  // defaults at once, says the device is restarting, and reads it when it is back.
  void machineResetRereadsTheRestartedDevice() {
    ServerOptions restart;
    restart.restartTime = 500ms;
    Emulator emu({}, restart);
    QVERIFY(emu.started);
    MakeFrame();
    const int defaultMusicVol = UiValue(4, 0x0C);
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    SetParameter(4, 0x0C, 42);
    QTRY_COMPARE_WITH_TIMEOUT(MusicVolWord(emu.sim.WorkingImage()), UiValueToWord(ConversionKind::Percent, 42), 3000);

    QToolButton* reset = nullptr;
    for (QToolButton* b : parts_.frame->findChildren<QToolButton*>())
      if (b->text() == QString::fromUtf8("机器复位")) reset = b;
    parts_.frame->RefreshStatusPanes();  // device commands follow the link on the pane refresh
    QVERIFY(reset && reset->isEnabled());
    dialogs_.answer = QMessageBox::Yes;
    reset->click();
    QCOMPARE(UiValue(4, 0x0C), defaultMusicVol);
    QVERIFY(!CurrentLink().connected);
    QVERIFY2(PopupText(*parts_.progress).contains(QString::fromUtf8("设备正在重启")),
             qPrintable(PopupText(*parts_.progress)));
    QVERIFY(parts_.frame->Keeper().Retrying());

    QTRY_VERIFY_WITH_TIMEOUT(CurrentLink().connected && !parts_.frame->Keeper().Retrying(), kReconnectWaitMs);
    QCOMPARE(emu.net.Restarts(), 1);
    QVERIFY(WorkingSettings() == emu.sim.WorkingImage());
    QCOMPARE(UiValue(4, 0x0C), defaultMusicVol);
    QCOMPARE(choices_, 0);
    QCOMPARE(dialogs_.shown.size(), 1);  // the reset question only
  }

 private:
  void MakeFrame() {
    parts_.Make();
    SetCurrentLanguage(kChinese);
    parts_.frame->SetSettingsChooser([this](SettingsMerge&) {
      ++choices_;
      return ReconcileChoice::KeepDevice;
    });
  }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
  int choices_ = 0;
};

QTEST_MAIN(LinkFaultsTest)
#include "LinkFaultsTest.moc"
