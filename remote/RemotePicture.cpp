#include "remote/RemotePicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>

#include "remote/RemoteKeys.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

// The handset is laid out on a 100 x 240 grid and scaled to the widget.
constexpr double kGridWidth = 100.0, kGridHeight = 240.0;

enum class Look { Plain, Power, Arrow, Confirm, Volume, Tone, Mode };

struct KeySpot {
  int key;
  QRectF rect;  // grid units
  Look look;
};

constexpr double kRow = 11.0;
constexpr double kTallRow = 14.0;  // the narrow keys of the bottom rows take two lines
constexpr double kTopRow = 13.0;   // wide keys whose captions may take two lines ("Android主页", "Effect Vol+")
const KeySpot kSpots[] = {
    {1, {6, 15, 28, kTopRow}, Look::Power},    {2, {66, 15, 28, kTopRow}, Look::Plain},
    {3, {6, 31, 28, kTopRow}, Look::Plain},    {9, {66, 31, 28, kTopRow}, Look::Plain},
    {4, {36, 50, 28, kRow}, Look::Arrow},      {5, {36, 91, 28, kRow}, Look::Arrow},
    {6, {19.5, 68.5, 19, kTallRow}, Look::Arrow},  {7, {61.5, 68.5, 19, kTallRow}, Look::Arrow},
    {10, {66, 112, 28, kRow}, Look::Plain},    {11, {6, 112, 28, kRow}, Look::Plain},
    {12, {4, 131, 29, kTopRow}, Look::Volume},    {13, {4, 145.5, 29, kTopRow}, Look::Volume},
    {14, {35.5, 131, 29, kTopRow}, Look::Volume}, {15, {35.5, 145.5, 29, kTopRow}, Look::Volume},
    {16, {67, 131, 29, kTopRow}, Look::Volume},   {17, {67, 145.5, 29, kTopRow}, Look::Volume},
    {18, {3, 164, 22, kTallRow}, Look::Tone},  {23, {27, 164, 22, kTallRow}, Look::Tone},
    {24, {51, 164, 22, kTallRow}, Look::Tone}, {25, {75, 164, 22, kTallRow}, Look::Tone},
    {19, {3, 183, 22, kTallRow}, Look::Mode},  {20, {27, 183, 22, kTallRow}, Look::Mode},
    {21, {51, 183, 22, kTallRow}, Look::Mode}, {22, {75, 183, 22, kTallRow}, Look::Mode},
};
const QPointF kPadCentre(50, 76);
constexpr double kPadRadius = 30, kConfirmRadius = 11;

QColor KeyColour(Look look) {
  switch (look) {
    case Look::Power: return {200, 40, 40};
    case Look::Confirm: return {40, 110, 190};
    case Look::Volume: return {92, 98, 108};
    case Look::Tone: return {196, 120, 40};
    case Look::Mode: return {30, 140, 130};
    case Look::Arrow: return {0, 0, 0, 0};
    case Look::Plain: break;
  }
  return {120, 126, 136};
}

constexpr double kLargestPt = 8.0, kSmallestPt = 6.5;
// Corner radius of a key as a share of its height: rounded, but leaving its caption room.
constexpr double kKeyRounding = 0.35;

bool IsChinese(QChar c) { return c.unicode() >= 0x2E80; }

// A caption split in two lines: at its last space; else, in a caption with Chinese, where
// Latin letters meet Chinese ("Android主页") or nearest the middle. A Latin word is never
// cut. Empty when there is no place to split.
QString TwoLines(const QString& text) {
  const auto at = [&text](int i) { return text.left(i) + QLatin1Char('\n') + text.mid(i); };
  const int space = text.lastIndexOf(QLatin1Char(' '));
  if (space > 0) return text.left(space) + QLatin1Char('\n') + text.mid(space + 1);
  const int slash = text.indexOf(QLatin1Char('/'));
  if (slash > 0 && slash + 1 < text.size()) return at(slash + 1);  // "OK/" over "Enter"
  if (std::none_of(text.begin(), text.end(), IsChinese) || text.size() < 3) return QString();
  for (int i = 1; i < text.size(); ++i)
    if (text[i - 1].isLetter() && !IsChinese(text[i - 1]) && IsChinese(text[i])) return at(i);
  return at(int(text.size() / 2));
}

QString Caption(int key) {
  const RemoteKey* k = FindRemoteKey(key);
  return k ? PickText(k->captionZh, k->captionEn) : QString();
}

}  // namespace

// One line or split in two, whichever allows the larger size; captions never shrink
// below a readable size.
CaptionFit FitCaption(QFont font, const QSizeF& room, const QString& caption) {
  CaptionFit fit;
  for (const QString& candidate : {caption, TwoLines(caption)}) {
    if (candidate.isEmpty()) continue;
    for (double size = kLargestPt; size >= kSmallestPt && size > fit.pointSize; size -= 0.5) {
      font.setPointSizeF(size);
      const QRectF needed = QFontMetricsF(font).boundingRect(QRectF(0, 0, 1000, 1000), Qt::AlignCenter, candidate);
      if (needed.width() <= room.width() && needed.height() <= room.height() + 2) {
        fit = {candidate, size, false};
        break;
      }
    }
  }
  if (fit.pointSize > 0.0) return fit;
  font.setPointSizeF(kSmallestPt);
  return {QFontMetricsF(font).elidedText(caption, Qt::ElideRight, room.width()), kSmallestPt, true};
}

// Draws the key's caption centred in `box`, clear of a rounded key's ends (`inset` on
// each side).
void RemotePicture::DrawCaption(QPainter& p, int key, const QRectF& box, double inset, const QColor& colour) {
  const QRectF room = box.adjusted(inset, 1, -inset, -1);
  const CaptionFit fit = FitCaption(p.font(), room.size(), Caption(key));
  QFont font = p.font();
  font.setPointSizeF(fit.pointSize);
  p.setFont(font);
  p.setPen(colour);
  p.drawText(room, Qt::AlignCenter, fit.text);
  painted_.emplace_back(key, fit);
}

RemotePicture::RemotePicture(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void RemotePicture::paintEvent(QPaintEvent*) {
  paintedLanguage_ = CurrentLanguage();
  painted_.clear();
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // Keep the handset's proportions whatever room the layout gives.
  const QRectF room = QRectF(rect()).adjusted(8, 8, -8, -8);
  const double scale = std::min(room.width() / kGridWidth, room.height() / kGridHeight);
  const QSizeF bodySize(kGridWidth * scale, kGridHeight * scale);
  const QRectF body(QPointF(room.center().x() - bodySize.width() / 2, room.top()), bodySize);
  auto map = [&](const QRectF& r) {
    return QRectF(body.left() + r.left() * scale, body.top() + r.top() * scale, r.width() * scale,
                  r.height() * scale);
  };
  auto mapPoint = [&](const QPointF& pt) { return QPointF(body.left() + pt.x() * scale, body.top() + pt.y() * scale); };

  // Shadow and body.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 50));
  p.drawRoundedRect(body.translated(3, 4), 18 * scale, 18 * scale);
  QLinearGradient shell(body.topLeft(), body.topRight());
  shell.setColorAt(0.0, QColor(46, 50, 58));
  shell.setColorAt(0.5, QColor(70, 76, 86));
  shell.setColorAt(1.0, QColor(40, 44, 52));
  p.setBrush(shell);
  p.setPen(QPen(QColor(20, 22, 26), 1.5));
  p.drawRoundedRect(body, 18 * scale, 18 * scale);

  // Infrared window.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(110, 20, 30));
  p.drawRoundedRect(map({38, 5, 24, 4}), 2 * scale, 2 * scale);

  // Direction pad: a ring with the confirm key in its middle.
  const QPointF pad = mapPoint(kPadCentre);
  QRadialGradient ring(pad, kPadRadius * scale);
  ring.setColorAt(0.0, QColor(150, 156, 166));
  ring.setColorAt(1.0, QColor(95, 100, 110));
  p.setBrush(ring);
  p.setPen(QPen(QColor(25, 28, 32), 1.2));
  p.drawEllipse(pad, kPadRadius * scale, kPadRadius * scale);

  for (const KeySpot& spot : kSpots) {
    const QRectF r = map(spot.rect);
    if (spot.look != Look::Arrow) {
      QLinearGradient face(r.topLeft(), r.bottomLeft());
      const QColor base = KeyColour(spot.look);
      face.setColorAt(0.0, base.lighter(135));
      face.setColorAt(1.0, base);
      p.setBrush(face);
      p.setPen(QPen(QColor(18, 20, 24), 1.0));
      const double radius = r.height() * kKeyRounding;
      p.drawRoundedRect(r, radius, radius);
      DrawCaption(p, spot.key, r, radius * 0.3 + 1, Qt::white);
    } else {
      DrawCaption(p, spot.key, r, 1, QColor(20, 22, 26));
    }
  }
  // Seams between the four direction segments, as on a moulded pad.
  p.setPen(QPen(QColor(60, 64, 72), 1.0));
  for (int quarter = 0; quarter < 4; ++quarter) {
    QLineF seam = QLineF::fromPolar(kPadRadius * scale, 45.0 + 90.0 * quarter).translated(pad);
    seam.setP1(pad + (seam.p2() - pad) * (kConfirmRadius / kPadRadius));
    p.drawLine(seam);
  }

  QRadialGradient confirm(pad - QPointF(3, 3), kConfirmRadius * scale * 1.4);
  confirm.setColorAt(0.0, KeyColour(Look::Confirm).lighter(150));
  confirm.setColorAt(1.0, KeyColour(Look::Confirm));
  p.setBrush(confirm);
  p.setPen(QPen(QColor(18, 20, 24), 1.0));
  p.drawEllipse(pad, kConfirmRadius * scale, kConfirmRadius * scale);
  const double side = kConfirmRadius * scale * 1.8;
  DrawCaption(p, 8, QRectF(pad.x() - side / 2, pad.y() - side / 2, side, side), 1, Qt::white);

  // Speaker grille at the foot of the handset.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(28, 30, 36));
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 7; ++col)
      p.drawEllipse(mapPoint({32 + col * 6.0, 210 + row * 6.0}), 1.2 * scale, 1.2 * scale);
}

}  // namespace dsptune
