#include "editors/RoomPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

const QColor kMarginColour(0xF0, 0xFA, 0xFF);  // the page's own background
const QColor kFloorColour(0x1B, 0x20, 0x26);
const QColor kLabelColour(0x49, 0x59, 0x97);
const QColor kInnerLineColour(0x40, 0x40, 0x40);
const QColor kBorderLineColour(0x80, 0x80, 0x80);
const QColor kNumberColour(0xFF, 0x00, 0x00);

constexpr int kHorizontalLabelGap = 5;  // labels of horizontal lines end this far left of the area
constexpr int kVerticalLabelGap = 3;    // labels of vertical lines start this far below it
constexpr int kPanelLabelGap = 2;       // a speaker's name starts this far below its picture

QColor Rgb(std::uint32_t rgb) { return QColor(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF); }

// The seated listener: a head over a pair of shoulders, seen from above the room.
QPixmap ListenerPicture() {
  QPixmap picture(30, 30);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x1F, 0x3A, 0x66), 1.2));
  p.setBrush(QColor(0x8F, 0xC3, 0xFF));
  QPainterPath shoulders;
  shoulders.moveTo(3.5, 29);
  shoulders.cubicTo(3.5, 18, 26.5, 18, 26.5, 29);
  shoulders.closeSubpath();
  p.drawPath(shoulders);
  p.setBrush(QColor(0xF6, 0xD7, 0xB0));
  p.drawEllipse(QPointF(15, 10), 6.5, 6.5);
  return picture;
}

// A loudspeaker cabinet with its tweeter and woofer.
QPixmap SpeakerPicture() {
  QPixmap picture(24, 32);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0xA8, 0xB0, 0xBA), 1.0));
  p.setBrush(QColor(0x3A, 0x40, 0x48));
  p.drawRoundedRect(QRectF(1.5, 0.5, 21, 31), 3, 3);
  p.setBrush(QColor(0x20, 0x24, 0x2A));
  p.setPen(QPen(QColor(0xC9, 0xCE, 0xD6), 1.2));
  p.drawEllipse(QPointF(12, 6.5), 3, 3);
  p.drawEllipse(QPointF(12, 21.5), 7.5, 7.5);
  return picture;
}

}  // namespace

void PlaceGridLabels(std::vector<GridLabel>& labels, bool alongX) {
  std::vector<std::size_t> order(labels.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_partition(order.begin(), order.end(), [&](std::size_t i) { return labels[i].border; });
  std::vector<QRect> drawn;
  const auto inkOf = [](const QRect& box) { return box.adjusted(-2, 0, 2, 0); };
  const auto hit = [&](const QRect& box) {
    const auto found = std::find_if(drawn.begin(), drawn.end(), [&](const QRect& r) { return r.intersects(inkOf(box)); });
    return found == drawn.end() ? nullptr : &*found;
  };
  for (std::size_t i : order) {
    GridLabel& label = labels[i];
    label.shown = true;
    if (const QRect* other = hit(label.box)) {
      const QRect ink = inkOf(label.box);
      const bool before = alongX ? ink.center().x() < other->center().x() : ink.center().y() < other->center().y();
      const int shift = alongX ? (before ? other->left() - ink.right() - 1 : other->right() - ink.left() + 1)
                               : (before ? other->top() - ink.bottom() - 1 : other->bottom() - ink.top() + 1);
      const int limit = (alongX ? label.box.width() : label.box.height()) / 2;
      QRect moved = label.box.translated(alongX ? shift : 0, alongX ? 0 : shift);
      if (std::abs(shift) > limit || hit(moved)) {
        label.shown = false;
        continue;
      }
      label.box = moved;
    }
    drawn.push_back(label.box);
  }
}

RoomPanel::RoomPanel(QWidget* parent) : QWidget(parent) {
  SetControlId(this, kControlId);
  setAttribute(Qt::WA_OpaquePaintEvent);
  font_ = QFont(QStringLiteral("Tahoma"));
  font_.setPixelSize(13);
  font_.setWeight(QFont::Normal);
  // The widest label a side of 1..10 m gets, right-aligned 5 pixels left of the area.
  const int widest = QFontMetrics(font_).horizontalAdvance(QStringLiteral("+4.5m"));
  gutter_ = std::max(0, widest + 2 - (kRoomPanelInset - kHorizontalLabelGap));
  listenerPicture_ = ListenerPicture();
  speakerPicture_ = SpeakerPicture();
  ChannelRoles defaultRoles{};
  for (int c = 0; c < kOutputChannelCount; ++c) defaultRoles[std::size_t(c)] = c;  // CH1 L, CH2 R ... CH8 SBR
  for (int n = 1; n <= kSpeakerCount; ++n)
    speakerChannels_[std::size_t(n - 1)] = FirstChannelWithRole(defaultRoles, Speaker(n).role);
  model_.SetClientSize(width() - gutter_, height());
}

void RoomPanel::SetRoomSize(float width, float length) {
  model_.SetRoomSize(width, length);
  grid_ = QPixmap();
  update();
}

void RoomPanel::MoveMarker(int index, float x, float y) {
  model_.MoveMarker(index, x, y);
  update();
}

void RoomPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  model_.SetClientSize(width() - gutter_, height());
  grid_ = QPixmap();
}

// ---------------------------------------------------------------- input

void RoomPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPoint at = event->position().toPoint() - QPoint(gutter_, 0);
  const int index = model_.Press(at.x(), at.y());
  if (index >= 0) emit markerPressed(index);
}

void RoomPanel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint() - QPoint(gutter_, 0);
  const int index = model_.Drag(at.x(), at.y());
  if (index < 0) return;
  emit markerDragged(index);
  repaint();
}

void RoomPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) model_.Release();
}

// ---------------------------------------------------------------- painting

void RoomPanel::DrawGrid() {
  grid_ = QPixmap(size());
  grid_.fill(kMarginColour);
  QPainter p(&grid_);
  p.translate(gutter_, 0);
  const QRect area(model_.AreaLeft(), model_.AreaTop(), model_.AreaWidth(), model_.AreaHeight());
  if (area.width() <= 0 || area.height() <= 0) return;
  p.fillRect(area, kFloorColour);
  p.setFont(font_);
  const QFontMetrics metrics(font_);
  const int right = area.left() + area.width();
  const int bottom = area.top() + area.height();

  // Lines first, then the labels.
  struct Label {
    QRect box;
    QString text;
    bool border;
  };
  auto drawLabels = [&](const std::vector<Label>& labels, bool alongX) {
    std::vector<GridLabel> placed;
    for (const Label& label : labels) placed.push_back({label.box, label.border});
    PlaceGridLabels(placed, alongX);
    p.setPen(kLabelColour);
    for (std::size_t i = 0; i < labels.size(); ++i)
      if (placed[i].shown) p.drawText(placed[i].box, Qt::AlignCenter, labels[i].text);
  };

  std::vector<Label> labels;
  for (const GridLine& line : model_.HorizontalLines()) {
    p.setPen(QPen(line.border ? kBorderLineColour : kInnerLineColour, 1));
    p.drawLine(area.left(), line.pixel, right, line.pixel);
    const QString text = QString::fromStdString(line.label);
    const int w = metrics.horizontalAdvance(text);
    const int labelRight = area.left() - kHorizontalLabelGap;
    labels.push_back({QRect(labelRight - w, line.pixel - metrics.height() / 2, w, metrics.height()), text, line.border});
  }
  drawLabels(labels, false);
  labels.clear();
  for (const GridLine& line : model_.VerticalLines()) {
    p.setPen(QPen(line.border ? kBorderLineColour : kInnerLineColour, 1));
    p.drawLine(line.pixel, area.top(), line.pixel, bottom);
    const QString text = QString::fromStdString(line.label);
    const int w = metrics.horizontalAdvance(text);
    labels.push_back({QRect(line.pixel - w / 2, bottom + kVerticalLabelGap, w, metrics.height()), text, line.border});
  }
  drawLabels(labels, true);
}

namespace {
QFont PanelLabelFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(8);
  return font;
}
}  // namespace

void RoomPanel::SetSpeakerChannels(const std::array<int, kSpeakerCount>& channels) {
  if (channels == speakerChannels_) return;
  speakerChannels_ = channels;
  update();
}

QString RoomPanel::SpeakerNumber(int speaker) const {
  if (speaker < 1 || speaker > kSpeakerCount) return QString();
  const int channel = speakerChannels_[std::size_t(speaker - 1)];
  return channel < 0 ? QString() : QString::number(channel + 1);
}

QString RoomPanel::SpeakerCaption(int speaker, bool shortLabel) const {
  const SpeakerPlace& place = Speaker(speaker);
  // The full caption joins the Chinese name and the short one; English has the short one only.
  if (shortLabel || CurrentLanguage() == kEnglish) return QString::fromUtf8(place.labelEnglish);
  return QString::fromUtf8(place.panelLabel);
}

QStringList RoomPanel::ShownTexts() const {
  QStringList texts;
  for (int n = 1; n <= kSpeakerCount; ++n) texts << SpeakerNumber(n) << SpeakerCaption(n, false);
  return texts;
}

QRect RoomPanel::LabelBox(const RoomMarker& m, const QString& label) const {
  const QFontMetrics metrics(PanelLabelFont());
  const int w = metrics.horizontalAdvance(label) + 2;
  const int pictureBottom = m.py - speakerPicture_.height() / 2 + speakerPicture_.height() - 1;
  return QRect(m.px - w / 2, pictureBottom + 1 + kPanelLabelGap, w, metrics.height());
}

void RoomPanel::DrawMarker(QPainter& p, const RoomMarker& m, bool shortLabel) const {
  const QPoint centre(m.px, m.py);
  if (m.number == kListenerMarker) {
    p.drawPixmap(centre - QPoint(listenerPicture_.width() / 2, listenerPicture_.height() / 2), listenerPicture_);
    return;
  }
  const QRect picture(centre - QPoint(speakerPicture_.width() / 2, speakerPicture_.height() / 2),
                      speakerPicture_.size());
  p.drawPixmap(picture.topLeft(), speakerPicture_);

  QFont numberFont(QStringLiteral("Arial"));
  numberFont.setPixelSize(12);
  numberFont.setBold(true);
  const QString number = SpeakerNumber(m.number);
  if (!number.isEmpty()) {
  const QFontMetrics numberMetrics(numberFont);
  QRect numberBox(0, 0, numberMetrics.horizontalAdvance(number) + 2, numberMetrics.height());
  numberBox.moveCenter(centre);
  p.fillRect(numberBox, Qt::white);  // drawn opaque
  p.setFont(numberFont);
  p.setPen(kNumberColour);
  p.drawText(numberBox, Qt::AlignCenter, number);
  }

  const QString label = SpeakerCaption(m.number, shortLabel);
  p.setFont(PanelLabelFont());
  p.setPen(Rgb(Speaker(m.number).labelColour));
  p.drawText(LabelBox(m, label), Qt::AlignCenter, label);
}

void RoomPanel::paintEvent(QPaintEvent*) {
  if (grid_.isNull() || grid_.size() != size()) DrawGrid();
  QPainter p(this);
  p.drawPixmap(0, 0, grid_);
  p.translate(gutter_, 0);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const auto& markers = model_.Markers();
  std::vector<QRect> full;
  for (const RoomMarker& m : markers)
    full.push_back(m.number == kListenerMarker ? QRect() : LabelBox(m, SpeakerCaption(m.number, false)));
  for (std::size_t i = 0; i < markers.size(); ++i) {
    bool crowded = false;
    for (std::size_t j = 0; j < markers.size(); ++j)
      crowded = crowded || (j != i && !full[i].isNull() && !full[j].isNull() && full[i].intersects(full[j]));
    DrawMarker(p, markers[i], crowded);
  }
}

}  // namespace dsptune
