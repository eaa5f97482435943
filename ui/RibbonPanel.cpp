#include "ui/RibbonPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

namespace dsptune {
namespace {

constexpr int kCaptionHeight = 17;  // pixels
const QColor kBorder(176, 204, 232);
const QColor kCaptionTop(222, 236, 250);
const QColor kCaptionBottom(200, 222, 244);
const QColor kCaptionText(21, 66, 139);

}  // namespace

RibbonPanel::RibbonPanel(const QString& title, QWidget* parent) : QFrame(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(1, 1, 1, 1);
  outer->setSpacing(0);

  rows_ = new QVBoxLayout;
  rows_->setContentsMargins(5, 3, 5, 2);
  rows_->setSpacing(1);
  outer->addLayout(rows_);
  outer->addStretch(1);

  caption_ = new QLabel(title, this);
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setFixedHeight(kCaptionHeight);
  caption_->setContentsMargins(6, 0, 6, 0);
  QPalette palette = caption_->palette();
  palette.setColor(QPalette::WindowText, kCaptionText);
  caption_->setPalette(palette);
  outer->addWidget(caption_);
}

void RibbonPanel::SetTitle(const QString& title) {
  caption_->setText(title);
  updateGeometry();
}

QString RibbonPanel::Title() const { return caption_->text(); }

QHBoxLayout* RibbonPanel::Row(int row) {
  if (row < 0) row = static_cast<int>(rowLayouts_.size());
  while (rowLayouts_.size() <= row) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    rows_->addLayout(layout);
    rowLayouts_.append(layout);
  }
  return rowLayouts_[row];
}

void RibbonPanel::AddWidget(QWidget* widget, int row) {
  if (!widget) return;
  Row(row)->addWidget(widget, 0, Qt::AlignLeft | Qt::AlignVCenter);
  updateGeometry();
}

int RibbonPanel::RowCount() const { return static_cast<int>(rowLayouts_.size()); }

QList<QWidget*> RibbonPanel::RowWidgets(int row) const {
  QList<QWidget*> widgets;
  if (row < 0 || row >= rowLayouts_.size()) return widgets;
  const QHBoxLayout* layout = rowLayouts_[row];
  for (int i = 0; i < layout->count(); ++i) {
    if (QWidget* widget = layout->itemAt(i)->widget()) widgets.append(widget);
  }
  return widgets;
}

void RibbonPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

  QLinearGradient body(frame.topLeft(), frame.bottomLeft());
  body.setColorAt(0.0, QColor(250, 253, 255));
  body.setColorAt(1.0, QColor(236, 245, 253));
  painter.setPen(Qt::NoPen);
  painter.setBrush(body);
  painter.drawRoundedRect(frame, 3, 3);

  // Caption bar: the lower strip of the frame, under the title label.
  const QRectF captionRect(frame.left(), caption_->geometry().top(), frame.width(),
                           frame.bottom() - caption_->geometry().top());
  QLinearGradient caption(captionRect.topLeft(), captionRect.bottomLeft());
  caption.setColorAt(0.0, kCaptionTop);
  caption.setColorAt(1.0, kCaptionBottom);
  painter.save();
  painter.setClipRect(captionRect);
  painter.setBrush(caption);
  painter.drawRoundedRect(frame, 3, 3);
  painter.restore();

  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kBorder, 1));
  painter.drawRoundedRect(frame, 3, 3);
}

}  // namespace dsptune
