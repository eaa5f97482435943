// Link notifications reach the UI thread as signals, from any thread, without deadlock.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "shell/QtNotificationBridge.h"

using namespace dsptune;
using namespace std::chrono_literals;

class NotificationBridgeTest : public QObject {
  Q_OBJECT

 private slots:
  void postFromALinkThreadArrivesOnTheUiThread_data() {
    QTest::addColumn<int>("message");
    QTest::addColumn<int>("wParam");
    QTest::addColumn<QString>("signal");
    QTest::newRow("1002 read") << int(kMsgSyncDone) << 0 << QStringLiteral("syncDone");
    QTest::newRow("1002 write") << int(kMsgSyncDone) << 1 << QStringLiteral("syncDone");
    QTest::newRow("1003") << int(kMsgHostTimeout) << 0 << QStringLiteral("hostTimeout");
    QTest::newRow("1007") << int(kMsgHostBusy) << 0 << QStringLiteral("hostBusy");
    QTest::newRow("1008") << int(kMsgLinkClosed) << 0 << QStringLiteral("linkClosed");
    QTest::newRow("1001 posted") << int(kMsgRemoteLearn) << 0x5A << QStringLiteral("remoteKeyLearned");
    QTest::newRow("unknown") << 1234 << 0 << QString();
  }
  void postFromALinkThreadArrivesOnTheUiThread() {
    QFETCH(int, message);
    QFETCH(int, wParam);
    QFETCH(QString, signal);
    QtNotificationBridge bridge;
    QThread* ui = QThread::currentThread();
    QStringList seen;
    QList<int> values;
    bool allOnUi = true;
    auto note = [&](const char* name, int value) {
      seen << QString::fromLatin1(name);
      values << value;
      allOnUi = allOnUi && QThread::currentThread() == ui;
    };
    connect(&bridge, &QtNotificationBridge::syncDone, [&](int w) { note("syncDone", w); });
    connect(&bridge, &QtNotificationBridge::hostTimeout, [&] { note("hostTimeout", 0); });
    connect(&bridge, &QtNotificationBridge::hostBusy, [&] { note("hostBusy", 0); });
    connect(&bridge, &QtNotificationBridge::linkClosed, [&] { note("linkClosed", 0); });
    connect(&bridge, &QtNotificationBridge::remoteKeyLearned, [&](int c) { note("remoteKeyLearned", c); });

    std::thread link([&] { bridge.Post(message, wParam, 0); });
    link.join();
    QVERIFY(seen.isEmpty());  // queued: nothing happens before the UI thread spins
    if (signal.isEmpty()) {
      QTest::qWait(50);
      QVERIFY(seen.isEmpty());
      return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1, 5000);
    QCOMPARE(seen[0], signal);
    QCOMPARE(values[0], wParam);
    QVERIFY(allOnUi);
  }

  void parameterErrorIsQueuedWithItsText() {
    QtNotificationBridge bridge;
    QSignalSpy spy(&bridge, &QtNotificationBridge::parameterError);
    std::thread link([&] { bridge.ShowParameterError("Parameter error: 0x09 04 02"); });
    link.join();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QCOMPARE(spy[0][0].toString(), QStringLiteral("Parameter error: 0x09 04 02"));
  }

  // The sender is released only after the UI thread has run the handler.
  void sendFromALinkThreadWaitsUntilHandled() {
    QtNotificationBridge bridge;
    QThread* ui = QThread::currentThread();
    std::atomic<bool> handled{false};
    std::atomic<bool> handledBeforeReturn{false};
    std::atomic<bool> returned{false};
    int code = -1;
    bool onUi = false;
    connect(&bridge, &QtNotificationBridge::remoteKeyLearned, [&](int c) {
      QThread::msleep(100);  // a slow handler must still be waited for
      code = c;
      onUi = QThread::currentThread() == ui;
      handled = true;
    });
    std::thread link([&] {
      bridge.Send(kMsgRemoteLearn, 0x17, 0);
      handledBeforeReturn = handled.load();
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 5000);
    link.join();
    QVERIFY(handledBeforeReturn);
    QCOMPARE(code, 0x17);
    QVERIFY(onUi);
  }

  void sendOnTheUiThreadIsHandledAtOnce() {
    QtNotificationBridge bridge;
    QSignalSpy spy(&bridge, &QtNotificationBridge::remoteKeyLearned);
    bridge.Send(kMsgRemoteLearn, 3, 0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), 3);
  }

  // The UI thread blocked on the link thread (as when joining it on close): Send gives up
  // after its bound instead of deadlocking, and the notice is handled once the UI spins.
  void sendReturnsAfterItsBoundWhenTheUiThreadIsBlocked() {
    QtNotificationBridge bridge;
    bridge.SetSendWait(200ms);
    QSignalSpy spy(&bridge, &QtNotificationBridge::remoteKeyLearned);
    QElapsedTimer clock;
    clock.start();
    std::thread link([&] { bridge.Send(kMsgRemoteLearn, 9, 0); });
    link.join();  // the UI thread does not spin while it waits here
    const qint64 waited = clock.elapsed();
    QVERIFY2(waited >= 190, qPrintable(QString::number(waited)));
    QVERIFY2(waited < 5000, qPrintable(QString::number(waited)));
    QCOMPARE(spy.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QCOMPARE(spy[0][0].toInt(), 9);
  }

  // A send followed by posts keeps its place in the order the link produced them.
  void sendAndPostsKeepTheirOrder() {
    QtNotificationBridge bridge;
    bridge.SetSendWait(0ms);
    QStringList order;
    connect(&bridge, &QtNotificationBridge::remoteKeyLearned, [&](int) { order << "learn"; });
    connect(&bridge, &QtNotificationBridge::syncDone, [&](int) { order << "sync"; });
    connect(&bridge, &QtNotificationBridge::hostBusy, [&] { order << "busy"; });
    std::thread link([&] {
      bridge.Post(kMsgSyncDone, 0, 0);
      bridge.Send(kMsgRemoteLearn, 1, 0);
      bridge.Post(kMsgHostBusy, 0, 0);
    });
    link.join();
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 5000);
    QCOMPARE(order, (QStringList{"sync", "learn", "busy"}));
  }

  void callsStillQueuedWhenTheBridgeGoesAreDropped() {
    auto bridge = std::make_unique<QtNotificationBridge>();
    bridge->SetSendWait(50ms);
    int delivered = 0;
    connect(bridge.get(), &QtNotificationBridge::syncDone, [&](int) { ++delivered; });
    std::thread link([&] {
      bridge->Post(kMsgSyncDone, 0, 0);
      bridge->Send(kMsgRemoteLearn, 1, 0);
    });
    link.join();
    bridge.reset();
    QTest::qWait(50);
    QCOMPARE(delivered, 0);
  }
};

QTEST_MAIN(NotificationBridgeTest)
#include "NotificationBridgeTest.moc"
