#pragma once
// A passive thumbnail of a seven-band equaliser: only the summed response, drawn from
// 56 points on a ±15 dB, 10 Hz..25119 Hz graph. No markers, no editing; a click is
// passed to the host (which opens the full editor). "PASS" is written over the curve
// while the equaliser is bypassed, a translucent grey veil covers it while disabled,
// and a cyan frame lights while the pointer is over the panel.
#include <QColor>
#include <QPixmap>
#include <QPolygonF>
#include <QWidget>

#include <array>

namespace dsptune {

class EqThumbnail : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kBands = 7;
  static constexpr int kPoints = 56;
  static constexpr int kMargin = 2;  // px on each side of the plot

  struct Band {
    int type = 1;  // EqFilterType; only 1..5 contribute
    float frequency = 100.0f;  // Hz
    float gain = 0.0f;         // dB
    float q = 1.414f;
    float x = 0.0f;  // marker position in client pixels (not drawn; kept for the host)
    float y = 0.0f;
    std::array<float, kPoints> curveY{};  // the band's response, client pixels
  };

  explicit EqThumbnail(QWidget* parent = nullptr);

  // Each setter recomputes the band and repaints; b outside 0..6 is ignored.
  // The type alone is set: the host applies the defaults that go with a type.
  void SetBandType(int b, int type);
  void SetBandFrequency(int b, float hz);  // 0 is ignored; clamped to 20..20000 Hz
  void SetBandGain(int b, float db);       // clamped to -15..+15 dB
  void SetBandQ(int b, float q);
  void SetCurveColor(const QColor& color);
  void SetBypass(bool bypass);
  void SetDisabled(bool disabled);

  const Band& BandAt(int b) const { return bands_[static_cast<std::size_t>(b)]; }
  QColor CurveColor() const { return curveColor_; }
  bool Bypass() const { return bypass_; }
  bool Disabled() const { return disabled_; }
  bool Hovered() const { return hovered_; }

  // Summed response at the 56 points in dB (each band's value rounded to 0.1 dB first)
  // and the polyline it is drawn as, in client pixels.
  std::array<float, kPoints> SummedDb() const;
  QPolygonF SummedCurve() const;

  // Pixel mapping of the thumbnail's axes, client coordinates.
  double XOfFrequency(double hz) const;
  double YOfGain(double db) const;
  double GainOfY(double y) const;

  QSize sizeHint() const override { return {160, 80}; }

 signals:
  // Left button pressed and released over the panel.
  void Clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  double PlotWidth() const { return width() - 2.0 * kMargin; }
  double PlotHeight() const { return height() - 2.0 * kMargin; }
  void RecomputeBand(int b);
  void RebuildBackground();

  std::array<Band, kBands> bands_{};
  QColor curveColor_{0, 200, 255};
  bool bypass_ = false;
  bool disabled_ = false;
  bool hovered_ = false;
  bool pressed_ = false;
  QPixmap background_;  // grid, rebuilt only when the size changes
};

}  // namespace dsptune
