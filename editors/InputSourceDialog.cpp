#include "editors/InputSourceDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QWheelEvent>

#include <algorithm>

#include "model/DeviceModels.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

const QColor kBackground(240, 250, 255);

// Dialog units of the window's font: a quarter of the average character width across,
// an eighth of the character height down. The variants' sizes are given in them.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = std::max(1, (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
  }
  int X(int units) const { return (units * baseX_ + 2) / 4; }
  int Y(int units) const { return (units * baseY_ + 4) / 8; }

 private:
  int baseX_ = 1, baseY_ = 1;
};

}  // namespace

InputSourceDialog::InputSourceDialog(int templateNumber, QWidget* parent)
    : QDialog(parent), layout_(MusicInputLayoutFor(templateNumber)) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kBackground);
  setPalette(palette);
  setAutoFillBackground(true);
  BuildRows();
  RefreshPage();
  ApplyTexts();
}

InputSourceDialog* InputSourceDialog::ForConnectedModel(QWidget* owner) {
  return new InputSourceDialog(MusicInputTemplate(IdentitySnapshot().ModelName()), owner);
}

void InputSourceDialog::BuildRows() {
  group_ = new QButtonGroup(this);
  group_->setExclusive(true);
  for (int source = 0; source < kInputSourceCount; ++source) {
    Row& row = rows_[std::size_t(source)];
    row.radio = new QRadioButton(QString::fromUtf8(DefaultSourceLabel(source).data(),
                                                   qsizetype(DefaultSourceLabel(source).size())),
                                 this);
    row.slider = new QSlider(Qt::Horizontal, this);
    row.slider->setRange(kInputGainMin, kInputGainMax);
    row.slider->setFocusPolicy(Qt::StrongFocus);
    row.slider->setAutoFillBackground(true);
    row.slider->installEventFilter(this);
    row.value = new QLabel(QStringLiteral("0%"), this);
    row.value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    group_->addButton(row.radio, source);
    connect(row.slider, &QSlider::valueChanged, this, [this, source](int position) { OnGainChanged(source, position); });
    ShowRow(source, false);
  }
  // Every click selects, also on the button already checked: the device may have
  // switched source by itself, and a click must put it back.
  connect(group_, &QButtonGroup::idClicked, this, [](int source) { SelectInputSource(source); });

  const DialogUnits units(font());
  const DialogUnitRect radio = RadioRect(0), slider = SliderRect(0), value = ValueLabelRect(0);
  auto* grid = grid_ = new QGridLayout(this);
  grid->setContentsMargins(units.X(radio.x), units.Y(slider.y), units.X(8), units.Y(8));
  grid->setHorizontalSpacing(units.X(slider.x - radio.x - radio.width));
  grid->setVerticalSpacing(units.Y(SliderRect(1).y - slider.y - slider.height));
  grid->setColumnMinimumWidth(0, units.X(radio.width));
  grid->setColumnMinimumWidth(1, units.X(slider.width));
  grid->setColumnMinimumWidth(2, units.X(value.width));
  // The labels are as wide as the value column needs: "100%" and a stored "-100%" fit.
  const int valueWidth = std::max(units.X(value.width), fontMetrics().horizontalAdvance(QStringLiteral("-100%")) + 4);
  int line = 0;
  for (const MusicInputRow& shown : layout_.rows) {
    Row& row = rows_[std::size_t(shown.source)];
    row.radio->setText(QString::fromUtf8(shown.label.data(), qsizetype(shown.label.size())));
    row.slider->setMinimumHeight(units.Y(slider.height));
    row.value->setMinimumWidth(valueWidth);
    // A radio keeps its own width: only its indicator and text take clicks, so a radio
    // stretched by a longer one (a kept source's) would take them at neither.
    grid->addWidget(row.radio, line, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(row.slider, line, 1);
    grid->addWidget(row.value, line, 2);
    ShowRow(shown.source, !shown.conditional);
    ++line;
  }
  keptLine_ = line;
  keptCode_ = new QLabel(this);
  keptCode_->hide();
  grid->addWidget(keptCode_, keptLine_, 0, 1, 3);
  grid->setRowStretch(keptLine_ + 1, 1);
  FitSize();
}

void InputSourceDialog::ShowRow(int source, bool visible) {
  const Row& row = rows_[std::size_t(source)];
  for (QWidget* widget : std::initializer_list<QWidget*>{row.radio, row.slider, row.value}) widget->setVisible(visible);
}

void InputSourceDialog::FitSize() {
  // The variant's size, grown where this font's texts need more room.
  const DialogUnits units(font());
  layout()->activate();
  const QSize wanted = layout()->sizeHint().expandedTo(QSize(units.X(layout_.width), units.Y(layout_.height)));
  setFixedSize(wanted);
}

std::vector<int> InputSourceDialog::VisibleSources() const {
  std::vector<int> sources;
  for (const MusicInputRow& row : layout_.rows)
    if (row.source != keptSource_ && !rows_[std::size_t(row.source)].radio->isHidden()) sources.push_back(row.source);
  return sources;
}

QString InputSourceDialog::VariantLabel(int source) const {
  std::string_view label = DefaultSourceLabel(source);
  for (const MusicInputRow& row : layout_.rows)
    if (row.source == source) label = row.label;
  return QString::fromUtf8(label.data(), qsizetype(label.size()));
}

void InputSourceDialog::ShowKeptValue(int selected) {
  keptText_ = UnofferedSourceText(selected);
  if (IsInputSource(selected)) {
    keptSource_ = selected;
    const Row& row = rows_[std::size_t(selected)];
    keptMoved_ = std::none_of(layout_.rows.begin(), layout_.rows.end(),
                              [selected](const MusicInputRow& r) { return r.source == selected; });
    if (keptMoved_) {
      grid_->addWidget(row.radio, keptLine_, 0, Qt::AlignLeft | Qt::AlignVCenter);
      grid_->addWidget(row.slider, keptLine_, 1);
      grid_->addWidget(row.value, keptLine_, 2);
    }
    ShowRow(selected, true);
  } else {
    keptCode_->show();
  }
  ApplyKeptText();
}

void InputSourceDialog::ClearKeptValue() {
  if (keptSource_ >= 0) {
    const Row& row = rows_[std::size_t(keptSource_)];
    row.radio->setText(VariantLabel(keptSource_));
    ShowRow(keptSource_, false);
    if (keptMoved_)
      for (QWidget* widget : std::initializer_list<QWidget*>{row.radio, row.slider, row.value}) grid_->removeWidget(widget);
  }
  keptSource_ = -1;
  keptMoved_ = false;
  keptCode_->hide();
}

void InputSourceDialog::ApplyKeptText() {
  const QString text = PickText(QString::fromStdString(keptText_[kTextChinese]),
                                QString::fromStdString(keptText_[kTextEnglish]));
  if (keptSource_ >= 0) rows_[std::size_t(keptSource_)].radio->setText(text);
  if (!keptCode_->isHidden()) keptCode_->setText(text);
}

void InputSourceDialog::Open() {
  RefreshPage();
  ApplyTexts();
  ShowCentred(this);
}

void InputSourceDialog::RefreshPage() {
  const MusicInputValues values = ReadMusicInputValues();
  loading_ = true;
  for (int source = 0; source < kInputSourceCount; ++source) {
    const int gain = values.gains[std::size_t(source)];
    rows_[std::size_t(source)].slider->setValue(GainSliderPosition(gain));
    rows_[std::size_t(source)].value->setText(QString::fromStdString(GainText(gain)));
  }
  loading_ = false;

  // The kept line is made anew; the window is refitted only when it changed.
  const int keptBefore = keptSource_;
  const bool codeBefore = !keptCode_->isHidden();
  const BilingualText textBefore = keptText_;
  ClearKeptValue();
  if (ShowsConditionalSource(IdentitySnapshot())) {
    const bool inVariant = std::any_of(layout_.rows.begin(), layout_.rows.end(),
                                       [](const MusicInputRow& row) { return row.source == kConditionalSource; });
    if (inVariant && rows_[kConditionalSource].radio->isHidden()) {
      ShowRow(kConditionalSource, true);
      FitSize();
    }
  }

  // A source this variant does not offer is shown as kept, its own button checked; a
  // value that is no source unchecks them all. Nothing is written.
  const bool conditionalShown = !rows_[kConditionalSource].radio->isHidden();
  if (!OffersSource(layout_, values.selected, conditionalShown)) ShowKeptValue(values.selected);
  if (keptSource_ != keptBefore || !keptCode_->isHidden() != codeBefore || keptText_ != textBefore) FitSize();
  if (QAbstractButton* button = IsInputSource(values.selected) ? group_->button(values.selected) : nullptr) {
    button->setChecked(true);
  } else {
    group_->setExclusive(false);
    for (QAbstractButton* each : group_->buttons()) each->setChecked(false);
    group_->setExclusive(true);
  }
}

void InputSourceDialog::ApplyTexts() {
  setWindowTitle(PickText("音源设置", "Music source setting"));
  for (const Row& row : rows_) {
    row.radio->setToolTip(PickText("选择这个音乐输入", "Plays this music input"));
    row.slider->setToolTip(PickText("这个音乐输入的增益", "Gain of this music input"));
  }
  keptCode_->setToolTip(PickText("设置里保存的输入源，本机型没有；选择其他输入源即可更换",
                                 "Kept as stored: this model has no such input. Pick a source to change it"));
  ApplyDialogTexts(this, kDialogNumber);
  ApplyKeptText();
}

void InputSourceDialog::OnGainChanged(int source, int position) {
  if (loading_) return;
  SetInputGain(source, position);
  rows_[std::size_t(source)].value->setText(QString::fromStdString(GainText(position)));
}

bool InputSourceDialog::ForwardWheel(QWidget* target, QWheelEvent* event) {
  auto* focused = qobject_cast<QSlider*>(focusWidget());
  const bool ours = focused && std::any_of(rows_.begin(), rows_.end(), [focused](const Row& r) { return r.slider == focused; });
  if (!ours || focused == target) return false;
  if (!rect().contains(mapFromGlobal(event->globalPosition()).toPoint())) return false;
  QWheelEvent copy(focused->mapFromGlobal(event->globalPosition()), event->globalPosition(), event->pixelDelta(),
                   event->angleDelta(), event->buttons(), event->modifiers(), event->phase(), event->inverted(),
                   event->source());
  QCoreApplication::sendEvent(focused, &copy);
  event->accept();
  return true;
}

bool InputSourceDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel)
    return ForwardWheel(qobject_cast<QWidget*>(watched), static_cast<QWheelEvent*>(event));
  return QDialog::eventFilter(watched, event);
}

void InputSourceDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) ApplyTexts();
  QDialog::changeEvent(event);
}

void InputSourceDialog::wheelEvent(QWheelEvent* event) {
  if (!ForwardWheel(this, event)) QDialog::wheelEvent(event);
}

}  // namespace dsptune
