#include "editors/EqThumbnail.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "dsp/Biquad.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

constexpr double kAxisMinHz = 10.0;
constexpr double kAxisDecades = 3.4;  // 10 Hz .. 10·10^3.4 ≈ 25119 Hz
constexpr double kAxisRangeDb = 30.0;
constexpr float kMaxGainDb = 15.0f;

constexpr std::array<float, EqThumbnail::kBands> kDefaultFrequencies{31, 62, 125, 250, 500, 1000, 2000};

// Frequency of curve point u: the whole part of 10·10^(3.4·u/56) Hz (10 .. 21841 Hz).
double PointFrequency(int u) {
  return std::floor(kAxisMinHz * std::pow(10.0, kAxisDecades * u / EqThumbnail::kPoints));
}

bool Drawn(int type) { return type >= kFilterPeq && type <= kFilterHighShelf; }

}  // namespace

EqThumbnail::EqThumbnail(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  for (int b = 0; b < kBands; ++b) {
    bands_[b].frequency = kDefaultFrequencies[b];
    RecomputeBand(b);
  }
}

double EqThumbnail::XOfFrequency(double hz) const {
  return kMargin + std::log10(hz / kAxisMinHz) * PlotWidth() / kAxisDecades;
}

double EqThumbnail::YOfGain(double db) const {
  return kMargin + PlotHeight() / 2 - db * PlotHeight() / kAxisRangeDb;
}

double EqThumbnail::GainOfY(double y) const {
  const double h = PlotHeight();
  if (h <= 0) return 0.0;
  return (kMargin + h / 2 - y) * kAxisRangeDb / h;
}

void EqThumbnail::RecomputeBand(int b) {
  Band& band = bands_[b];
  band.x = static_cast<float>(XOfFrequency(band.frequency));
  band.y = static_cast<float>(YOfGain(band.gain));
  if (!Drawn(band.type)) {
    band.curveY.fill(static_cast<float>(YOfGain(0.0)));
    return;
  }
  // Low- and high-pass bands are drawn at unity gain whatever gain they carry.
  const double gain = (band.type == kFilterLowPass || band.type == kFilterHighPass) ? 0.0 : band.gain;
  const BiquadCoefficients c = DesignBiquad(band.type, band.frequency, gain, band.q, 0.0, kDeviceSampleRate);
  for (int u = 0; u < kPoints; ++u) {
    band.curveY[u] = static_cast<float>(YOfGain(BiquadMagnitudeDb(c, PointFrequency(u), kDeviceSampleRate)));
  }
}

std::array<float, EqThumbnail::kPoints> EqThumbnail::SummedDb() const {
  std::array<float, kPoints> sum{};
  for (const Band& band : bands_) {
    for (int u = 0; u < kPoints; ++u) {
      // Tenths of a dB by adding a half and dropping the fraction (so -0.06 becomes 0.0).
      const int tenths = SaturatingCast<int>(GainOfY(band.curveY[u]) * 10.0 + 0.5);
      sum[u] += static_cast<float>(tenths) / 10.0f;
    }
  }
  return sum;
}

QPolygonF EqThumbnail::SummedCurve() const {
  const std::array<float, kPoints> sum = SummedDb();
  QPolygonF curve;
  curve.reserve(kPoints);
  for (int u = 0; u < kPoints; ++u) {
    curve << QPointF(kMargin + u * PlotWidth() / kPoints, YOfGain(sum[u]));
  }
  return curve;
}

void EqThumbnail::SetBandType(int b, int type) {
  if (b < 0 || b >= kBands) return;
  bands_[b].type = type;
  RecomputeBand(b);
  update();
}

void EqThumbnail::SetBandFrequency(int b, float hz) {
  if (b < 0 || b >= kBands || hz == 0.0f || std::isnan(hz)) return;
  bands_[b].frequency = std::clamp(hz, 20.0f, 20000.0f);
  RecomputeBand(b);
  update();
}

void EqThumbnail::SetBandGain(int b, float db) {
  if (b < 0 || b >= kBands || std::isnan(db)) return;
  bands_[b].gain = std::clamp(db, -kMaxGainDb, kMaxGainDb);
  RecomputeBand(b);
  update();
}

void EqThumbnail::SetBandQ(int b, float q) {
  if (b < 0 || b >= kBands) return;
  bands_[b].q = q;  // a Q the designer cannot use gives a flat band, never a broken curve
  RecomputeBand(b);
  update();
}

void EqThumbnail::SetCurveColor(const QColor& color) {
  curveColor_ = color;
  update();
}

void EqThumbnail::SetBypass(bool bypass) {
  bypass_ = bypass;
  update();
}

void EqThumbnail::SetDisabled(bool disabled) {
  disabled_ = disabled;
  update();
}

void EqThumbnail::RebuildBackground() {
  const qreal ratio = devicePixelRatioF();
  background_ = QPixmap(size() * ratio);
  background_.setDevicePixelRatio(ratio);
  background_.fill(Qt::black);
  QPainter p(&background_);
  const double left = kMargin;
  const double right = kMargin + PlotWidth();
  const double top = kMargin;
  const double bottom = kMargin + PlotHeight();
  auto hline = [&](int db, const QColor& color) {
    p.setPen(QPen(color, 1));
    const double y = YOfGain(db);
    p.drawLine(QPointF(left, y), QPointF(right, y));
  };
  for (int db = -15; db <= 15; ++db) hline(db, QColor(23, 23, 23));
  for (int db = -15; db <= 15; db += 3) hline(db, std::abs(db) == 15 ? QColor(128, 128, 128) : QColor(64, 64, 64));
  p.setPen(QPen(QColor(64, 64, 64), 1));
  for (double decade = 10; decade <= 1000; decade *= 10) {
    for (int m = 1; m <= 9; ++m) {
      const double x = XOfFrequency(decade * m);
      p.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
  }
  for (double hz : {10000.0, 20000.0}) {
    const double x = XOfFrequency(hz);
    p.drawLine(QPointF(x, top), QPointF(x, bottom));
  }
}

void EqThumbnail::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (int b = 0; b < kBands; ++b) RecomputeBand(b);  // the curves are kept in pixels
  background_ = QPixmap();
}

void EqThumbnail::paintEvent(QPaintEvent*) {
  if (background_.isNull() || background_.devicePixelRatio() != devicePixelRatioF()) RebuildBackground();
  QPainter p(this);
  p.drawPixmap(0, 0, background_);
  if (disabled_) p.fillRect(rect(), QColor(96, 96, 96, 0x65));
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(curveColor_, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(SummedCurve());
  if (bypass_) {
    QFont font(QStringList{QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("黑体")});
    font.setPixelSize(32);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("PASS"));
  }
  if (hovered_) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(0, 255, 255), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void EqThumbnail::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QWidget::enterEvent(event);
}

void EqThumbnail::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QWidget::leaveEvent(event);
}

void EqThumbnail::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
  event->accept();
}

void EqThumbnail::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const bool wasPressed = pressed_;
  pressed_ = false;
  if (wasPressed && rect().contains(event->position().toPoint())) emit Clicked();
}

}  // namespace dsptune
