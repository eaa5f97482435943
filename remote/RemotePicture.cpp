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
const KeySpot kSpots[] = {
    {1, {6, 16, 28, kRow}, Look::Power},       {2, {66, 16, 28, kRow}, Look::Plain},
    {3, {6, 32, 28, kRow}, Look::Plain},       {9, {66, 32, 28, kRow}, Look::Plain},
    {4, {36, 50, 28, kRow}, Look::Arrow},      {5, {36, 91, 28, kRow}, Look::Arrow},
    {6, {19.5, 70.5, 19, kRow}, Look::Arrow},  {7, {61.5, 70.5, 19, kRow}, Look::Arrow},
    {10, {66, 112, 28, kRow}, Look::Plain},    {11, {6, 112, 28, kRow}, Look::Plain},
    {12, {4, 132, 29, kRow}, Look::Volume},    {13, {4, 146, 29, kRow}, Look::Volume},
    {14, {35.5, 132, 29, kRow}, Look::Volume}, {15, {35.5, 146, 29, kRow}, Look::Volume},
    {16, {67, 132, 29, kRow}, Look::Volume},   {17, {67, 146, 29, kRow}, Look::Volume},
    {18, {3, 166, 22, kRow}, Look::Tone},      {23, {27, 166, 22, kRow}, Look::Tone},
    {24, {51, 166, 22, kRow}, Look::Tone},     {25, {75, 166, 22, kRow}, Look::Tone},
    {19, {3, 184, 22, kRow}, Look::Mode},      {20, {27, 184, 22, kRow}, Look::Mode},
    {21, {51, 184, 22, kRow}, Look::Mode},     {22, {75, 184, 22, kRow}, Look::Mode},
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

// Draws `text` centred in `box`, in the largest size from 8 pt down to 5 pt that fits.
void FitText(QPainter& p, const QRectF& box, const QString& text, const QColor& colour) {
  QFont font = p.font();
  double size = 8.0;
  for (; size > 5.0; size -= 0.5) {
    font.setPointSizeF(size);
    if (QFontMetricsF(font).horizontalAdvance(text) <= box.width() - 3) break;
  }
  font.setPointSizeF(size);
  p.setFont(font);
  p.setPen(colour);
  p.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
}

QString Caption(int key) {
  const RemoteKey* k = FindRemoteKey(key);
  return k ? PickText(k->captionZh, k->captionEn) : QString();
}

}  // namespace

RemotePicture::RemotePicture(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void RemotePicture::paintEvent(QPaintEvent*) {
  paintedLanguage_ = CurrentLanguage();
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
      p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
      FitText(p, r, Caption(spot.key), Qt::white);
    } else {
      FitText(p, r, Caption(spot.key), QColor(20, 22, 26));
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
  FitText(p, QRectF(pad.x() - side / 2, pad.y() - side / 2, side, side), Caption(8), Qt::white);

  // Speaker grille at the foot of the handset.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(28, 30, 36));
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 7; ++col)
      p.drawEllipse(mapPoint({32 + col * 6.0, 210 + row * 6.0}), 1.2 * scale, 1.2 * scale);
}

}  // namespace dsptune
