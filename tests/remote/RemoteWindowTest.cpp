// The remote-control window and the learning window: what a learning run sends and
// shows, how it ends (by the device's answer, by Cancel, Esc or the close box), the
// status-poll switch around it, Apply, the ".remo" file commands through scripted file
// dialogs, the texts of both languages, and one real run against the emulator.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/CommandSet.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/OpenLink.h"
#include "link/SyncJobs.h"
#include "model/DebugLog.h"
#include "remote/RemoteWindow.h"
#include "remote/LearnKeyDialog.h"
#include "remote/RemoteKeys.h"
#include "remote/RemotePicture.h"
#include "ui/DialogService.h"
#include "ui/DialogTexts.h"
#include "ui/InfoPopup.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"
#include "ui/InterfaceLanguage.h"
#include "tests/link/RecordingTransport.h"
#include "tests/sim/LoopbackEmulator.h"

using namespace dsptune;

namespace {

QString Hex(const std::vector<std::uint8_t>& bytes) {
  QStringList parts;
  for (std::uint8_t b : bytes) parts << QString::asprintf("%02X", b);
  return parts.join(' ');
}

QStringList Sends(const test::RecordingTransport& transport) {
  QStringList sends;
  for (const test::TransportCall& call : transport.Calls()) sends << Hex(call.bytes);
  return sends;
}

// A table whose every byte differs from its neighbours', so a misplaced copy shows.
RemoteCodeTable Pattern(std::uint8_t seed) {
  RemoteCodeTable table{};
  for (int i = 0; i < kRemoteTableSize; ++i) table[std::size_t(i)] = std::uint8_t(seed + 3 * i);
  return table;
}

QString TableHex(const RemoteCodeTable& table) { return Hex({table.begin(), table.end()}); }

QByteArray Bytes(const RemoteCodeTable& table) {
  return QByteArray(reinterpret_cast<const char*>(table.data()), int(table.size()));
}

// The device's learning answer as the receive path delivers it (leading byte ignored).
void DeviceLearned(std::uint8_t address, std::uint8_t key, std::uint8_t code) {
  const std::uint8_t packet[] = {0x02, 0x60, address, key, code};
  DispatchPacket(packet);
}

// The device's answer to 0x62 with the first `count` bytes of `table`, as a network
// frame delivers it (exactly the bytes that came).
void DeviceSentTable(const RemoteCodeTable& table, int count) {
  std::vector<std::uint8_t> packet{0x81, 0x62};
  packet.insert(packet.end(), table.begin(), table.begin() + count);
  DispatchPacket(packet);
}

// What the learning window showed at one moment.
struct Seen {
  QString title, learning, instruction, prompt, code, status, cancel, close;
  bool cancelVisible = false, closeVisible = false;
  bool timerActive = false, timerSingleShot = false;
  int timerInterval = 0;
  bool polling = true;
  QStringList sends;
};

}  // namespace

class RemoteWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetDialogService(&dialogs_); }

  void init() {
    dialogs_ = ScriptedDialogs();
    SetCurrentLanguage(kEnglish);
    ResetLinkState();
    transport_.Clear();
    transport_.autoReply = true;
    LinkState& link = CurrentLink();
    link.transport = &transport_;
    link.kind = LinkKind::Usb;
    link.connected = true;
    link.replyTimeout = std::chrono::milliseconds(300);
    bridge_ = std::make_unique<QtNotificationBridge>();
    link.sink = bridge_.get();
    connect(bridge_.get(), &QtNotificationBridge::remoteKeyLearned, [](int code) { ForwardLearnedKey(code); });
    progress_ = std::make_unique<ProgressWindows>();
    {
      std::lock_guard lock(logMutex_);
      log_.clear();
    }
    previousLog_ = SetDebugLogSink([this](std::string_view line) {
      std::lock_guard lock(logMutex_);
      log_.emplace_back(line);
    });
  }

  void cleanup() {
    SetDebugLogSink(std::move(previousLog_));
    ShutdownSyncJobs();
    CloseNetworkLink(false);
    ResetLinkState();
    progress_.reset();
    bridge_.reset();
    QVERIFY(!LearnKeyDialog::Registered());
  }

  // The device answers: the code shows as two upper-case hex digits, Cancel gives way to
  // Close, and the window closes itself on its one-shot timer with no stop command. The
  // table takes the address byte and the code; polling is off only during the run.
  void learnedKeyIsShownAndTheWindowClosesItself_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("learning");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("status");
    const QString closingEn = "Window will be closed!", closingZh = QString::fromUtf8("窗口将自动关闭");
    QTest::newRow("key 7, English") << int(kEnglish) << 7 << 0x0A << "Learning key:Rgith" << "0A" << closingEn;
    QTest::newRow("key 1, English") << int(kEnglish) << 1 << 0xFF << "Learning key:Power" << "FF" << closingEn;
    QTest::newRow("key 11, Chinese") << int(kChinese) << 11 << 0xC3
                                     << QString::fromUtf8("您正在学习的键：返回/取消") << "C3" << closingZh;
    QTest::newRow("key 25, Chinese") << int(kChinese) << 25 << 0x00 << QString::fromUtf8("您正在学习的键：降调")
                                     << "00" << closingZh;
  }
  void learnedKeyIsShownAndTheWindowClosesItself() {
    QFETCH(int, language);
    QFETCH(int, key);
    QFETCH(int, code);
    QFETCH(QString, learning);
    QFETCH(QString, shown);
    QFETCH(QString, status);
    SetCurrentLanguage(language);
    const RemoteCodeTable before = Pattern(0x10);
    SetRemoteTable(before);
    RemoteWindow dialog(*progress_);
    Seen waiting, answered;
    int result = -1;
    RunLearning(dialog, key, [&](LearnKeyDialog& window) {
      connect(&window, &QDialog::finished, [&](int r) { result = r; });
      waiting = Look(window);
      DeviceLearned(0x05, std::uint8_t(key), std::uint8_t(code));
      answered = Look(window);
    });

    const QString learnSend = QString::asprintf("60 %02X", key);
    QCOMPARE(waiting.learning, learning);
    QVERIFY(waiting.cancelVisible && !waiting.closeVisible);
    QVERIFY(waiting.code.isEmpty() && waiting.status.isEmpty());
    QVERIFY(!waiting.timerActive);
    QVERIFY(!waiting.polling);
    QCOMPARE(waiting.sends, QStringList{learnSend});

    QCOMPARE(answered.code, shown);
    QCOMPARE(answered.status, status);
    QVERIFY(!answered.cancelVisible && answered.closeVisible);
    QVERIFY(answered.timerActive && answered.timerSingleShot);
    QCOMPARE(answered.timerInterval, LearnKeyDialog::kAutoCloseMs);
    QVERIFY(LearnKeyDialog::kAutoCloseMs >= 2000);  // long enough to read the code
    // The window says what to do, and then what was done, in the language shown.
    const bool english = language == kEnglish;
    QCOMPARE(waiting.instruction.startsWith(english ? "Point your remote at the device" : QString::fromUtf8("请把遥控器对准")),
             true);
    QCOMPARE(answered.instruction.startsWith(english ? "The key's code was learned" : QString::fromUtf8("已学到此键的键码")),
             true);

    QCOMPARE(result, int(QDialog::Accepted));  // closed by its own timer
    QCOMPARE(Sends(transport_), QStringList{learnSend});
    QVERIFY(CurrentLink().pollingNotSuspended);
    RemoteCodeTable expected = before;
    expected[0] = 0x05;
    expected[std::size_t(key)] = std::uint8_t(code);
    QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(expected));
  }

  // Cancel, Esc and the close box all release the reply wait, send the single byte 0x61
  // and close. The device never answered the learn request, so without the release the
  // stop command would have waited out the reply time-out (and logged it).
  void cancellingStopsLearning_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("close box") << 2;
  }
  void cancellingStopsLearning() {
    QFETCH(int, how);
    transport_.autoReply = false;  // a device waiting for a key press answers nothing
    const RemoteCodeTable before = Pattern(0x21);
    SetRemoteTable(before);
    RemoteWindow dialog(*progress_);
    bool pollingWhileWaiting = true;
    int result = -1;
    RunLearning(dialog, 4, [&](LearnKeyDialog& window) {
      connect(&window, &QDialog::finished, [&](int r) { result = r; });
      pollingWhileWaiting = CurrentLink().pollingNotSuspended;
      if (how == 0) window.CancelButton().click();
      else if (how == 1) QTest::keyClick(&window, Qt::Key_Escape);
      else window.close();
    });
    QVERIFY(!pollingWhileWaiting);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(Sends(transport_), (QStringList{"60 04", "61"}));
    QCOMPARE(LogCount(test::kUsbWaitTimeoutLine), 0);
    QVERIFY(CurrentLink().pollingNotSuspended);
    QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(before));
  }

  // Every learning answer updates the table, also one that comes with no learning
  // window open; the address byte is always the latest one.
  void tableFollowsEveryAnswer() {
    SetRemoteTable(Pattern(0x30));
    RemoteWindow dialog(*progress_);
    RunLearning(dialog, 12, [](LearnKeyDialog&) { DeviceLearned(0x11, 12, 0x5A); });
    RunLearning(dialog, 13, [](LearnKeyDialog&) { DeviceLearned(0x22, 13, 0x5B); });
    DeviceLearned(0x33, 14, 0x5C);  // no window: stored, nothing shown
    QVERIFY(!LearnKeyDialog::Registered());
    const RemoteCodeTable table = RemoteTableSnapshot();
    QCOMPARE(int(table[0]), 0x33);
    QCOMPARE(int(table[12]), 0x5A);
    QCOMPARE(int(table[13]), 0x5B);
    QCOMPARE(int(table[14]), 0x5C);
    QCOMPARE(int(table[15]), int(Pattern(0x30)[15]));
    QCOMPARE(Sends(transport_), (QStringList{"60 0C", "60 0D"}));
    // Numbers outside 1..25 start nothing.
    transport_.Clear();
    dialog.LearnKey(0);
    dialog.LearnKey(26);
    QVERIFY(transport_.Calls().empty());
  }

  // A new device replaces the modeless windows, and may do so while a learning run is
  // up: the run ends without touching the destroyed windows, the registration is gone,
  // polling is back on, and a late answer only updates the table.
  void remoteWindowDestroyedWhileLearning() {
    auto* dialog = new RemoteWindow(*progress_);
    QPointer<LearnKeyDialog> window;
    RunLearning(*dialog, 9, [&](LearnKeyDialog& learning) {
      window = &learning;
      delete dialog;
    });
    QVERIFY(!window);
    QVERIFY(CurrentLink().pollingNotSuspended);
    DeviceLearned(0x01, 9, 0x77);
    QCOMPARE(int(RemoteTableSnapshot()[9]), 0x77);
    QCOMPARE(Sends(transport_), QStringList{"60 09"});
  }

  // The key buttons learn their own key number.
  void keyButtonsLearnTheirKey() {
    RemoteWindow dialog(*progress_);
    QList<int> learned;
    for (int key : {1, 8, 19, 25}) {
      QTimer::singleShot(0, &dialog, [&learned] {
        if (LearnKeyDialog* window = LearnKeyDialog::Registered()) {
          learned << window->Key();
          window->done(QDialog::Accepted);
        }
      });
      dialog.KeyButton(key).click();
    }
    QCOMPARE(learned, (QList<int>{1, 8, 19, 25}));
    QCOMPARE(Sends(transport_), (QStringList{"60 01", "60 08", "60 13", "60 19"}));
    QCOMPARE(dialog.KeyButton(3).cursor().shape(), Qt::PointingHandCursor);
  }

  // Apply writes the whole table and says so for 1100 ms.
  void applyWritesTheTable_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("notice");
    QTest::newRow("English") << int(kEnglish) << "Save successed !";
    QTest::newRow("Chinese") << int(kChinese) << QString::fromUtf8("遥控器键码保存成功!");
  }
  void applyWritesTheTable() {
    QFETCH(int, language);
    QFETCH(QString, notice);
    SetCurrentLanguage(language);
    const RemoteCodeTable table = Pattern(0x41);
    SetRemoteTable(table);
    RemoteWindow dialog(*progress_);
    dialog.ApplyButton().click();
    QCOMPARE(Sends(transport_), QStringList{"63 " + TableHex(table)});
    QCOMPARE(transport_.Calls()[0].bytes.size(), std::size_t(31));
    CheckNotice(notice);
  }

  // Load file: the file into the table and at once to the device; a short file changes
  // only its own bytes; a missing one gets the file error box; a cancelled dialog shows
  // nothing. The notices are the same in both languages.
  void loadFile_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("fileSize");  // -1: no file, -2: dialog cancelled
    QTest::addColumn<QString>("notice");
    const QString loaded = QString::fromUtf8("载入遥控文件成功"), failed = QString::fromUtf8("载入遥控文件失败");
    QTest::newRow("30 bytes") << int(kEnglish) << 30 << loaded;
    QTest::newRow("10 bytes, Chinese") << int(kChinese) << 10 << loaded;
    QTest::newRow("missing file") << int(kEnglish) << -1 << failed;
    QTest::newRow("cancelled") << int(kEnglish) << -2 << QString();
  }
  void loadFile() {
    QFETCH(int, language);
    QFETCH(int, fileSize);
    QFETCH(QString, notice);
    SetCurrentLanguage(language);
    const RemoteCodeTable before = Pattern(0x01), file = Pattern(0x80);
    SetRemoteTable(before);
    QTemporaryDir dir;
    const QString path = dir.filePath("keys.remo");
    if (fileSize >= 0) {
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write(Bytes(file).left(fileSize));
    }
    dialogs_.openAnswer = fileSize == -2 ? QString() : path;
    RemoteWindow dialog(*progress_);
    dialog.LoadButton().click();

    RemoteCodeTable expected = before;
    if (fileSize > 0) std::copy_n(file.begin(), fileSize, expected.begin());
    QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(expected));
    if (fileSize >= 0) {
      QCOMPARE(Sends(transport_), QStringList{"63 " + TableHex(expected)});
      QVERIFY(dialogs_.shown.isEmpty());
    } else {
      QVERIFY(transport_.Calls().empty());
    }
    if (fileSize == -1) {
      QCOMPARE(dialogs_.shown.size(), 1);
      // A failed read is not called a write failure.
      QCOMPARE(dialogs_.shown[0].caption, PickText("无法读取文件", "Can't read file"));
      // The wording is the file layer's (it names the system's reason); the box shows it.
      QVERIFY2(dialogs_.shown[0].text.contains("\n" + path + "\n"), qPrintable(dialogs_.shown[0].text));
      QCOMPARE(dialogs_.shown[0].icon, QMessageBox::Warning);
    }
    if (fileSize == -2) QVERIFY(dialogs_.shown.isEmpty());
    CheckNotice(notice);
  }

  // Save file: the table as exactly 30 bytes under a ".remo" name whatever was typed,
  // nothing sent; a file that cannot be created gets the error box.
  void saveFile_data() {
    QTest::addColumn<QString>("typed");  // relative to a fresh folder; empty: cancelled
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("notice");
    const QString saved = QString::fromUtf8("保存遥控文件成功"), failed = QString::fromUtf8("保存遥控文件失败");
    QTest::newRow("remo") << "keys.remo" << "keys.remo" << saved;
    QTest::newRow("other extension") << "keys.txt" << "keys.remo" << saved;
    QTest::newRow("no such folder") << "missing/keys.remo" << QString() << failed;
    QTest::newRow("cancelled") << QString() << QString() << QString();
  }
  void saveFile() {
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, notice);
    const RemoteCodeTable table = Pattern(0x55);
    SetRemoteTable(table);
    QTemporaryDir dir;
    dialogs_.saveAnswer = typed.isEmpty() ? QString() : dir.filePath(typed);
    RemoteWindow dialog(*progress_);
    dialog.SaveButton().click();

    QCOMPARE(dialogs_.saveRequests.size(), 1);
    QCOMPARE(dialogs_.saveRequests[0].defaultSuffix, QString("remo"));
    QCOMPARE(dialogs_.saveRequests[0].filter, QString("Remote Data File(*.remo)"));
    QVERIFY(transport_.Calls().empty());
    if (!written.isEmpty()) {
      QFile in(dir.filePath(written));
      QVERIFY(in.open(QIODevice::ReadOnly));
      QCOMPARE(in.readAll(), Bytes(table));
      QVERIFY(dialogs_.shown.isEmpty());
    }
    if (typed.startsWith("missing")) {
      QCOMPARE(dialogs_.shown.size(), 1);
      QCOMPARE(dialogs_.shown[0].caption, QString("Can't write to file"));
      QVERIFY2(dialogs_.shown[0].text.startsWith("Errcode="), qPrintable(dialogs_.shown[0].text));
    }
    if (typed.isEmpty()) QVERIFY(dialogs_.shown.isEmpty());
    CheckNotice(notice);
  }

  // Without a link (it may drop while the window is open) the file commands and Apply
  // only ask for a connection: no file dialog, and no "saved" for codes sent nowhere.
  void fileCommandsNeedALink() {
    CurrentLink().connected = false;
    QTemporaryDir dir;
    const QString path = dir.filePath("never.remo");
    dialogs_.openAnswer = dialogs_.saveAnswer = path;
    for (int command = 0; command < 3; ++command) {
      progress_ = std::make_unique<ProgressWindows>();
      RemoteWindow dialog(*progress_);
      (command == 0 ? dialog.LoadButton() : command == 1 ? dialog.SaveButton() : dialog.ApplyButton()).click();
      CheckNotice(QString::fromUtf8("请先连接机器再进行此操作!"));
    }
    QVERIFY(dialogs_.saveRequests.isEmpty());
    QVERIFY(dialogs_.shown.isEmpty());
    QVERIFY(transport_.Calls().empty());
    QVERIFY(!QFile::exists(path));
  }

  // Texts of both windows in both languages; a language change announced to the open
  // remote window switches it, picture included. The control numbers carry the
  // language-table keys.
  void textsInBothLanguages_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("remote");  // title, key 1, key 7, key 11, key 24, load, save, apply
    QTest::addColumn<QStringList>("study");   // title, prompt, cancel, close
    QTest::newRow("English") << int(kEnglish)
                             << QStringList{"Learn remoter control ", "Power", "Right", "Esc", "Org Tone",
                                            "Load file", "Save file", "Apply"}
                             << QStringList{"Learning", "Key code:", "Cancel", "Close"};
    QTest::newRow("Chinese") << int(kChinese)
                             << QString::fromUtf8("遥控学习,电源开关,向右选择,取消/返回,原调,载入参数,保存参数,应用参数")
                                    .split(',')
                             << QString::fromUtf8("学习中……,请您按下遥控器上的对应的按键,放弃学习,关闭").split(',');
  }
  void textsInBothLanguages() {
    QFETCH(int, language);
    QFETCH(QStringList, remote);
    QFETCH(QStringList, study);
    SetCurrentLanguage(1 - language);
    RemoteWindow dialog(*progress_);
    dialog.resize(900, 600);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    SetCurrentLanguage(language);
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&dialog, &change);
    const QStringList shown{dialog.windowTitle(),         dialog.KeyButton(1).text(),  dialog.KeyButton(7).text(),
                            dialog.KeyButton(11).text(),  dialog.KeyButton(24).text(), dialog.LoadButton().text(),
                            dialog.SaveButton().text(),   dialog.ApplyButton().text()};
    QCOMPARE(shown, remote);
    QTRY_COMPARE(dialog.Picture().PaintedLanguage(), language);

    LearnKeyDialog window(3);
    QCOMPARE((QStringList{window.windowTitle(), window.Prompt().text(), window.CancelButton().text(),
                          window.CloseButton().text()}),
             study);

    for (int key = 1; key <= kRemoteKeyCount; ++key) QCOMPARE(ControlId(&dialog.KeyButton(key)), 1598 + key);
    QCOMPARE(ControlId(&dialog.ApplyButton()), 1);
    QCOMPARE(ControlId(&dialog.LoadButton()), 3);
    QCOMPARE(ControlId(&dialog.SaveButton()), 4);
    QCOMPARE(ControlId(&window.CloseButton()), 1);
    QCOMPARE(ControlId(&window.CancelButton()), 3);
    QCOMPARE(ControlId(&window.Prompt()), 1007);
  }

  // A real round against the emulator over loopback: the learn request goes out, the
  // simulated key press comes back through the receive thread and the notification
  // bridge, the window closes itself and Apply puts the learned code into the device.
  // A cancelled run ends the device's pending learn.
  void learnsAgainstTheEmulator() {
    DeviceOptions options;
    options.learnDelay = std::chrono::milliseconds(100);
    test::LoopbackEmulator emu(options);
    QVERIFY(emu.started);
    SetNetworkPeer("127.0.0.1", emu.net.Port());
    CurrentLink().transport = nullptr;
    QCOMPARE(OpenNetworkLink(bridge_.get()), 1);

    RemoteWindow dialog(*progress_);
    QString shown;
    int result = -1;
    RunLearning(dialog, 7, [&](LearnKeyDialog& window) {
      // The answer arrives on its own; the window is still whole when it finishes.
      connect(&window, &QDialog::finished, [&](int r) {
        result = r;
        shown = window.CodeBox().text();
      });
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(shown, QString::asprintf("%02X", DeviceSimulator::LearnedCode(7)));
    RemoteCodeTable table = RemoteTableSnapshot();
    QCOMPARE(int(table[0]), int(kSimLearnAddress));
    QCOMPARE(int(table[7]), int(DeviceSimulator::LearnedCode(7)));
    QCOMPARE(emu.CountLines("81 60 07"), 1);
    QVERIFY(CurrentLink().pollingNotSuspended);

    dialog.ApplyButton().click();
    auto deviceTable = [&emu] {
      const DeviceSimulator::RemoteTable codes = emu.sim.RemoteCodes();
      return Hex({codes.begin(), codes.end()});
    };
    QTRY_COMPARE(deviceTable(), TableHex(table));

    CloseNetworkLink(false);

    // A device whose user never presses the key: only Cancel ends the run.
    options.learnDelay = std::chrono::hours(1);
    test::LoopbackEmulator patient(options);
    QVERIFY(patient.started);
    SetNetworkPeer("127.0.0.1", patient.net.Port());
    QCOMPARE(OpenNetworkLink(bridge_.get()), 1);
    RunLearning(dialog, 3, [&patient](LearnKeyDialog& window) {
      QTRY_VERIFY(patient.sim.LearnPending());
      window.CancelButton().click();
    });
    QTRY_COMPARE(patient.CountLines("81 61"), 1);
    QVERIFY(!patient.sim.LearnPending());
    QCOMPARE(patient.CountLines("81 60 03"), 1);
    QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(table));
    CloseNetworkLink(false);
  }

  // Apply asks before it would send codes this device never gave: after a read that
  // carried only part of the table, or none at all. The question names the unknown keys
  // as runs in the interface language; No sends nothing, Yes sends and the table then
  // counts as the device's, so the next Apply asks nothing.
  void applyAsksBeforeUnknownKeys_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("bytesRead");  // of the device's 0x62 answer, on the network
    QTest::addColumn<QList<int>>("learned");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");  // empty: none asked
    const QString sixteen = "keys 16–25 were not read from this device and will be replaced";
    QTest::newRow("16 bytes read, yes") << int(kEnglish) << 16 << QList<int>{} << true << sixteen;
    QTest::newRow("16 bytes read, no") << int(kEnglish) << 16 << QList<int>{} << false << sixteen;
    QTest::newRow("16 bytes read, Chinese")
        << int(kChinese) << 16 << QList<int>{} << true
        << QString::fromUtf8("按键16–25的键码未从本机读取，将被替换，是否继续？");
    QTest::newRow("key 18 learned") << int(kEnglish) << 16 << QList<int>{18} << true
                                    << "keys 16–17, 19–25 were not read from this device and will be replaced";
    QTest::newRow("one key left, Chinese")
        << int(kChinese) << 16 << QList<int>{16, 17, 18, 19, 20, 21, 22, 23, 25} << true
        << QString::fromUtf8("按键24的键码未从本机读取，将被替换，是否继续？");
    QTest::newRow("one key left") << int(kEnglish) << 20 << QList<int>{20, 21, 22, 23, 24} << true
                                  << "key 25 was not read from this device and will be replaced";
    QTest::newRow("nothing read") << int(kEnglish) << 0 << QList<int>{} << false
                                  << "keys 1–25 were not read from this device and will be replaced";
    QTest::newRow("whole table read") << int(kEnglish) << 30 << QList<int>{} << true << QString();
  }
  void applyAsksBeforeUnknownKeys() {
    QFETCH(int, language);
    QFETCH(int, bytesRead);
    QFETCH(QList<int>, learned);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    SetCurrentLanguage(language);
    CurrentLink().kind = LinkKind::Network;
    SetRemoteTable(Pattern(0x90));  // codes of a device connected earlier
    ForgetRemoteTable();            // this device's link opened
    const RemoteCodeTable device = Pattern(0x07);
    if (bytesRead > 0) DeviceSentTable(device, bytesRead);
    for (int key : learned) DeviceLearned(0x05, std::uint8_t(key), std::uint8_t(0xC0 + key));
    RemoteCodeTable expected{};
    std::copy_n(device.begin(), bytesRead, expected.begin());
    if (!learned.isEmpty()) expected[0] = 0x05;
    for (int key : learned) expected[std::size_t(key)] = std::uint8_t(0xC0 + key);
    QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(expected));

    dialogs_.answer = yes ? QMessageBox::Yes : QMessageBox::No;
    RemoteWindow dialog(*progress_);
    dialog.ApplyButton().click();
    if (question.isEmpty()) {
      QVERIFY(dialogs_.shown.isEmpty());
    } else {
      QCOMPARE(dialogs_.shown.size(), 1);
      QCOMPARE(dialogs_.shown[0].caption, PickText("提示", "Notice"));
      QCOMPARE(dialogs_.shown[0].text, question);
      QCOMPARE(dialogs_.shown[0].icon, QMessageBox::Question);
    }
    if (!yes) {
      QVERIFY(transport_.Calls().empty());
      CheckNotice(QString());
      return;
    }
    QCOMPARE(Sends(transport_), QStringList{"81 63 " + TableHex(expected)});  // network: destination first
    CheckNotice(PickText("遥控器键码保存成功!", "Save successed !"));
    dialog.ApplyButton().click();
    QCOMPARE(dialogs_.shown.size(), question.isEmpty() ? 0 : 1);
    QCOMPARE(transport_.Calls().size(), std::size_t(2));
  }

  // A file too short to hold every key leaves the keys past its end as the table holds
  // them: the load asks only when some of those are unknown, and No loads nothing.
  void shortFileAsksBeforeUnknownKeys_data() {
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::newRow("10 bytes") << 10 << true << "keys 16–25 were not read from this device and will be replaced";
    QTest::newRow("10 bytes, no") << 10 << false << "keys 16–25 were not read from this device and will be replaced";
    QTest::newRow("20 bytes") << 20 << true << "keys 20–25 were not read from this device and will be replaced";
    QTest::newRow("26 bytes: every key") << 26 << true << QString();
    QTest::newRow("30 bytes") << 30 << true << QString();
  }
  void shortFileAsksBeforeUnknownKeys() {
    QFETCH(int, fileSize);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    ForgetRemoteTable();
    const RemoteCodeTable device = Pattern(0x07), file = Pattern(0x80);
    DeviceSentTable(device, 16);
    QTemporaryDir dir;
    const QString path = dir.filePath("keys.remo");
    {
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write(Bytes(file).left(fileSize));
    }
    dialogs_.openAnswer = path;
    dialogs_.answer = yes ? QMessageBox::Yes : QMessageBox::No;
    RemoteWindow dialog(*progress_);
    dialog.LoadButton().click();

    QCOMPARE(dialogs_.shown.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) QCOMPARE(dialogs_.shown[0].text, question);
    RemoteCodeTable expected{};
    std::copy_n(device.begin(), 16, expected.begin());
    if (!yes) {
      QVERIFY(transport_.Calls().empty());
      QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(expected));
      CheckNotice(QString());
      return;
    }
    std::copy_n(file.begin(), fileSize, expected.begin());
    QCOMPARE(Sends(transport_), QStringList{"63 " + TableHex(expected)});
    CheckNotice(QString::fromUtf8("载入遥控文件成功"));
    QVERIFY(UnknownRemoteKeys().empty());
  }

  // The fault this guards against, end to end on the emulator, whose 0x62 answer carries
  // 16 bytes: codes of a device connected earlier do not survive the new link, the read
  // job takes the device's 16 bytes, and Apply after learning one key asks before it would
  // replace the device's keys 16–25; answered No, the device keeps its table.
  void readAndApplyAgainstTheEmulator() {
    test::LoopbackEmulator emu;
    QVERIFY(emu.started);
    RemoteCodeTable deviceTable = Pattern(0x03);
    std::vector<std::uint8_t> set{kCmdSetRemoteTable};
    set.insert(set.end(), deviceTable.begin(), deviceTable.end());
    emu.sim.HandlePacket(set);
    SetRemoteTable(Pattern(0xA0));  // what an earlier device left in the table
    SetNetworkPeer("127.0.0.1", emu.net.Port());
    CurrentLink().transport = nullptr;
    QCOMPARE(OpenLink(bridge_.get(), LinkKind::Network), 1);
    QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(RemoteCodeTable{}));

    StartReadJob();
    QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(20)));
    QCOMPARE(int(LastSyncResult().outcome), int(SyncOutcome::Done));
    RemoteCodeTable expected{};
    std::copy_n(deviceTable.begin(), 16, expected.begin());
    QCOMPARE(TableHex(RemoteTableSnapshot()), TableHex(expected));
    QCOMPARE(UnknownRemoteKeys(), (std::vector<int>{16, 17, 18, 19, 20, 21, 22, 23, 24, 25}));

    DeviceLearned(kSimLearnAddress, 3, 0x3C);
    dialogs_.answer = QMessageBox::No;
    RemoteWindow dialog(*progress_);
    dialog.ApplyButton().click();
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, QString("keys 16–25 were not read from this device and will be replaced"));
    QCOMPARE(emu.CountLines("81 63"), 0);
    const DeviceSimulator::RemoteTable kept = emu.sim.RemoteCodes();
    QCOMPARE(Hex({kept.begin(), kept.end()}), TableHex(deviceTable));
  }

  // Pictures for looking at, written to DSPTUNE_SHOT_DIR when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    for (int language : {kChinese, kEnglish}) {
      SetCurrentLanguage(language);
      const QString tag = language == kEnglish ? "en" : "zh";
      RemoteWindow dialog(*progress_);
      dialog.Open();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      QVERIFY(dialog.grab().save(QDir(dir).filePath("remote-" + tag + ".png")));
      for (bool answered : {false, true}) {
        bool saved = false;
        RunLearning(dialog, 7, [&](LearnKeyDialog& window) {
          if (answered) ForwardLearnedKey(0x0A);
          if (!QTest::qWaitForWindowExposed(&window)) return;
          saved = window.grab().save(
              QDir(dir).filePath(QString("learning-%1-%2.png").arg(tag, answered ? "code" : "waiting")));
          window.done(QDialog::Accepted);
        });
        QVERIFY(saved);
      }
    }
  }

 private:
  // Runs LearnKey(key) and calls `inside` once, from the learning window's modal loop.
  // A watchdog ends a run that would otherwise wait for ever.
  void RunLearning(RemoteWindow& dialog, int key, const std::function<void(LearnKeyDialog&)>& inside) {
    bool ran = false, watchdogFired = false;
    QTimer::singleShot(0, &dialog, [&] {
      if (LearnKeyDialog* window = LearnKeyDialog::Registered()) {
        ran = true;
        inside(*window);
      }
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [&] {
      watchdogFired = true;
      if (LearnKeyDialog* window = LearnKeyDialog::Registered()) window->done(QDialog::Rejected);
    });
    watchdog.start(10000);
    dialog.LearnKey(key);
    QVERIFY(ran);
    QVERIFY(!watchdogFired);
    QVERIFY(!LearnKeyDialog::Registered());
  }

  Seen Look(LearnKeyDialog& window) const {
    Seen seen;
    seen.title = window.windowTitle();
    seen.learning = window.LearningText().text();
    seen.prompt = window.Prompt().text();
    seen.instruction = window.Instruction().text();
    seen.code = window.CodeBox().text();
    seen.status = window.StatusLine().text();
    seen.cancelVisible = window.CancelButton().isVisible();
    seen.closeVisible = window.CloseButton().isVisible();
    seen.timerActive = window.CloseTimer().isActive();
    seen.timerSingleShot = window.CloseTimer().isSingleShot();
    seen.timerInterval = window.CloseTimer().interval();
    seen.polling = CurrentLink().pollingNotSuspended;
    seen.sends = Sends(transport_);
    return seen;
  }

  // The information popup shows `text` for 1100 ms; an empty text means none is up.
  void CheckNotice(const QString& text) {
    QPointer<InfoPopup> popup = progress_->CurrentPopup();
    if (text.isEmpty()) {
      QVERIFY(!popup);
      return;
    }
    QVERIFY(popup);
    QCOMPARE(popup->Text(), text);
    QCOMPARE(popup->Duration(), RemoteWindow::kNoticeMs);
    QVERIFY(popup->RemainingTime() >= 0);  // still counting down
  }

  int LogCount(std::string_view line) {
    std::lock_guard lock(logMutex_);
    int n = 0;
    for (const std::string& l : log_) n += l == line;
    return n;
  }

  ScriptedDialogs dialogs_;
  test::RecordingTransport transport_;
  std::unique_ptr<QtNotificationBridge> bridge_;
  std::unique_ptr<ProgressWindows> progress_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
  DebugLogSink previousLog_;
};

QTEST_MAIN(RemoteWindowTest)
#include "RemoteWindowTest.moc"
