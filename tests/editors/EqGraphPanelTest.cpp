// The EQ graph widget: pointer and key routing into its model, its notifications and
// menus, and what it paints.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

#include "editors/EqGraphPanel.h"

using dsptune::EqGraphPanel;
using dsptune::EqBand;

namespace {

// Client position of band i's marker, as the model places it.
QPoint MarkerPos(const EqGraphPanel& panel, int i) {
  const EqBand& band = *panel.Model().BandAt(i);
  const auto plot = panel.Model().Plot();
  return QPoint(static_cast<int>(std::lround(plot.left + band.x)), static_cast<int>(std::lround(plot.top + band.y)));
}

// Pixels of the grabbed panel with exactly this colour.
int CountPixels(const QImage& image, QRgb color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
  }
  return n;
}

// Answers the panel's pop-up menus without showing them: records the offered texts and
// picks the action with the given text (none when empty).
struct MenuScript {
  QStringList offered;
  QString pick;
  int shown = 0;

  EqGraphPanel::MenuRunner Runner() {
    return [this](QMenu& menu, const QPoint&) -> QAction* {
      ++shown;
      offered.clear();
      QAction* chosen = nullptr;
      for (QAction* action : menu.actions()) {
        offered << action->text();
        if (action->text() == pick) chosen = action;
      }
      return chosen;
    };
  }
};

struct PaintCounter : QObject {
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::Paint;
    return false;
  }
};

void SendKey(QWidget* target, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, quint32 nativeKey) {
  QKeyEvent event(type, key, modifiers, 0, nativeKey, 0);
  QApplication::sendEvent(target, &event);
}

void SendWheel(QWidget* target, QPoint pos, int angle) {
  QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

}  // namespace

class EqGraphPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    panel_ = new EqGraphPanel;
    panel_->resize(842, 338);  // an 800 x 300 plot
    panel_->SetEqNumber(6);    // Music EQ, 10 bands
    panel_->SetLanguage(1);
    panel_->SetMenuRunner(menus_.Runner());
    menus_ = MenuScript{};
    panel_->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel_));
  }
  void cleanup() { delete panel_; }

  void dragMovesTheBandAndNotifies() {
    QSignalSpy pressed(panel_, &EqGraphPanel::BandPressed);
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    const QPoint start = MarkerPos(*panel_, 2);
    const float before = panel_->Model().BandAt(2)->frequency;
    QTest::mousePress(panel_, Qt::LeftButton, Qt::NoModifier, start);
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(pressed.at(0).at(0).toInt(), 2);
    QCOMPARE(changed.count(), 0);

    const QPoint end = start + QPoint(40, -50);  // 50 px up on a 300 px, 30 dB plot: +5 dB
    QTest::mouseMove(panel_, start + QPoint(20, -25));
    QTest::mouseMove(panel_, end);
    QTest::mouseRelease(panel_, Qt::LeftButton, Qt::NoModifier, end);
    QVERIFY(changed.count() >= 2);  // every move, and the release
    for (const auto& args : changed) QCOMPARE(args.at(0).toInt(), 2);
    const EqBand& band = *panel_->Model().BandAt(2);
    QVERIFY(band.frequency > before);
    QVERIFY2(std::abs(band.gain - 5.0f) <= 0.11f, qPrintable(QString::number(band.gain)));
    QCOMPARE(panel_->Model().Selected(), 2);
    QVERIFY(panel_->hasFocus());
  }

  void clickWithoutMovingSendsNoChange() {
    QSignalSpy pressed(panel_, &EqGraphPanel::BandPressed);
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    QSignalSpy empty(panel_, &EqGraphPanel::EmptyClicked);
    const QPoint at = MarkerPos(*panel_, 4);
    QTest::mousePress(panel_, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(panel_, at + QPoint(1, 1));  // within the 1 px dead zone
    QTest::mouseRelease(panel_, Qt::LeftButton, Qt::NoModifier, at + QPoint(1, 1));
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(empty.count(), 0);
    QCOMPARE(panel_->Model().BandAt(4)->frequency, 500.0f);

    // Far from every marker: the selection goes and the host hears EmptyClicked.
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, QPoint(60, 30));
    QCOMPARE(empty.count(), 1);
    QCOMPARE(panel_->Model().Selected(), -1);
  }

  void disabledPanelIgnoresPresses() {
    panel_->SetDisabled(true);
    QSignalSpy pressed(panel_, &EqGraphPanel::BandPressed);
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    QSignalSpy empty(panel_, &EqGraphPanel::EmptyClicked);
    const QPoint at = MarkerPos(*panel_, 3);
    QTest::mousePress(panel_, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(panel_, at + QPoint(30, 30));
    QTest::mouseRelease(panel_, Qt::LeftButton, Qt::NoModifier, at + QPoint(30, 30));
    QTest::mouseClick(panel_, Qt::RightButton, Qt::NoModifier, QPoint(60, 30));
    QCOMPARE(pressed.count() + changed.count() + empty.count() + menus_.shown, 0);
  }

  void rightClickOnEmptySpaceOffersCopyPaste_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<int>("action");  // -1: nothing requested
    QTest::newRow("english copy") << 1 << "Copy EQ" << QStringList{"Copy EQ", "Paste EQ"} << 0;
    QTest::newRow("english paste") << 1 << "Paste EQ" << QStringList{"Copy EQ", "Paste EQ"} << 1;
    QTest::newRow("chinese paste") << 0 << "粘贴均衡" << QStringList{"复制均衡", "粘贴均衡"} << 1;
    QTest::newRow("dismissed") << 1 << "" << QStringList{"Copy EQ", "Paste EQ"} << -1;
  }
  void rightClickOnEmptySpaceOffersCopyPaste() {
    QFETCH(int, language);
    QFETCH(QString, pick);
    QFETCH(QStringList, offered);
    QFETCH(int, action);
    panel_->SetLanguage(language);
    menus_.pick = pick;
    QSignalSpy requested(panel_, &EqGraphPanel::CopyPasteRequested);
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    QTest::mouseClick(panel_, Qt::RightButton, Qt::NoModifier, QPoint(60, 30));
    QCOMPARE(menus_.shown, 1);
    QCOMPARE(menus_.offered.mid(0, 2), offered);  // the file entries follow (GraphFileMenuTest)
    QCOMPARE(requested.count(), action < 0 ? 0 : 1);
    if (action >= 0) QCOMPARE(requested.at(0).at(0).toInt(), action);
    QCOMPARE(changed.count(), 0);
  }

  void typeMenuOnCrossoverHead_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QList<int>>("types");  // bands 9..12 afterwards
    const QStringList english{"PEQ", "LP", "HP", "LS", "HS"};
    const QStringList chinese{"参量(PEQ)", "低通(LP)", "高通(HP)", "低架(LS)", "高架(HS)"};
    QTest::newRow("LP") << 1 << "LP" << english << QList<int>{18, 20, 1, 1};
    QTest::newRow("HP chinese") << 0 << "高通(HP)" << chinese << QList<int>{19, 21, 1, 1};
    QTest::newRow("HS") << 1 << "HS" << english << QList<int>{5, 1, 1, 1};
  }
  void typeMenuOnCrossoverHead() {
    QFETCH(int, language);
    QFETCH(QString, pick);
    QFETCH(QStringList, offered);
    QFETCH(QList<int>, types);
    panel_->SetEqNumber(7);  // CH1 EQ: band 9 heads the hidden bands 10..12
    panel_->SetLanguage(language);
    panel_->SetBandGain(9, 4.0f);
    menus_.pick = pick;
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    const QPoint at = MarkerPos(*panel_, 9);
    QTest::mousePress(panel_, Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(changed.count(), 1);  // picked with the right button
    QTest::mouseRelease(panel_, Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(menus_.shown, 1);
    QCOMPARE(menus_.offered, offered);
    QCOMPARE(changed.count(), 3);  // the release, then the menu's choice
    for (const auto& args : changed) QCOMPARE(args.at(0).toInt(), 9);
    for (int b = 0; b < 4; ++b) QCOMPARE(panel_->Model().BandAt(9 + b)->type, types[b]);
    QCOMPARE(panel_->Model().BandAt(9)->gain, 0.0f);
  }

  void rightDragChangesQWithoutMenu() {
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    const QPoint at = MarkerPos(*panel_, 5);
    const float q = panel_->Model().BandAt(5)->q;
    QTest::mousePress(panel_, Qt::RightButton, Qt::NoModifier, at);
    QTest::mouseMove(panel_, at + QPoint(24, 0));
    QTest::mouseRelease(panel_, Qt::RightButton, Qt::NoModifier, at + QPoint(24, 0));
    QCOMPARE(panel_->Model().BandAt(5)->q, q + 2.0f);  // 24 px at 12 px per unit
    QCOMPARE(menus_.shown, 0);
    QCOMPARE(changed.count(), 3);  // press, move, release
  }

  void wheelAndKeysStepTheSelectedBand_data() {
    QTest::addColumn<int>("input");  // 0 wheel notch up, else a key
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<float>("gain");
    QTest::addColumn<float>("frequency");
    QTest::addColumn<float>("q");
    // Band 5 of the Music EQ: 1000 Hz, 0 dB, Q 1.41.
    QTest::newRow("wheel up") << 0 << 0 << 0.1f << 1000.0f << 1.41f;
    QTest::newRow("up") << int(Qt::Key_Up) << 0 << 0.2f << 1000.0f << 1.41f;
    QTest::newRow("ctrl down") << int(Qt::Key_Down) << int(Qt::ControlModifier) << -0.1f << 1000.0f << 1.41f;
    QTest::newRow("right") << int(Qt::Key_Right) << 0 << 0.0f << 1005.0f << 1.41f;
    QTest::newRow("ctrl left") << int(Qt::Key_Left) << int(Qt::ControlModifier) << 0.0f << 994.0f << 1.41f;
    QTest::newRow("main plus") << int(Qt::Key_Equal) << 0 << 0.0f << 1000.0f << 1.51f;
    QTest::newRow("pad minus ctrl") << int(Qt::Key_Minus) << int(Qt::ControlModifier | Qt::KeypadModifier) << 0.0f
                                    << 1000.0f << 1.40f;
  }
  void wheelAndKeysStepTheSelectedBand() {
    QFETCH(int, input);
    QFETCH(int, modifiers);
    QFETCH(float, gain);
    QFETCH(float, frequency);
    QFETCH(float, q);
    const QPoint at = MarkerPos(*panel_, 5);
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, at);
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    if (input == 0) {
      SendWheel(panel_, at, 120);
    } else {
      QTest::keyClick(panel_, static_cast<Qt::Key>(input), Qt::KeyboardModifiers(modifiers));
    }
    QCOMPARE(changed.count(), 1);
    const EqBand& band = *panel_->Model().BandAt(5);
    QVERIFY(std::abs(band.gain - gain) < 1e-4f);
    QVERIFY(std::abs(band.frequency - frequency) < 1e-3f);
    QVERIFY(std::abs(band.q - q) < 1e-4f);
  }

  void rightCtrlIsNotLeftCtrl() {
    // Only the left Ctrl key makes the fine steps; the right one is told apart by its
    // X11 key symbol.
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, MarkerPos(*panel_, 5));
    SendKey(panel_, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 0xffe4);
    SendKey(panel_, QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier, 0);
    QVERIFY(std::abs(panel_->Model().BandAt(5)->gain - 0.2f) < 1e-4f);
    SendKey(panel_, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 0xffe3);  // both held
    SendKey(panel_, QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier, 0);
    QVERIFY(std::abs(panel_->Model().BandAt(5)->gain - 0.3f) < 1e-4f);
  }

  void wheelOnLowPassIsPassedOn() {
    panel_->SetBandType(5, 2);
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, MarkerPos(*panel_, 5));
    QSignalSpy changed(panel_, &EqGraphPanel::BandChanged);
    const QPoint at = MarkerPos(*panel_, 5);
    QWheelEvent event(at, panel_->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(panel_, &event);
    QVERIFY(!event.isAccepted());
    QCOMPARE(changed.count(), 0);
  }

  void hoverFollowsThePointer() {
    QTest::mouseMove(panel_, MarkerPos(*panel_, 7) + QPoint(12, -12));
    QCOMPARE(panel_->Model().Hovered(), 7);
    QTest::mouseMove(panel_, QPoint(60, 30));
    QCOMPARE(panel_->Model().Hovered(), -1);
  }

  void bypassOverlayAndCachedBackground() {
    PaintCounter paints;
    panel_->installEventFilter(&paints);
    panel_->SetBypass(true);
    QTRY_VERIFY(paints.count > 0);  // the flag alone schedules a repaint
    panel_->SetBypass(false);

    const int builds = panel_->BackgroundBuilds();
    const QImage plain = panel_->grab().toImage();
    QVERIFY(CountPixels(plain, qRgb(255, 255, 255)) < 200);  // only the marker numbers
    panel_->SetBypass(true);
    const QImage bypassed = panel_->grab().toImage();
    QVERIFY(CountPixels(bypassed, qRgb(255, 255, 255)) > 2000);
    panel_->SetBypass(false);
    QCOMPARE(panel_->grab().toImage(), plain);
    QCOMPARE(panel_->BackgroundBuilds(), builds);  // repaints reuse the grid

    panel_->resize(600, 260);
    panel_->grab();
    QCOMPARE(panel_->BackgroundBuilds(), builds + 1);
  }

  void drawsTheFixedColours() {
    // Grid, summed curve, status line: sample what must be on screen.
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, MarkerPos(*panel_, 3));
    panel_->SetBandGain(3, 12.0f);  // status gain in red
    const QImage image = panel_->grab().toImage();
    QCOMPARE(image.pixel(2, 2) & 0xFFFFFF, qRgb(20, 20, 20) & 0xFFFFFF);
    const auto plot = panel_->Model().Plot();
    const int y = plot.top + static_cast<int>(std::lround(panel_->Model().GainToY(-9.0)));
    QCOMPARE(image.pixel(plot.left + 5, y) & 0xFFFFFF, qRgb(64, 64, 64) & 0xFFFFFF);
    QVERIFY(CountPixels(image, qRgb(0, 200, 255)) > 400);  // the summed curve, 2 px wide
    QVERIFY(CountPixels(image, qRgb(16, 255, 16)) > 50);   // status line and values
    QVERIFY(CountPixels(image, qRgb(255, 0, 0)) > 10);     // the gain of +12 dB
  }

  // The gain labels ("+15dB" the widest) keep clear of the panel's left edge and of the
  // plot, at 1x and 2x scale alike; the tooltip teaches the gestures in the language.
  void gainLabelsKeepClearOfTheEdgeAndTooltipTeaches() {
    for (qreal ratio : {1.0, 2.0}) {
      QImage image(panel_->size() * ratio, QImage::Format_RGB32);
      image.setDevicePixelRatio(ratio);
      panel_->render(&image);
      const auto plot = panel_->Model().Plot();
      int labelPixels = 0;
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < 3 * ratio; ++x)
          QVERIFY2((image.pixel(x, y) & 0xFFFFFF) == (qRgb(20, 20, 20) & 0xFFFFFF), qPrintable(QString::number(y)));
        for (int x = int(3 * ratio); x < int((plot.left - 2) * ratio); ++x)
          labelPixels += (image.pixel(x, y) & 0xFFFFFF) != (qRgb(20, 20, 20) & 0xFFFFFF);
      }
      QVERIFY(labelPixels > 100);  // the labels are there
    }
    QVERIFY(panel_->toolTip().contains("Right-drag a marker: right or up raises Q"));
    panel_->SetLanguage(0);
    QVERIFY(panel_->toolTip().contains(QString::fromUtf8("右键拖动")));
  }

  // The readout beside the selected marker moves off a neighbour it would cover, and a
  // purely vertical drag through the widget keeps the band's frequency exactly.
  void readoutKeepsClearOfOtherMarkers() {
    panel_->SetBandFrequency(4, 630.0f);
    panel_->SetBandGain(4, 0.0f);
    panel_->SetBandFrequency(5, 700.0f);  // just right of band 4 and a little lower
    panel_->SetBandGain(5, -3.0f);
    panel_->Model().SetSelected(4);
    panel_->grab();
    const QRectF readout = panel_->ReadoutRect();
    QVERIFY(!readout.isNull());
    for (int i = 0; i < panel_->Model().BandCount(); ++i) {
      if (i == 4) continue;
      const QPoint c = MarkerPos(*panel_, i);
      QVERIFY2(!readout.intersects(QRectF(c.x() - 9, c.y() - 9, 18, 18)), qPrintable(QString::number(i)));
    }

    const QPoint start = MarkerPos(*panel_, 4) + QPoint(3, 2);  // grabbed a little off centre
    QTest::mousePress(panel_, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(panel_, start + QPoint(0, 30));
    QTest::mouseRelease(panel_, Qt::LeftButton, Qt::NoModifier, start + QPoint(0, 30));
    QCOMPARE(panel_->Model().BandAt(4)->frequency, 630.0f);
    QVERIFY(panel_->Model().BandAt(4)->gain < -2.0f);
  }

  void splinePassesThroughEveryPoint() {
    const QPolygonF points{{0, 0}, {10, 5}, {20, -3}, {30, 0}};
    const QPainterPath path = dsptune::CardinalSplinePath(points, 0.1);
    QCOMPARE(path.elementCount(), 1 + 3 * 3);
    for (int i = 0; i < points.size(); ++i) QCOMPARE(QPointF(path.elementAt(i * 3)), points[i]);
    QVERIFY(dsptune::CardinalSplinePath({}, 0.1).isEmpty());
  }

  // Pictures for looking at, written to DSPTUNE_SHOT_DIR when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    auto save = [&](const char* name) { return panel_->grab().save(QDir(dir).filePath(QString::fromLatin1(name))); };
    panel_->resize(1024, 520);
    // A music EQ with a few bands moved and band 3 selected, in both languages.
    panel_->SetBandGain(1, 6.5f);
    panel_->SetBandGain(3, -5.0f);
    panel_->SetBandQ(3, 3.0f);
    panel_->SetBandType(8, 5);
    panel_->SetBandGain(8, 4.0f);
    panel_->SetBandType(0, 3);
    panel_->SetBandFrequency(0, 40.0f);
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, MarkerPos(*panel_, 3));
    QVERIFY(save("eqpanel-music-en.png"));
    panel_->SetLanguage(0);
    QVERIFY(save("eqpanel-music-zh.png"));
    QTest::mouseMove(panel_, MarkerPos(*panel_, 1) + QPoint(3, 3));
    QVERIFY(save("eqpanel-music-hover.png"));
    QTest::mouseMove(panel_, QPoint(5, 5));

    // A channel EQ whose crossover head is a 24 dB low-pass, selected.
    panel_->SetEqNumber(7);
    panel_->SetLanguage(1);
    panel_->SetBandGain(2, 3.0f);
    panel_->SetBandFrequency(9, 3000.0f);
    panel_->Model().ApplyMenuType(9, 2);
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, MarkerPos(*panel_, 9));
    QVERIFY(save("eqpanel-ch-lp.png"));
    panel_->SetBypass(true);
    QVERIFY(save("eqpanel-bypass.png"));
  }

 private:
  EqGraphPanel* panel_ = nullptr;
  MenuScript menus_;
};

QTEST_MAIN(EqGraphPanelTest)
#include "EqGraphPanelTest.moc"
