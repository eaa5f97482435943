#include "editors/RecordOutputPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

#include "editors/CompressorCurvePanel.h"
#include "editors/ControlTips.h"
#include "editors/EqGraphPanel.h"
#include "editors/OutputPageButtons.h"
#include "editors/ShortBandCaptions.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

const QColor kListText(0, 200, 255);

struct Text {
  const char* chinese;
  const char* english;
};
// "Direct " keeps the space the product's English text has always had.
constexpr Text kLevelTexts[kRecordLevels] = {
    {"直达声音量", "Direct "}, {"混响音量", "Reverb"}, {"回声音量", "Echo"}, {"音乐音量", "Music"}, {"录音电平", "Rec Level"}};
constexpr Text kCompressorTexts[kCompressorSliders] = {
    {"阀(阈)", "Threshold"}, {"衰减比例", "Decay ratio"}, {"启动时间", "Attack time"}, {"释放时间", "Release time"}};
// The widest text each value field shows.
const char* const kWidestCompressorValue[kCompressorSliders] = {"-60dB", "30.0:1", "100ms", "1000ms"};

QString FromStd(const std::string& text) { return QString::fromStdString(text); }
int LevelIndex(int level) { return std::clamp(level, 0, kRecordLevels - 1); }
int SliderIndex(int index) { return std::clamp(index, 0, kCompressorSliders - 1); }

}  // namespace

RecordOutputPage::RecordOutputPage(QWidget* parent) : EditorPage(kEditorRecord, 0, parent) {
  connect(this, &RecordOutputPage::eqBypassChanged, this, &EditorPage::eqStateChanged);

  OutputPageButtons::Options pages;
  pages.pressedKind = kEditorRecord;
  pageRow_ = new OutputPageButtons(this, pages);
  pageRow_->ForwardTo(this);
  BuildEqArea();
  BuildLevelGroup();
  BuildCompressorGroup();
  LayOut();
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

  ApplyTexts();
}

RecordOutputPage::~RecordOutputPage() = default;

// ---------------------------------------------------------------- building

void RecordOutputPage::BuildEqArea() {
  title_ = new QLabel(this);
  QFont big = title_->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  title_->setFont(big);
  title_->setAlignment(Qt::AlignCenter);
  title_->setStyleSheet(
      "QLabel { color: rgb(255,255,255); border-radius: 4px; padding: 2px 14px;"
      " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(40,90,160), stop:1 rgb(20,45,90)); }");

  eqPanel_ = new EqGraphPanel(this);
  eqPanel_->setMinimumSize(480, 200);
  EqBandEditor::Options options;
  options.listRows = kRecordEqBands;
  options.density = EqBandEditor::Density::kCompact;
  bandEditor_ = new EqBandEditor(*eqPanel_, [](const EqBand& band) { WriteRecordEqBand(band); }, options, this);
  bandEditor_->SetTextColor(kListText);
  // A paste keeps the picked band; only the bands are reread.
  connect(bandEditor_, &EqBandEditor::reloadRequested, this, &RecordOutputPage::ReloadEq);
}

RecordOutputPage::SliderRow RecordOutputPage::MakeRow(QWidget* parent, int min, int max, const char* widest) {
  SliderRow row;
  row.caption = new QLabel(parent);
  row.slider = new QSlider(Qt::Horizontal, parent);
  row.slider->setRange(min, max);
  // A click beside the handle, an arrow key and a wheel notch each move one step.
  row.slider->setSingleStep(1);
  row.slider->setPageStep(1);
  row.slider->setMinimumWidth(110);
  row.value = new QLabel(parent);
  row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  row.value->setMinimumWidth(row.value->fontMetrics().horizontalAdvance(QString::fromLatin1(widest)) + 4);
  return row;
}

void RecordOutputPage::BuildLevelGroup() {
  levelGroup_ = new QGroupBox(this);
  for (int k = 0; k < kLevels; ++k) {
    levels_[std::size_t(k)] = MakeRow(levelGroup_, 0, kRecordLevelMax, "100%");
    connect(levels_[std::size_t(k)].slider, &QSlider::valueChanged, this, [this, k](int position) {
      if (loading_) return;
      WriteRecordLevel(k, position);
      levels_[std::size_t(k)].value->setText(FromStd(RecordLevelText(position)));
    });
  }
}

void RecordOutputPage::BuildCompressorGroup() {
  compressorGroup_ = new QGroupBox(this);
  compressorSwitch_ = new QCheckBox(compressorGroup_);
  connect(compressorSwitch_, &QCheckBox::toggled, this, [this](bool on) {
    if (loading_) return;
    WriteRecordLimiterSwitch(on);
    graph_->SetOn(on);
  });
  for (int i = 0; i < kCompressorSliders; ++i) {
    const CompressorSliderRange& range = kCompressorSliderRanges[std::size_t(i)];
    compressor_[std::size_t(i)] = MakeRow(compressorGroup_, range.min, range.max, kWidestCompressorValue[i]);
    connect(compressor_[std::size_t(i)].slider, &QSlider::valueChanged, this, [this, i](int position) {
      if (!loading_) OnCompressorSlider(i, position);
    });
  }
  graph_ = new CompressorCurvePanel(this);
  // The curve needs no more than its smallest readable size; the height goes to the EQ.
  graph_->setMaximumHeight(graph_->minimumSizeHint().height() + 10);
}

void RecordOutputPage::LayOut() {
  auto* bandColumn = new QVBoxLayout;
  bandColumn->setSpacing(4);
  bandColumn->addWidget(title_);
  bandColumn->addWidget(bandEditor_, 1);
  auto* eqRow = new QHBoxLayout;
  eqRow->setSpacing(6);
  eqRow->addWidget(eqPanel_, 1);
  eqRow->addLayout(bandColumn);

  const auto fillGrid = [](QGroupBox* group, auto& rows, int firstRow) {
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    for (int k = 0; k < int(rows.size()); ++k) {
      grid->addWidget(rows[std::size_t(k)].caption, firstRow + k, 0);
      grid->addWidget(rows[std::size_t(k)].slider, firstRow + k, 1);
      grid->addWidget(rows[std::size_t(k)].value, firstRow + k, 2);
    }
    grid->setColumnStretch(1, 1);
    return grid;
  };
  fillGrid(levelGroup_, levels_, 0);
  fillGrid(compressorGroup_, compressor_, 1)->addWidget(compressorSwitch_, 0, 0, 1, 3);

  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(8);
  bottom->addWidget(levelGroup_, 3);
  bottom->addWidget(compressorGroup_, 4);
  bottom->addWidget(graph_, 2);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 6, 8, 6);
  root->setSpacing(6);
  root->addLayout(pageRow_->MakeRow());
  root->addLayout(eqRow, 1);
  root->addLayout(bottom);
}

// ---------------------------------------------------------------- page operations

void RecordOutputPage::RefreshPage() {
  RefreshLevels();
  RefreshCompressor();
  bandEditor_->ShowBandList();
  ReloadEq();
}

void RecordOutputPage::RefreshLevels() {
  loading_ = true;
  for (int k = 0; k < kLevels; ++k) {
    const int position = RecordLevelPosition(k);
    levels_[std::size_t(k)].slider->setValue(position);
    levels_[std::size_t(k)].value->setText(FromStd(RecordLevelStoredText(k)));
  }
  loading_ = false;
}

void RecordOutputPage::RefreshCompressor() {
  const CompressorPositions positions = RecordCompressorPositions();
  const auto texts = CompressorStoredTexts(EditorSnapshot().recordLimiter);
  const bool on = RecordLimiterOn();
  loading_ = true;
  compressorSwitch_->setChecked(on);
  for (int i = 0; i < kCompressorSliders; ++i) {
    compressor_[std::size_t(i)].slider->setValue(positions[std::size_t(i)]);
    compressor_[std::size_t(i)].value->setText(FromStd(texts[std::size_t(i)]));
  }
  loading_ = false;
  graph_->SetCurve(CompressorCurveFor(positions, on));
}

void RecordOutputPage::OnCompressorSlider(int index, int position) {
  compressor_[std::size_t(index)].value->setText(FromStd(CompressorValueText(index, position)));
  CompressorCurve curve = graph_->Curve();
  ApplySliderToCurve(curve, index, position);
  graph_->SetCurve(curve);
  WriteRecordCompressorSlider(index, position);
}

void RecordOutputPage::ReloadEq() {
  bandEditor_->ShowEq(kRecordEqNumber, StoredBandType::kAsStored);
  const bool bypassed = EqBypassed();
  if (eqPanel_->Model().Bypass() != bypassed) eqPanel_->SetBypass(bypassed);
  emit eqBypassChanged(bypassed);
}

bool RecordOutputPage::EqBypassed() const { return RecordEqBypassed(); }

void RecordOutputPage::SetEqBypass(bool bypass) {
  SetRecordEqBypass(bypass);
  if (eqPanel_->Model().Bypass() != bypass) eqPanel_->SetBypass(bypass);
  emit eqBypassChanged(bypass);
}

void RecordOutputPage::ResetCurrentEq() {
  bandEditor_->ShowBandList();
  ResetRecordEq();
  ReloadEq();
}

void RecordOutputPage::ApplyTexts() {
  title_->setText(PickText("录音输出", "RECORD OUTPUT"));
  pageRow_->ApplyTexts();
  eqPanel_->SetLanguage(CurrentLanguage());
  bandEditor_->ApplyTexts();
  ApplyShortBandCaptions(*bandEditor_);
  for (int k = 0; k < kLevels; ++k)
    levels_[std::size_t(k)].caption->setText(PickText(kLevelTexts[k].chinese, kLevelTexts[k].english));
  compressorSwitch_->setText(PickText("压限启用", "Compressor Switch"));
  for (int i = 0; i < kCompressorSliders; ++i)
    compressor_[std::size_t(i)].caption->setText(PickText(kCompressorTexts[i].chinese, kCompressorTexts[i].english));
  static const char* const kLevelTipChinese[kLevels] = {"录音中话筒直达声的音量", "录音中混响的音量", "录音中回声的音量",
                                                        "录音中音乐的音量", "录音输出的总电平"};
  static const char* const kLevelTipEnglish[kLevels] = {"Level of the direct mic sound in the recording",
                                                        "Level of the reverb in the recording", "Level of the echo in the recording",
                                                        "Level of the music in the recording", "Overall level of the record output"};
  for (int k = 0; k < kLevels; ++k) SetTip(levels_[std::size_t(k)].slider, kLevelTipChinese[k], kLevelTipEnglish[k]);
  SetLimiterSwitchTip(compressorSwitch_);
  for (int i = 0; i < kCompressorSliders; ++i) SetLimiterSliderTip(compressor_[std::size_t(i)].slider, i);
  ApplyDialogTexts(this, kDialogNumber);
  RefreshPage();
}

bool RecordOutputPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool overPanel = widget && (widget == eqPanel_ || eqPanel_->isAncestorOf(widget));
    auto* focused = qobject_cast<QSlider*>(QApplication::focusWidget());
    if (!overPanel && focused && focused != watched && isAncestorOf(focused)) {
      QApplication::sendEvent(focused, event);
      return true;
    }
  }
  return EditorPage::eventFilter(watched, event);
}

// ---------------------------------------------------------------- test access

QPushButton& RecordOutputPage::ChannelButton(int channel) const { return pageRow_->ChannelButton(channel); }
QPushButton& RecordOutputPage::PageButton(int index) const { return pageRow_->PageButton(index); }
QSlider& RecordOutputPage::LevelSlider(int level) const { return *levels_[std::size_t(LevelIndex(level))].slider; }
QLabel& RecordOutputPage::LevelValue(int level) const { return *levels_[std::size_t(LevelIndex(level))].value; }
QLabel& RecordOutputPage::LevelCaption(int level) const { return *levels_[std::size_t(LevelIndex(level))].caption; }
QSlider& RecordOutputPage::CompressorSlider(int index) const { return *compressor_[std::size_t(SliderIndex(index))].slider; }
QLabel& RecordOutputPage::CompressorValue(int index) const { return *compressor_[std::size_t(SliderIndex(index))].value; }
QLabel& RecordOutputPage::CompressorCaption(int index) const {
  return *compressor_[std::size_t(SliderIndex(index))].caption;
}

}  // namespace dsptune
