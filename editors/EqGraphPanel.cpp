#include "editors/EqGraphPanel.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "editors/AutoEqDialog.h"
#include "editors/GraphFileMenu.h"

namespace dsptune {
namespace {

constexpr std::array<QRgb, 15> kBandColors{
    qRgb(250, 100, 180), qRgb(255, 80, 255), qRgb(80, 80, 255),  qRgb(80, 255, 100), qRgb(255, 255, 100),
    qRgb(255, 100, 100), qRgb(255, 180, 20), qRgb(255, 100, 180), qRgb(180, 100, 255), qRgb(140, 180, 255),
    qRgb(20, 180, 255),  qRgb(80, 255, 255), qRgb(40, 255, 160), qRgb(20, 90, 250),  qRgb(80, 255, 255)};

const QColor kBackground(20, 20, 20);
const QColor kGridLine(64, 64, 64);
const QColor kAxisLabel(128, 128, 128);
const QColor kSummedCurve(0, 200, 255);
const QColor kValueLabel(180, 180, 180);
const QColor kValueGreen(16, 255, 16);
const QColor kTitle(255, 255, 0);

constexpr std::array<int, 11> kGainLines{-15, -12, -9, -6, -3, 0, 3, 6, 9, 12, 15};
constexpr std::array<double, 30> kFrequencyLines{18,   20,   30,   40,   50,   60,   70,   80,    90,    100,
                                                 200,  300,  400,  500,  600,  700,  800,   900,   1000,  2000,
                                                 3000, 4000, 5000, 6000, 7000, 8000, 9000,  10000, 20000, 23000};
struct FrequencyLabel {
  double hz;
  const char* text;
};
constexpr std::array<FrequencyLabel, 10> kFrequencyLabels{{{20, "20Hz"},
                                                           {50, "50Hz"},
                                                           {100, "100Hz"},
                                                           {200, "200Hz"},
                                                           {500, "500Hz"},
                                                           {1000, "1kHz"},
                                                           {2000, "2kHz"},
                                                           {5000, "5kHz"},
                                                           {10000, "10kHz"},
                                                           {20000, "20kHz"}}};

struct MenuText {
  const char* chinese;
  const char* english;
};
constexpr std::array<MenuText, 5> kTypeMenu{{{"参量(PEQ)", "PEQ"},
                                             {"低通(LP)", "LP"},
                                             {"高通(HP)", "HP"},
                                             {"低架(LS)", "LS"},
                                             {"高架(HS)", "HS"}}};
constexpr MenuText kCopyText{"复制均衡", "Copy EQ"};
constexpr MenuText kPasteText{"粘贴均衡", "Paste EQ"};

// Selected-band area, marker fills and rings.
constexpr int kAreaAlpha = 0x20;
constexpr int kMarkerFillAlpha = 0x25;
constexpr int kSelectedFillAlpha = 0x50;
constexpr int kRingAlpha = 0x7F;
constexpr double kRingSize = 18.0;
constexpr double kMarkerSize = 14.0;
constexpr double kSplineTension = 0.1;
// Low- and high-pass areas are closed this far below the plot, so the clipped fill
// runs off the bottom edge instead of closing on the 0 dB line.
constexpr int kPassAreaDrop = 20;

// X11 keysym of the right Ctrl key, and the Windows scan code of it (extended 0x1D).
constexpr quint32 kXkControlR = 0xffe4;
constexpr quint32 kXkControlL = 0xffe3;
constexpr quint32 kWinRightCtrlScan = 0x11D;

QColor BandColor(int index, int alpha = 255) {
  const int slot = index < 0 ? 0 : index % static_cast<int>(kBandColors.size());
  QColor c = QColor::fromRgb(kBandColors[static_cast<std::size_t>(slot)]);
  c.setAlpha(alpha);
  return c;
}

// Arial or its metric twin; the fallback is condensed so that "+15dB" still fits the
// 33 px left of the plot.
QFont AxisFont() {
  QFont f(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  f.setPointSizeF(8.4);
  return f;
}

// The gain labels stand between the panel's edge and the plot, kGainLabelGap from the
// plot and at least kGainLabelEdge from the edge: where the axis font would run "+15dB"
// into the edge, a smaller size is taken.
constexpr double kGainLabelGap = 3.0, kGainLabelEdge = 3.0;
QFont GainLabelFont(double room) {
  QFont f = AxisFont();
  while (f.pointSizeF() > 5.0 && QFontMetricsF(f).horizontalAdvance(QStringLiteral("+15dB")) > room)
    f.setPointSizeF(f.pointSizeF() - 0.2);
  return f;
}

QFont TextFont(int pixels, bool bold = false) {
  QFont f(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Noto Sans CJK SC")});
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

QString Pick(const MenuText& text, int language) {
  return QString::fromUtf8(language == 1 ? text.english : text.chinese);
}

// Low- and high-pass sections (and every crossover section) have no gain of their own.
bool ClosesBelowPlot(int type) { return type == 2 || type == 3 || (type >= 6 && type <= 21); }

std::optional<PanelKey> MapKey(int key) {
  switch (key) {
    case Qt::Key_Left:
      return PanelKey::kLeft;
    case Qt::Key_Right:
      return PanelKey::kRight;
    case Qt::Key_Up:
      return PanelKey::kUp;
    case Qt::Key_Down:
      return PanelKey::kDown;
    case Qt::Key_Plus:   // numeric pad, or Shift with the main key
    case Qt::Key_Equal:  // the main "=+" key unshifted
      return PanelKey::kPlus;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return PanelKey::kMinus;
    default:
      return std::nullopt;
  }
}

}  // namespace

QPainterPath CardinalSplinePath(const QPolygonF& points, double tension) {
  QPainterPath path;
  const int n = static_cast<int>(points.size());
  if (n == 0) return path;
  path.moveTo(points[0]);
  // Bézier control points of the segment p1→p2 lie tension/3 of the neighbours' chord
  // away from each end, the cardinal spline's tangent (tension 0.5 is Catmull-Rom).
  const double k = tension / 3.0;
  for (int i = 0; i + 1 < n; ++i) {
    const QPointF& p0 = points[i == 0 ? 0 : i - 1];
    const QPointF& p1 = points[i];
    const QPointF& p2 = points[i + 1];
    const QPointF& p3 = points[i + 2 < n ? i + 2 : n - 1];
    path.cubicTo(p1 + k * (p2 - p0), p2 - k * (p3 - p1), p2);
  }
  return path;
}

EqGraphPanel::EqGraphPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  menuRunner_ = [](QMenu& menu, const QPoint& globalPos) { return menu.exec(globalPos); };
  model_.SetClientSize(width(), height());
}

// ---- host operations ----

void EqGraphPanel::SetEqNumber(int eq) {
  model_.SetEqNumber(eq);
  update();
}

void EqGraphPanel::SetLanguage(int language) {
  model_.SetLanguage(language);
  // The gestures are not visible on the graph itself, so its tooltip teaches them.
  setToolTip(Pick({"拖动频段标记：改变频率和增益（只上下拖动时频率不变，只左右拖动时增益不变）\n"
                   "右键拖动标记：向右或向上拖动增大Q值，向左或向下减小\n滚轮：增益 ±0.1dB\n"
                   "方向键：频率和增益（按住Ctrl微调）；+/-：Q值\n"
                   "右键单击标记：选择滤波类型；右键单击空白处：复制/粘贴均衡",
                   "Drag a band's marker: frequency and gain (straight up or down keeps the frequency, "
                   "straight sideways keeps the gain)\n"
                   "Right-drag a marker: right or up raises Q, left or down lowers it\nWheel: gain ±0.1 dB\n"
                   "Arrow keys: frequency and gain (hold Ctrl for finer steps); +/-: Q\n"
                   "Right-click a marker: filter type; right-click elsewhere: copy/paste EQ"},
                  language));
  update();
}

void EqGraphPanel::SetDisabled(bool disabled) {
  model_.SetDisabled(disabled);
  update();
}

void EqGraphPanel::SetBypass(bool bypass) {
  model_.SetBypass(bypass);
  update();
}

void EqGraphPanel::SetBandType(int i, int type) {
  model_.SetBandType(i, type);
  update();
}

void EqGraphPanel::SetBandGain(int i, float gainDb) {
  model_.SetBandGain(i, gainDb);
  update();
}

void EqGraphPanel::SetBandQ(int i, float q) {
  model_.SetBandQ(i, q);
  update();
}

void EqGraphPanel::SetBandFrequency(int i, float frequencyHz) {
  model_.SetBandFrequency(i, frequencyHz);
  update();
}

void EqGraphPanel::SetCrossoverFamily(int i, int family) {
  model_.SetCrossoverFamily(i, family);
  update();
}

void EqGraphPanel::LoadSevenBandPreset() {
  model_.LoadSevenBandPreset();
  update();
}

// ---- input ----

void EqGraphPanel::Deliver(const PanelEvent& event, const QPoint& globalPos) {
  if (event.bandPressed) emit BandPressed(event.band);
  if (event.bandChanged) emit BandChanged(event.band);
  if (event.emptyClicked) emit EmptyClicked();
  if (event.repaint || event.bandChanged || event.bandPressed) update();
  if (event.showTypeMenu) ShowTypeMenu(event.band, globalPos);
  if (event.showCopyPasteMenu) ShowCopyPasteMenu(globalPos);
}

// The menus run their own event loop; they have no parent so that the panel may even
// be destroyed meanwhile (its host closed), and nothing touches it afterwards then.
void EqGraphPanel::ShowTypeMenu(int band, const QPoint& globalPos) {
  QMenu menu;
  for (int t = 0; t < static_cast<int>(kTypeMenu.size()); ++t) {
    menu.addAction(Pick(kTypeMenu[static_cast<std::size_t>(t)], model_.Language()))->setData(t + 1);
  }
  const QPointer<EqGraphPanel> alive(this);
  const MenuRunner run = menuRunner_;  // outlives the panel if the menu's loop ends it
  QAction* chosen = run ? run(menu, globalPos) : nullptr;
  if (alive.isNull() || chosen == nullptr || !chosen->data().isValid()) return;
  if (model_.ApplyMenuType(band, chosen->data().toInt())) {
    emit BandChanged(band);
    update();
  }
}

void EqGraphPanel::ShowCopyPasteMenu(const QPoint& globalPos) {
  QMenu menu;
  menu.addAction(Pick(kCopyText, model_.Language()))->setData(static_cast<int>(kCopyEq));
  menu.addAction(Pick(kPasteText, model_.Language()))->setData(static_cast<int>(kPasteEq));
  AddGraphFileActions(menu, model_.Language());
  AddAutoEqActions(menu, *this, model_.Language());
  const QPointer<EqGraphPanel> alive(this);
  const MenuRunner run = menuRunner_;  // outlives the panel if the menu's loop ends it
  QAction* chosen = run ? run(menu, globalPos) : nullptr;
  if (alive.isNull() || chosen == nullptr || !chosen->data().isValid()) return;
  GraphFileOutcome outcome = RunGraphFileAction(*this, *chosen);
  if (outcome == GraphFileOutcome::kNotFileAction) outcome = RunAutoEqAction(*this, *chosen);
  if (outcome != GraphFileOutcome::kNotFileAction) {
    if (outcome == GraphFileOutcome::kEqReplaced && !alive.isNull()) emit CopyPasteRequested(kReloadEq);
    return;
  }
  emit CopyPasteRequested(chosen->data().toInt());
}

void EqGraphPanel::mousePressEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  PanelEvent result;
  if (event->button() == Qt::LeftButton) {
    result = model_.LeftPress(pos.x(), pos.y());
  } else if (event->button() == Qt::RightButton) {
    result = model_.RightPress(pos.x(), pos.y());
  } else {
    event->ignore();
    return;
  }
  // While a button is held Qt keeps sending the pointer to this widget (the capture).
  if (result.accepted) setFocus(Qt::MouseFocusReason);
  event->accept();
  Deliver(result, event->globalPosition().toPoint());
}

void EqGraphPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  // A quick second click is still a press for the panel.
  mousePressEvent(event);
}

void EqGraphPanel::mouseMoveEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  const int hoveredBefore = model_.Hovered();
  PanelEvent result = model_.MouseMove(pos.x(), pos.y());
  // A move that changes neither a band nor the hover leaves the picture as it was.
  if (!result.bandChanged && model_.Hovered() == hoveredBefore) result.repaint = false;
  Deliver(result, event->globalPosition().toPoint());
  event->accept();
}

void EqGraphPanel::mouseReleaseEvent(QMouseEvent* event) {
  PanelEvent result;
  if (event->button() == Qt::LeftButton) {
    result = model_.LeftRelease();
  } else if (event->button() == Qt::RightButton) {
    result = model_.RightRelease();
  } else {
    event->ignore();
    return;
  }
  event->accept();
  Deliver(result, event->globalPosition().toPoint());
}

void EqGraphPanel::wheelEvent(QWheelEvent* event) {
  // Fine-resolution wheels send fractions of a notch; whole notches are applied.
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
  wheelRemainder_ -= notches * QWheelEvent::DefaultDeltasPerStep;
  const EqBand* band = model_.BandAt(model_.Selected());
  const bool forUs = model_.Selected() >= 0 && band != nullptr && IsGainType(band->type);
  if (!forUs) {
    wheelRemainder_ = 0;
    event->ignore();
    return;
  }
  if (notches != 0) {
    const PanelEvent result = model_.Wheel(notches);
    if (!result.accepted) {
      event->ignore();
      return;
    }
    Deliver(result, event->globalPosition().toPoint());
  }
  event->accept();
}

bool EqGraphPanel::LeftCtrlHeld(Qt::KeyboardModifiers modifiers) const {
  if (!(modifiers & Qt::ControlModifier)) return false;
  // Only the right Ctrl known to be down: not the left one. Unknown (the Ctrl key went
  // down while another window had the focus): take it as the left one.
  return !(rightCtrlDown_ && !leftCtrlDown_);
}

void EqGraphPanel::keyPressEvent(QKeyEvent* event) {
  event->accept();  // the panel consumes every key while it has the focus
  if (event->key() == Qt::Key_Control) {
    const bool right = event->nativeVirtualKey() == kXkControlR || event->nativeScanCode() == kWinRightCtrlScan;
    (right ? rightCtrlDown_ : leftCtrlDown_) = true;
    return;
  }
  const std::optional<PanelKey> key = MapKey(event->key());
  if (!key) return;
  Deliver(model_.KeyPress(*key, LeftCtrlHeld(event->modifiers())), QPoint());
}

void EqGraphPanel::keyReleaseEvent(QKeyEvent* event) {
  event->accept();
  if (event->key() != Qt::Key_Control) return;
  if (event->nativeVirtualKey() == kXkControlR || event->nativeScanCode() == kWinRightCtrlScan) {
    rightCtrlDown_ = false;
  } else if (event->nativeVirtualKey() == kXkControlL) {
    leftCtrlDown_ = false;
  } else {
    leftCtrlDown_ = rightCtrlDown_ = false;
  }
}

void EqGraphPanel::focusOutEvent(QFocusEvent* event) {
  leftCtrlDown_ = rightCtrlDown_ = false;
  QWidget::focusOutEvent(event);
}

void EqGraphPanel::leaveEvent(QEvent* event) {
  if (model_.Hovered() >= 0 && !model_.LeftDown() && !model_.RightDown()) {
    model_.SetHovered(-1);
    update();
  }
  QWidget::leaveEvent(event);
}

// ---- painting ----

void EqGraphPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  model_.SetClientSize(width(), height());
  background_ = QPixmap();
}

void EqGraphPanel::RebuildBackground() {
  ++backgroundBuilds_;
  const qreal ratio = BackgroundRatio();
  background_ = QPixmap(size() * ratio);
  background_.setDevicePixelRatio(ratio);
  background_.fill(kBackground);
  const PlotRect plot = model_.Plot();
  if (plot.Width() <= 0 || plot.Height() <= 0) return;

  QPainter p(&background_);
  p.setFont(GainLabelFont(plot.left - kGainLabelGap - kGainLabelEdge));
  const QFontMetricsF metrics(p.font());
  for (int db : kGainLines) {
    const double y = std::round(plot.top + model_.GainToY(db));
    p.setPen(QPen(kGridLine, 1));
    p.drawLine(QPointF(plot.left, y), QPointF(plot.right, y));
    p.setPen(kAxisLabel);
    const QRectF label(0, y - metrics.height() / 2, plot.left - kGainLabelGap, metrics.height());
    p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::asprintf("%+-.0fdB", static_cast<double>(db)));
  }
  p.setPen(QPen(kGridLine, 1));
  for (double hz : kFrequencyLines) {
    const double x = std::round(plot.left + model_.FrequencyToX(hz));
    p.drawLine(QPointF(x, plot.top), QPointF(x, plot.bottom));
  }
  p.setPen(kAxisLabel);
  for (const FrequencyLabel& label : kFrequencyLabels) {
    const double x = std::round(plot.left + model_.FrequencyToX(label.hz));
    const double w = metrics.horizontalAdvance(QString::fromLatin1(label.text)) + 4;
    p.drawText(QRectF(x - w / 2, plot.bottom + 4, w, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
               QString::fromLatin1(label.text));
  }
}

void EqGraphPanel::PaintTitle(QPainter& p) const {
  const PlotRect plot = model_.Plot();
  const QString title = QString::fromUtf8(EqPanelTitle(model_.EqNumber(), model_.Language()));
  p.setFont(TextFont(12));
  const QFontMetricsF metrics(p.font());
  p.setPen(kTitle);
  p.drawText(QPointF(plot.right - 2 - metrics.horizontalAdvance(title), plot.top - 3 - metrics.descent()), title);
}

void EqGraphPanel::PaintBandArea(QPainter& p) const {
  const int selected = model_.Selected();
  const EqBand* band = model_.BandAt(selected);
  if (band == nullptr || selected >= model_.BandCount() || band->type == 0) return;
  const PlotRect plot = model_.Plot();
  const std::array<float, kResponsePoints> area = model_.BandAreaResponse(selected);
  const double step = static_cast<double>(plot.Width()) / kResponsePoints;
  const double base = ClosesBelowPlot(band->type) ? plot.bottom + kPassAreaDrop : plot.top + model_.GainToY(0.0);
  QPolygonF outline;
  outline.reserve(kResponsePoints + 2);
  outline << QPointF(plot.left, base);
  for (int i = 0; i < kResponsePoints; ++i) {
    outline << QPointF(plot.left + i * step, plot.top + model_.GainToY(area[static_cast<std::size_t>(i)]));
  }
  outline << QPointF(plot.left + (kResponsePoints - 1) * step, base);
  p.setPen(Qt::NoPen);
  p.setBrush(BandColor(band->index, kAreaAlpha));
  p.drawPolygon(outline);
}

void EqGraphPanel::PaintSummedCurve(QPainter& p) const {
  const PlotRect plot = model_.Plot();
  const std::array<float, kResponsePoints> sum = model_.SummedResponse();
  const double step = static_cast<double>(plot.Width()) / kResponsePoints;
  QPolygonF points;
  points.reserve(kResponsePoints);
  for (int i = 0; i < kResponsePoints; ++i) {
    points << QPointF(plot.left + i * step, plot.top + model_.GainToY(sum[static_cast<std::size_t>(i)]));
  }
  p.setPen(QPen(kSummedCurve, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(CardinalSplinePath(points, kSplineTension));
}

void EqGraphPanel::PaintMarkers(QPainter& p) const {
  const PlotRect plot = model_.Plot();
  p.setFont(TextFont(10, true));
  for (const EqBand& band : model_.Bands()) {
    if (band.shown == 0 || band.type == 0) continue;
    const bool selected = band.index == model_.Selected();
    const QPointF c(plot.left + band.x, plot.top + band.y);
    const QColor fill = BandColor(band.index, selected ? kSelectedFillAlpha : kMarkerFillAlpha);
    const QRectF inner(c.x() - kMarkerSize / 2, c.y() - kMarkerSize / 2, kMarkerSize, kMarkerSize);
    if (band.type == 1) {
      const QRectF ring(c.x() - kRingSize / 2, c.y() - kRingSize / 2, kRingSize, kRingSize);
      p.setPen(QPen(BandColor(band.index, kRingAlpha), 2.0, Qt::SolidLine, Qt::FlatCap));
      p.setBrush(Qt::NoBrush);
      p.drawArc(ring, 15 * 16, 150 * 16);
      p.drawArc(ring, 195 * 16, 150 * 16);
      p.setPen(Qt::NoPen);
      p.setBrush(fill);
      p.drawEllipse(inner);
    } else {
      if (selected) {
        p.setPen(QPen(QColor(255, 0, 0), 1.0, Qt::DashLine));
        p.drawLine(QPointF(c.x(), plot.top), QPointF(c.x(), plot.bottom));
      }
      p.setPen(Qt::NoPen);
      p.setBrush(fill);
      p.drawRect(inner);
      p.setPen(QPen(BandColor(band.index), 1.5, Qt::DashLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(inner);
    }
    p.setPen(Qt::white);
    p.drawText(QRectF(c.x() - kRingSize / 2, c.y() - kRingSize / 2, kRingSize, kRingSize), Qt::AlignCenter,
               QString::number(band.index + 1));
  }
}

void EqGraphPanel::PaintValueLabels(QPainter& p, const EqBand& band) const {
  const PlotRect plot = model_.Plot();
  const QPointF c(plot.left + band.x, plot.top + band.y);
  p.setFont(TextFont(11));
  const QFontMetricsF metrics(p.font());
  const std::array<std::pair<QString, QString>, 3> rows{{
      {QStringLiteral("F:"), QString::asprintf("%.0fHz", static_cast<double>(band.frequency))},
      {QStringLiteral("G:"), QString::asprintf("%+-.1fdB", static_cast<double>(band.gain))},
      {QStringLiteral("Q:"), QString::asprintf("%.2f", static_cast<double>(band.q))},
  }};
  double labelWidth = 0;
  double valueWidth = 0;
  for (const auto& [label, value] : rows) {
    labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
    valueWidth = std::max(valueWidth, metrics.horizontalAdvance(value));
  }
  const double line = metrics.height();
  const double gap = kRingSize / 2 + 3;
  const double blockWidth = labelWidth + 2 + valueWidth;
  // Clear of the other markers, so the readout never hides the band the user aims at next.
  std::vector<std::array<double, 2>> others;
  for (const EqBand& other : model_.Bands())
    if (other.shown != 0 && other.type != 0 && other.index != band.index)
      others.push_back({plot.left + other.x, plot.top + other.y});
  const ReadoutPlace place = PlaceReadout(c.x(), c.y(), blockWidth, 3 * line, gap, LabelsAboveMarker(band.gain), width(),
                                          height(), others, kRingSize / 2);
  const double left = place.left, top = place.top;
  readout_ = QRectF(left, top, blockWidth, 3 * line);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double baseline = top + r * line + metrics.ascent();
    p.setPen(kValueLabel);
    p.drawText(QPointF(left, baseline), rows[r].first);
    p.setPen(kValueGreen);
    p.drawText(QPointF(left + labelWidth + 2, baseline), rows[r].second);
  }
}

void EqGraphPanel::PaintStatusLine(QPainter& p) const {
  const EqBand* band = model_.BandAt(model_.Selected());
  if (band == nullptr || model_.Selected() >= model_.BandCount()) return;
  const bool english = model_.Language() == 1;
  const QString head =
      english ? QString::asprintf("Index=%d     Frequency=%.0fHz    Q=%.2f     Gain=", band->index + 1,
                                  static_cast<double>(band->frequency), static_cast<double>(band->q))
              : QString::asprintf("EQ号=%d    频率=%.0fHz    Q值=%.2f     增益=", band->index + 1,
                                  static_cast<double>(band->frequency), static_cast<double>(band->q));
  const QString gain = QString::asprintf("%+-.1fdB ", static_cast<double>(band->gain));
  p.setFont(TextFont(12));
  const QFontMetricsF metrics(p.font());
  const double baseline = model_.Plot().top - 3 - metrics.descent();
  const double x = EqPanelModel::kPlotLeft;
  p.setPen(kValueGreen);
  p.drawText(QPointF(x, baseline), head);
  switch (GainLevelOf(band->gain)) {
    case GainLevel::kNormal:
      p.setPen(kValueGreen);
      break;
    case GainLevel::kRaised:
      p.setPen(QColor(255, 255, 0));
      break;
    case GainLevel::kHigh:
      p.setPen(QColor(255, 0, 0));
      break;
  }
  p.drawText(QPointF(x + metrics.horizontalAdvance(head), baseline), gain);
}

void EqGraphPanel::PaintBypass(QPainter& p) const {
  QFont font = TextFont(72);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(rect(), Qt::AlignCenter, QStringLiteral("BYPASS"));
}

void EqGraphPanel::paintEvent(QPaintEvent*) {
  if (background_.isNull() || background_.devicePixelRatio() != BackgroundRatio()) RebuildBackground();
  QPainter p(this);
  p.drawPixmap(0, 0, background_);
  readout_ = QRectF();
  const PlotRect plot = model_.Plot();
  p.setRenderHint(QPainter::TextAntialiasing);
  PaintTitle(p);
  if (plot.Width() > 0 && plot.Height() > 0) {
    p.save();
    p.setClipRect(QRect(plot.left, plot.top, plot.Width(), plot.Height()));
    p.setRenderHint(QPainter::Antialiasing);
    PaintBandArea(p);
    PaintSummedCurve(p);
    PaintOverlayCurve(p);
    PaintMeasurement(p);
    p.restore();
    p.setRenderHint(QPainter::Antialiasing);
    PaintMarkers(p);
    const EqBand* hovered = model_.BandAt(model_.Hovered());
    const bool hovering = hovered != nullptr && model_.Hovered() < model_.BandCount() && hovered->type != 0 &&
                          hovered->shown != 0;
    const EqBand* selected = model_.BandAt(model_.Selected());
    if (!hovering && selected != nullptr && model_.Selected() < model_.BandCount()) PaintValueLabels(p, *selected);
    PaintStatusLine(p);
    if (hovering) PaintValueLabels(p, *hovered);
  }
  if (model_.Bypass()) PaintBypass(p);
}

}  // namespace dsptune
