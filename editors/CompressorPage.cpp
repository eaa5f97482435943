#include "editors/CompressorPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "editors/CompressorCurvePanel.h"
#include "editors/ControlTips.h"
#include "editors/OutputPageButtons.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {


const char* const kCaptionChinese[kCompressorSliders] = {"阀(阈)", "衰减比例", "启动时间", "释放时间"};
const char* const kCaptionEnglish[kCompressorSliders] = {"Threshold", "Ratio", "Attack time", "Release time"};
// The widest text each value field shows.
const char* const kWidestValue[kCompressorSliders] = {"-60dB", "30.0:1", "100ms", "1000ms"};

QString ChannelItemText(int channel) {
  return PickText(QString::fromUtf8("通道%1").arg(channel + 1), QStringLiteral("CH %1").arg(channel + 1));
}

int SliderIndex(int index) { return std::clamp(index, 0, CompressorPage::kSliders - 1); }

}  // namespace

CompressorPage::CompressorPage(QWidget* parent) : EditorPage(kEditorCompressor, 0, parent) {

  OutputPageButtons::Options pages;
  pages.pressedKind = kEditorCompressor;
  pages.englishChannels = OutputPageButtons::kCompressorEnglishChannels;
  pages.locationChinese = "声道定位";
  pageRow_ = new OutputPageButtons(this, pages);
  pageRow_->ForwardTo(this);
  BuildControls();
  LayOut();

  ApplyTexts();
  RefreshPage();
}

CompressorPage::~CompressorPage() = default;

// ---------------------------------------------------------------- building

void CompressorPage::BuildControls() {
  controls_ = new QGroupBox(this);
  channelCaption_ = new QLabel(controls_);
  channelCombo_ = new QComboBox(controls_);
  for (int c = 0; c < kChannels; ++c) channelCombo_->addItem(QString());
  connect(channelCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!loading_) OnChannelChosen(index);
  });
  compSwitch_ = new QCheckBox(controls_);
  connect(compSwitch_, &QCheckBox::toggled, this, [this](bool on) {
    if (!loading_) OnCompSwitch(on);
  });

  for (int i = 0; i < kSliders; ++i) {
    const CompressorSliderRange& range = kCompressorSliderRanges[std::size_t(i)];
    auto* caption = new QLabel(controls_);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    auto* slider = new QSlider(Qt::Vertical, controls_);
    slider->setRange(range.min, range.max);
    slider->setPageStep(range.pageStep);
    slider->setMinimumHeight(200);
    auto* value = new QLabel(controls_);
    value->setAlignment(Qt::AlignCenter);
    value->setFrameShape(QFrame::StyledPanel);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QString::fromLatin1(kWidestValue[i])) + 12);
    connect(slider, &QSlider::valueChanged, this, [this, i](int position) {
      if (!loading_) OnSliderMoved(i, position);
    });
    captions_[std::size_t(i)] = caption;
    sliders_[std::size_t(i)] = slider;
    values_[std::size_t(i)] = value;
  }

  graph_ = new CompressorCurvePanel(this);
  graph_->setMinimumSize(480, 360);
}

void CompressorPage::LayOut() {
  auto* chooser = new QHBoxLayout;
  chooser->setSpacing(8);
  chooser->addWidget(channelCaption_);
  chooser->addWidget(channelCombo_, 1);

  auto* sliders = new QGridLayout;
  sliders->setHorizontalSpacing(10);
  sliders->setVerticalSpacing(6);
  for (int i = 0; i < kSliders; ++i) {
    sliders->addWidget(captions_[std::size_t(i)], 0, i, Qt::AlignHCenter | Qt::AlignBottom);
    sliders->addWidget(sliders_[std::size_t(i)], 1, i, Qt::AlignHCenter);
    sliders->addWidget(values_[std::size_t(i)], 2, i, Qt::AlignHCenter);
    sliders->setColumnStretch(i, 1);
  }
  sliders->setRowStretch(1, 1);

  auto* column = new QVBoxLayout(controls_);
  column->setContentsMargins(12, 10, 12, 10);
  column->setSpacing(10);
  column->addLayout(chooser);
  column->addWidget(compSwitch_);
  column->addSpacing(6);
  column->addLayout(sliders, 1);

  // One width in both languages, so the graph keeps its size across a language switch.
  controls_->setMinimumWidth(330);
  controls_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

  auto* body = new QHBoxLayout;
  body->setSpacing(10);
  body->addWidget(controls_, 0);
  body->addWidget(graph_, 1);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 6, 8, 8);
  root->setSpacing(8);
  root->addLayout(pageRow_->MakeRow());
  root->addLayout(body, 1);
}

// ---------------------------------------------------------------- page operations

void CompressorPage::SetChannel(int channel) {
  const int chosen = (channel >= 0 && channel < kChannels) ? channel : 0;
  EditorPage::SetChannel(chosen);
  loading_ = true;
  channelCombo_->setCurrentIndex(chosen);
  loading_ = false;
  pageRow_->ShowPagePressed();
  RefreshPage();
}

void CompressorPage::OnChannelChosen(int index) {
  // Only what is shown changes; the device hears nothing until a control moves.
  EditorPage::SetChannel(index >= 0 && index < kChannels ? index : 0);
  pageRow_->ShowPagePressed();
  RefreshPage();
}

void CompressorPage::RefreshPage() {
  const int c = Channel();
  const CompressorValues stored = EditorSnapshot().channelLimiters[std::size_t(c)];
  const CompressorPositions positions = CompressorSliderPositions(stored);
  const auto texts = CompressorStoredTexts(stored);
  const bool on = ChannelLimiterOn(c);
  loading_ = true;
  if (channelCombo_->currentIndex() != c) channelCombo_->setCurrentIndex(c);
  compSwitch_->setChecked(on);
  for (int i = 0; i < kSliders; ++i) {
    sliders_[std::size_t(i)]->setValue(positions[std::size_t(i)]);
    values_[std::size_t(i)]->setText(QString::fromStdString(texts[std::size_t(i)]));
  }
  loading_ = false;
  graph_->SetCurve(CompressorCurveFor(positions, on));
}

void CompressorPage::OnSliderMoved(int index, int position) {
  values_[std::size_t(index)]->setText(QString::fromStdString(CompressorValueText(index, position)));
  CompressorCurve curve = graph_->Curve();
  ApplySliderToCurve(curve, index, position);
  graph_->SetCurve(curve);
  WriteChannelCompressorSlider(Channel(), index, position);
}

void CompressorPage::OnCompSwitch(bool on) {
  WriteChannelLimiterSwitch(Channel(), on);
  graph_->SetOn(on);
}

void CompressorPage::ApplyTexts() {
  pageRow_->ApplyTexts();
  channelCaption_->setText(PickText("选择通道", "Select CH"));
  // Renaming the entries in place keeps the chosen channel.
  loading_ = true;
  for (int c = 0; c < kChannels; ++c) channelCombo_->setItemText(c, ChannelItemText(c));
  if (channelCombo_->currentIndex() < 0) channelCombo_->setCurrentIndex(0);
  loading_ = false;
  compSwitch_->setText(PickText("压限启用", "Comp ON"));
  for (int i = 0; i < kSliders; ++i) captions_[std::size_t(i)]->setText(PickText(kCaptionChinese[i], kCaptionEnglish[i]));
  SetTip(channelCombo_, "选择要调节压限器的输出通道", "Output channel whose limiter is edited");
  SetLimiterSwitchTip(compSwitch_);
  for (int i = 0; i < kSliders; ++i) SetLimiterSliderTip(sliders_[std::size_t(i)], i);
  ApplyDialogTexts(this, kDialogNumber);
}

// ---------------------------------------------------------------- test access

QPushButton& CompressorPage::ChannelButton(int channel) const { return pageRow_->ChannelButton(channel); }
QPushButton& CompressorPage::PageButton(int index) const { return pageRow_->PageButton(index); }
QSlider& CompressorPage::Slider(int index) const { return *sliders_[std::size_t(SliderIndex(index))]; }
QLabel& CompressorPage::ValueField(int index) const { return *values_[std::size_t(SliderIndex(index))]; }
QLabel& CompressorPage::Caption(int index) const { return *captions_[std::size_t(SliderIndex(index))]; }

}  // namespace dsptune
