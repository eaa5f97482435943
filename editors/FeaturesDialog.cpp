#include "editors/FeaturesDialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/DialogTexts.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

using S = LoudnessSlider;
using B = LoudnessBox;

struct PairText {
  int id;
  const char* zh;
  const char* en;
};

// Caption of each slider, in LoudnessSlider order; the bass boost's caption is the
// "Mic Max Bass" box (id 0 here).
constexpr std::array<PairText, kLoudnessSliderCount> kCaptions = {{
    {FeaturesDialog::kLowFrequencyLabelId, "低频", "LowF"},
    {FeaturesDialog::kLowGainLabelId, "增益", "Gain"},
    {FeaturesDialog::kMidFrequencyLabelId, "中频", "MidF"},
    {FeaturesDialog::kMidGainLabelId, "增益", "Gain"},
    {FeaturesDialog::kHighFrequencyLabelId, "高频", "HighF"},
    {FeaturesDialog::kHighGainLabelId, "增益", "Gain"},
    {FeaturesDialog::kHarmonicGainLabelId, "谐波增益", "Gain"},
    {FeaturesDialog::kHarmonyLabelId, "谐波次数比", "Harmony"},
    {FeaturesDialog::kHarmonicMixLabelId, "谐波混合比", "Mix"},
    {FeaturesDialog::kHarmonicLevelLabelId, "谐波总音量", "Level"},
    {0, nullptr, nullptr},
    {FeaturesDialog::kLpfFrequencyLabelId, "音乐低频频率", "LPF Frequency"},
    {FeaturesDialog::kLpfDelayLabelId, "音乐低频延时", "LPF Delay"},
    {FeaturesDialog::kLpfGainLabelId, "音乐低频增益", "LPF Gain"},
    {FeaturesDialog::kSubVolumeLabelId, "超低比例", "SUB Vol"},
    {FeaturesDialog::kValidLevelLabelId, "输入电平限制", "Valid Level"},
    {FeaturesDialog::kRatioLabelId, "比率", "Ratio"},
    {FeaturesDialog::kAttackLabelId, "启动时间", "Attack time"},
    {FeaturesDialog::kReleaseLabelId, "释放时间", "Release time"},
}};

// In LoudnessBox order.
constexpr std::array<PairText, kLoudnessBoxCount> kBoxTexts = {{
    {FeaturesDialog::kExciterEqBoxId, "均衡启用", "EQ ON"},
    {FeaturesDialog::kExciterBoxId, "激励启用", "Exciter ON"},
    {FeaturesDialog::kMicMaxBassBoxId, "话筒低频增强", "Mic Max Bass"},
    {FeaturesDialog::kAutoSubBoxId, "启用", "ON"},
    {FeaturesDialog::kAutoMusicInputBoxId, "启用", "ON"},
}};

// In Group order.
constexpr std::array<PairText, FeaturesDialog::kGroupCount> kGroupTexts = {{
    {FeaturesDialog::kExciterGroupId, "话筒激励", "Mic Exciter"},
    {FeaturesDialog::kBassGroupId, "音乐超级低音", "Music Max Bass"},
    {FeaturesDialog::kAutoSubGroupId, "自动超低", "Auto SUB vol decay"},
    {FeaturesDialog::kAutoMusicInputGroupId, "音乐输入电平自动控制", "Auto Music Input Level"},
}};

constexpr PairText kNote = {FeaturesDialog::kAutoSubNoteId,
                            "当检测到话筒信号时，超低音量自动调节成所设置的超低比例，1秒之后，超低音量逐渐恢复成正常比例",
                            "When detected mic level,the SUB vol is auto decay."};

// Tooltips, in LoudnessSlider and LoudnessBox order.
struct TipText {
  const char* zh;
  const char* en;
};
constexpr std::array<TipText, kLoudnessSliderCount> kSliderTips = {{
    {"激励均衡低频段的频率", "Frequency of the exciter EQ's low band"},
    {"激励均衡低频段的增益", "Gain of the exciter EQ's low band"},
    {"激励均衡中频段的频率", "Frequency of the exciter EQ's mid band"},
    {"激励均衡中频段的增益", "Gain of the exciter EQ's mid band"},
    {"激励均衡高频段的频率", "Frequency of the exciter EQ's high band"},
    {"激励均衡高频段的增益", "Gain of the exciter EQ's high band"},
    {"激励产生的谐波的增益", "Gain of the harmonics the exciter adds"},
    {"谐波中高次与低次的比例", "Balance of higher to lower harmonics"},
    {"谐波与原声的混合比例", "Mix of the harmonics into the voice"},
    {"谐波的总音量", "Overall level of the harmonics"},
    {"话筒低频增强的量", "How much the mic bass is raised"},
    {"音乐超级低音的截止频率", "Cut-off frequency of the music bass extension"},
    {"音乐超级低音的延时", "Delay of the music bass extension"},
    {"音乐超级低音的增益", "Gain of the music bass extension"},
    {"检测到话筒时超低音量降到的比例", "SUB level while a mic is heard"},
    {"音乐输入电平的上限", "Highest music input level"},
    {"音乐输入电平控制的比率", "Ratio of the music input level control"},
    {"音乐输入电平控制起作用的速度", "How fast the music input level control sets in"},
    {"音乐输入电平控制松开的速度", "How fast the music input level control lets go"},
}};
constexpr std::array<TipText, kLoudnessBoxCount> kBoxTips = {{
    {"打开激励的三段均衡", "Turns the exciter's three-band EQ on"},
    {"打开话筒激励", "Turns the mic exciter on"},
    {"打开话筒低频增强", "Turns the mic bass boost on"},
    {"检测到话筒信号时自动降低超低音量", "Lowers the SUB level while a mic is heard"},
    {"自动控制音乐输入电平", "Controls the music input level by itself"},
}};

constexpr int kSliderWidth = 150;
// The note wraps inside the right-hand column instead of widening it.
constexpr int kNoteWidth = 260;

QString Text(const PairText& text) { return PickText(text.zh, text.en); }

QString ValueText(S slider, int position) { return QString::fromStdString(LoudnessValueText(slider, position)); }

}  // namespace

FeaturesDialog::FeaturesDialog(QWidget* parent) : QDialog(parent) {
  setModal(false);
  // The light background of every page, not the style's grey.
  QPalette look = palette();
  look.setColor(QPalette::Window, QColor(240, 250, 255));
  setPalette(look);
  setAutoFillBackground(true);
  BuildControls();
  RefreshPage();
  ApplyTexts();
}

void FeaturesDialog::BuildControls() {
  for (int g = 0; g < kGroupCount; ++g) {
    groups_[std::size_t(g)] = new QGroupBox(this);
    SetControlId(groups_[std::size_t(g)], kGroupTexts[std::size_t(g)].id);
  }
  for (int b = 0; b < kLoudnessBoxCount; ++b) {
    auto* box = new QCheckBox(this);
    SetControlId(box, kBoxTexts[std::size_t(b)].id);
    connect(box, &QCheckBox::clicked, this, [b](bool ticked) { WriteLoudnessBox(B(b), ticked); });
    boxes_[std::size_t(b)] = box;
  }

  const QFontMetrics metrics(font());
  for (int i = 0; i < kLoudnessSliderCount; ++i) {
    const S id = S(i);
    const LoudnessSliderRange range = LoudnessRange(id);
    SliderRow& row = rows_[std::size_t(i)];
    if (id == S::kMicBassBoost) {
      row.caption = boxes_[std::size_t(B::kMicMaxBass)];
    } else {
      row.caption = new QLabel(this);
      SetControlId(row.caption, kCaptions[std::size_t(i)].id);
    }
    row.slider = new QSlider(Qt::Horizontal, this);
    row.slider->setRange(range.min, range.max);
    row.slider->setPageStep(std::max(1, (range.max - range.min) / 10));
    row.slider->setMinimumWidth(kSliderWidth);
    row.value = new QLabel(this);
    // Wide enough for the longest text of the range, so the field never jumps.
    const int widest = std::max(metrics.horizontalAdvance(ValueText(id, range.min)),
                                metrics.horizontalAdvance(ValueText(id, range.max)));
    row.value->setMinimumWidth(widest + 6);
    connect(row.slider, &QSlider::valueChanged, this, [this, id](int position) { OnSliderMoved(id, position); });
  }
  note_ = new QLabel(this);
  SetControlId(note_, kNote.id);
  note_->setWordWrap(true);
  note_->setFixedWidth(kNoteWidth);

  const auto addRow = [this](QGridLayout* grid, S slider, int line, int column) {
    const SliderRow& row = rows_[std::size_t(slider)];
    grid->addWidget(row.caption, line, column);
    grid->addWidget(row.slider, line, column + 1);
    grid->addWidget(row.value, line, column + 2);
    if (LoudnessRange(slider).hidden) {
      for (QWidget* w : std::initializer_list<QWidget*>{row.caption, row.slider, row.value}) w->hide();
    }
  };

  // ---- microphone exciter: boxes, the three bands side by side, the harmonics, the bass boost ----
  auto* exciter = new QGridLayout(groups_[kExciterGroup]);
  auto* boxRow = new QHBoxLayout;
  boxRow->addWidget(boxes_[std::size_t(B::kExciterEq)]);
  boxRow->addWidget(boxes_[std::size_t(B::kExciter)]);
  boxRow->addStretch();
  exciter->addLayout(boxRow, 0, 0, 1, 6);
  const S bands[3][2] = {{S::kLowFrequency, S::kLowGain}, {S::kMidFrequency, S::kMidGain},
                         {S::kHighFrequency, S::kHighGain}};
  for (int b = 0; b < 3; ++b) {
    addRow(exciter, bands[b][0], 1 + b, 0);
    addRow(exciter, bands[b][1], 1 + b, 3);
  }
  const S harmonics[] = {S::kHarmonicGain, S::kHarmony, S::kHarmonicMix, S::kHarmonicLevel};
  for (int h = 0; h < 4; ++h) addRow(exciter, harmonics[h], 4 + h, 0);
  addRow(exciter, S::kMicBassBoost, 8, 0);
  exciter->setRowStretch(9, 1);

  // ---- music bass extension ----
  auto* bass = new QGridLayout(groups_[kBassGroup]);
  addRow(bass, S::kLpfFrequency, 0, 0);
  addRow(bass, S::kLpfDelay, 1, 0);
  addRow(bass, S::kLpfGain, 2, 0);

  // ---- automatic subwoofer decay ----
  auto* sub = new QGridLayout(groups_[kAutoSubGroup]);
  sub->addWidget(boxes_[std::size_t(B::kAutoSubDecay)], 0, 0, 1, 3);
  addRow(sub, S::kSubVolume, 1, 0);
  sub->addWidget(note_, 2, 0, 1, 3);

  // ---- automatic music input level ----
  auto* input = new QGridLayout(groups_[kAutoMusicInputGroup]);
  input->addWidget(boxes_[std::size_t(B::kAutoMusicInput)], 0, 0, 1, 3);
  addRow(input, S::kValidLevel, 1, 0);
  addRow(input, S::kInputRatio, 2, 0);
  addRow(input, S::kInputAttack, 3, 0);
  addRow(input, S::kInputRelease, 4, 0);

  auto* right = new QVBoxLayout;
  right->addWidget(groups_[kBassGroup]);
  right->addWidget(groups_[kAutoSubGroup]);
  right->addWidget(groups_[kAutoMusicInputGroup]);
  right->addStretch();
  auto* outer = new QHBoxLayout(this);
  outer->addWidget(groups_[kExciterGroup], 0, Qt::AlignTop);
  outer->addLayout(right);
  outer->setSizeConstraint(QLayout::SetFixedSize);
}

void FeaturesDialog::Open() {
  RefreshPage();
  ApplyTexts();
  ShowCentred(this);
}

void FeaturesDialog::RefreshPage() {
  for (int b = 0; b < kLoudnessBoxCount; ++b) boxes_[std::size_t(b)]->setChecked(LoudnessTicked(B(b)));
  for (int i = 0; i < kLoudnessSliderCount; ++i) {
    const int position = LoudnessPosition(S(i));
    {
      const QSignalBlocker quiet(rows_[std::size_t(i)].slider);
      rows_[std::size_t(i)].slider->setValue(position);
    }
    rows_[std::size_t(i)].value->setText(QString::fromStdString(LoudnessStoredText(S(i))));
  }
}

void FeaturesDialog::ApplyTexts() {
  setWindowTitle(PickText("特色功能", "Features"));
  for (int i = 0; i < kLoudnessSliderCount; ++i) {
    if (auto* label = qobject_cast<QLabel*>(rows_[std::size_t(i)].caption))
      label->setText(Text(kCaptions[std::size_t(i)]));
  }
  for (int b = 0; b < kLoudnessBoxCount; ++b) boxes_[std::size_t(b)]->setText(Text(kBoxTexts[std::size_t(b)]));
  for (int g = 0; g < kGroupCount; ++g) groups_[std::size_t(g)]->setTitle(Text(kGroupTexts[std::size_t(g)]));
  note_->setText(Text(kNote));
  for (int i = 0; i < kLoudnessSliderCount; ++i)
    rows_[std::size_t(i)].slider->setToolTip(PickText(kSliderTips[std::size_t(i)].zh, kSliderTips[std::size_t(i)].en));
  for (int b = 0; b < kLoudnessBoxCount; ++b)
    boxes_[std::size_t(b)]->setToolTip(PickText(kBoxTips[std::size_t(b)].zh, kBoxTips[std::size_t(b)].en));
  ApplyDialogTexts(this, kDialogNumber);
  // A fixed-size dialog lays out by size hints, which ignore how a wrapped text grows.
  note_->setMinimumHeight(note_->heightForWidth(kNoteWidth));
}

void FeaturesDialog::reject() {
  QDialog::reject();
  emit closed();
  deleteLater();
}

void FeaturesDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) ApplyTexts();
  QDialog::changeEvent(event);
}

void FeaturesDialog::OnSliderMoved(S slider, int position) {
  WriteLoudnessSlider(slider, position);
  ShowValue(slider, position);
}

void FeaturesDialog::ShowValue(S slider, int position) {
  rows_[std::size_t(slider)].value->setText(ValueText(slider, position));
}

QSlider& FeaturesDialog::Slider(S slider) const { return *rows_[std::size_t(slider)].slider; }
QLabel& FeaturesDialog::ValueField(S slider) const { return *rows_[std::size_t(slider)].value; }
QWidget& FeaturesDialog::Caption(S slider) const { return *rows_[std::size_t(slider)].caption; }
QCheckBox& FeaturesDialog::Box(B box) const { return *boxes_[std::size_t(box)]; }
QGroupBox& FeaturesDialog::GroupBox(Group group) const { return *groups_[std::size_t(group)]; }

}  // namespace dsptune
