// The transfer-curve graph as drawn: grid, curve, threshold dot, shaded output band and
// "OFF" at the pixels the curve maths gives, the setters, and the grid kept between
// repaints until a resize.
#include <QImage>
#include <QtTest>

#include <vector>

#include <cmath>

#include "editors/CompressorCurvePanel.h"

using namespace dsptune;

namespace {

QImage Render(CompressorCurvePanel& panel) { return panel.grab().toImage().convertToFormat(QImage::Format_RGB32); }

bool Near(QColor a, QColor b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Colour of `over` with `alpha` painted on `under`.
QColor Blend(QColor under, QColor over, int alpha) {
  auto mix = [alpha](int u, int o) { return (o * alpha + u * (255 - alpha)) / 255; };
  return QColor(mix(under.red(), over.red()), mix(under.green(), over.green()), mix(under.blue(), over.blue()));
}

int CountNear(const QImage& image, const QRect& area, QColor colour, int tolerance) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += Near(image.pixelColor(x, y), colour, tolerance);
  return n;
}

const QColor kBackground(20, 20, 20);
const QColor kGrid(0, 110, 0);
const QColor kCurve(0, 207, 255);
const QColor kBand(120, 90, 120);
const QColor kOff(0, 150, 255);

}  // namespace

class CompressorCurvePanelTest : public QObject {
  Q_OBJECT

 private slots:
  void settersChangeOneNumberEach() {
    CompressorCurvePanel panel;
    QCOMPARE(panel.Curve().threshold, -15.0f);
    QCOMPARE(panel.Curve().lowerBreak, -5.0f);
    QVERIFY(!panel.Curve().on);
    panel.SetThreshold(-30.0f);
    panel.SetUpperSlope(0.25f);
    panel.SetLowerBreak(-90.0f);
    panel.SetLowerSlope(2.0f);
    panel.SetOn(true);
    QCOMPARE(panel.Curve().threshold, -30.0f);
    QCOMPARE(panel.Curve().upperSlope, 0.25f);
    QCOMPARE(panel.Curve().lowerBreak, -90.0f);
    QCOMPARE(panel.Curve().lowerSlope, 2.0f);
    QVERIFY(panel.Curve().on);
  }

  // Threshold -30 dB, ratio 4: the curve leaves the unity line at (-30, -30) and ends at
  // (+6, -21); the band spans outputs -90 .. -21.
  void drawsWhereTheMathsSays() {
    CompressorCurvePanel panel;
    panel.resize(600, 445);  // plot 540 x 400 at (40, 20)
    panel.SetCurve({-30.0f, -90.0f, 0.25f, 1.0f, true});
    const QImage image = Render(panel);
    const CurvePlot plot = panel.Plot();
    QCOMPARE(plot.width, 540.0);

    // The +6 dB grid line lies above the band; the -10 dB input line crosses the plot.
    QVERIFY(Near(image.pixelColor(300, 20), kGrid, 0));
    QVERIFY(Near(image.pixelColor(int(plot.InputX(-10)), 25), kGrid, 0));
    QVERIFY(Near(image.pixelColor(300, 30), kBackground, 0));  // between grid lines, above the band
    // Inside the band, away from lines and curve: the band over the background.
    const int bandY = int(plot.OutputY(-45));
    QVERIFY(Near(image.pixelColor(int(plot.InputX(-5)), bandY), Blend(kBackground, kBand, 65), 2));
    QVERIFY(Near(image.pixelColor(int(plot.InputX(-5)), int(plot.OutputY(-18))), kBackground, 0));  // above it
    // The curve under the band, on both segments.
    for (double in : {-60.0, 0.0}) {
      const double out = in < -30 ? in : -30 + (in + 30) * 0.25;
      const QColor c = image.pixelColor(int(plot.InputX(in)), int(plot.OutputY(out)));
      QVERIFY2(Near(c, Blend(kCurve, kBand, 65), 30), qPrintable(c.name()));
    }
    // The dot at (T, T) is red.
    const QColor dot = image.pixelColor(int(plot.InputX(-30)), int(plot.OutputY(-30)));
    // (red at alpha 200, then the band at alpha 65 over it)
    QVERIFY2(dot.red() > 150 && dot.red() - dot.green() > 90 && dot.red() - dot.blue() > 80, qPrintable(dot.name()));
    // Labels sit left of and under the plot, in yellow.
    const QRect leftLabels(0, 0, 39, panel.height());
    const QRect bottomLabels(0, panel.height() - 23, panel.width(), 16);
    QVERIFY(CountNear(image, leftLabels, QColor(255, 255, 0), 60) > 50);
    QVERIFY(CountNear(image, bottomLabels, QColor(255, 255, 0), 60) > 50);
    // Switched on: no "OFF".
    QCOMPARE(CountNear(image, panel.rect(), kOff, 8), 0);
  }

  void offIsDrawnOverTheGraph() {
    CompressorCurvePanel panel;
    panel.resize(500, 400);
    panel.SetCurve({-15.0f, -90.0f, 1.0f, 1.0f, false});
    const QImage off = Render(panel);
    const QRect middle(panel.width() / 2 - 60, panel.height() / 2 - 30, 120, 60);
    QVERIFY(CountNear(off, middle, kOff, 8) > 100);
    panel.SetOn(true);
    QCOMPARE(CountNear(Render(panel), middle, kOff, 8), 0);
  }

  void gridIsKeptUntilAResize() {
    CompressorCurvePanel panel;
    panel.resize(400, 300);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Render(panel);
    const int builds = panel.BackgroundBuilds();
    QCOMPARE(builds, 1);
    panel.SetThreshold(-40.0f);
    panel.SetOn(true);
    Render(panel);
    QCOMPARE(panel.BackgroundBuilds(), builds);
    panel.resize(420, 320);
    Render(panel);
    QCOMPARE(panel.BackgroundBuilds(), builds + 1);
  }

  // The output labels keep apart from each other and from the input labels' row (the
  // +6 dB and 0 dB lines lie closest).
  void outputLabelsKeepApart() {
    const struct {
      const char* name;
      std::vector<double> tops;
      double floor;
      std::vector<double> expected;
    } rows[] = {
        {"apart already", {0, 20, 40}, 100, {0, 20, 40}},
        {"overlap shared", {10, 16, 40}, 100, {7, 19, 40}},
        {"upper label stops at the top", {1, 5, 40}, 100, {0, 12, 40}},
        {"pushed on down the list", {10, 16, 22}, 100, {7, 19, 31}},
        {"bottom label lifted off the input row", {0, 20, 40}, 45, {0, 20, 33}},
        {"lifting pushes the ones above", {0, 20, 28}, 38, {0, 14, 26}},
    };
    for (const auto& row : rows) {
      std::vector<double> tops = row.tops;
      SeparateLabels(tops, 12.0, row.floor);
      QVERIFY2(tops == row.expected, row.name);
    }
  }
};

QTEST_MAIN(CompressorCurvePanelTest)
#include "CompressorCurvePanelTest.moc"
