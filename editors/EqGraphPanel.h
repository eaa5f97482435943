#pragma once
// The interactive frequency-response graph of one parametric equaliser: a marker per
// band, the translucent response of the selected band, the summed response of all
// bands, a status line and value labels. The widget only paints an EqPanelModel and
// routes pointer and key input into it; the band logic lives in the model. The panel
// never talks to the device: its host writes a band when it hears BandChanged.
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QWidget>

#include <functional>
#include <vector>

#include "editors/model/EqPanelModel.h"

class QMenu;
class QAction;

namespace dsptune {

// A smooth curve through every point (a cardinal spline as cubic Bézier segments).
// tension 0 gives straight lines, 0.5 the Catmull-Rom curve; the end segments use the
// end points as their own neighbours.
QPainterPath CardinalSplinePath(const QPolygonF& points, double tension);

class EqGraphPanel : public QWidget {
  Q_OBJECT
 public:
  // Copy/Paste menu choices, the action of CopyPasteRequested.
  // kReloadEq: the shown EQ was rewritten from the menu's "Import filters..."; the host
  // reloads it as after a paste.
  enum CopyPasteAction { kCopyEq = 0, kPasteEq = 1, kReloadEq = 2 };
  // Shows a pop-up menu at a global position and returns the chosen action or nullptr.
  // The default runs QMenu::exec; tests install one that inspects the menu and picks.
  using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;

  explicit EqGraphPanel(QWidget* parent = nullptr);

  // The band model, for the host's direct reads and bulk loads. After changing it
  // directly, call update() (and RecomputeBand/RecomputeAll on the model as needed).
  EqPanelModel& Model() { return model_; }
  const EqPanelModel& Model() const { return model_; }

  // Host operations: each updates the model (recomputing the touched bands) and
  // repaints; none of them notifies the host back.
  void SetEqNumber(int eq);
  void SetLanguage(int language);  // 0 Chinese, 1 English
  void SetDisabled(bool disabled);  // the panel's own flag: presses are ignored while set
  void SetBypass(bool bypass);      // draws "BYPASS" over the graph
  void SetBandType(int i, int type);
  void SetBandGain(int i, float gainDb);
  void SetBandQ(int i, float q);
  void SetBandFrequency(int i, float frequencyHz);
  void SetCrossoverFamily(int i, int family);
  void LoadSevenBandPreset();

  void SetMenuRunner(MenuRunner runner) { menuRunner_ = std::move(runner); }

  // The other EQs a write to the shown one reaches as a hand edit does (the output
  // page's linked channels), asked at the time of the write; none by default.
  using LinkedEqs = std::function<std::vector<int>()>;
  void SetLinkedEqs(LinkedEqs linked) { linkedEqs_ = std::move(linked); }
  std::vector<int> CurrentLinkedEqs() const { return linkedEqs_ ? linkedEqs_() : std::vector<int>{}; }

  QSize sizeHint() const override { return {640, 300}; }
  QSize minimumSizeHint() const override { return {160, 80}; }

  // Times the static layer (grid, labels) was drawn; it is kept between repaints and
  // redrawn only after a resize.
  int BackgroundBuilds() const { return backgroundBuilds_; }
  // A panel that is only rendered into a picture enlarged `scale` times (never shown)
  // keeps its grid and labels layer at that pixel ratio, so they stay sharp; 0 follows
  // the screen.
  void SetPictureScale(qreal scale) {
    pictureScale_ = scale;
    background_ = QPixmap();
  }
  // Where the last paint put the value readout (F/G/Q beside a marker); null when it
  // drew none.
  QRectF ReadoutRect() const { return readout_; }

  // A second curve over the summed one, in its own colour, with a caption (an output's
  // chain response): kResponsePoints values in dB on the response grid, or empty for
  // none. Defined in editors/EqGraphOverlay.cpp.
  void SetOverlayCurve(std::vector<float> db, const QColor& color = QColor(), const QString& caption = QString());
  const std::vector<float>& OverlayCurve() const { return overlay_; }
  QColor OverlayColor() const { return overlayColor_; }
  QString OverlayCaption() const { return overlayCaption_; }

  // A room measurement laid over the graph by "Auto EQ from measurement…": the measured
  // response (aligned to the target), the target, and what the room plays through the
  // shown bands, which is the measured curve plus the summed one and so follows every
  // hand edit. Curves hold kResponsePoints values in dB on the response grid; NaN where
  // the measurement has no data. Kept until cleared; drawn only while the graph shows
  // the EQ it was fitted for. Defined in editors/EqGraphOverlay.cpp.
  struct Measurement {
    int eq = -1;
    std::vector<float> measured, target;
    double fitLowHz = 0, fitHighHz = 0;  // the fit range, marked on the graph
    // The bands whose response adds to the measured curve: those the fit set or kept. A
    // crossover the fit left alone is not part of what the measurement is corrected by.
    std::vector<int> bands;
  };
  static inline const QColor kMeasuredColor{215, 215, 215};
  static inline const QColor kTargetColor{120, 235, 120};
  static inline const QColor kResultColor{255, 110, 200};
  void SetMeasurement(Measurement measurement);  // curves of another length clear it
  void ClearMeasurement();
  const Measurement& MeasurementOverlay() const { return measurement_; }
  bool ShowsMeasurement() const;
  // The measured curve plus the response of the measurement's bands: what the room will play.
  std::vector<float> MeasuredResult() const;

 signals:
  // The band's parameters changed (drag, Q drag, keys, wheel, type menu) or it was
  // picked with the right button.
  void BandChanged(int index);
  // A band was picked with the left button.
  void BandPressed(int index);
  // The left button was released with no band picked.
  void EmptyClicked();
  // "Copy EQ" (kCopyEq) or "Paste EQ" (kPasteEq) was chosen for the shown EQ number.
  void CopyPasteRequested(int action);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Sends the notifications of one model event, then shows its menu.
  void Deliver(const PanelEvent& event, const QPoint& globalPos);
  void ShowTypeMenu(int band, const QPoint& globalPos);
  void ShowCopyPasteMenu(const QPoint& globalPos);
  bool LeftCtrlHeld(Qt::KeyboardModifiers modifiers) const;

  void RebuildBackground();
  qreal BackgroundRatio() const { return pictureScale_ > 0 ? pictureScale_ : devicePixelRatioF(); }
  void PaintBandArea(QPainter& p) const;
  void PaintSummedCurve(QPainter& p) const;
  void PaintMarkers(QPainter& p) const;
  void PaintValueLabels(QPainter& p, const EqBand& band) const;
  void PaintStatusLine(QPainter& p) const;
  void PaintTitle(QPainter& p) const;
  void PaintBypass(QPainter& p) const;
  void PaintOverlayCurve(QPainter& p) const;
  void PaintMeasurement(QPainter& p) const;

  EqPanelModel model_;
  MenuRunner menuRunner_;
  LinkedEqs linkedEqs_;
  QPixmap background_;
  int backgroundBuilds_ = 0;
  qreal pictureScale_ = 0;
  mutable QRectF readout_;  // set by the const painting helpers
  int wheelRemainder_ = 0;  // eighths of a degree not yet a whole notch
  bool leftCtrlDown_ = false;
  bool rightCtrlDown_ = false;
  std::vector<float> overlay_;
  QColor overlayColor_;
  QString overlayCaption_;
  Measurement measurement_;
};

}  // namespace dsptune
