// Never losing an edit, against the emulator on loopback: the window reconnects by itself
// after the device goes away, keeps what the user changed meanwhile, and lets the user
// choose between those edits and the device's settings; a busy device is not taken
// from its other host; Disconnect stops it all.
#include <QDir>
#include <QPushButton>
#include <QTcpSocket>
#include <QtTest>
#include <memory>

#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "model/SettingsMerge.h"
#include "shell/LinkKeeper.h"
#include "shell/MainWindow.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"
#include "ui/StepSlider.h"

using namespace dsptune;

namespace {

using Emulator = test::LoopbackEmulator;
using test::PopupText;

constexpr int kMicVolOffset = 1495;  // value bytes of block 1 address 0x0E
constexpr int kReconnectWaitMs = 12000;  // the first steps of the schedule, 1 + 2 + 4 s, and a read

float DeviceMicVol(const DeviceSimulator& sim) { return GetFloat(&sim.WorkingImage()[kMicVolOffset]); }

}  // namespace

class ReconnectTest : public QObject {
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
    seen_.clear();
  }
  void cleanup() { parts_.TearDown(); }

  // The device goes away; Mic Vol and Mic A band 5 change meanwhile; the device comes
  // back on the same port. The window reconnects on its own, lists exactly those two
  // differences, and the chosen side wins on both ends.
  void editsMadeWhileTheDeviceWasGoneAreReconciled_data() {
    QTest::addColumn<bool>("sendMine");
    QTest::addColumn<bool>("viaSilence");
    QTest::newRow("closed, send mine") << true << false;
    QTest::newRow("closed, keep the device's") << false << false;
    QTest::newRow("silent, send mine") << true << true;
  }
  void editsMadeWhileTheDeviceWasGoneAreReconciled() {
    QFETCH(bool, sendMine);
    QFETCH(bool, viaSilence);
    ServerOptions options;
    if (viaSilence) options.silentAfter = std::chrono::milliseconds(2500);
    Emulator emu({}, options);
    QVERIFY(emu.started);
    const std::uint16_t port = emu.net.Port();
    MakeFrame(sendMine ? ReconcileChoice::SendMine : ReconcileChoice::KeepDevice);
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", port));
    QCOMPARE(UiValue(1, 0x0E), 50);

    if (viaSilence) {
      // No answers, no heartbeat: the link times out and the window says so once.
      QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 10000);
      QTRY_COMPARE_WITH_TIMEOUT(dialogs_.shown.size(), 1, 2000);
      QCOMPARE(dialogs_.shown[0].text, QString::fromUtf8("主机超时，网络断开!"));
      emu.net.Stop();
    } else {
      emu.net.Stop();
      QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 5000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->Keeper().Retrying(), 2000);
    QVERIFY(parts_.frame->Keeper().Pane()->isVisible());
    QVERIFY(parts_.frame->Keeper().Pane()->text().contains(QString::fromUtf8("秒后重新连接")));
    if (const QString folder = qEnvironmentVariable("DSPTUNE_SCREENSHOTS"); !folder.isEmpty() && !viaSilence) {
      QDir().mkpath(folder);
      parts_.frame->grab().save(QDir(folder).filePath("reconnecting.png"));
    }

    // Edits while the device is gone.
    StepSlider* mic = parts_.frame->View().Slider(MasterControl::Mic, MainView::kInput);
    mic->setValue(55);
    emit mic->stepApplied(55);
    WriteEqBand(kEqMicA, 4, 1, 160, 6.0f, 1.414f);
    QVERIFY(HasUnsentEdits());
    const ParameterImageBytes mine = WorkingSettings();

    // The device returns on the same port, answering again.
    ServerOptions again;
    again.port = port;
    SimServer back(emu.sim, again);
    QVERIFY2(back.Start(), back.LastError().c_str());
    const int writesBefore = emu.CountLines("81 31");
    QTRY_COMPARE_WITH_TIMEOUT(choices_, 1, kReconnectWaitMs);
    QVERIFY(CurrentLink().connected);
    QVERIFY(!parts_.frame->Keeper().Retrying());

    QCOMPARE(int(seen_.size()), 2);
    QCOMPARE(seen_[0].kind, DifferenceKind::Band);
    QCOMPARE(seen_[0].eq, int(kEqMicA));
    QCOMPARE(seen_[0].band, 4);
    QCOMPARE(seen_[1].kind, DifferenceKind::Parameter);
    QCOMPARE(int(seen_[1].block), 1);
    QCOMPARE(int(seen_[1].address), 0x0E);

    const int bandOffset = EqBandOffset(kEqMicA, 4);
    if (sendMine) {
      QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), mine, 5000);
      QCOMPARE(emu.CountLines("81 31"), writesBefore);  // no full write job
      QCOMPARE(UiValue(1, 0x0E), 55);
    } else {
      QCOMPARE(UiValue(1, 0x0E), 50);
      QCOMPARE(mic->value(), 50);
      QCOMPARE(WorkingSettings(), emu.sim.WorkingImage());
      QCOMPARE(DeviceMicVol(emu.sim), 0.5f);
      const ParameterImageBytes device = emu.sim.WorkingImage();
      QCOMPARE(ReadLiveBytes(bandOffset, 7), std::vector<std::uint8_t>(device.begin() + bandOffset,
                                                                       device.begin() + bandOffset + 7));
    }
    QVERIFY(!HasUnsentEdits());
    back.Stop();
  }

  // While the window was away Music Vol changed on the device (another computer, say)
  // and Mic Vol on both sides. Music Vol is taken without a question; Mic Vol is the one
  // question and starts as the device's value; choosing mine for it sends Mic Vol alone.
  // Mic Vol changed alike on both sides asks nothing at all.
  void deviceChangesAreTakenAndConflictsAskedRowByRow_data() {
    QTest::addColumn<int>("mineMicVol");
    QTest::addColumn<bool>("chooseMine");
    QTest::newRow("conflict left at the device's") << 55 << false;
    QTest::newRow("conflict chosen as mine") << 55 << true;
    QTest::newRow("the same change on both sides") << 60 << false;
  }
  void deviceChangesAreTakenAndConflictsAskedRowByRow() {
    QFETCH(int, mineMicVol);
    QFETCH(bool, chooseMine);
    Emulator emu;
    QVERIFY(emu.started);
    const std::uint16_t port = emu.net.Port();
    MakeFrame(ReconcileChoice::SendMine);
    std::vector<MergeItem> asked;
    parts_.frame->SetSettingsChooser([&](SettingsMerge& merge) {
      ++choices_;
      asked = merge.items;
      for (MergeItem& m : merge.items)
        if (chooseMine && m.kind == MergeKind::Conflict) m.take = MergeSide::Mine;
      return ReconcileChoice::SendMine;
    });
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", port));
    QCOMPARE(UiValue(1, 0x0E), 50);
    emu.net.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->Keeper().Retrying(), 5000);

    SetParameter(1, 0x0E, mineMicVol);
    QVERIFY(HasUnsentEdits());
    const int musicVol = FindRecord(4, 0x0C)->ValueOffset();
    // Written on the device as the window would write those percentages.
    for (const auto& [offset, percent] : {std::pair{kMicVolOffset, 60}, std::pair{musicVol, 37}}) {
      std::vector<std::uint8_t> write{0x31, std::uint8_t(offset >> 8), std::uint8_t(offset), 4, 0, 0, 0, 0};
      PutU32(&write[4], UiValueToWord(ConversionKind::Percent, percent));
      emu.sim.HandlePacket(write);
    }
    const ParameterImageBytes device = emu.sim.WorkingImage();
    ServerOptions again;
    again.port = port;
    SimServer back(emu.sim, again);
    QVERIFY2(back.Start(), back.LastError().c_str());
    const int dspWritesBefore = emu.CountLines("81 09"), imageWritesBefore = emu.CountLines("81 31");
    if (mineMicVol == 60) {
      QTRY_VERIFY_WITH_TIMEOUT(CurrentLink().connected && !parts_.frame->Keeper().Retrying(), kReconnectWaitMs);
      QTRY_COMPARE_WITH_TIMEOUT(UiValue(4, 0x0C), 37, 2000);
      QCOMPARE(choices_, 0);
      QVERIFY(!HasUnsentEdits());
      QCOMPARE(WorkingSettings(), device);
      QCOMPARE(emu.CountLines("81 09"), dspWritesBefore);
      QCOMPARE(ConfirmedSettings(), std::optional<ParameterImageBytes>(device));
      back.Stop();
      return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(choices_, 1, kReconnectWaitMs);

    QCOMPARE(int(asked.size()), 2);
    QCOMPARE(asked[0].kind, MergeKind::Conflict);
    QCOMPARE(asked[0].item.offset, kMicVolOffset);
    QCOMPARE(asked[0].take, MergeSide::Device);
    QCOMPARE(asked[1].kind, MergeKind::DeviceChange);
    QCOMPARE(asked[1].item.offset, musicVol);
    QCOMPARE(UiValue(4, 0x0C), 37);
    QVERIFY(!HasUnsentEdits());
    if (chooseMine) {
      QCOMPARE(UiValue(1, 0x0E), 55);
      ParameterImageBytes expected = device;
      const std::vector<std::uint8_t> mine = ReadImageBytes(kMicVolOffset, 4);
      std::copy(mine.begin(), mine.end(), expected.begin() + kMicVolOffset);
      QTRY_COMPARE_WITH_TIMEOUT(emu.sim.WorkingImage(), expected, 5000);
      QCOMPARE(emu.CountLines("81 09"), dspWritesBefore + 1);  // Mic Vol and nothing else
      QCOMPARE(emu.CountLines("81 31"), imageWritesBefore);
    } else {
      QTest::qWait(300);
      QCOMPARE(UiValue(1, 0x0E), 60);
      QCOMPARE(emu.CountLines("81 09"), dspWritesBefore);
      QCOMPARE(emu.sim.WorkingImage(), device);
      QCOMPARE(WorkingSettings(), device);
    }
    // The device was read to hold its settings: the base of the next reconnect.
    QCOMPARE(ConfirmedSettings(), std::optional<ParameterImageBytes>(device));
    back.Stop();
  }

  // A window that was only started and shown holds no edits of its own: the first
  // connect reads the device as always. With nothing edited while the device was gone,
  // a reconnect reads as always too.
  void connectAndReconnectWithoutEditsAskNothing() {
    Emulator emu;
    emu.sim.HandlePacket(std::vector<std::uint8_t>{0x31, 0x05, 0xD7, 4, 0x3F, 0x40, 0x00, 0x00});  // Mic Vol 75
    const std::uint16_t port = emu.net.Port();
    MakeFrame(ReconcileChoice::SendMine);
    QVERIFY(!HasUnsentEdits());
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", port));
    QCOMPARE(UiValue(1, 0x0E), 75);
    QVERIFY(!HasUnsentEdits());
    const std::unique_ptr<SimServer> back = GoneAndBack(emu);
    QVERIFY(back);
    QTRY_VERIFY_WITH_TIMEOUT(!parts_.frame->Keeper().Retrying() && CurrentLink().connected, kReconnectWaitMs);
    QCOMPARE(choices_, 0);
    QCOMPARE(dialogs_.shown.size(), 0);
    // Told in the status bar, not by a box of its own.
    QCOMPARE(parts_.frame->NoticePane().text(), QString::fromUtf8("设备已重新连接"));
    QVERIFY(!PopupText(*parts_.progress).contains(QString::fromUtf8("重新连接")));
  }

  // Another host took the device while it was away: the reconnect does not take it over,
  // says "busy" once, and keeps trying at the slow pace.
  void aBusyDeviceIsNotTakenOver() {
    Emulator emu;
    const std::uint16_t port = emu.net.Port();
    MakeFrame(ReconcileChoice::SendMine);
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", port));
    const std::unique_ptr<SimServer> server = GoneAndBack(emu);
    QVERIFY(server);
    SimServer& back = *server;
    QTcpSocket holder;
    holder.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(holder.waitForConnected(2000));
    QTRY_VERIFY_WITH_TIMEOUT(back.ClientConnected(), 2000);

    QTRY_COMPARE_WITH_TIMEOUT(back.ClientsTurnedAway(), 1, kReconnectWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(PopupText(*parts_.progress), QString::fromUtf8("主机已连接其他设备，请先断开!\n另一台电脑占用着设备的网络连接"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 3000);
    QVERIFY(parts_.frame->Keeper().Retrying());
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->Keeper().Pane()->text().contains(QString::fromUtf8("秒后")), 2000);
    const int left = parts_.frame->Keeper().Pane()->text().section(QLatin1Char(' '), 0, 0).toInt();
    QVERIFY2(left > 8, qPrintable(parts_.frame->Keeper().Pane()->text()));

    // A click tries at once; busy again, and no second notice.
    delete parts_.progress->CurrentPopup().data();
    parts_.frame->Keeper().Pane()->click();
    QTRY_COMPARE_WITH_TIMEOUT(back.ClientsTurnedAway(), 2, 5000);
    QTest::qWait(300);
    QVERIFY2(PopupText(*parts_.progress).isEmpty(), qPrintable(PopupText(*parts_.progress)));
    QVERIFY(parts_.frame->Keeper().Retrying());
    QCOMPARE(holder.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(choices_, 0);
  }

  // Disconnect closes the link and nothing comes back by itself.
  void disconnectStopsRetrying() {
    Emulator emu;
    MakeFrame(ReconcileChoice::SendMine);
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    const int accepted = emu.net.ClientsAccepted();
    parts_.frame->Disconnect();
    QVERIFY(!CurrentLink().connected);
    QVERIFY(!parts_.frame->Keeper().Retrying());
    QVERIFY(!parts_.frame->Keeper().Pane()->isVisible());
    QTest::qWait(1500);
    QCOMPARE(emu.net.ClientsAccepted(), accepted);
    QVERIFY(!CurrentLink().connected);
    QCOMPARE(emu.CountLines("81 8A"), 1);  // the device was told
  }

 private:
  // The emulator goes away; once the window is retrying it comes back on the same port
  // with the same device state. Null when it could not listen again.
  std::unique_ptr<SimServer> GoneAndBack(Emulator& emu) {
    const std::uint16_t port = emu.net.Port();
    emu.net.Stop();
    if (!QTest::qWaitFor([this] { return parts_.frame->Keeper().Retrying(); }, 5000)) return nullptr;
    ServerOptions again;
    again.port = port;
    auto back = std::make_unique<SimServer>(emu.sim, again);
    if (!back->Start()) return nullptr;
    return back;
  }

  void MakeFrame(ReconcileChoice choice) {
    parts_.Make();
    SetCurrentLanguage(kChinese);
    parts_.frame->SetSettingsChooser([this, choice](SettingsMerge& merge) {
      ++choices_;
      seen_.clear();
      for (const MergeItem& m : merge.items)
        if (IsQuestion(m.kind)) seen_.push_back(m.item);
      return choice;
    });
  }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
  int choices_ = 0;
  std::vector<SettingsDifference> seen_;
};

QTEST_MAIN(ReconnectTest)
#include "ReconnectTest.moc"
