// The information popup, the synchronisation dialog and the tray notice, offscreen.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <thread>

#include "ui/DialogService.h"
#include "ui/InfoPopup.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"
#include "ui/InterfaceLanguage.h"
#include "ui/SyncDialog.h"
#include "shell/TrayNotice.h"

using namespace dsptune;

namespace {

// Runs `step` on the UI thread as soon as the event loop turns (inside a modal loop).
template <typename F>
void Soon(F step, int milliseconds = 0) {
  QTimer::singleShot(milliseconds, step);
}

int SyncDialogCount() {
  int count = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<SyncDialog*>(w)) ++count;
  return count;
}

// Window frames may shift the client area by a few pixels.
bool Centred(const QWidget* child, const QWidget* owner) {
  return (child->geometry().center() - owner->geometry().center()).manhattanLength() <= 8;
}

}  // namespace

class ProgressWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_window = std::make_unique<QWidget>();
    m_window->setGeometry(100, 80, 900, 600);
    m_window->show();
    m_windows = std::make_unique<ProgressWindows>(m_window.get());
    SetDialogService(&m_dialogs);
    m_dialogs.shown.clear();
  }
  void cleanup() {
    m_windows.reset();
    m_window.reset();
    SetDialogService(nullptr);
    SetCurrentLanguage(kChinese);
  }

  void popupLooksTheSameInBothLanguages_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("button");
    QTest::newRow("chinese") << int(kChinese) << QStringLiteral("信息") << QStringLiteral("关闭");
    QTest::newRow("english") << int(kEnglish) << QStringLiteral("Information") << QStringLiteral("Close");
  }
  void popupLooksTheSameInBothLanguages() {
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, button);
    SetCurrentLanguage(language);
    m_windows->ShowInfoPopup(QStringLiteral("模式已保存"), 5000);
    QPointer<InfoPopup> popup = m_windows->CurrentPopup();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QVERIFY(!popup->isModal());
    QCOMPARE(popup->windowTitle(), title);
    QCOMPARE(popup->CloseButton()->text(), button);
    QCOMPARE(popup->Text(), QStringLiteral("模式已保存"));
    auto* text = popup->findChild<QLabel*>(QStringLiteral("text1223"));
    QVERIFY(text);
    QVERIFY(text->alignment() & Qt::AlignHCenter);
    // The interface's face, not a serif stand-in for a Windows font.
    QCOMPARE(QFontInfo(text->font()).family(), QFontInfo(QApplication::font()).family());
    QCOMPARE(text->font().pixelSize(), 18);
    QCOMPARE(text->font().weight(), QFont::Weight(500));
    QCOMPARE(popup->palette().color(QPalette::Window), QColor(240, 250, 255));
    QVERIFY(Centred(popup, m_window.get()));
  }

  // A notice that confirms a dialog's action stands beside that dialog, never over its
  // buttons, and leaves the keyboard with it.
  void noticeKeepsClearOfTheDialogItConfirms() {
    QDialog dialog(m_window.get());
    dialog.resize(420, 300);
    ShowCentred(&dialog);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    m_windows->ShowInfoPopup(QStringLiteral("机器设置已生效!"), 5000, &dialog);
    InfoPopup* popup = m_windows->CurrentPopup();
    QVERIFY(popup && popup->isVisible());
    QVERIFY2(!popup->frameGeometry().intersects(dialog.frameGeometry()),
             qPrintable(QStringLiteral("popup %1,%2 %3x%4")
                            .arg(popup->x()).arg(popup->y()).arg(popup->width()).arg(popup->height())));
    QVERIFY(popup->testAttribute(Qt::WA_ShowWithoutActivating));
  }

  void secondNoticeReplacesTextAndCountsItsOwnDuration() {
    m_windows->ShowInfoPopup(QStringLiteral("第一"), 600);
    QPointer<InfoPopup> first = m_windows->CurrentPopup();
    QTest::qWait(400);
    m_windows->ShowInfoPopup(QStringLiteral("第二"), 600);
    QCOMPARE(m_windows->CurrentPopup(), first);  // the same window, not a second one
    QCOMPARE(first->Text(), QStringLiteral("第二"));
    QCOMPARE(first->Duration(), 600);  // counted again from the second notice
    QTest::qWait(300);  // past the first notice's end
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 5000);
    QVERIFY(m_windows->CurrentPopup().isNull());
  }

  void closeButtonDestroysAndTheNextNoticeCreatesANewPopup() {
    m_windows->ShowInfoPopup(QStringLiteral("a"), 10000);
    QPointer<InfoPopup> first = m_windows->CurrentPopup();
    QTest::mouseClick(first->CloseButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 5000);
    m_windows->ShowInfoPopup(QStringLiteral("b"), 10000);
    QVERIFY(m_windows->CurrentPopup());
    QCOMPARE(m_windows->CurrentPopup()->Text(), QStringLiteral("b"));
  }

  void syncDialogTexts_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");
    QTest::newRow("chinese default") << int(kChinese) << QString() << QStringLiteral("同步过程")
                                     << QStringLiteral("当前正在与机器同步数据,请稍候......");
    QTest::newRow("english default") << int(kEnglish) << QString() << QStringLiteral("Synchronize")
                                     << QStringLiteral("Please wait a moment……");
    QTest::newRow("caller's text") << int(kEnglish) << QStringLiteral("Loading") << QStringLiteral("Synchronize")
                                   << QStringLiteral("Loading");
  }
  void syncDialogTexts() {
    QFETCH(int, language);
    QFETCH(QString, given);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    SetCurrentLanguage(language);
    bool checked = false;
    Soon([&] {
      QPointer<SyncDialog> dialog = m_windows->CurrentSyncDialog();
      QVERIFY(dialog);
      checked = true;
      QVERIFY(dialog->isModal());
      QCOMPARE(dialog->windowTitle(), title);
      QCOMPARE(dialog->Text(), shown);
      QCOMPARE(dialog->Marquee()->minimum(), 0);
      QCOMPARE(dialog->Marquee()->maximum(), 0);
      QCOMPARE(dialog->cursor().shape(), Qt::WaitCursor);
      QVERIFY(dialog->TimeoutRunning());
      QVERIFY(Centred(dialog, m_window.get()));
    });
    Soon([&] { m_windows->CloseSyncDialog(); }, 20);
    QCOMPARE(m_windows->RunSyncDialog(given), int(ProgressWindows::kSyncClosed));
    QVERIFY(checked);
    QVERIFY(!m_windows->SyncDialogRunning());
    QVERIFY(m_dialogs.shown.isEmpty());
  }

  // A second request inside the first one's loop, keys and the close box, then the end.
  void runningDialogIsNotDuplicatedAndIgnoresKeys() {
    int secondResult = 99;
    int countDuringSecond = 0;
    bool stillRunningAfterKeys = false;
    Soon([&] {
      secondResult = m_windows->RunSyncDialog(QStringLiteral("again"));
      countDuringSecond = SyncDialogCount();
    });
    Soon(
        [&] {
          SyncDialog* dialog = m_windows->CurrentSyncDialog();
          for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(dialog, key);
          dialog->close();
          QCoreApplication::processEvents();
          stillRunningAfterKeys = m_windows->SyncDialogRunning() && dialog->isVisible();
          m_windows->CloseSyncDialog();
        },
        40);
    QCOMPARE(m_windows->RunSyncDialog(QString()), int(ProgressWindows::kSyncClosed));
    QCOMPARE(secondResult, int(ProgressWindows::kSyncAlreadyRunning));
    QCOMPARE(countDuringSecond, 1);
    QVERIFY(stillRunningAfterKeys);
    QVERIFY(!m_windows->SyncDialogRunning());
    QTRY_COMPARE_WITH_TIMEOUT(SyncDialogCount(), 0, 5000);
  }

  void timeoutClosesShowsTheErrorAndSignals() {
    m_windows->SetSyncTimeout(150);
    QSignalSpy timedOut(m_windows.get(), &ProgressWindows::syncTimedOut);
    QCOMPARE(m_windows->RunSyncDialog(QString()), int(ProgressWindows::kSyncTimedOut));
    QVERIFY(!m_windows->SyncDialogRunning());
    QCOMPARE(timedOut.count(), 1);
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown[0].caption, QStringLiteral("错误"));
    QCOMPARE(m_dialogs.shown[0].text, QStringLiteral("发生错误，与设备数据同步超时……"));
    QCOMPARE(m_dialogs.shown[0].icon, QMessageBox::Critical);

    // Closed before its time: no box, no signal; and the next run starts afresh.
    Soon([&] { m_windows->CloseSyncDialog(); }, 20);
    QCOMPARE(m_windows->RunSyncDialog(QString()), int(ProgressWindows::kSyncClosed));
    QTest::qWait(250);
    QCOMPARE(timedOut.count(), 1);
    QCOMPARE(m_dialogs.shown.size(), 1);
  }

  // The end of a synchronisation arrives from a link thread while the dialog waits for it.
  void postedSyncDoneClosesTheDialogFromInsideItsLoop() {
    QtNotificationBridge bridge;
    int doneKind = -1;
    connect(&bridge, &QtNotificationBridge::syncDone, m_windows.get(), [&](int kind) {
      doneKind = kind;
      m_windows->CloseSyncDialog();
    });
    std::thread job;
    Soon([&] { job = std::thread([&bridge] { bridge.Post(kMsgSyncDone, 1, 0); }); }, 10);
    QCOMPARE(m_windows->RunSyncDialog(QString()), int(ProgressWindows::kSyncClosed));
    job.join();
    QCOMPARE(doneKind, 1);
  }

  void destroyingTheServiceEndsARunningDialog() {
    Soon([&] { m_windows.reset(); }, 10);
    ProgressWindows* windows = m_windows.get();
    QCOMPARE(windows->RunSyncDialog(QString()), int(ProgressWindows::kSyncClosed));
    QTRY_COMPARE_WITH_TIMEOUT(SyncDialogCount(), 0, 5000);
  }

  void trayNoticeFallsBackToThePopupWithoutANotificationArea() {
    TrayNotice tray(m_windows.get());
    tray.SetTrayProbe([] { return false; });
    tray.Show(QStringLiteral("信息"), QStringLiteral("设备已断开!"), 300);
    QVERIFY(!tray.IconShown());
    QPointer<InfoPopup> popup = m_windows->CurrentPopup();
    QVERIFY(popup);
    QCOMPARE(popup->Text(), QStringLiteral("设备已断开!"));
    QTRY_VERIFY_WITH_TIMEOUT(popup.isNull(), 5000);
  }

  void trayIconGoesOnClickOnTimeAndWithItsOwner() {
    auto tray = std::make_unique<TrayNotice>(m_windows.get());
    tray->SetTrayProbe([] { return true; });
    QVERIFY(!TrayNotice::ApplicationIcon().isNull());

    tray->Show(QStringLiteral("Information"), QStringLiteral("Device connected!"), 10000);
    QVERIFY(tray->IconShown());
    QVERIFY(m_windows->CurrentPopup().isNull());
    emit tray->Icon()->activated(QSystemTrayIcon::Context);  // a right click
    QVERIFY(!tray->IconShown());

    tray->Show(QStringLiteral("Information"), QStringLiteral("Device connected!"), 150);
    QVERIFY(tray->IconShown());
    QTRY_VERIFY_WITH_TIMEOUT(!tray->IconShown(), 5000);

    tray->Show(QStringLiteral("Information"), QStringLiteral("Device connected!"), 10000);
    QPointer<QSystemTrayIcon> icon = tray->Icon();
    tray.reset();
    QVERIFY(icon.isNull());
  }

 private:
  std::unique_ptr<QWidget> m_window;
  std::unique_ptr<ProgressWindows> m_windows;
  ScriptedDialogs m_dialogs;
};

QTEST_MAIN(ProgressWindowsTest)
#include "ProgressWindowsTest.moc"
