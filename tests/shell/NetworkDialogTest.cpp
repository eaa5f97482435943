// The network connection dialog: its fields from the settings store, a failed and a
// successful attempt, and, through the main window against the emulator, the real
// connection with a USB link closed first.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "link/UsbLink.h"
#include "model/ParameterImage.h"
#include "ui/AppSettings.h"
#include "shell/NetworkDialog.h"
#include "shell/MainWindow.h"
#include "ui/DialogService.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"
#include "ui/InterfaceLanguage.h"
#include "tests/link/FakeHidBus.h"
#include "tests/link/RecordingTransport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"
#include "ui/Ipv4Field.h"

using namespace dsptune;

class NetworkDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }
  void init() {
    test::ClearSettingsStore();
    SetCurrentLanguage(kEnglish);
    parts_.settings = std::make_unique<AppSettings>();
  }
  void cleanup() {
    parts_.TearDown();
    SetHidAccess(nullptr);
  }

  void firstUseShowsTheDefaultAddressAndPort() {
    NetworkDialog dialog(*parts_.settings, nullptr);
    QCOMPARE(dialog.AddressField().Text(), QString::fromLatin1(kDefaultDeviceAddress));
    QCOMPARE(dialog.PortField().text(), QString("30303"));
    // The port a failed attempt asks the user to check is there to be seen and changed.
    QVERIFY(!dialog.PortField().isHidden());
    QVERIFY(!dialog.PortLabel().isHidden());
    QCOMPARE(dialog.PortLabel().text(), QString("Port:"));
    QVERIFY(dialog.StatusText().text().isEmpty());
    QCOMPARE(dialog.windowTitle(), QString("Connect IP"));
    QCOMPARE(dialog.ConnectButton().text(), QString("Connect"));
    SetCurrentLanguage(kChinese);
    dialog.ApplyTexts();
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("网络连接"));
    QCOMPARE(dialog.ConnectButton().text(), QString::fromUtf8("尝试连接"));
    QCOMPARE(dialog.PortLabel().text(), QString::fromUtf8("通信端口："));
  }

  void storedAddressAndPort_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("address") << "10.0.0.7" << "10.0.0.7";
    QTest::newRow("not an address") << "10.0.0" << "255.255.255.255";
    QTest::newRow("octet too large") << "10.0.0.256" << "255.255.255.255";
    QTest::newRow("host name") << "device.local" << "255.255.255.255";
  }
  void storedAddressAndPort() {
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    parts_.settings->SetNetworkPeer(stored, 4001);
    NetworkDialog dialog(*parts_.settings, nullptr);
    QCOMPARE(dialog.AddressField().Text(), shown);
    QCOMPARE(dialog.PortField().text(), QString("4001"));
  }

  // A failed attempt shows the error number and its reason in the language of the moment and keeps the
  // dialog and the settings as they were; a successful one stores the peer, hides the
  // dialog and hands over to the device-connected sequence.
  void attemptOutcomes() {
    QList<QPair<QString, int>> attempts;
    int answer = 111;
    NetworkDialog dialog(*parts_.settings, [&](const QString& address, int port) {
      attempts.append({address, port});
      return answer;
    });
    QSignalSpy connected(&dialog, &NetworkDialog::connected);
    dialog.Open();
    // Octets typed with leading zeros are sent without them.
    for (int i = 0; i < 4; ++i) dialog.AddressField().OctetBox(i).setText(QStringList{"010", "0", "00", "7"}[i]);
    dialog.ConnectButton().click();
    QCOMPARE(attempts.value(0), qMakePair(QString("10.0.0.7"), 30303));
    QCOMPARE(dialog.StatusText().text(),
             QString("Connect failed. Error 111 (connection refused: nothing listens at that address)"));
    QVERIFY(dialog.isVisible());
    QVERIFY(parts_.settings->IpAddress().isEmpty());
    SetCurrentLanguage(kChinese);
    answer = 0;
    dialog.ConnectButton().click();
    QCOMPARE(dialog.StatusText().text(), QString::fromUtf8("错误0，请确认IP地址和端口号正确!\n（无法创建网络连接）"));
    QCOMPARE(connected.count(), 0);

    // A port that is no port is refused before any attempt.
    dialog.PortField().setText("");
    dialog.ConnectButton().click();
    QCOMPARE(attempts.size(), 2);
    QCOMPARE(dialog.StatusText().text(), QString::fromUtf8("端口号无效：请输入1到65535之间的数字"));

    // The port typed is the port tried and, once connected, the port kept.
    dialog.PortField().setText("4002");
    answer = 1;
    dialog.ConnectButton().click();
    QCOMPARE(attempts.value(2), qMakePair(QString("10.0.0.7"), 4002));
    QCOMPARE(connected.count(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(parts_.settings->IpAddress(), QString("10.0.0.7"));
    QCOMPARE(parts_.settings->IpPort(), 4002);
    NetworkDialog next(*parts_.settings, nullptr);
    QCOMPARE(next.AddressField().Text(), QString("10.0.0.7"));
    QCOMPARE(next.PortField().text(), QString("4002"));
  }

  // Through the main window against the emulator: an open USB link is closed without the
  // disconnect command, the network link opens, the peer is stored, and the read job
  // runs as after any connection.
  void connectsThroughTheMainWindowClosingUsbFirst() {
    test::LoopbackEmulator emu;
    QVERIFY(emu.started);
    // The stored port is not the emulator's: the one typed into the dialog is used.
    parts_.settings->SetNetworkPeer("127.0.0.1", 30303);
    test::FakeHidBus bus;
    const std::string usbPath = PlugIn(bus);
    MakeFrame();
    test::RecordingSink sink;
    QCOMPARE(OpenUsbLink(&sink), 1);
    QVERIFY(bus.IsOpen(usbPath));

    parts_.frame->ShowNetworkDialog();
    NetworkDialog* dialog = parts_.frame->NetworkDialogInstance();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->AddressField().Text(), QString("127.0.0.1"));
    QCOMPARE(dialog->PortField().text(), QString("30303"));
    dialog->PortField().setText(QString::number(emu.net.Port()));
    dialog->ConnectButton().click();  // returns once the read job has ended
    QVERIFY(!bus.IsOpen(usbPath));
    for (const test::Report& report : bus.Written(usbPath)) QVERIFY(report.size() < 2 || report[1] != 0x8A);
    QVERIFY(CurrentLink().connected);
    QCOMPARE(CurrentLink().kind.load(), LinkKind::Network);
    QVERIFY(!dialog->isVisible());
    QVERIFY(emu.CountLines("81 30") > 0);  // the image was read
    QCOMPARE(parts_.settings->IpAddress(), QString("127.0.0.1"));
    QCOMPARE(parts_.settings->IpPort(), int(emu.net.Port()));
    QCOMPARE(parts_.frame->NetworkDialogInstance(), dialog);  // made once
  }

  // A failed attempt to connect elsewhere costs nothing: the working link (network or
  // USB) stays open and keeps working, and a lost one is brought back from its own peer.
  // Only a connection that opens takes its place.
  void failedAttemptElsewhereKeepsTheWorkingLink_data() {
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QString>("elsewhere");
    QTest::newRow("network, closed port") << false << "127.0.0.1";
    QTest::newRow("network, another address") << false << "127.0.0.7";
    QTest::newRow("usb, another address") << true << "127.0.0.7";
  }
  void failedAttemptElsewhereKeepsTheWorkingLink() {
    QFETCH(bool, usb);
    QFETCH(QString, elsewhere);
    const quint16 closedPort = ClosedPort();
    test::LoopbackEmulator emu;
    QVERIFY(emu.started);
    test::FakeHidBus bus;
    const std::string usbPath = PlugIn(bus);
    MakeFrame();
    test::RecordingSink sink;
    if (usb) QCOMPARE(OpenUsbLink(&sink), 1);
    else QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    const LinkKind working = usb ? LinkKind::Usb : LinkKind::Network;

    parts_.frame->ShowNetworkDialog();
    NetworkDialog* dialog = parts_.frame->NetworkDialogInstance();
    dialog->AddressField().SetText(elsewhere);
    dialog->PortField().setText(QString::number(closedPort));
    dialog->ConnectButton().click();
    QVERIFY2(dialog->StatusText().text().startsWith("Connect failed. Error "), qPrintable(dialog->StatusText().text()));
    QVERIFY(dialog->isVisible());
    QVERIFY(CurrentLink().connected);
    QCOMPARE(CurrentLink().kind.load(), working);
    QCOMPARE(bus.IsOpen(usbPath), usb);
    if (!usb) {
      QCOMPARE(NetworkPeerAddress(), std::string("127.0.0.1"));
      QCOMPARE(NetworkPeerPort(), emu.net.Port());
      QCOMPARE(parts_.settings->IpPort(), int(emu.net.Port()));
      // The link still carries edits to the device.
      const int before = emu.CountLines("81 09");
      SetParameter(4, 0x0C, 42);
      QTRY_VERIFY_WITH_TIMEOUT(emu.CountLines("81 09") > before, 3000);
    }

    // A connection that opens replaces the working link.
    test::LoopbackEmulator other;
    QVERIFY(other.started);
    dialog->AddressField().SetText("127.0.0.1");
    dialog->PortField().setText(QString::number(other.net.Port()));
    dialog->ConnectButton().click();
    QVERIFY(!dialog->isVisible());
    QVERIFY(CurrentLink().connected);
    QCOMPARE(CurrentLink().kind.load(), LinkKind::Network);
    QVERIFY(!bus.IsOpen(usbPath));
    QVERIFY(other.CountLines("81 30") > 0);
  }

  void failedConnectionThroughTheMainWindow() {
    quint16 closedPort = 0;
    {
      test::LoopbackEmulator emu;  // a port that was just free and is closed again
      closedPort = emu.net.Port();
    }
    parts_.settings->SetNetworkPeer("127.0.0.1", closedPort);
    MakeFrame();
    parts_.frame->ShowNetworkDialog();
    parts_.frame->NetworkDialogInstance()->ConnectButton().click();
    QVERIFY(!CurrentLink().connected);
    QVERIFY(parts_.frame->NetworkDialogInstance()->isVisible());
    QVERIFY2(parts_.frame->NetworkDialogInstance()->StatusText().text().startsWith("Connect failed. Error "),
             qPrintable(parts_.frame->NetworkDialogInstance()->StatusText().text()));
    QVERIFY(parts_.frame->NetworkDialogInstance()->StatusText().text().endsWith(
        "(connection refused: nothing listens at that address)"));
  }

  // A connection asked for on the command line that fails says so as Connect IP does,
  // then the window goes on to look for a USB device.
  void failedCommandLineConnectionIsShown() {
    quint16 closedPort = 0;
    {
      test::LoopbackEmulator emu;
      closedPort = emu.net.Port();
    }
    MakeFrame();
    dialogs_.shown.clear();
    QVERIFY(!parts_.frame->ConnectNetwork("127.0.0.1", closedPort));
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, QString("Connect failed. Error 111 (connection refused: nothing listens at that address)"));
    QVERIFY(parts_.frame->View().FirstUsbAttemptTimer().isActive());
  }

  // --connect takes a host name as well: it is resolved, and the address is what the
  // window keeps for Connect IP; a name that does not resolve says so.
  void commandLineConnectionByName() {
    test::LoopbackEmulator emu;
    MakeFrame();
    dialogs_.shown.clear();
    QVERIFY(!parts_.frame->ConnectNetwork("no-such-room.invalid", emu.net.Port()));
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, QString("Connect failed: the host name 'no-such-room.invalid' does not resolve"));
    QVERIFY(parts_.frame->ConnectNetwork("localhost", emu.net.Port()));
    QCOMPARE(parts_.settings->IpAddress(), QString("127.0.0.1"));
  }

 private:
  // A device on the fake USB bus for the window's USB link to open; its path.
  static std::string PlugIn(test::FakeHidBus& bus) {
    const std::string path = "/dev/hidraw2";
    bus.Add(path, kUsbVendorId, kUsbProductId);
    SetHidAccess(&bus);
    return path;
  }
  // A loopback port that was just free and is closed again.
  static quint16 ClosedPort() {
    test::LoopbackEmulator gone;
    return gone.net.Port();
  }

  void MakeFrame() {
    parts_.settings->SetLanguage(kEnglish);
    parts_.Make();
  }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
};

QTEST_MAIN(NetworkDialogTest)
#include "NetworkDialogTest.moc"
