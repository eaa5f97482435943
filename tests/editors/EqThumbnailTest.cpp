// The seven-band thumbnail: its 56-point summed curve, setter limits and overlays.
#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

#include "editors/EqThumbnail.h"

using dsptune::EqThumbnail;

namespace {

// Pixels of the grabbed panel that are pure white (the "PASS" text) or cyan (the frame).
int CountPixels(const QImage& image, QRgb color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
  }
  return n;
}

}  // namespace

class EqThumbnailTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    panel_ = new EqThumbnail;
    panel_->resize(164, 84);  // a 160 x 80 plot
    panel_->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel_));
  }
  void cleanup() { delete panel_; }

  void flatWhenEveryGainIsZero() {
    const auto sum = panel_->SummedDb();
    const QPolygonF curve = panel_->SummedCurve();
    QCOMPARE(curve.size(), EqThumbnail::kPoints);
    for (int u = 0; u < EqThumbnail::kPoints; ++u) {
      QCOMPARE(sum[u], 0.0f);
      QCOMPARE(curve[u].y(), 2.0 + 40.0);  // the middle of the plot
    }
    QCOMPARE(curve.first().x(), 2.0);
    QCOMPARE(curve.last().x(), 2.0 + 55 * 160.0 / 56);
  }

  void peakingBandRaisesTheCurveAtItsFrequency() {
    panel_->SetBandFrequency(5, 1000.0f);  // already the default; keeps the case explicit
    panel_->SetBandGain(5, 6.0f);
    const auto sum = panel_->SummedDb();
    // Point 33 is 1008 Hz, the grid point nearest 1000 Hz.
    QVERIFY2(std::abs(sum[33] - 6.0f) <= 0.15f, qPrintable(QString::number(sum[33])));
    QCOMPARE(sum[0], 0.0f);
    QCOMPARE(sum[55], 0.0f);
    QVERIFY(panel_->SummedCurve()[33].y() < 42.0 - 6.0 * 80 / 30 + 0.5);
  }

  void settersClampAndIgnore_data() {
    QTest::addColumn<int>("what");  // 0 frequency, 1 gain
    QTest::addColumn<float>("value");
    QTest::addColumn<float>("expected");
    QTest::newRow("frequency 0 ignored") << 0 << 0.0f << 125.0f;
    QTest::newRow("frequency 30000") << 0 << 30000.0f << 20000.0f;
    QTest::newRow("frequency 5") << 0 << 5.0f << 20.0f;
    QTest::newRow("frequency 440") << 0 << 440.0f << 440.0f;
    QTest::newRow("gain +20") << 1 << 20.0f << 15.0f;
    QTest::newRow("gain -20") << 1 << -20.0f << -15.0f;
    QTest::newRow("gain -3.5") << 1 << -3.5f << -3.5f;
  }
  void settersClampAndIgnore() {
    QFETCH(int, what);
    QFETCH(float, value);
    QFETCH(float, expected);
    if (what == 0) {
      panel_->SetBandFrequency(2, value);
      QCOMPARE(panel_->BandAt(2).frequency, expected);
    } else {
      panel_->SetBandGain(2, value);
      QCOMPARE(panel_->BandAt(2).gain, expected);
    }
  }

  void onlyUserTypesContribute_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("raised");
    QTest::newRow("PEQ") << 1 << true;
    QTest::newRow("LS") << 4 << true;
    QTest::newRow("crossover section") << 12 << false;
    QTest::newRow("off") << 0 << false;
  }
  void onlyUserTypesContribute() {
    QFETCH(int, type);
    QFETCH(bool, raised);
    panel_->SetBandGain(0, 12.0f);
    panel_->SetBandType(0, type);
    QCOMPARE(panel_->SummedDb()[8] > 3.0f, raised);  // point 8 is 30 Hz, at band 0 (31 Hz)
  }

  void lowPassIgnoresItsGain() {
    panel_->SetBandGain(6, 10.0f);
    panel_->SetBandQ(6, 0.7f);
    panel_->SetBandType(6, 2);
    const auto sum = panel_->SummedDb();
    QCOMPARE(sum[0], 0.0f);  // unity in the pass band, not +10 dB
    QVERIFY(sum[55] < -30.0f);
  }

  void overlaysAndFrame() {
    QEvent leave(QEvent::Leave);  // wherever the platform put the pointer
    QApplication::sendEvent(panel_, &leave);
    const QImage plain = panel_->grab().toImage();
    QCOMPARE(CountPixels(plain, qRgb(255, 255, 255)), 0);
    QCOMPARE(CountPixels(plain, qRgb(0, 255, 255)), 0);

    panel_->SetBypass(true);
    QVERIFY(CountPixels(panel_->grab().toImage(), qRgb(255, 255, 255)) > 50);
    panel_->SetBypass(false);

    panel_->SetDisabled(true);
    const QImage veiled = panel_->grab().toImage();
    for (QPoint at : {QPoint(5, 5), QPoint(100, 20), QPoint(2, 2)}) {
      // Grey 96 at alpha 0x65 over whatever was there.
      const int under = qRed(plain.pixel(at));
      const int expected = (under * (255 - 0x65) + 96 * 0x65) / 255;
      QVERIFY2(std::abs(qRed(veiled.pixel(at)) - expected) <= 2, qPrintable(QString::number(qRed(veiled.pixel(at)))));
    }
    panel_->SetDisabled(false);

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), panel_->mapToGlobal(QPointF(10, 10)));
    QApplication::sendEvent(panel_, &enter);
    QVERIFY(panel_->Hovered());
    const QImage framed = panel_->grab().toImage();
    QCOMPARE(framed.pixel(0, 0) & 0xFFFFFF, qRgb(0, 255, 255) & 0xFFFFFF);
    QCOMPARE(framed.pixel(163, 83) & 0xFFFFFF, qRgb(0, 255, 255) & 0xFFFFFF);
    QApplication::sendEvent(panel_, &leave);
    QVERIFY(!panel_->Hovered());
    QCOMPARE(CountPixels(panel_->grab().toImage(), qRgb(0, 255, 255)), 0);
  }

  void clickIsReported() {
    QSignalSpy clicked(panel_, &EqThumbnail::Clicked);
    QTest::mouseClick(panel_, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    QCOMPARE(clicked.count(), 1);
    QTest::mouseClick(panel_, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
    QCOMPARE(clicked.count(), 1);
  }

  void screenshot() {
    panel_->resize(204, 104);
    panel_->SetBandGain(1, 5.0f);
    panel_->SetBandGain(4, -6.0f);
    panel_->SetBandType(6, 5);
    panel_->SetBandGain(6, 4.0f);
    panel_->SetCurveColor(QColor(255, 180, 20));
    QVERIFY(panel_->grab().save(QStringLiteral("/tmp/eqpanel-small.png")));
    panel_->SetBypass(true);
    panel_->SetDisabled(true);
    QVERIFY(panel_->grab().save(QStringLiteral("/tmp/eqpanel-small-pass.png")));
  }

 private:
  EqThumbnail* panel_ = nullptr;
};

QTEST_MAIN(EqThumbnailTest)
#include "EqThumbnailTest.moc"
