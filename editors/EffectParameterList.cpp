#include "editors/EffectParameterList.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "editors/ControlTips.h"
#include "editors/model/EffectParameters.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kNumberColumn = 0, kNameColumn = 1, kValueColumn = 2;
constexpr int kRowHeight = 18;
constexpr int kWheelNotch = 120;  // eighths of a degree per notch
const QColor kListBackground(20, 20, 20);
const QColor kDisabledText(110, 110, 110);

QTableWidgetItem* FixedItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

EffectParameterList::EffectParameterList(QWidget* parent) : QWidget(parent) {
  list_ = new QTableWidget(kEffectRowCount, 3, this);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  list_->verticalHeader()->setMinimumSectionSize(kRowHeight);
  list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->horizontalHeader()->setHighlightSections(false);
  list_->setColumnWidth(kNumberColumn, 50);
  list_->setColumnWidth(kNameColumn, 130);
  list_->setColumnWidth(kValueColumn, 80);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setShowGrid(false);
  list_->setFocusPolicy(Qt::StrongFocus);
  QPalette palette = list_->palette();
  palette.setColor(QPalette::Base, kListBackground);
  palette.setColor(QPalette::Highlight, QColor(60, 70, 90));
  palette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
  palette.setColor(QPalette::Disabled, QPalette::Base, kListBackground);
  palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(45, 45, 50));
  palette.setColor(QPalette::Disabled, QPalette::HighlightedText, kDisabledText);
  list_->setPalette(palette);
  const int tableWidth = 50 + 130 + 80 + 2 * list_->frameWidth();
  list_->setFixedWidth(tableWidth);
  for (int row = 0; row < kEffectRowCount; ++row) {
    list_->setRowHeight(row, kRowHeight);
    list_->setItem(row, kNumberColumn, FixedItem(QString::asprintf("%d", row + 1)));
    list_->setItem(row, kNameColumn, FixedItem(QString()));
    list_->setItem(row, kValueColumn, FixedItem(QString()));
  }
  list_->installEventFilter(this);
  list_->viewport()->installEventFilter(this);
  connect(list_, &QTableWidget::currentCellChanged, this, [this](int row) {
    if (!loading_ && row >= 0) SelectRow(row);
  });

  name_ = new QLabel(this);
  QFont bold = name_->font();
  bold.setBold(true);
  name_->setFont(bold);
  value_ = new QLineEdit(this);
  value_->setReadOnly(true);
  value_->setFocusPolicy(Qt::NoFocus);
  value_->setAlignment(Qt::AlignCenter);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setPageStep(5);
  connect(slider_, &QSlider::valueChanged, this, [this](int v) {
    if (!loading_) Apply(v);
  });

  side_ = new QVBoxLayout;
  side_->setSpacing(4);
  side_->addWidget(name_);
  side_->addWidget(value_);
  side_->addWidget(slider_);
  side_->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addWidget(list_, 0, Qt::AlignTop);
  layout->addLayout(side_, 1);

  ApplyTexts();
  SelectRow(0);
}

void EffectParameterList::SetHalf(int half) {
  half_ = half == kEffectHalfB ? kEffectHalfB : kEffectHalfA;
  Reload();
}

void EffectParameterList::Reload() {
  for (int row = 0; row < kEffectRowCount; ++row) RefreshRow(row);
  RefreshControls();
}

void EffectParameterList::SelectRow(int row) {
  if (!EffectRowAt(row)) return;
  row_ = row;
  {
    const QSignalBlocker block(list_);
    list_->selectRow(row);
    list_->setCurrentCell(row, kNameColumn);
  }
  RefreshControls();
}

void EffectParameterList::SetTextColor(const QColor& color) {
  textColor_ = color;
  for (int row = 0; row < kEffectRowCount; ++row) RefreshRow(row);
}

void EffectParameterList::ApplyTexts() {
  list_->setHorizontalHeaderLabels({QStringLiteral(" "), PickText("参数名", "Parameter name"), PickText("参数值", "Value")});
  // All nine rows stay visible; the header's height depends on the language's font.
  list_->setFixedHeight(list_->horizontalHeader()->sizeHint().height() + kEffectRowCount * kRowHeight +
                        2 * list_->frameWidth());
  SetTip(list_, "回声和混响参数：单击一行，用右边的滑块调节", "Echo and reverb parameters: click a row, then set it with the slider");
  SetTip(slider_, "所选参数的值", "Value of the selected parameter");
  SetTip(value_, "所选参数的值", "Value of the selected parameter");
  Reload();
}

void EffectParameterList::AddBelowSlider(QWidget* widget) { side_->insertWidget(side_->count() - 1, widget); }

bool EffectParameterList::eventFilter(QObject* watched, QEvent* event) {
  if (!isEnabled()) return QWidget::eventFilter(watched, event);
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Left:
      case Qt::Key_Down:
        Step(-1);
        return true;
      case Qt::Key_Up:
      case Qt::Key_Right:
        Step(+1);
        return true;
      default:
        break;
    }
  }
  if (watched == list_->viewport() && event->type() == QEvent::Wheel) {
    wheelRemainder_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
    const int notches = wheelRemainder_ / kWheelNotch;
    wheelRemainder_ -= notches * kWheelNotch;
    if (notches != 0) Step(notches);
    return true;  // the list never scrolls: all nine rows are always shown
  }
  return QWidget::eventFilter(watched, event);
}

void EffectParameterList::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) {
    for (int row = 0; row < kEffectRowCount; ++row) RefreshRow(row);
  }
}

void EffectParameterList::Step(int delta) {
  const int value = StepEffectValue(row_, half_, delta);
  RefreshRow(row_);
  RefreshControls();
  emit valueApplied(row_, value);
}

void EffectParameterList::Apply(int value) {
  if (!WriteEffectValue(row_, half_, value)) return;
  RefreshRow(row_);
  RefreshControls();
  emit valueApplied(row_, ClampEffectValue(row_, value));
}

void EffectParameterList::RefreshRow(int row) {
  if (!EffectRowAt(row)) return;
  const QColor color = isEnabled() ? textColor_ : kDisabledText;
  list_->item(row, kNameColumn)->setText(QString::fromUtf8(EffectRowName(row, CurrentLanguage())));
  list_->item(row, kValueColumn)->setText(
      QString::fromStdString(FormatEffectValue(row, ReadEffectValue(row, half_), CurrentLanguage())));
  for (int column = 0; column < 3; ++column) list_->item(row, column)->setForeground(color);
}

void EffectParameterList::RefreshControls() {
  const EffectRow* row = EffectRowAt(row_);
  if (!row) return;
  const int value = ReadEffectValue(row_, half_);
  loading_ = true;
  name_->setText(QString::fromUtf8(EffectRowName(row_, CurrentLanguage())));
  slider_->setRange(row->minimum, row->maximum);
  slider_->setValue(ClampEffectValue(row_, value));  // the field shows the stored value
  value_->setText(QString::fromStdString(FormatEffectValue(row_, value, CurrentLanguage())));
  loading_ = false;
}

}  // namespace dsptune
