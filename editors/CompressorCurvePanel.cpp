#include "editors/CompressorCurvePanel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace dsptune {
namespace {

const QColor kBackground(20, 20, 20);
const QColor kGridLine(0, 110, 0);
const QColor kLabel(255, 255, 0);
const QColor kCurveLine(0, 207, 255);
const QColor kThresholdDot(255, 10, 10, 200);
const QColor kOutputBand(120, 90, 120, 65);
const QColor kOffText(0, 150, 255);
constexpr double kCurveWidth = 2.0;
constexpr double kDotDiameter = 8.0;
constexpr double kOutputLabelRight = 38.0;  // output labels end here, left of the plot
constexpr double kInputLabelRise = 23.0;    // input labels start this far above the bottom

// The graph's fonts are the Chinese system faces, with the CJK faces found on other
// systems after them so the labels keep their size and weight everywhere.
QFont LabelFont() {
  QFont f(QStringList{QStringLiteral("SimSun"), QString::fromUtf8("宋体"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")});
  f.setPixelSize(12);
  return f;
}

QFont OffFont() {
  QFont f(QStringList{QStringLiteral("SimHei"), QString::fromUtf8("黑体"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("DejaVu Sans")});
  f.setPointSize(40);
  return f;
}

}  // namespace

void SeparateLabels(std::vector<double>& tops, double height, double floor) {
  // The +6 dB and 0 dB lines lie closer than the others; on a short graph their labels
  // would overlap. Each overlap is shared: the upper label rises (not above the panel
  // or the label before it), the lower one sinks by the rest.
  for (std::size_t i = 1; i < tops.size(); ++i) {
    const double overlap = tops[i - 1] + height - tops[i];
    if (overlap <= 0.0) continue;
    const double ceiling = i >= 2 ? tops[i - 2] + height : 0.0;
    const double rise = std::clamp(overlap / 2.0, 0.0, std::max(0.0, tops[i - 1] - ceiling));
    tops[i - 1] -= rise;
    tops[i] += overlap - rise;
  }
  // The bottom label would sit on the first input label: it and any above it move up.
  if (tops.empty() || tops.back() + height <= floor) return;
  tops.back() = floor - height;
  for (std::size_t i = tops.size() - 1; i-- > 0;) tops[i] = std::min(tops[i], tops[i + 1] - height);
}

CompressorCurvePanel::CompressorCurvePanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CompressorCurvePanel::SetThreshold(float db) {
  curve_.threshold = db;
  update();
}

void CompressorCurvePanel::SetLowerBreak(float db) {
  curve_.lowerBreak = db;
  update();
}

void CompressorCurvePanel::SetUpperSlope(float slope) {
  curve_.upperSlope = slope;
  update();
}

void CompressorCurvePanel::SetLowerSlope(float slope) {
  curve_.lowerSlope = slope;
  update();
}

void CompressorCurvePanel::SetOn(bool on) {
  curve_.on = on;
  update();
}

void CompressorCurvePanel::SetCurve(const CompressorCurve& curve) {
  curve_ = curve;
  update();
}

void CompressorCurvePanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  background_ = QPixmap();
}

void CompressorCurvePanel::RebuildBackground() {
  ++backgroundBuilds_;
  const qreal ratio = devicePixelRatioF();
  background_ = QPixmap(size() * ratio);
  background_.setDevicePixelRatio(ratio);
  background_.fill(kBackground);
  QPainter p(&background_);
  const CurvePlot plot = Plot();

  p.setPen(QPen(kGridLine, 1.0));
  for (int level : kCurveOutputGridDb) {
    const double y = std::floor(plot.OutputY(level)) + 0.5;
    p.drawLine(QPointF(plot.left, y), QPointF(width() - CurvePlot::kRightMargin, y));
  }
  for (int level : kCurveInputGridDb) {
    const double x = std::floor(plot.InputX(level)) + 0.5;
    p.drawLine(QPointF(x, plot.top), QPointF(x, plot.Bottom()));
  }

  p.setFont(LabelFont());
  p.setPen(kLabel);
  const QFontMetricsF metrics(p.font());
  const double lineHeight = metrics.height();
  std::vector<double> tops;
  for (int level : kCurveOutputGridDb) tops.push_back(plot.OutputY(level) - lineHeight / 2.0);
  SeparateLabels(tops, lineHeight, height() - kInputLabelRise);
  for (std::size_t i = 0; i < kCurveOutputGridDb.size(); ++i) {
    const QRectF box(0.0, tops[i], kOutputLabelRight, lineHeight);
    p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(kCurveOutputLabels[i]));
  }
  const double labelTop = height() - kInputLabelRise;
  for (std::size_t i = 0; i < kCurveInputGridDb.size(); ++i) {
    const QString text = QString::fromLatin1(kCurveInputLabels[i]);
    const double x = plot.InputX(kCurveInputGridDb[i]);
    const double half = metrics.horizontalAdvance(text) / 2.0 + 2.0;
    p.drawText(QRectF(x - half, labelTop, 2.0 * half, lineHeight), Qt::AlignHCenter | Qt::AlignTop, text);
  }
}

void CompressorCurvePanel::paintEvent(QPaintEvent*) {
  if (background_.isNull() || background_.devicePixelRatio() != devicePixelRatioF()) RebuildBackground();
  QPainter p(this);
  p.drawPixmap(0, 0, background_);
  const CurvePlot plot = Plot();

  p.setRenderHint(QPainter::Antialiasing, true);
  QPolygonF line;
  for (const CurvePoint& point : CurvePolyline(curve_)) line << QPointF(plot.InputX(point.input), plot.OutputY(point.output));
  p.setPen(QPen(kCurveLine, kCurveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(line);

  p.setPen(Qt::NoPen);
  p.setBrush(kThresholdDot);
  const QPointF dot(plot.InputX(curve_.threshold), plot.OutputY(curve_.threshold));
  p.drawEllipse(dot, kDotDiameter / 2.0, kDotDiameter / 2.0);

  const OutputSpan span = CurveOutputSpan(curve_);
  const double top = plot.OutputY(span.high);
  const double bottom = plot.OutputY(span.low);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRectF(plot.left, top, plot.width, bottom - top), kOutputBand);

  if (!curve_.on) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setFont(OffFont());
    p.setPen(kOffText);
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("OFF"));
  }
}

}  // namespace dsptune
