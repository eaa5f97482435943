// The mode commands: device modes, mode files, the recent-file list, the question on
// close and the machine reset. Questions and sends are checked against a recording
// transport; the commands that make the device reload or take a file run against the
// emulator through the main window.
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "files/ModeFile.h"
#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/ParameterImage.h"
#include "ui/AppSettings.h"
#include "shell/MainWindow.h"
#include "ui/DialogService.h"
#include "ui/InfoPopup.h"
#include "shell/ModeCommands.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"
#include "ui/InterfaceLanguage.h"
#include "tests/link/RecordingTransport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"

using namespace dsptune;

namespace {

using test::PopupText;

QString Hex(const std::vector<std::uint8_t>& bytes) {
  QStringList parts;
  for (std::uint8_t b : bytes) parts << QString::asprintf("%02X", b);
  return parts.join(' ');
}

}  // namespace

class ModeCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }

  void init() {
    test::ClearSettingsStore();
    dialogs_ = ScriptedDialogs();
    SetCurrentLanguage(kEnglish);
    ResetDataModel();
    LoadDefaultImage();
    ResetLinkState();
    transport_.Clear();
    LinkState& link = CurrentLink();
    link.transport = &transport_;
    link.kind = LinkKind::Usb;
    link.connected = true;
    parts_.settings = std::make_unique<AppSettings>();
    parts_.progress = std::make_unique<ProgressWindows>();
    modes_ = std::make_unique<ModeCommands>(*parts_.settings, *parts_.progress, nullptr);
  }

  void cleanup() {
    modes_.reset();
    parts_.TearDown();
  }

  // Without a link the device commands do nothing at all.
  void deviceCommandsWithoutALink() {
    CurrentLink().connected = false;
    CurrentLink().changedFlag = true;
    modes_->LoadDeviceMode(1);
    modes_->SaveDeviceMode(1);
    modes_->RestoreFactoryMode(1);
    modes_->MachineReset();
    QVERIFY(dialogs_.shown.isEmpty());
    QVERIFY(!PopupText(*parts_.progress).size());
    QVERIFY(transport_.Calls().empty());
  }

  // At the desk, with no device: a file opens into the working settings, edits mark it
  // modified, and a save writes exactly what a save next to a device would write for
  // the same settings. Nothing is sent, and the settings count as not on a device yet.
  void filesWithoutADevice() {
    QTemporaryDir dir;
    UpdateIdentity([](DeviceIdentity& id) { id.protocolCode = kSupportedProtocol; });
    SetParameter(1, 0x0E, 61);
    const QString prepared = dir.filePath("prepared.mode");
    QCOMPARE(SaveModeFile(prepared.toStdString()), 1);
    LoadDefaultImage();
    ClearUnsentEdits();
    transport_.Clear();

    CurrentLink().connected = false;
    QSignalSpy replaced(modes_.get(), &ModeCommands::settingsReplaced);
    dialogs_.openAnswer = prepared;
    modes_->LoadModeFile();
    QCOMPARE(replaced.size(), 1);
    QCOMPARE(UiValue(1, 0x0E), 61);
    QVERIFY(HasUnsentEdits());
    QCOMPARE(modes_->CurrentFile(), prepared);
    QVERIFY(!modes_->CurrentFileModified());
    QCOMPARE(parts_.settings->RecentFiles(), QStringList{prepared});

    SetParameter(1, 0x0E, 55);
    QVERIFY(modes_->CurrentFileModified());
    dialogs_.saveAnswer = dir.filePath("offline.mode");
    modes_->SaveModeFile();
    QVERIFY(!modes_->CurrentFileModified());
    QCOMPARE(modes_->CurrentFile(), dialogs_.saveAnswer);
    QVERIFY(transport_.Calls().empty());
    QVERIFY(dialogs_.shown.isEmpty());

    // The same settings saved with a device connected.
    CurrentLink().connected = true;
    dialogs_.saveAnswer = dir.filePath("connected.mode");
    modes_->SaveModeFile();
    QFile offline(dir.filePath("offline.mode")), connected(dir.filePath("connected.mode"));
    QVERIFY(offline.open(QIODevice::ReadOnly) && connected.open(QIODevice::ReadOnly));
    const QByteArray offlineBytes = offline.readAll();
    QCOMPARE(offlineBytes.size(), kModeFileSize);
    QCOMPARE(offlineBytes, connected.readAll());

    // A file that does not load changes nothing.
    CurrentLink().connected = false;
    QFile broken(dir.filePath("broken.mode"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("short");
    broken.close();
    dialogs_.openAnswer = broken.fileName();
    modes_->LoadModeFile();
    // The fixed notice, then the file and what is wrong with it.
    QCOMPARE(dialogs_.shown.value(0).text, QString("Mode file version not support!\nbroken.mode: not a mode file (5 bytes; a mode file is 3578 bytes)"));
    SetCurrentLanguage(kChinese);
    modes_->LoadModeFile();
    QCOMPARE(dialogs_.shown.value(1).text,
             QString::fromUtf8("Mode file version not support!\nbroken.mode：不是模式文件（5 字节，模式文件为 3578 字节）"));
    QCOMPARE(UiValue(1, 0x0E), 55);
    QCOMPARE(modes_->CurrentFile(), dir.filePath("connected.mode"));
  }

  // Closing with edits that neither a device nor a file holds asks first.
  void closingAsksForEditsOnlyTheWindowHolds() {
    CurrentLink().connected = false;
    CurrentLink().changedFlag = false;
    ClearUnsentEdits();
    QVERIFY(modes_->ConfirmClose());
    QVERIFY(dialogs_.shown.isEmpty());
    SetParameter(1, 0x0E, 40);
    QVERIFY(HasUnsentEdits());
    dialogs_.answer = QMessageBox::Cancel;
    QVERIFY(!modes_->ConfirmClose());
    QCOMPARE(dialogs_.shown.size(), 1);
  }

  // Loading a device mode asks only when something changed; the question names the mode
  // with no space before its number.
  void loadDeviceModeQuestion_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");  // empty: none asked
    QTest::addColumn<bool>("sent");
    QTest::newRow("unchanged") << int(kEnglish) << false << int(QMessageBox::No) << QString() << true;
    QTest::newRow("changed, yes") << int(kEnglish) << true << int(QMessageBox::Yes)
                                  << QString("Setting changed ! Are you sure load mode3?") << true;
    QTest::newRow("changed, no, Chinese") << int(kChinese) << true << int(QMessageBox::No)
                                          << QString::fromUtf8("参数已更改，确定要直接载入模式三?") << false;
  }
  void loadDeviceModeQuestion() {
    QFETCH(int, language);
    QFETCH(bool, changed);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(bool, sent);
    SetCurrentLanguage(language);
    CurrentLink().changedFlag = changed;
    dialogs_.answer = QMessageBox::StandardButton(answer);
    // The device's reload would end the synchronisation dialog; here a timer does.
    QTimer::singleShot(50, parts_.progress.get(), [this] { parts_.progress->CloseSyncDialog(); });
    modes_->LoadDeviceMode(2);
    if (question.isEmpty()) {
      QVERIFY(dialogs_.shown.isEmpty());
    } else {
      QCOMPARE(dialogs_.shown.size(), 1);
      QCOMPARE(dialogs_.shown[0].text, question);
      QCOMPARE(dialogs_.shown[0].icon, QMessageBox::Question);
    }
    const auto calls = transport_.Calls();
    QCOMPARE(calls.size(), std::size_t(sent ? 1 : 0));
    if (sent) {
      QCOMPARE(Hex(calls[0].bytes), QString("05 02"));
      QCOMPARE(CurrentLink().currentMode.load(), 2);
      QVERIFY(!CurrentLink().statusPollingAllowed);
    }
  }

  void saveDeviceModeAsksThenStoresAndTellsTheUser() {
    CurrentLink().changedFlag = true;
    dialogs_.answer = QMessageBox::No;
    modes_->SaveDeviceMode(1);
    QCOMPARE(dialogs_.shown.value(0).text, QString("Save to machine mode 2?"));
    QVERIFY(transport_.Calls().empty());

    SetCurrentLanguage(kChinese);
    dialogs_.answer = QMessageBox::Yes;
    modes_->SaveDeviceMode(9);  // clamped to M4
    QCOMPARE(dialogs_.shown.value(1).text, QString::fromUtf8("确定要保存至机器模式四?"));
    QCOMPARE(Hex(transport_.Calls().at(0).bytes), QString("04 03"));
    QVERIFY(!CurrentLink().changedFlag);
    QCOMPARE(CurrentLink().currentMode.load(), 3);
    QVERIFY(PopupText(*parts_.progress).isEmpty());  // the device is given half a second first
    QTRY_COMPARE_WITH_TIMEOUT(PopupText(*parts_.progress), QString::fromUtf8("正在储存模式四,请稍等"), 2000);
  }

  // Saving to a file also stores the settings in the device's current mode.
  void saveModeFileStoresTheCurrentModeToo() {
    QTemporaryDir dir;
    UpdateIdentity([](DeviceIdentity& id) { id.protocolCode = kSupportedProtocol; });  // as read from a device
    CurrentLink().currentMode = 1;
    SetParameter(4, 0x0C, 37);
    transport_.Clear();
    dialogs_.saveAnswer = dir.filePath("evening.mode");
    modes_->SaveModeFile();
    // Named for the device and its mode, not a placeholder.
    QCOMPARE(dialogs_.saveRequests.value(0).proposedName, QString("LW4.1 M2"));
    QCOMPARE(dialogs_.saveRequests.value(0).defaultSuffix, QString("mode"));
    QCOMPARE(Hex(transport_.Calls().at(0).bytes), QString("04 01"));
    ParameterImageBytes image{};
    QCOMPARE(ReadModeFileImage(dialogs_.saveAnswer.toStdString(), image), 1);
    QCOMPARE(image, ImageSnapshot());
    QCOMPARE(parts_.settings->RecentFiles(), QStringList{dialogs_.saveAnswer});

    // A file that cannot be written is reported and not listed.
    dialogs_.saveAnswer = dir.filePath("missing/folder/x.mode");
    modes_->SaveModeFile();
    QCOMPARE(dialogs_.shown.value(0).caption, QString("Can't write to file"));
    QCOMPARE(parts_.settings->RecentFiles().size(), 1);

    // Cancelled: nothing. The mode the file holds is proposed by its name now.
    transport_.Clear();
    dialogs_.saveAnswer.clear();
    modes_->SaveModeFile();
    QVERIFY(transport_.Calls().empty());
    QCOMPARE(dialogs_.saveRequests.value(2).proposedName, QString("evening"));
  }

  void recentFileChecks() {
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone.mode");
    const QString text = dir.filePath("notes.txt");
    const QString kept = dir.filePath("kept.MODE");
    for (const QString& path : {text, kept}) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("x");
    }
    for (const QString& path : {kept, text, missing}) parts_.settings->AddRecentFile(path);
    QSignalSpy changed(modes_.get(), &ModeCommands::recentFilesChanged);

    QVERIFY(!modes_->OpenRecentFile(missing));
    QCOMPARE(dialogs_.shown.value(0).caption, QString::fromUtf8("文件打开错误"));
    QCOMPARE(dialogs_.shown.value(0).text, QString::fromUtf8("文件不存在！"));
    QVERIFY(!modes_->OpenRecentFile(text));  // silently
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(parts_.settings->RecentFiles(), QStringList{kept});
    QCOMPARE(changed.count(), 2);

    // Without a link the file opens into the working settings only; one it cannot read
    // gets the version notice and stays listed.
    CurrentLink().connected = false;
    bool written = true;
    QVERIFY(modes_->OpenRecentFile(kept, &written));
    QVERIFY(!written);
    QCOMPARE(dialogs_.shown.size(), 2);
    QCOMPARE(dialogs_.shown.value(1).text,
             QString("Mode file version not support!\nkept.MODE: not a mode file (1 byte; a mode file is 3578 bytes)"));
    dialogs_.shown.clear();
    // With a link, a file the device cannot take is refused with the version notice.
    CurrentLink().connected = true;
    QVERIFY(modes_->OpenRecentFile(kept, &written));
    QVERIFY(!written);
    QCOMPARE(dialogs_.shown.last().caption, QString("Info"));
    QVERIFY(dialogs_.shown.last().text.startsWith("Mode file version not support!\nkept.MODE: not a mode file"));
    QCOMPARE(parts_.settings->RecentFiles(), QStringList{kept});
    QVERIFY(transport_.Calls().empty());
  }

  void closeQuestion_data() {
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("fileChosen");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("saved");
    QTest::newRow("nothing changed") << false << int(QMessageBox::Cancel) << true << true << false;
    QTest::newRow("cancel") << true << int(QMessageBox::Cancel) << true << false << false;
    QTest::newRow("no") << true << int(QMessageBox::No) << true << true << false;
    QTest::newRow("yes, file dialog cancelled") << true << int(QMessageBox::Yes) << false << true << false;
    QTest::newRow("yes, saved") << true << int(QMessageBox::Yes) << true << true << true;
  }
  void closeQuestion() {
    QFETCH(bool, changed);
    QFETCH(int, answer);
    QFETCH(bool, fileChosen);
    QFETCH(bool, closes);
    QFETCH(bool, saved);
    QTemporaryDir dir;
    CurrentLink().changedFlag = changed;
    CurrentLink().currentMode = 2;
    dialogs_.answer = QMessageBox::StandardButton(answer);
    dialogs_.saveAnswer = fileChosen ? dir.filePath("preset.mode") : QString();
    QCOMPARE(modes_->ConfirmClose(), closes);
    QCOMPARE(dialogs_.shown.size(), changed ? 1 : 0);
    if (changed) QCOMPARE(dialogs_.shown[0].caption, QString("Save?"));
    if (answer == QMessageBox::Yes) QCOMPARE(dialogs_.saveRequests.value(0).proposedName, QString("preset"));
    QCOMPARE(QFile::exists(dir.filePath("preset.mode")), saved);
    QCOMPARE(transport_.Calls().size(), std::size_t(saved ? 1 : 0));
    if (saved) QCOMPARE(Hex(transport_.Calls()[0].bytes), QString("04 02"));
    QVERIFY(parts_.settings->RecentFiles().isEmpty());
  }

  void machineReset() {
    parts_.settings->SetOptionRecord(QByteArray::fromHex("0000000100000000"));
    dialogs_.answer = QMessageBox::No;
    SetCurrentLanguage(kChinese);
    modes_->MachineReset();
    QCOMPARE(dialogs_.shown.value(0).caption, QString::fromUtf8("提示"));
    QCOMPARE(dialogs_.shown.value(0).text, QString::fromUtf8("您确定要将机器复位吗? \n机器复位后请手动重启机器."));
    QCOMPARE(dialogs_.shown.value(0).defaultButton, QMessageBox::No);  // Enter keeps the device as it is
    QVERIFY(transport_.Calls().empty());
    QCOMPARE(parts_.settings->OptionRecord(), QByteArray::fromHex("0000000100000000"));

    SetCurrentLanguage(kEnglish);
    dialogs_.answer = QMessageBox::Yes;
    modes_->MachineReset();
    QCOMPARE(dialogs_.shown.value(1).text, QString("Are you sure reset machine? "));
    QCOMPARE(Hex(transport_.Calls().at(0).bytes), QString("68 AA"));
    QCOMPARE(parts_.settings->OptionRecord(), QByteArray::fromHex("0101010000000000"));
    QCOMPARE(PopupText(*parts_.progress), QString("Please restart……"));
  }

  // Against the emulator: a mode file named for M2 is written to the device, stored in
  // its mode 2 and shown as the current mode; loading device mode M4 reloads the window
  // from that mode.
  void modeFileNamedForASlotEndsUpInThatSlot() {
    test::LoopbackEmulator emu;
    QVERIFY(emu.started);
    DeviceSimulator& sim = emu.sim;
    modes_.reset();
    ResetLinkState();
    MakeFrame();
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));

    // A file holding a music volume of 42, named for the second mode.
    QTemporaryDir dir;
    const QString path = dir.filePath("M2 party.mode");
    SetParameter(4, 0x0C, 42);
    QCOMPARE(SaveModeFile(path.toStdString()), 1);
    const ParameterImageBytes fileImage = ImageSnapshot();
    SetParameter(4, 0x0C, 10);
    QTRY_VERIFY_WITH_TIMEOUT(sim.WorkingImage() != fileImage, 3000);

    dialogs_.openAnswer = path;
    parts_.frame->Modes().LoadModeFile();  // runs until the write job has ended
    QCOMPARE(parts_.frame->Modes().PendingModeSlot(), -1);
    QTRY_COMPARE_WITH_TIMEOUT(sim.CurrentMode(), 1, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(sim.SlotImage(1) == fileImage, 3000);
    QCOMPARE(emu.CountLines("81 03 01"), 1);
    QCOMPARE(parts_.settings->RecentFiles().value(0), path);
    QTRY_COMPARE_WITH_TIMEOUT(parts_.frame->ModePane().text(), QString::fromUtf8("当前模式:M2"), 2000);

    // Device mode M4 still holds the factory settings; loading it reads them back.
    const ParameterImageBytes factory = sim.SlotImage(3);
    CurrentLink().changedFlag = false;
    parts_.frame->Modes().LoadDeviceMode(3);
    QCOMPARE(emu.CountLines("81 05 03"), 1);
    QCOMPARE(ImageSnapshot(), factory);
    QCOMPARE(CurrentLink().currentMode.load(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(CurrentLink().statusPollingAllowed, 2000);  // the read job resumes polling
    parts_.frame.reset();
    CloseNetworkLink(false);
  }

 private:
  void MakeFrame() { parts_.Make(); }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::RecordingTransport transport_;
  test::MainWindowParts parts_;
  std::unique_ptr<ModeCommands> modes_;
};

QTEST_MAIN(ModeCommandsTest)
#include "ModeCommandsTest.moc"
