// The main window against the device emulator on loopback: start-up defaults, the
// connection pane, the master controls' sends, the language switch, and the link
// notices. Message boxes are answered by ScriptedDialogs.
#include <QCheckBox>
#include <QScrollBar>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QToolButton>
#include <QStatusBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QtTest>
#include <thread>

#include "link/HidAccess.h"
#include "link/LinkState.h"
#include "link/UsbLink.h"
#include "tests/link/FakeHidBus.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "files/ModeFile.h"
#include "model/BigEndian.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "ui/AppSettings.h"
#include "shell/Application.h"
#include "shell/LinkKeeper.h"
#include "shell/MachineSettingsDialog.h"
#include "shell/MainWindow.h"
#include "ui/DialogService.h"
#include "ui/InfoPopup.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"
#include "ui/InterfaceLanguage.h"
#include "shell/SingleInstance.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"
#include "tools/sim/DeviceSimulator.h"
#include "tools/sim/SimServer.h"
#include "ui/Ribbon.h"
#include "ui/RibbonPanel.h"
#include "ui/StepSlider.h"

using namespace dsptune;

namespace {

using Emulator = test::LoopbackEmulator;

using test::PopupText;

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }
  void init() {
    test::ClearSettingsStore();
    dialogs_.shown.clear();
  }
  void cleanup() { parts_.TearDown(); }

  void firstStartUsesTheDefaultsAndRewritesTheLook() {
    {
      QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsName);
      store.setValue("ApplicationLook", 100);
    }
    MakeFrame();
    QCOMPARE(CurrentLanguage(), 0);
    QCOMPARE(parts_.settings->OptionRecord(), QByteArray::fromHex("0101010000000000"));
    QCOMPARE(parts_.settings->IpPort(), 30303);
    QCOMPARE(parts_.settings->ApplicationLook(), 215);
    QCOMPARE(parts_.frame->windowTitle(), QString::fromUtf8("效果器调音软件v1.3.3"));
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("USB:未连接"));
    QCOMPARE(parts_.frame->ConnectionPane().palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(parts_.frame->View().Host().EditorKind(), 313);
  }

  // The program shows its window before it makes the first page, then makes it after the
  // first frame; a page the user picked in between stays, and a window that is never
  // exposed still gets its page.
  void firstPageFollowsTheFirstFrame() {
    parts_.Make(MainWindow::FirstPage::kAfterFirstFrame);
    QVERIFY(!parts_.frame->View().Host().Editor());
    QVERIFY(!parts_.frame->BypassBox().isEnabled());
    QVERIFY(QTest::qWaitForWindowExposed(parts_.frame.get()));
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->View().Host().Editor(), 2000);
    QCOMPARE(parts_.frame->View().Host().EditorKind(), int(kEditorMicMusic));
    QVERIFY(parts_.frame->View().Host().Editor()->isVisible());
    // The status bar's EQ controls follow the page made late.
    QVERIFY(parts_.frame->BypassBox().isEnabled());
    parts_.TearDown();

    parts_.Make(MainWindow::FirstPage::kAfterFirstFrame);
    parts_.frame->View().ShowEditor(kEditorOutput, 2);
    QVERIFY(QTest::qWaitForWindowExposed(parts_.frame.get()));
    QTest::qWait(100);
    QCOMPARE(parts_.frame->View().Host().EditorKind(), int(kEditorOutput));
    parts_.TearDown();

    parts_.Make(MainWindow::FirstPage::kAfterFirstFrame, false);
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->View().Host().Editor(), 3000);
    QCOMPARE(parts_.frame->View().Host().EditorKind(), int(kEditorMicMusic));
  }

  // Down to 1024×600 the window keeps its ribbon and status bar in view and the page
  // area scrolls to every control; at 1400×900 nothing scrolls.
  void fitsSmallScreens_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("1024x600") << QSize(1024, 600) << true;
    QTest::newRow("1280x720 logical") << QSize(1280, 680) << false;
    QTest::newRow("1366x768 with a panel") << QSize(1366, 700) << false;
    QTest::newRow("1400x900") << QSize(1400, 900) << false;
  }
  void fitsSmallScreens() {
    QFETCH(QSize, size);
    QFETCH(bool, scrolls);
    MakeFrame();
    MainWindow& frame = *parts_.frame;
    frame.resize(size);
    QApplication::processEvents();
    QCOMPARE(frame.size(), size);
    for (QWidget* bar : {static_cast<QWidget*>(frame.statusBar()), static_cast<QWidget*>(&frame.RibbonBar())}) {
      QVERIFY(bar->isVisible());
      QVERIFY(frame.rect().contains(QRect(bar->mapTo(&frame, QPoint(0, 0)), bar->size())));
    }
    QScrollBar* vertical = frame.PageArea().verticalScrollBar();
    QCOMPARE(vertical->maximum() > 0, scrolls);
    QCOMPARE(frame.PageArea().horizontalScrollBar()->maximum(), 0);  // the width always fits
    // Scrolled to the end, the page's bottom edge is in view.
    vertical->setValue(vertical->maximum());
    frame.PageArea().horizontalScrollBar()->setValue(frame.PageArea().horizontalScrollBar()->maximum());
    QApplication::processEvents();
    QWidget* viewport = frame.PageArea().viewport();
    const QPoint bottomRight = frame.View().mapTo(viewport, QPoint(frame.View().width() - 1, frame.View().height() - 1));
    QVERIFY(viewport->rect().contains(bottomRight));
  }

  // Every ribbon button and master control explains itself in both languages; the
  // commands that need a device are greyed, and say so, until one is connected.
  void commandsExplainThemselvesAndNeedADevice() {
    Emulator emu;
    MakeFrame();
    MainWindow& frame = *parts_.frame;
    auto tipsOfEveryCommand = [&] {
      QList<QWidget*> widgets;
      for (QToolButton* b : frame.RibbonBar().findChildren<QToolButton*>()) widgets << b;
      for (StepSlider* s : frame.RibbonBar().findChildren<StepSlider*>()) widgets << s;
      for (QCheckBox* c : frame.RibbonBar().findChildren<QCheckBox*>()) widgets << c;
      widgets << &frame.BypassBox() << &frame.ResetEqButton();
      QStringList tips, missing;
      for (QWidget* w : widgets) {
        // The tab bar's own scroll arrows are Qt's.
        if (qobject_cast<QTabBar*>(w->parentWidget())) continue;
        tips << w->toolTip();
        if (w->toolTip().isEmpty())
          missing << QStringLiteral("%1 '%2'").arg(w->metaObject()->className(), w->property("text").toString());
      }
      return std::make_pair(tips, missing);
    };
    const auto [chinese, missingChinese] = tipsOfEveryCommand();
    QVERIFY2(missingChinese.isEmpty(), qPrintable(missingChinese.join(", ")));
    frame.SwitchLanguage();
    const auto [english, missingEnglish] = tipsOfEveryCommand();
    QVERIFY2(missingEnglish.isEmpty(), qPrintable(missingEnglish.join(", ")));
    QCOMPARE(english.size(), chinese.size());
    for (int i = 0; i < english.size(); ++i) QVERIFY2(english[i] != chinese[i], qPrintable(english[i]));

    auto button = [&](const QString& text) {
      for (QToolButton* b : frame.RibbonBar().findChildren<QToolButton*>())
        if (b->text() == text && b->isVisibleTo(&frame)) return b;
      return static_cast<QToolButton*>(nullptr);
    };
    for (const char* needsDevice : {"Reset", "Remote control", "LoadMode", "SaveMode"}) {
      QToolButton* b = button(needsDevice);
      QVERIFY2(b, needsDevice);
      QVERIFY2(!b->isEnabled(), needsDevice);
      QVERIFY2(b->toolTip().endsWith("(needs a connected device)"), qPrintable(b->toolTip()));
    }
    QVERIFY(button("LoadFile")->isEnabled());
    QVERIFY(frame.ConnectNetwork("127.0.0.1", emu.net.Port()));
    frame.RefreshStatusPanes();
    QVERIFY(button("Reset")->isEnabled());
    QVERIFY(!button("Reset")->toolTip().contains("needs a connected device"));
    // The machine settings are in the application menu too.
    QAction* settings = nullptr;
    for (QAction* a : frame.RibbonBar().ApplicationMenu()->actions())
      if (a->text().startsWith("Machine settings")) settings = a;
    QVERIFY(settings);
    QVERIFY2(settings->toolTip().startsWith("Machine settings: power-on volumes"), qPrintable(settings->toolTip()));
    QVERIFY(button("Connect IP")->toolTip().contains("IP address and port"));
    settings->trigger();
    QVERIFY(frame.MachineSettingsInstance() && frame.MachineSettingsInstance()->isVisible());
  }

  void secondInstanceActivatesTheFirst() {
    const QString name = QStringLiteral("dsptune-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    QCOMPARE(first.Check(), SingleInstance::Result::First);
    QSignalSpy activated(&first, &SingleInstance::activationRequested);
    SingleInstance::Result second = SingleInstance::Result::First;
    // The second copy blocks while it waits for the answer; run it on another thread.
    // Its arguments reach the first copy whole, whatever characters the path holds.
    const QStringList handed{"--connect", "127.0.0.7:4001", QString::fromUtf8("/tmp/新 folder/a\nb%20.mode")};
    std::thread other([&] {
      SingleInstance copy(name);
      second = copy.Check(handed);
    });
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 5000);
    other.join();
    QCOMPARE(second, SingleInstance::Result::ActivatedOther);
    QCOMPARE(activated.at(0).at(0).toStringList(), handed);
  }

  // The same user on another display gets a copy of its own.
  void secondInstanceOnAnotherDisplayRunsApart() {
    const QString name = QStringLiteral("dsptune-display-test-%1").arg(QCoreApplication::applicationPid());
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":91");
    SingleInstance first(name);
    QCOMPARE(first.Check(), SingleInstance::Result::First);
    qputenv("DISPLAY", ":92");
    SingleInstance other(name);
    const SingleInstance::Result result = other.Check();
    if (saved.isNull()) qunsetenv("DISPLAY");
    else qputenv("DISPLAY", saved);
    QCOMPARE(result, SingleInstance::Result::First);
  }

  // A second start with a mode file: the running window opens it as "LoadFile" would
  // (here without a device: into the working settings, named in the status bar); the
  // relative path given to the second copy arrives absolute.
  void fileHandedOverBySecondStartIsOpened() {
    QTemporaryDir dir;
    const QString path = dir.filePath("bar.mode");
    ResetDataModel();
    UpdateIdentity([](DeviceIdentity& id) { id.protocolCode = kSupportedProtocol; });  // as read from a device
    SetParameter(4, 0x0C, 37);
    QCOMPARE(SaveModeFile(path.toStdString()), 1);
    ResetDataModel();
    LoadDefaultImage();
    MakeFrame();
    StartOptions options;
    QString error;
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QVERIFY(ParseStartOptions({"dsptune", "bar.mode"}, options, error));
    const QStringList handed = HandedOverArguments(options);
    QDir::setCurrent(here);
    QCOMPARE(handed, QStringList{QFileInfo(path).absoluteFilePath()});
    parts_.frame->OpenHandedOver(QString(), 0, handed[0]);
    QCOMPARE(UiValue(4, 0x0C), 37);
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->FilePane().text(), QString("bar.mode"));
    QCOMPARE(dialogs_.shown.size(), 0);
  }

  void connectionPaneFollowsTheLink() {
    Emulator emu;
    QVERIFY(emu.started);
    MakeFrame();
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("IP：已连接"));
    QCOMPARE(parts_.frame->ConnectionPane().palette().color(QPalette::WindowText), QColor(0, 150, 0));
    QCOMPARE(parts_.frame->ModePane().text(), QString::fromUtf8("当前模式:M1"));
    QVERIFY(parts_.frame->View().LinkTimersRunning());
    emu.net.Stop();  // the device goes away
    QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 5000);
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("未连接"));
    QCOMPARE(parts_.frame->ConnectionPane().palette().color(QPalette::WindowText), QColor(220, 0, 0));
  }

  // "Device connected!" is a box once per run; a later connection is told in the status
  // bar, which clears it again after the notice's time.
  void onlyTheFirstConnectionOfTheRunGetsABox() {
    Emulator emu;
    QVERIFY(emu.started);
    MakeFrame();
    const QString connected = QString::fromUtf8("设备已连接，同步中……");
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    QCOMPARE(PopupText(*parts_.progress), connected);  // no tray here: the popup
    QVERIFY(parts_.frame->NoticePane().text().isEmpty());
    delete parts_.progress->CurrentPopup().data();
    for (int again = 0; again < 2; ++again) {
      parts_.frame->Disconnect();
      QTRY_VERIFY_WITH_TIMEOUT(!emu.net.ClientConnected(), 3000);  // the module is free again
      QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
      QVERIFY2(PopupText(*parts_.progress).isEmpty(), qPrintable(PopupText(*parts_.progress)));
      QCOMPARE(parts_.frame->NoticePane().text(), connected);
    }
    parts_.frame->SwitchLanguage();
    QCOMPARE(parts_.frame->NoticePane().text(), QString("Device connected!"));
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->NoticePane().text().isEmpty(), 7000);
  }

  void microphoneLimitClampsBothTwinsAndSendsOnce() {
    Emulator emu;
    MakeFrame();
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    {
      std::lock_guard lock(CurrentLink().dataMutex);
      CurrentLink().deviceSettings[5] = 60;
    }
    const int before = emu.CountLines("81 09 00 01 0E");
    StepSlider* input = parts_.frame->View().Slider(MasterControl::Mic, MainView::kInput);
    input->setValue(80);
    emit input->stepApplied(80);
    QCOMPARE(input->value(), 60);
    QCOMPARE(parts_.frame->View().Slider(MasterControl::Mic, MainView::kOutput)->value(), 60);
    QCOMPARE(parts_.frame->View().Label(MasterControl::Mic, MainView::kInput)->text(), QString::fromUtf8("话筒音量: 60"));
    QCOMPARE(parts_.frame->View().Label(MasterControl::Mic, MainView::kOutput)->text(), QString::fromUtf8("话筒音量: 60"));
    QCOMPARE(PopupText(*parts_.progress), QString::fromUtf8("不能超过最大话筒音量!"));
    QTRY_COMPARE_WITH_TIMEOUT(emu.CountLines("81 09 00 01 0E") - before, 1, 3000);
    QTest::qWait(300);
    QCOMPARE(emu.CountLines("81 09 00 01 0E") - before, 1);
  }

  void mutedPathGetsTheNoticeButTheValueIsSent() {
    MakeFrame();
    parts_.frame->View().MuteBox(MasterControl::Echo, MainView::kOutput)->click();
    QCOMPARE(UiValue(2, 0x1D), 0);
    QVERIFY(parts_.frame->View().MuteBox(MasterControl::Echo, MainView::kInput)->isChecked());
    parts_.frame->RibbonBar().SetActiveCategory(1);
    StepSlider* echo = parts_.frame->View().Slider(MasterControl::Echo, MainView::kOutput);
    echo->setValue(40);
    emit echo->stepApplied(40);
    QCOMPARE(UiValue(2, 0x1C), 40);
    QCOMPARE(PopupText(*parts_.progress), QString::fromUtf8("当前是静音状态"));
  }

  void pitchIsSentAsItsRawRecord() {
    Emulator emu;
    MakeFrame();
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    StepSlider* pitch = parts_.frame->View().Slider(MasterControl::Pitch, MainView::kInput);
    // One at a time: the send queue would rightly replace a pending write of the same record.
    for (const auto& [value, line] : {std::pair{-5, "81 09 00 04 15 01 00 00 00 00"}, {5, "81 09 00 04 15 01 00 00 00 0A"}}) {
      pitch->setValue(value);
      emit pitch->stepApplied(value);
      QTRY_COMPARE_WITH_TIMEOUT(emu.CountLines(line), 1, 3000);
    }
    QCOMPARE(parts_.frame->RibbonBar().Panels(0).value(5)->Title(), QString::fromUtf8("音乐变调:+5"));
  }

  void categorySwitchBringsBackMicMusicOnChannelZero() {
    MakeFrame();
    parts_.frame->View().ShowEditor(313, 2);
    parts_.frame->RibbonBar().SetActiveCategory(1);
    QCOMPARE(parts_.frame->View().Host().EditorKind(), 385);
    parts_.frame->RibbonBar().SetActiveCategory(0);
    QCOMPARE(parts_.frame->View().Host().EditorKind(), 313);
    QCOMPARE(parts_.frame->View().Host().Editor()->Channel(), 0);
    parts_.frame->View().ShowEditor(346, 0);
    auto* compressor = parts_.frame->View().Host().Editor();
    parts_.frame->View().ShowEditor(346, 3);
    QCOMPARE(parts_.frame->View().Host().Editor(), compressor);
  }

  void twoLanguageSwitchesFromEnglishRenameThePanels() {
    {
      QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsName);
      store.setValue("language", 1);
    }
    MakeFrame();
    Ribbon& ribbon = parts_.frame->RibbonBar();
    QCOMPARE(ribbon.CategoryName(0), QString("Input"));
    QCOMPARE(ribbon.Panels(0).value(0)->Title(), QString("Mic Vol"));
    // One name for the effect panel, before and after a switch.
    QCOMPARE(ribbon.Panels(0).value(1)->Title(), QString("Effect Vol"));
    // No device yet: the status bar speaks the language the window started in, and follows a switch.
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString("USB:Disconnected"));
    QCOMPARE(parts_.frame->ModePane().text(), QString("Current Mode:M1"));
    parts_.frame->SwitchLanguage();
    QCOMPARE(ribbon.CategoryName(0), QString::fromUtf8("输入控制"));
    QCOMPARE(parts_.settings->Language(), 0);
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("USB:未连接"));
    QCOMPARE(parts_.frame->ModePane().text(), QString::fromUtf8("当前模式：模式一"));
    parts_.frame->SwitchLanguage();
    QCOMPARE(ribbon.CategoryName(0), QString("Input"));
    QCOMPARE(ribbon.Panels(0).value(0)->Title(), QString("Mic  Vol"));
    QCOMPARE(ribbon.Panels(0).value(1)->Title(), QString("Effect Vol"));
    QCOMPARE(ribbon.Panels(0).value(2)->Title(), QString("Reverb Vol"));
    QCOMPARE(parts_.frame->View().Label(MasterControl::Mic, MainView::kInput)->text(), QString("Mic    Vol:  50"));
  }

  void identityMismatchShowsOneBoxAndClosesTheLink() {
    DeviceOptions foreign;
    foreign.protocolCode = 17;  // a known model on an old protocol
    Emulator emu(foreign);
    MakeFrame();
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 5000);
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].caption, QString::fromUtf8("错误"));
    QCOMPARE(dialogs_.shown[0].text, QString::fromUtf8("E:LQ830_11 通信版本不匹配!"));
    QVERIFY(!parts_.frame->View().LinkTimersRunning());
    // The status bar says the device was refused and shows no mode it never read.
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("未连接（设备型号或通信版本不符）"));
    QCOMPARE(parts_.frame->ModePane().text(), QString());
  }

  void hostBusyShowsThePopup() {
    Emulator emu;
    MakeFrame();
    // Another host holds the module.
    QTcpSocket holder;
    holder.connectToHost(QHostAddress::LocalHost, emu.net.Port());
    QVERIFY(holder.waitForConnected(2000));
    QTRY_VERIFY_WITH_TIMEOUT(emu.net.ClientConnected(), 2000);
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    // The fixed notice, and why on the next line: in English the fixed words read as if
    // the connection had worked.
    QTRY_COMPARE_WITH_TIMEOUT(PopupText(*parts_.progress),
                              QString::fromUtf8("主机已连接其他设备，请先断开!\n另一台电脑占用着设备的网络连接"), 5000);
    QVERIFY(!parts_.progress->SyncDialogRunning());
    // Only the busy notice: the failed read behind it is no identity mismatch.
    QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));
    QTest::qWait(100);
    QCOMPARE(dialogs_.shown.size(), 0);
    // The popup goes after 3 s; the status bar keeps the reason while it counts down.
    delete parts_.progress->CurrentPopup().data();
    QPushButton* pane = parts_.frame->Keeper().Pane();
    QTRY_VERIFY_WITH_TIMEOUT(pane->text().contains(QString::fromUtf8("秒后重新连接（另一台电脑占用着设备的网络连接）")), 2000);
    parts_.frame->SwitchLanguage();
    QVERIFY2(QRegularExpression("^reconnecting in \\d+ s \\(another computer holds the device's network connection\\)$")
                 .match(pane->text())
                 .hasMatch(),
             qPrintable(pane->text()));
    QVERIFY(pane->isVisibleTo(parts_.frame.get()));
  }

  void synchronisationTimeoutClosesTheNetworkLink() {
    ServerOptions silent;
    silent.silentAfter = std::chrono::milliseconds(1);
    silent.heartbeatInterval = std::chrono::milliseconds(0);
    Emulator emu({}, silent);
    MakeFrame();
    parts_.progress->SetSyncTimeout(500);
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, QString::fromUtf8("发生错误，与设备数据同步超时……"));
    QVERIFY(!CurrentLink().connected);
    // The read job that ends behind it adds no second box for the same failure.
    QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));
    QTest::qWait(100);
    QCOMPARE(dialogs_.shown.size(), 1);
  }

  // The device goes away in the middle of the image: the window says so and keeps the
  // settings it had, as the read job never applies a partial image.
  void readThatFailsChangesNothingAndSaysSo() {
    ServerOptions cut;
    cut.closeAfterCommands = 4 + 1 + 60;  // identity, mode and 60 of the 63 chunks
    Emulator emu({}, cut);
    MakeFrame();
    SetParameter(4, 0x0C, 42);  // music volume, as the user left it; its chunk does arrive
    const ParameterImageBytes before = ImageSnapshot();
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    QTRY_COMPARE_WITH_TIMEOUT(dialogs_.shown.size(), 1, 10000);
    QVERIFY2(dialogs_.shown[0].text.contains(QString::fromUtf8("设置未作任何更改")),
             qPrintable(dialogs_.shown[0].text));
    QVERIFY(!dialogs_.shown[0].text.contains(QString::fromUtf8("通信版本不匹配")));
    QVERIFY(ImageSnapshot() == before);
    QCOMPARE(UiValue(4, 0x0C), 42);
    QVERIFY(!CurrentLink().connected);
    QVERIFY(!parts_.frame->View().LinkTimersRunning());
    QTest::qWait(300);
    QCOMPARE(dialogs_.shown.size(), 1);  // one failure, one box
  }

  // The device is there but says nothing: the user is asked whether to read again, and
  // on "No" the link is closed, the settings untouched.
  // The box is the program's own words: captioned in the interface language too.
  void readThatFailsOnALiveLinkOffersToReadAgain_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("question");
    QTest::newRow("zh") << int(kChinese) << QString::fromUtf8("错误") << QString::fromUtf8("设备没有应答")
                        << QString::fromUtf8("是否重新读取");
    QTest::newRow("en") << int(kEnglish) << QString("Error") << QString() << QString("Read again?");
  }
  void readThatFailsOnALiveLinkOffersToReadAgain() {
    QFETCH(int, language);
    QFETCH(QString, caption);
    QFETCH(QString, reason);
    QFETCH(QString, question);
    DeviceOptions mute;
    mute.dropEvery = 1;  // every answer lost; the heartbeat keeps the link up
    Emulator emu(mute);
    MakeFrame();
    SetCurrentLanguage(language);
    CurrentLink().replyTimeout = std::chrono::milliseconds(200);
    const ParameterImageBytes before = ImageSnapshot();
    dialogs_.answer = QMessageBox::No;
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    QTRY_COMPARE_WITH_TIMEOUT(dialogs_.shown.size(), 1, 10000);
    dialogs_.answer = QMessageBox::Yes;
    const QString text = dialogs_.shown[0].text;
    QCOMPARE(dialogs_.shown[0].caption, caption);
    QVERIFY2(text.contains(reason) && text.contains(question), qPrintable(text));
    if (language == kEnglish) QVERIFY2(!QRegularExpression("[\\x{4E00}-\\x{9FFF}]").match(text).hasMatch(), qPrintable(text));
    QTRY_VERIFY_WITH_TIMEOUT(!CurrentLink().connected, 3000);
    QVERIFY(ImageSnapshot() == before);
    QTest::qWait(200);
    QCOMPARE(dialogs_.shown.size(), 1);
  }

  // A write cut short: the window says that the device may hold part of the image.
  void writeThatFailsSaysTheDeviceMayHoldAPartialImage() {
    ServerOptions cut;
    cut.closeAfterCommands = 4 + 1 + 63 + 2 + 30;  // the read, then 30 commands into the write
    Emulator emu({}, cut);
    QTemporaryDir dir;
    const QString path = dir.filePath("studio.mode");
    ResetDataModel();
    ResetLinkState();
    UpdateIdentity([](DeviceIdentity& id) { id.protocolCode = kSupportedProtocol; });
    QCOMPARE(SaveModeFile(path.toStdString()), 1);
    MakeFrame();
    parts_.frame->SetStartupModeFile(path);
    parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port());
    QTRY_COMPARE_WITH_TIMEOUT(dialogs_.shown.size(), 1, 15000);
    QVERIFY2(dialogs_.shown[0].text.contains(QString::fromUtf8("可能只写入了一部分")), qPrintable(dialogs_.shown[0].text));
    QCOMPARE(emu.CountLines("81 32"), 0);  // no end-of-write went out
  }

  void wheelOverAPanelMovesBothTwinsByOne() {
    MakeFrame();
    Ribbon& ribbon = parts_.frame->RibbonBar();
    ribbon.SetActiveCategory(1);
    parts_.frame->View().StepControl(MasterControl::Echo, -10);
    const int before = parts_.frame->View().Slider(MasterControl::Echo, MainView::kOutput)->value();
    emit ribbon.wheelOverPanel(ribbon.Panels(1).value(3), nullptr, +1);  // "Echo Vol" of Output
    QCOMPARE(parts_.frame->View().Slider(MasterControl::Echo, MainView::kOutput)->value(), before + 1);
    QCOMPARE(parts_.frame->View().Slider(MasterControl::Echo, MainView::kInput)->value(), before + 1);
    QCOMPARE(UiValue(2, 0x1C), before + 1);
    // Over the pitch slider the pitch moves.
    emit ribbon.wheelOverPanel(ribbon.Panels(1).value(5), parts_.frame->View().Slider(MasterControl::Pitch, MainView::kOutput), -1);
    QCOMPARE(EditorSnapshot().musicPitch, -1);
  }

  void usbArrivalConnectsAndRemovalOfOurPathDisconnects() {
    test::FakeHidBus bus;
    DeviceSimulator device;
    const std::string path = "/dev/hidraw3";
    bus.Add(path, kUsbVendorId, kUsbProductId);
    bus.SetResponder(path, [&device](std::span<const std::uint8_t> report) {
      std::vector<test::Report> replies;
      for (const auto& packet : device.HandlePacket(report.subspan(1))) {
        test::Report r(61, 0);
        std::copy_n(packet.begin(), std::min<std::size_t>(packet.size(), 60), r.begin() + 1);
        replies.push_back(r);
      }
      return replies;
    });
    SetHidAccess(&bus);
    MakeFrame();
    // Modeless dialogs made before the arrival are made again for the new device. F7
    // (released) opens the machine settings from anywhere.
    int remoteWindowsMade = 0;
    parts_.frame->SetDialogMaker(MainWindow::LinkedDialog::Remote, {[&](QWidget* owner) -> QDialog* {
                                   ++remoteWindowsMade;
                                   return new QDialog(owner);
                                 }, nullptr});
    parts_.frame->ShowNetworkDialog();
    QTest::keyRelease(parts_.frame.get(), Qt::Key_F7);
    QVERIFY(parts_.frame->NetworkDialogInstance() && parts_.frame->MachineSettingsInstance());
    parts_.frame->ShowLinkedDialog(MainWindow::LinkedDialog::Remote);  // only with a link
    QVERIFY(!parts_.frame->LinkedDialogOf(MainWindow::LinkedDialog::Remote));
    parts_.frame->OnUsbArrival();
    QVERIFY(CurrentLink().connected);
    QVERIFY(!parts_.frame->NetworkDialogInstance() && !parts_.frame->MachineSettingsInstance());
    parts_.frame->ShowLinkedDialog(MainWindow::LinkedDialog::Remote);
    parts_.frame->ShowLinkedDialog(MainWindow::LinkedDialog::Remote);
    QVERIFY(parts_.frame->LinkedDialogOf(MainWindow::LinkedDialog::Remote) && parts_.frame->LinkedDialogOf(MainWindow::LinkedDialog::Remote)->isVisible());
    QCOMPARE(remoteWindowsMade, 1);
    QCOMPARE(CurrentLink().kind.load(), LinkKind::Usb);
    QCOMPARE(IdentitySnapshot().ModelName(), std::string("LQ830"));
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("USB：已连接"));

    parts_.frame->OnUsbRemoval("/dev/hidraw9");  // another device
    QVERIFY(CurrentLink().connected);
    parts_.frame->OnUsbRemoval("/DEV/HIDRAW3");  // ours, compared without regard to case
    QVERIFY(!CurrentLink().connected);
    QVERIFY(!parts_.frame->View().LinkTimersRunning());
    QCOMPARE(PopupText(*parts_.progress), QString::fromUtf8("设备已断开!"));  // no tray here: the popup
    parts_.frame.reset();
    SetHidAccess(nullptr);
  }

  void usbArrivalWhileTheNetworkIsUpIsIgnored() {
    Emulator emu;
    test::FakeHidBus bus;
    bus.Add("/dev/hidraw1", kUsbVendorId, kUsbProductId);
    SetHidAccess(&bus);
    MakeFrame();
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    parts_.frame->OnUsbArrival();
    QCOMPARE(bus.OpenAttempts("/dev/hidraw1"), 0);
    parts_.frame->OnUsbRemoval("/dev/hidraw1");
    QVERIFY(CurrentLink().connected);
    QCOMPARE(CurrentLink().kind.load(), LinkKind::Network);
    parts_.frame.reset();
    SetHidAccess(nullptr);
  }

  // A device that is present but may not be opened: the status bar says so for as long
  // as it lasts, one notice names the udev rule and its document, and an open that
  // works again brings the usual pane back.
  void usbDeviceWithoutPermissionIsExplainedOnce() {
    test::FakeHidBus bus;
    bus.Add("/dev/hidraw5", kUsbVendorId, kUsbProductId);
    bus.FailOpen("/dev/hidraw5", HidOpenError::PermissionDenied);
    SetHidAccess(&bus);
    MakeFrame();
    parts_.frame->OnUsbArrival();
    parts_.frame->OnUsbArrival();  // a second attempt: still one notice
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->ConnectionPane().text(), QString::fromUtf8("USB：无权限访问设备"));
    QTRY_COMPARE(dialogs_.shown.size(), 1);
    QTest::qWait(50);
    QCOMPARE(dialogs_.shown.size(), 1);
    const QString notice = dialogs_.shown[0].text;
    QVERIFY2(notice.contains("/dev/hidraw5") && notice.contains("70-dsptune.rules") &&
                 notice.contains("docs/usb-permissions.md"),
             qPrintable(notice));
    bus.FailOpen("/dev/hidraw5", HidOpenError::None);
    OpenUsbLink(nullptr);
    CloseUsbLink(false);
    parts_.frame->RefreshStatusPanes();
    QVERIFY(parts_.frame->ConnectionPane().text() != QString::fromUtf8("USB：无权限访问设备"));
    parts_.frame.reset();
    SetHidAccess(nullptr);
  }

  // A remote-code file handed over without a device waits for the connection, then
  // goes into the remote window and on to the device.
  void remoteFileHandedOverIsLoadedOnceConnected() {
    Emulator emu;
    QTemporaryDir dir;
    const QString path = dir.filePath("keys.remo");
    QByteArray codes(30, 0);
    for (int i = 0; i < codes.size(); ++i) codes[i] = char(0x40 + i);
    {
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write(codes);
    }
    MakeFrame();
    parts_.frame->OpenHandedOver(QString(), 0, path);
    QVERIFY(!parts_.frame->LinkedDialogOf(MainWindow::LinkedDialog::Remote));
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    QTRY_VERIFY_WITH_TIMEOUT(parts_.frame->LinkedDialogOf(MainWindow::LinkedDialog::Remote), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(emu.CountLines("81 63 40 41 42"), 1, 5000);
  }

  // Without a device the file named on the command line is not left waiting: the first
  // look for a device that finds none opens it into the window.
  void modeFileFromTheCommandLineOpensWithoutADevice() {
    QTemporaryDir dir;
    const QString path = dir.filePath("studio.mode");
    ResetDataModel();
    UpdateIdentity([](DeviceIdentity& id) { id.protocolCode = kSupportedProtocol; });
    SetParameter(4, 0x0C, 42);
    QCOMPARE(SaveModeFile(path.toStdString()), 1);
    ResetDataModel();
    LoadDefaultImage();
    test::FakeHidBus noDevices;
    SetHidAccess(&noDevices);
    MakeFrame();
    parts_.frame->SetStartupModeFile(path);
    emit parts_.frame->View().firstUsbAttempt();
    QVERIFY(!CurrentLink().connected);
    QCOMPARE(UiValue(4, 0x0C), 42);
    parts_.frame->RefreshStatusPanes();
    QCOMPARE(parts_.frame->FilePane().text(), QString("studio.mode"));
    parts_.frame.reset();
    SetHidAccess(nullptr);
  }

  void modeFileFromTheCommandLineIsWrittenOnceConnected() {
    Emulator emu;
    QTemporaryDir dir;
    const QString path = dir.filePath("studio.mode");
    ResetDataModel();
    ResetLinkState();
    UpdateIdentity([](DeviceIdentity& id) { id.protocolCode = kSupportedProtocol; });  // as read from a device
    SetParameter(4, 0x0C, 42);  // music volume in the file
    QCOMPARE(SaveModeFile(path.toStdString()), 1);
    MakeFrame();
    parts_.frame->SetStartupModeFile(path);
    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    QTRY_COMPARE_WITH_TIMEOUT(emu.CountLines("81 32"), 1, 10000);
    const DspRecordLayout* record = FindRecord(4, 0x0C);
    QTRY_COMPARE_WITH_TIMEOUT(GetU32(&emu.sim.WorkingImage()[record->ValueOffset()]),
                              UiValueToWord(ConversionKind::Percent, 42), 3000);
    QCOMPARE(parts_.settings->RecentFiles().value(0), path);
  }

 private:
  void MakeFrame() { parts_.Make(); }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
