// The EQ graph's overlays: the second curve (an output's chain response) and the room
// measurement of the auto EQ. Kept and painted here, so the panel's own file stays about
// the equaliser it edits.
#include <QPainter>

#include <cmath>

#include "editors/EqGraphPanel.h"

namespace dsptune {
namespace {

constexpr double kOverlayTension = 0.1;  // the summed curve's, so the curves differ only where they really do

// One path through the finite points; NaN (no data) breaks the line.
QPainterPath GappedPath(const std::vector<float>& db, const PlotRect& plot, const EqPanelModel& model) {
  const double step = static_cast<double>(plot.Width()) / kResponsePoints;
  QPainterPath path;
  QPolygonF run;
  const auto flush = [&] {
    if (run.size() > 1) path.addPath(CardinalSplinePath(run, kOverlayTension));
    run.clear();
  };
  for (int i = 0; i < int(db.size()); ++i) {
    const float v = db[std::size_t(i)];
    if (!std::isfinite(v)) {
      flush();
      continue;
    }
    run << QPointF(plot.left + i * step, plot.top + model.GainToY(v));
  }
  flush();
  return path;
}

}  // namespace

void EqGraphPanel::SetOverlayCurve(std::vector<float> db, const QColor& color, const QString& caption) {
  if (db.size() != std::size_t(kResponsePoints)) db.clear();
  overlay_ = std::move(db);
  overlayColor_ = color;
  overlayCaption_ = caption;
  update();
}

void EqGraphPanel::PaintOverlayCurve(QPainter& p) const {
  if (overlay_.empty()) return;
  const PlotRect plot = model_.Plot();
  const double step = static_cast<double>(plot.Width()) / kResponsePoints;
  QPolygonF points;
  points.reserve(kResponsePoints);
  for (int i = 0; i < kResponsePoints; ++i)
    points << QPointF(plot.left + i * step, plot.top + model_.GainToY(overlay_[std::size_t(i)]));
  p.setPen(QPen(overlayColor_, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(CardinalSplinePath(points, kOverlayTension));
  if (overlayCaption_.isEmpty()) return;
  QFont font = p.font();
  font.setPixelSize(11);
  p.setFont(font);
  p.setPen(overlayColor_);
  p.drawText(QRectF(plot.left + 4, plot.top + 2, plot.Width() - 8, 16), Qt::AlignLeft | Qt::AlignTop, overlayCaption_);
}

void EqGraphPanel::SetMeasurement(Measurement measurement) {
  const std::size_t n = std::size_t(kResponsePoints);
  if (measurement.measured.size() != n || measurement.target.size() != n) measurement = Measurement();
  measurement_ = std::move(measurement);
  update();
}

void EqGraphPanel::ClearMeasurement() { SetMeasurement({}); }

bool EqGraphPanel::ShowsMeasurement() const {
  return !measurement_.measured.empty() && measurement_.eq == model_.EqNumber();
}

std::vector<float> EqGraphPanel::MeasuredResult() const {
  if (measurement_.measured.empty()) return {};
  std::vector<float> result(measurement_.measured);
  for (int b : measurement_.bands) {
    const EqBand* band = model_.BandAt(b);
    if (band == nullptr || b >= model_.BandCount() || band->type == 0) continue;
    for (std::size_t i = 0; i < result.size(); ++i) result[i] += band->response[i];
  }
  return result;
}

void EqGraphPanel::PaintMeasurement(QPainter& p) const {
  if (!ShowsMeasurement()) return;
  const PlotRect plot = model_.Plot();
  p.setBrush(Qt::NoBrush);
  // The fit range's edges, faint: the bands were placed for what lies between them.
  p.setPen(QPen(QColor(kTargetColor.red(), kTargetColor.green(), kTargetColor.blue(), 110), 1.0, Qt::DotLine));
  for (double hz : {measurement_.fitLowHz, measurement_.fitHighHz}) {
    if (hz <= EqPanelModel::kAxisMinHz || hz >= EqPanelModel::kAxisMaxHz) continue;
    const double x = std::round(plot.left + model_.FrequencyToX(hz)) + 0.5;
    p.drawLine(QPointF(x, plot.top), QPointF(x, plot.bottom));
  }
  QColor measured = kMeasuredColor;
  measured.setAlpha(190);
  p.setPen(QPen(measured, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(GappedPath(measurement_.measured, plot, model_));
  p.setPen(QPen(kTargetColor, 1.5, Qt::DashLine, Qt::FlatCap, Qt::RoundJoin));
  p.drawPath(GappedPath(measurement_.target, plot, model_));
  p.setPen(QPen(kResultColor, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(GappedPath(MeasuredResult(), plot, model_));

  // The legend, bottom left inside the plot, clear of the chain curve's caption at the top.
  const bool english = model_.Language() == 1;
  const struct {
    QString text;
    QColor color;
    Qt::PenStyle style;
  } entries[] = {{english ? QStringLiteral("Measured") : QStringLiteral("测量"), measured, Qt::SolidLine},
                 {english ? QStringLiteral("Target") : QStringLiteral("目标"), kTargetColor, Qt::DashLine},
                 {english ? QStringLiteral("Result") : QStringLiteral("结果"), kResultColor, Qt::SolidLine}};
  QFont font = p.font();
  font.setPixelSize(11);
  p.setFont(font);
  const QFontMetricsF metrics(font);
  constexpr double kSwatch = 18, kGap = 4, kSpacing = 12;
  double x = plot.left + 6;
  const double baseline = plot.bottom - 5 - metrics.descent();
  const double lineY = baseline - metrics.ascent() / 2 + 1;
  for (const auto& e : entries) {
    p.setPen(QPen(e.color, 2.0, e.style, Qt::FlatCap));
    p.drawLine(QPointF(x, lineY), QPointF(x + kSwatch, lineY));
    x += kSwatch + kGap;
    p.setPen(e.color);
    p.drawText(QPointF(x, baseline), e.text);
    x += metrics.horizontalAdvance(e.text) + kSpacing;
  }
}

}  // namespace dsptune
