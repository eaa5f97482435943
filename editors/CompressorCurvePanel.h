#pragma once
// The transfer-curve graph of a compressor or limiter: input level across (-90 dB left
// to +6 dB right), output level up (+6 dB top to -90 dB bottom), the curve as three
// straight segments with a dot at the threshold, a shaded band over the output range
// the curve covers, and "OFF" over everything while the processor is switched off.
// The widget only paints a CompressorCurve; the maths is in dsp/CompressorCurve.h and
// the host sets the numbers. It takes no input of its own.
#include <QPixmap>
#include <QWidget>
#include <vector>

#include "dsp/CompressorCurve.h"

namespace dsptune {

// Moves the tops of labels of one height, listed top to bottom, apart until none
// overlaps the next: each overlap is shared between the two labels, the upper one never
// rising above the panel's top (0) or into the label before it. Then the lowest label
// ends at `floor` at the latest (the row of input labels starts there), pushing the
// ones above it up where they would overlap.
void SeparateLabels(std::vector<double>& tops, double height, double floor);

class CompressorCurvePanel : public QWidget {
  Q_OBJECT
 public:
  explicit CompressorCurvePanel(QWidget* parent = nullptr);

  const CompressorCurve& Curve() const { return curve_; }
  CurvePlot Plot() const { return CurvePlot::ForClient(width(), height()); }

  // Each changes one number and repaints.
  void SetThreshold(float db);
  void SetLowerBreak(float db);
  void SetUpperSlope(float slope);  // 1 / ratio
  void SetLowerSlope(float slope);
  void SetOn(bool on);
  void SetCurve(const CompressorCurve& curve);

  // Times the grid and its labels were drawn; they are kept between repaints and
  // redrawn only after a resize.
  int BackgroundBuilds() const { return backgroundBuilds_; }

  QSize sizeHint() const override { return {480, 400}; }
  QSize minimumSizeHint() const override { return {260, 200}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void RebuildBackground();

  CompressorCurve curve_;
  QPixmap background_;
  int backgroundBuilds_ = 0;
};

}  // namespace dsptune
