// The EQ graph's second curve (an output's chain response): kept and painted here, so
// the panel's own file stays about the equaliser it edits.
#include <QPainter>

#include "editors/EqGraphPanel.h"

namespace dsptune {

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
  // The same smoothing as the summed curve, so the two differ only where the chain does.
  p.drawPath(CardinalSplinePath(points, 0.1));
  if (overlayCaption_.isEmpty()) return;
  QFont font = p.font();
  font.setPixelSize(11);
  p.setFont(font);
  p.setPen(overlayColor_);
  p.drawText(QRectF(plot.left + 4, plot.top + 2, plot.Width() - 8, 16), Qt::AlignLeft | Qt::AlignTop, overlayCaption_);
}

}  // namespace dsptune
