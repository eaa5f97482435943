#include "editors/MicMusicPage.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "editors/ControlTips.h"
#include "model/EqBandStore.h"
#include "editors/EqGraphPanel.h"
#include "editors/EqThumbnail.h"
#include "editors/EffectParameterList.h"
#include "editors/model/EffectEqs.h"
#include "editors/model/EffectParameters.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterLimits.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kDialogNumber = 313;

// What the selector chooses: the EQ shown, the effect half, the EQ bypass parameter
// and the colours of the list texts and thumbnail curves.
struct ChannelInfo {
  int eq;
  int half;  // -1: no effects
  std::uint8_t bypassBlock;
  std::uint8_t bypassAddress;
  QColor listColor;
  QColor curveColor;
};

const ChannelInfo& Info(int channel) {
  static const ChannelInfo kChannels[3] = {
      {kEqMicA, kEffectHalfA, 1, 0x21, QColor(0, 200, 255), QColor(0, 200, 255)},
      {kEqMicB, kEffectHalfB, 1, 0x3C, QColor(0, 220, 0), QColor(0, 220, 0)},
      {kEqMusic, -1, 4, 0x0B, QColor(255, 200, 0), QColor(100, 100, 100)},
  };
  return kChannels[std::clamp(channel, 0, 2)];
}

// Echo EQ and reverb EQ bypass parameters of each half (blocks 2 and 3).
constexpr std::uint8_t kEchoTypeAddress[2] = {0x08, 0x16};

constexpr int kMostBands = 15;  // Mic A and Mic B; the Music EQ has 10

// Control numbers of the dialog's texts in the language tables.
constexpr int kSelectorIds[3] = {1068, 1069, 1070};
constexpr int kEchoTypeGroupId = 1132;
constexpr int kMusicPeakGroupId = 1142;
constexpr int kEchoTypeIds[2] = {1145, 1146};
constexpr int kRouteAFirstId = 1153;  // input k: CH A 1153 + 4k, CH B 1155 + 4k
constexpr int kInputGroupFirstId = 1182;
constexpr int kGateCaptionFirstId = 1186;
constexpr int kVolumeCaptionFirstId = 1190;
constexpr int kReverbTitleId = 1194, kReverbHintId = 1195, kEchoTitleId = 1196, kEchoHintId = 1197;

QLabel* CaptionLabel(QWidget* parent, int controlId) {
  auto* label = new QLabel(parent);
  if (controlId) SetControlId(label, controlId);
  return label;
}

QProgressBar* MakeMeter(QWidget* parent) {
  auto* meter = new QProgressBar(parent);
  meter->setOrientation(Qt::Vertical);
  meter->setRange(0, 100);
  meter->setValue(0);
  meter->setTextVisible(false);
  meter->setFixedWidth(12);
  meter->setMinimumHeight(60);
  meter->setStyleSheet(
      "QProgressBar { background: rgb(20,20,20); border: 1px solid rgb(120,120,120); }"
      "QProgressBar::chunk { background: qlineargradient(x1:0, y1:1, x2:0, y2:0, stop:0 rgb(0,200,0), "
      "stop:0.7 rgb(230,230,0), stop:1 rgb(255,40,40)); }");
  return meter;
}

}  // namespace

MicMusicPage::MicMusicPage(int channel, QWidget* parent)
    : EditorPage(kEditorMicMusic, (channel >= 0 && channel <= 2) ? channel : 0, parent) {
  connect(this, &MicMusicPage::eqBypassChanged, this, &EditorPage::eqStateChanged);
  connect(this, &MicMusicPage::channelSelected, this, &EditorPage::eqStateChanged);

  BuildSelector();
  BuildEqArea();
  BuildEffectArea();
  BuildThumbnails();
  BuildInputs();
  BuildMusicMeters();
  LayOut();

  ApplyTexts();
  statusTimer_ = new QTimer(this);
  statusTimer_->setInterval(kStatusPeriodMs);
  connect(statusTimer_, &QTimer::timeout, this, &MicMusicPage::PollStatus);
  statusTimer_->start();
  PollStatus();
  RefreshPage();
}

MicMusicPage::~MicMusicPage() = default;

// ---------------------------------------------------------------- building

void MicMusicPage::BuildSelector() {
  auto* group = new QButtonGroup(this);
  group->setExclusive(true);
  for (int c = 0; c < 3; ++c) {
    auto* button = new QPushButton(this);
    button->setCheckable(true);
    button->setMinimumSize(110, 26);
    SetControlId(button, kSelectorIds[c]);
    group->addButton(button, c);
    selector_[std::size_t(c)] = button;
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int c) {
    SetChannel(c);
    emit channelSelected(c);
  });
}

void MicMusicPage::BuildEqArea() {
  eqPanel_ = new EqGraphPanel(this);
  eqPanel_->setMinimumSize(520, 240);
  EqBandEditor::Options options;
  options.listRows = kMostBands;  // tall enough for a microphone EQ, whatever is selected
  bandEditor_ = new EqBandEditor(
      *eqPanel_,
      [this](const EqBand& band) {
        WriteEqBand(EqNumber(), band.index, band.type, int(band.frequency), band.gain, band.q, 0.0f);
      },
      options, this);
  connect(bandEditor_, &EqBandEditor::reloadRequested, this, &MicMusicPage::ReloadEqPanel);
}

void MicMusicPage::BuildEffectArea() {
  effects_ = new EffectParameterList(this);
  echoTypeGroup_ = new QGroupBox(this);
  SetControlId(echoTypeGroup_, kEchoTypeGroupId);
  auto* group = new QButtonGroup(this);
  auto* layout = new QVBoxLayout(echoTypeGroup_);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(2);
  for (int stereo = 0; stereo < 2; ++stereo) {
    auto* radio = new QRadioButton(echoTypeGroup_);
    SetControlId(radio, kEchoTypeIds[stereo]);
    group->addButton(radio, stereo);
    layout->addWidget(radio);
    echoTypeRadios_[std::size_t(stereo)] = radio;
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int stereo) {
    const int half = Info(Channel()).half;
    if (loading_ || half < 0) return;
    SetParameter(2, kEchoTypeAddress[half], stereo);
  });
  effects_->AddBelowSlider(echoTypeGroup_);
}

void MicMusicPage::BuildThumbnails() {
  reverbTitle_ = CaptionLabel(this, kReverbTitleId);
  reverbHint_ = CaptionLabel(this, kReverbHintId);
  echoTitle_ = CaptionLabel(this, kEchoTitleId);
  echoHint_ = CaptionLabel(this, kEchoHintId);
  for (QLabel* title : {reverbTitle_, echoTitle_}) {
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
  }
  for (QLabel* hint : {reverbHint_, echoHint_}) {
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    hint->setFont(small);
    hint->setWordWrap(true);
  }
  reverbThumb_ = new EqThumbnail(this);
  echoThumb_ = new EqThumbnail(this);
  for (EqThumbnail* thumb : {reverbThumb_, echoThumb_}) {
    thumb->setMinimumSize(180, 48);
    thumb->setCursor(Qt::PointingHandCursor);
  }
  connect(reverbThumb_, &EqThumbnail::Clicked, this, [this] { OnThumbnailClicked(true); });
  connect(echoThumb_, &EqThumbnail::Clicked, this, [this] { OnThumbnailClicked(false); });
}

void MicMusicPage::BuildInputs() {
  for (int k = 0; k < kMicInputs; ++k) {
    InputControls& in = inputs_[std::size_t(k)];
    in.group = new QGroupBox(this);
    SetControlId(in.group, kInputGroupFirstId + k);
    in.routeA = new QRadioButton(in.group);
    in.routeB = new QRadioButton(in.group);
    SetControlId(in.routeA, kRouteAFirstId + 4 * k);
    SetControlId(in.routeB, kRouteAFirstId + 4 * k + 2);
    auto* route = new QButtonGroup(in.group);
    route->addButton(in.routeA, 0);
    route->addButton(in.routeB, 1);
    connect(route, &QButtonGroup::idClicked, this, [this, k](int path) { ApplyRoute(k, path); });

    in.gateCaption = CaptionLabel(in.group, kGateCaptionFirstId + k);
    in.volumeCaption = CaptionLabel(in.group, kVolumeCaptionFirstId + k);
    in.gate = new QSlider(Qt::Vertical, in.group);
    in.volume = new QSlider(Qt::Vertical, in.group);
    in.gateValue = new QLabel(in.group);
    in.volumeValue = new QLabel(in.group);
    in.gate->setRange(kNoiseGateRange.MinimumSteps(), kNoiseGateRange.MaximumSteps());
    in.volume->setRange(kLevelRange.MinimumSteps(), kLevelRange.MaximumSteps());
    for (QSlider* slider : {in.gate, in.volume}) {
      slider->setPageStep(5);
      slider->setMinimumHeight(60);
    }
    for (QLabel* label : {in.gateCaption, in.volumeCaption, in.gateValue, in.volumeValue})
      label->setAlignment(Qt::AlignCenter);
    connect(in.gate, &QSlider::valueChanged, this, [this, k](int v) {
      if (loading_) return;
      SetParameter(1, std::uint8_t(0x08 + k), v);
      inputs_[std::size_t(k)].gateValue->setText(QString::asprintf("%d", v));
    });
    connect(in.volume, &QSlider::valueChanged, this, [this, k](int v) {
      if (loading_) return;
      SetParameter(1, std::uint8_t(0x04 + k), v);
      inputs_[std::size_t(k)].volumeValue->setText(QString::asprintf("%d", v));
    });
    meters_[std::size_t(k)] = MakeMeter(in.group);

    auto* radios = new QHBoxLayout;
    radios->setSpacing(4);
    radios->addWidget(in.routeA);
    radios->addWidget(in.routeB);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->addWidget(in.gateCaption, 0, 0);
    grid->addWidget(in.volumeCaption, 0, 1);
    grid->addWidget(in.gate, 1, 0, Qt::AlignHCenter);
    grid->addWidget(in.volume, 1, 1, Qt::AlignHCenter);
    grid->addWidget(meters_[std::size_t(k)], 0, 2, 3, 1, Qt::AlignHCenter);
    grid->addWidget(in.gateValue, 2, 0);
    grid->addWidget(in.volumeValue, 2, 1);
    grid->setRowStretch(1, 1);
    auto* layout = new QVBoxLayout(in.group);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    layout->addLayout(radios);
    layout->addLayout(grid, 1);
    // Only two inputs are wired on the device's panel; the other two stay hidden.
    if (k >= 2) in.group->hide();
  }
}

void MicMusicPage::BuildMusicMeters() {
  musicPeakGroup_ = new QGroupBox(this);
  SetControlId(musicPeakGroup_, kMusicPeakGroupId);
  meters_[4] = MakeMeter(musicPeakGroup_);
  meters_[5] = MakeMeter(musicPeakGroup_);
  formatLabel_ = new QLabel(musicPeakGroup_);
  formatLabel_->setAlignment(Qt::AlignCenter);
  formatLabel_->setMinimumWidth(84);
  QFont bold = formatLabel_->font();
  bold.setBold(true);
  formatLabel_->setFont(bold);
  auto* meters = new QHBoxLayout;
  meters->addStretch(1);
  meters->addWidget(meters_[4]);
  meters->addSpacing(6);
  meters->addWidget(meters_[5]);
  meters->addStretch(1);
  auto* layout = new QVBoxLayout(musicPeakGroup_);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->addLayout(meters, 1);
  layout->addWidget(formatLabel_);
}

void MicMusicPage::LayOut() {
  auto* selectorRow = new QHBoxLayout;
  selectorRow->setSpacing(6);
  for (QPushButton* button : selector_) selectorRow->addWidget(button);
  selectorRow->addStretch(1);

  auto* eqRow = new QHBoxLayout;
  eqRow->setSpacing(6);
  eqRow->addWidget(eqPanel_, 1);
  eqRow->addWidget(bandEditor_);

  auto* thumbs = new QVBoxLayout;
  thumbs->setSpacing(1);
  thumbs->addWidget(reverbTitle_);
  thumbs->addWidget(reverbHint_);
  thumbs->addWidget(reverbThumb_, 1);
  thumbs->addSpacing(4);
  thumbs->addWidget(echoTitle_);
  thumbs->addWidget(echoHint_);
  thumbs->addWidget(echoThumb_, 1);
  auto* thumbBox = new QWidget(this);
  thumbBox->setLayout(thumbs);
  thumbs->setContentsMargins(0, 0, 0, 0);
  thumbBox->setFixedWidth(196);

  // The lower row is as tall as the effect list needs; the graph and band list get the rest.
  bottomRow_ = new QWidget(this);
  bottomRow_->setFixedHeight(effects_->List().minimumHeight());
  auto* bottom = new QHBoxLayout(bottomRow_);
  bottom->setContentsMargins(0, 0, 0, 0);
  bottom->setSpacing(8);
  bottom->addWidget(effects_, 1);
  bottom->addWidget(thumbBox);
  for (const InputControls& in : inputs_) bottom->addWidget(in.group);
  bottom->addWidget(musicPeakGroup_);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 6, 8, 6);
  root->setSpacing(6);
  root->addLayout(selectorRow);
  root->addLayout(eqRow, 1);
  root->addWidget(bottomRow_);
}

// ---------------------------------------------------------------- page operations

void MicMusicPage::SetChannel(int channel) {
  EditorPage::SetChannel((channel >= 0 && channel <= 2) ? channel : 0);
  SelectorChange();
}

void MicMusicPage::RefreshPage() {
  SelectorChange();
  RefreshInputs();
}

int MicMusicPage::EqNumber() const { return Info(Channel()).eq; }

void MicMusicPage::SelectorChange() {
  const int channel = Channel();
  const ChannelInfo& info = Info(channel);
  const bool mic = info.half >= 0;
  selector_[std::size_t(channel)]->setChecked(true);
  effects_->setEnabled(mic);  // the list, its slider, value field, name label and the echo type
  reverbThumb_->setEnabled(mic);
  echoThumb_->setEnabled(mic);
  reverbThumb_->SetDisabled(!mic);
  echoThumb_->SetDisabled(!mic);
  for (QLabel* label : {reverbTitle_, reverbHint_, echoTitle_, echoHint_}) label->setEnabled(mic);

  bandEditor_->ShowBandList();
  ReloadEqPanel();
  if (mic) {
    effects_->SetHalf(info.half);
    effects_->SelectRow(effects_->SelectedRow());
    loading_ = true;
    echoTypeRadios_[UiValue(2, kEchoTypeAddress[info.half]) != 0 ? 1 : 0]->setChecked(true);
    loading_ = false;
  }
  SetListColors(info.listColor);
  ReloadThumbnails();
}

void MicMusicPage::ReloadEqPanel() {
  eqPanel_->setFocus();
  // As the type menu would apply each stored type, so a cascade head gets its sections.
  bandEditor_->ShowEq(EqNumber(), StoredBandType::kAsMenuChoice);
  const bool bypassed = EqBypassed();
  eqPanel_->SetBypass(bypassed);
  emit eqBypassChanged(bypassed);
}

bool MicMusicPage::EqBypassed() const {
  const ChannelInfo& info = Info(Channel());
  return UiValue(info.bypassBlock, info.bypassAddress) != 0;
}

void MicMusicPage::SetEqBypass(bool bypass) {
  const ChannelInfo& info = Info(Channel());
  SetParameter(info.bypassBlock, info.bypassAddress, bypass ? 1 : 0);
  eqPanel_->SetBypass(bypass);
  emit eqBypassChanged(bypass);
}

void MicMusicPage::ToggleEqBypass() { SetEqBypass(!EqBypassed()); }

void MicMusicPage::ResetCurrentEq() {
  ResetEqToDefaults(EqNumber());
  ReloadEqPanel();
}

void MicMusicPage::ApplyTips() {
  const char* const selectorZh[3] = {"编辑话筒通道A：均衡、回声和混响", "编辑话筒通道B：均衡、回声和混响", "编辑音乐均衡"};
  const char* const selectorEn[3] = {"Edit mic path A: its EQ, echo and reverb", "Edit mic path B: its EQ, echo and reverb",
                                     "Edit the music EQ"};
  for (int c = 0; c < 3; ++c) SetTip(selector_[std::size_t(c)], selectorZh[c], selectorEn[c]);
  SetTip(echoTypeRadios_[0], "回声为单声道", "Mono echo");
  SetTip(echoTypeRadios_[1], "回声为立体声", "Stereo echo");
  SetTip(reverbThumb_, "单击打开本通道的混响均衡", "Click to open this path's reverb EQ");
  SetTip(echoThumb_, "单击打开本通道的回声均衡", "Click to open this path's echo EQ");
  for (int k = 0; k < kMicInputs; ++k) {
    InputControls& in = inputs_[std::size_t(k)];
    SetTip(in.routeA, "本话筒口送到话筒通道A", "This mic input feeds mic path A");
    SetTip(in.routeB, "本话筒口送到话筒通道B", "This mic input feeds mic path B");
    SetTip(in.gate, "噪声门：低于此电平的声音被关闭", "Noise gate: sound below this level is shut off");
    SetTip(in.volume, "本话筒口的音量", "Volume of this mic input");
  }
}

void MicMusicPage::ApplyTexts() {
  const char* const selectorZh[3] = {"话筒通道A", "话筒通道B", "音乐"};
  const char* const selectorEn[3] = {"Mic CH A", "Mic CH B", "Music"};
  for (int c = 0; c < 3; ++c) selector_[std::size_t(c)]->setText(PickText(selectorZh[c], selectorEn[c]));

  eqPanel_->SetLanguage(CurrentLanguage());
  bandEditor_->ApplyTexts();

  effects_->ApplyTexts();
  if (bottomRow_) bottomRow_->setFixedHeight(effects_->List().minimumHeight());
  echoTypeGroup_->setTitle(PickText("回声均衡类型", "Echo Type"));
  echoTypeRadios_[0]->setText(PickText("单声回声", "Mono"));
  echoTypeRadios_[1]->setText(PickText("双声回声", "Stereo"));

  reverbTitle_->setText(PickText("混响均衡", "Reverb EQ"));
  reverbHint_->setText(PickText("点击下面方框进入混响均衡调节界面", "Click to enter reverb EQ"));
  echoTitle_->setText(PickText("回声均衡", "Echo EQ"));
  echoHint_->setText(PickText("点击下面方框进入回声均衡调节界面", "Click to enter echo EQ"));

  for (int k = 0; k < kMicInputs; ++k) {
    InputControls& in = inputs_[std::size_t(k)];
    in.group->setTitle(PickText(QString::fromUtf8("话筒口%1").arg(k + 1), QStringLiteral("Mic %1").arg(k + 1)));
    in.routeA->setText(PickText("通道A", "CH A"));
    in.routeB->setText(PickText("通道B", "CH B"));
    in.gateCaption->setText(PickText("噪声门", "MNG"));
    in.volumeCaption->setText(PickText("音量", "Vol"));
  }
  musicPeakGroup_->setTitle(PickText("音乐电平", "Music Peak"));
  ApplyTips();

  ApplyDialogTexts(this, kDialogNumber);
}

void MicMusicPage::PollStatus() {
  const StatusBlock status = StatusBlockSnapshot();
  for (int i = 0; i < kMeters; ++i) meters_[std::size_t(i)]->setValue(std::min<int>(status[std::size_t(i)], 100));
  // Codes the table has no name for leave the label as it was.
  const char* name = StreamFormatName(status[7] & 0x0F);
  if (name && *name) formatLabel_->setText(QString::fromLatin1(name));
}

void MicMusicPage::RefreshInputs() {
  loading_ = true;
  for (int k = 0; k < kMicInputs; ++k) {
    InputControls& in = inputs_[std::size_t(k)];
    const bool pathA = UiValue(1, std::uint8_t(0x22 + k)) != 0;
    (pathA ? in.routeA : in.routeB)->setChecked(true);
    const int gate = UiValue(1, std::uint8_t(0x08 + k));
    const int volume = UiValue(1, std::uint8_t(0x04 + k));
    in.gate->setValue(std::clamp(gate, 0, 100));  // the labels show the stored values
    in.volume->setValue(std::clamp(volume, 0, 100));
    in.gateValue->setText(QString::asprintf("%d", gate));
    in.volumeValue->setText(QString::asprintf("%d", volume));
  }
  loading_ = false;
}

void MicMusicPage::ApplyRoute(int input, int path) {
  if (loading_) return;
  SetParameter(1, std::uint8_t(0x22 + input), path == 0 ? 100 : 0);
  SetParameter(1, std::uint8_t(0x3D + input), path == 0 ? 0 : 100);
}

void MicMusicPage::ReloadThumbnails() {
  const ChannelInfo& info = Info(Channel());
  reverbThumb_->SetCurveColor(info.curveColor);
  echoThumb_->SetCurveColor(info.curveColor);
  if (info.half < 0) {
    reverbThumb_->SetBypass(false);
    echoThumb_->SetBypass(false);
    return;
  }
  const struct {
    EqThumbnail* thumb;
    int effect;
  } boxes[2] = {{echoThumb_, kEffectEchoA + info.half}, {reverbThumb_, kEffectReverbA + info.half}};
  for (const auto& box : boxes) {
    const EffectEq& effect = *EffectEqOf(box.effect);
    for (int b = 0; b < EqThumbnail::kBands; ++b) {
      const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(effect.eq, b), kBandRecordSize);
      if (bytes.size() < std::size_t(kBandRecordSize)) break;
      const BandRecord record = DecodeBandRecord(bytes.data());
      box.thumb->SetBandType(b, record.type);
      box.thumb->SetBandGain(b, record.GainDb());
      box.thumb->SetBandFrequency(b, float(record.frequency));
      box.thumb->SetBandQ(b, record.Q());
    }
    box.thumb->SetBypass(EffectEqBypassed(box.effect));
  }
}

void MicMusicPage::SetListColors(const QColor& color) {
  effects_->SetTextColor(color);
  bandEditor_->SetTextColor(color);
}

void MicMusicPage::OnThumbnailClicked(bool reverb) {
  const int half = Info(Channel()).half;
  if (half < 0) return;
  emit effectsEqRequested((reverb ? kEffectReverbA : kEffectEchoA) + half);
}

// ---------------------------------------------------------------- test access

QRadioButton& MicMusicPage::EchoTypeRadio(int stereo) const { return *echoTypeRadios_[stereo ? 1 : 0]; }
QPushButton& MicMusicPage::SelectorButton(int channel) const { return *selector_[std::size_t(std::clamp(channel, 0, 2))]; }
QRadioButton& MicMusicPage::RouteRadio(int input, int path) const {
  const InputControls& in = inputs_[std::size_t(std::clamp(input, 0, kMicInputs - 1))];
  return path == 0 ? *in.routeA : *in.routeB;
}
QSlider& MicMusicPage::NoiseGateSlider(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].gate; }
QSlider& MicMusicPage::VolumeSlider(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].volume; }
QLabel& MicMusicPage::NoiseGateValue(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].gateValue; }
QLabel& MicMusicPage::VolumeValue(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].volumeValue; }
QGroupBox& MicMusicPage::InputGroup(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].group; }
QProgressBar& MicMusicPage::Meter(int index) const { return *meters_[std::size_t(std::clamp(index, 0, kMeters - 1))]; }

}  // namespace dsptune
