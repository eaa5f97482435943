#include "editors/OutputPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/BandSplit.h"
#include "model/EqBandStore.h"
#include "editors/ControlTips.h"
#include "editors/ChainOverlayControl.h"
#include "editors/EqGraphPanel.h"
#include "editors/OutputPageButtons.h"
#include "editors/model/CompressorControls.h"
#include "editors/model/SurroundRoom.h"
#include "editors/model/ValueLabel.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterLimits.h"
#include "model/SaturatingCast.h"
#include "ui/AppSettings.h"
#include "ui/DialogService.h"
#include "ui/DialogTexts.h"
#include "ui/InfoPopup.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kDialogNumber = 385;
const QColor kListText(0, 200, 255);

const char* const kLinkEnglish[kLinkPairCount] = {"FL+FR Linked", "SL+SR Linked", "SBL+SBR Linked"};
const char* const kLinkChinese[kLinkPairCount] = {"前置左右齐调", "侧环绕左右齐调", "后环绕左右齐调"};
const char* const kMixEnglish[kMixLevels] = {"Direct", "Reverb", "Echo", "Music"};
const char* const kMixChinese[kMixLevels] = {"直达声音量", "混响音量", "回声音量", "音乐音量"};
const char* const kLimiterEnglish[OutputPage::kLimiterSliders] = {"Threshold", "Decay ratio", "Attack time",
                                                                     "Release time"};
const char* const kLimiterChinese[OutputPage::kLimiterSliders] = {"阀(阈)", "衰减比例", "启动时间", "释放时间"};

// Slider ranges of the limiter: threshold dB, ratio in tenths, attack ms, release ms.
constexpr int kLimiterMin[OutputPage::kLimiterSliders] = {-60, 10, 1, 1};
constexpr int kLimiterMax[OutputPage::kLimiterSliders] = {0, 300, 100, 1000};
constexpr LimiterControl kLimiterControls[OutputPage::kLimiterSliders] = {
    LimiterControl::kThreshold, LimiterControl::kRatio, LimiterControl::kAttack, LimiterControl::kRelease};

QString LimiterText(int index, int sliderValue) { return QString::fromStdString(CompressorValueText(index, sliderValue)); }

QString MixText(int percent) { return QString::asprintf("%d%%", percent); }
QString SplitText(int pairIndex) {
  const auto& pairs = CrossoverPairs();
  return QString::asprintf("%dHz", pairs[std::size_t(std::clamp(pairIndex, 0, int(pairs.size()) - 1))].first);
}
QString DelayText(double ms) { return QString::fromStdString(ValueLabelText(ValueUnit::kTenthMilliseconds, ms)); }

QLabel* CaptionLabel(QWidget* parent, int controlId = 0) {
  auto* label = new QLabel(parent);
  if (controlId) SetControlId(label, controlId);
  return label;
}

QSlider* HorizontalSlider(QWidget* parent, int min, int max, int pageStep) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(min, max);
  slider->setPageStep(pageStep);
  slider->setMinimumWidth(110);
  return slider;
}

QLabel* ValueLabel(QWidget* parent, const QString& widest) {
  auto* label = new QLabel(parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + 4);
  return label;
}

OutputPageServices& DefaultServicesSlot() {
  static OutputPageServices services;
  return services;
}

}  // namespace

void SetDefaultOutputPageServices(OutputPageServices services) { DefaultServicesSlot() = std::move(services); }
const OutputPageServices& DefaultOutputPageServices() { return DefaultServicesSlot(); }

OutputPage::OutputPage(int channel, QWidget* parent)
    : OutputPage(channel, DefaultOutputPageServices(), parent) {}

OutputPage::OutputPage(int channel, OutputPageServices services, QWidget* parent)
    : EditorPage(kEditorOutput, (channel >= 0 && channel < kChannels) ? channel : 0, parent),
      services_(std::move(services)) {
  if (!services_.optionRecord) services_.optionRecord = [] { return AppSettings().OptionRecord(); };
  if (!services_.saveOptionRecord) {
    services_.saveOptionRecord = [](const QByteArray& record) {
      AppSettings settings;
      settings.SetOptionRecord(record);
      settings.Sync();
      return true;
    };
  }
  connect(this, &OutputPage::eqBypassChanged, this, &EditorPage::eqStateChanged);
  connect(this, &OutputPage::channelSelected, this, &EditorPage::eqStateChanged);

  BuildChannelRow();
  BuildEqArea();
  BuildMixGroup();
  BuildDelayGroup();
  BuildLimiterGroup();
  LayOut();

  ApplyTexts();
  RefreshPage();
}

OutputPage::~OutputPage() = default;

// ---------------------------------------------------------------- building

void OutputPage::BuildChannelRow() {
  // This page is none of the three page buttons' pages; its channel buttons switch the
  // channel in place.
  OutputPageButtons::Options pages;
  pages.selectableChannels = true;
  pages.buttonHeight = 24;
  pageRow_ = new OutputPageButtons(this, pages);
  connect(pageRow_, &OutputPageButtons::outputPageRequested, this, [this](int c) {
    SetChannel(c);
    emit channelSelected(c);
  });
  connect(pageRow_, &OutputPageButtons::pageRequested, this, &OutputPage::pageRequested);
  for (int c = 0; c < kChannels; ++c) {
    ChannelStrip& strip = strips_[std::size_t(c)];
    strip.role = new QComboBox(this);
    for (int r = 0; r < kRoleCount; ++r) strip.role->addItem(QString());
    connect(strip.role, &QComboBox::currentIndexChanged, this, [this, c](int role) {
      if (!loading_ && role >= 0) WriteChannelRole(c, role);
    });

    strip.mute = new QCheckBox(this);
    connect(strip.mute, &QCheckBox::toggled, this, [this, c](bool ticked) {
      if (!loading_) WriteChannelMute(c, ticked);
    });
    strip.phase = new QCheckBox(this);
    connect(strip.phase, &QCheckBox::toggled, this, [this, c](bool ticked) {
      if (!loading_) WriteChannelPhase(c, ticked);
    });
  }

  for (int pair = 0; pair < kLinkPairCount; ++pair) {
    auto* box = new QCheckBox(this);
    connect(box, &QCheckBox::clicked, this, [this, pair](bool ticked) { OnLinkBoxClicked(pair, ticked); });
    linkBoxWidgets_[std::size_t(pair)] = box;
  }

  // Tab goes down each channel's column, then through the link boxes and page buttons.
  QWidget* previous = nullptr;
  const auto chain = [&previous](QWidget* next) {
    if (previous) setTabOrder(previous, next);
    previous = next;
  };
  for (int c = 0; c < kChannels; ++c) {
    const ChannelStrip& strip = strips_[std::size_t(c)];
    for (QWidget* w : {static_cast<QWidget*>(&pageRow_->ChannelButton(c)), static_cast<QWidget*>(strip.role),
                       static_cast<QWidget*>(strip.mute), static_cast<QWidget*>(strip.phase)})
      chain(w);
  }
  for (QCheckBox* box : linkBoxWidgets_) chain(box);
  for (int i = 0; i < kPageButtons; ++i) chain(&pageRow_->PageButton(i));
}

void OutputPage::BuildEqArea() {
  eqPanel_ = new EqGraphPanel(this);
  eqPanel_->setMinimumSize(480, 200);
  // A filter import into the shown channel reaches its linked partners as a band edit does.
  eqPanel_->SetLinkedEqs([this] {
    std::vector<int> eqs;
    const ChannelSet group = LinkedGroup();
    for (int c = 0; c < kOutputChannelCount; ++c)
      if (group[std::size_t(c)] && c != Channel()) eqs.push_back(ChannelEq(c));
    return eqs;
  });
  EqBandEditor::Options options;
  options.listRows = kChannelUserBands;
  // The band column shares its height with the page buttons.
  options.density = EqBandEditor::Density::kCompact;
  options.crossoverFamily = true;
  bandEditor_ = new EqBandEditor(
      *eqPanel_,
      [this](const EqBand& band) {
        WriteBandToGroup(band, LinkedGroup());
        if (chainOverlay_) chainOverlay_->Refresh();
      },
      options, this);
  bandEditor_->SetTextColor(kListText);
  connect(bandEditor_, &EqBandEditor::reloadRequested, this, &OutputPage::ReloadEqPanel);
  chainOverlay_ = new ChainOverlayControl(*eqPanel_, this);
  connect(this, &OutputPage::eqBypassChanged, chainOverlay_, &ChainOverlayControl::Refresh);
}

void OutputPage::BuildMixGroup() {
  mixGroup_ = new QGroupBox(this);
  auto* grid = new QGridLayout(mixGroup_);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  for (int k = 0; k < kMixLevels; ++k) {
    mixCaptions_[std::size_t(k)] = CaptionLabel(mixGroup_);
    mixSliders_[std::size_t(k)] = HorizontalSlider(mixGroup_, kLevelRange.MinimumSteps(), kLevelRange.MaximumSteps(), 5);
    mixValues_[std::size_t(k)] = ValueLabel(mixGroup_, "100%");
    connect(mixSliders_[std::size_t(k)], &QSlider::valueChanged, this, [this, k](int v) {
      if (loading_) return;
      WriteMixLevel(LinkedGroup(), k, v);
      mixValues_[std::size_t(k)]->setText(MixText(v));
    });
    grid->addWidget(mixCaptions_[std::size_t(k)], k, 0);
    grid->addWidget(mixSliders_[std::size_t(k)], k, 1);
    grid->addWidget(mixValues_[std::size_t(k)], k, 2);
  }
  grid->setColumnStretch(1, 1);
}

void OutputPage::BuildDelayGroup() {
  delayGroup_ = new QGroupBox(this);
  delaySwitch_ = new QCheckBox(delayGroup_);
  connect(delaySwitch_, &QCheckBox::toggled, this, [this](bool on) {
    if (loading_) return;
    WriteDelaySwitch(LinkedGroup(), on);
    RefreshDelayEnabling();
  });
  highFrequencyRadio_ = new QRadioButton(delayGroup_);
  channelDelayRadio_ = new QRadioButton(delayGroup_);
  splitRadios_ = new QButtonGroup(this);
  splitRadios_->addButton(highFrequencyRadio_, 0);  // band split on is flag 0
  splitRadios_->addButton(channelDelayRadio_, 1);
  connect(splitRadios_, &QButtonGroup::idClicked, this, [this](int flag) {
    if (loading_) return;
    WriteBandSplitFlag(LinkedGroup(), flag);
    RefreshDelayEnabling();
  });
  splitSlider_ = HorizontalSlider(delayGroup_, 0, int(CrossoverPairs().size()) - 1, 1);
  splitValue_ = ValueLabel(delayGroup_, "3000Hz");
  connect(splitSlider_, &QSlider::valueChanged, this, [this](int pair) {
    if (loading_) return;
    WriteSplitPair(LinkedGroup(), pair);
    splitValue_->setText(SplitText(pair));
  });
  delaySlider_ = HorizontalSlider(delayGroup_, kChannelDelayRange.MinimumSteps(), kChannelDelayRange.MaximumSteps(), 10);
  delayValue_ = ValueLabel(delayGroup_, "100.0ms");
  connect(delaySlider_, &QSlider::valueChanged, this, [this](int tenths) {
    if (loading_) return;
    WriteDelay(Channel(), LinkedGroup(), tenths);
    delayValue_->setText(DelayText(tenths / 10.0));
  });

  auto* radios = new QHBoxLayout;
  radios->setSpacing(10);
  radios->addWidget(highFrequencyRadio_);
  radios->addWidget(channelDelayRadio_);
  radios->addStretch(1);
  auto* grid = new QGridLayout(delayGroup_);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  grid->addWidget(delaySwitch_, 0, 0, 1, 2);
  grid->addLayout(radios, 1, 0, 1, 2);
  grid->addWidget(splitSlider_, 2, 0);
  grid->addWidget(splitValue_, 2, 1);
  grid->addWidget(delaySlider_, 3, 0);
  grid->addWidget(delayValue_, 3, 1);
  grid->setColumnStretch(0, 1);
}

void OutputPage::BuildLimiterGroup() {
  limiterGroup_ = new QGroupBox(this);
  limiterSwitch_ = new QCheckBox(limiterGroup_);
  connect(limiterSwitch_, &QCheckBox::toggled, this, [this](bool on) {
    if (!loading_) WriteLimiterSwitch(LinkedGroup(), on);
  });
  auto* grid = new QGridLayout(limiterGroup_);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  grid->addWidget(limiterSwitch_, 0, 0, 1, 3);
  const char* const widest[kLimiterSliders] = {"-60dB", "30.0:1", "100ms", "1000ms"};
  for (int i = 0; i < kLimiterSliders; ++i) {
    limiterCaptions_[std::size_t(i)] = CaptionLabel(limiterGroup_);
    limiterSliders_[std::size_t(i)] = HorizontalSlider(limiterGroup_, kLimiterMin[i], kLimiterMax[i], i == 3 ? 50 : 5);
    limiterValues_[std::size_t(i)] = ValueLabel(limiterGroup_, QString::fromLatin1(widest[i]));
    connect(limiterSliders_[std::size_t(i)], &QSlider::valueChanged, this, [this, i](int v) {
      if (loading_) return;
      WriteLimiter(Channel(), LinkedGroup(), kLimiterControls[i], v);
      limiterValues_[std::size_t(i)]->setText(LimiterText(i, v));
    });
    grid->addWidget(limiterCaptions_[std::size_t(i)], i + 1, 0);
    grid->addWidget(limiterSliders_[std::size_t(i)], i + 1, 1);
    grid->addWidget(limiterValues_[std::size_t(i)], i + 1, 2);
  }
  grid->setColumnStretch(1, 1);
}

void OutputPage::LayOut() {
  // Top row: one column per channel, then the link boxes and the other output pages.
  auto* top = new QHBoxLayout;
  top->setSpacing(6);
  for (int c = 0; c < kChannels; ++c) {
    const ChannelStrip& strip = strips_[std::size_t(c)];
    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    column->addWidget(&pageRow_->ChannelButton(c));
    column->addWidget(strip.role);
    column->addWidget(strip.mute);
    column->addWidget(strip.phase);
    top->addLayout(column, 1);
  }
  top->addSpacing(4);
  auto* links = new QVBoxLayout;
  links->setSpacing(1);
  for (QCheckBox* box : linkBoxWidgets_) links->addWidget(box);
  links->addStretch(1);
  top->addLayout(links);

  // The other output pages sit above the band list, whose column has room to spare.
  auto* pages = new QHBoxLayout;
  pages->setSpacing(4);
  for (int i = 0; i < kPageButtons; ++i) pages->addWidget(&pageRow_->PageButton(i));
  auto* bandColumn = new QVBoxLayout;
  bandColumn->setSpacing(4);
  bandColumn->addLayout(pages);
  bandColumn->addWidget(bandEditor_, 1);

  auto* eqRow = new QHBoxLayout;
  eqRow->setSpacing(6);
  // The chain switch sits under the graph it draws on.
  auto* graphColumn = new QVBoxLayout;
  graphColumn->setSpacing(2);
  graphColumn->addWidget(eqPanel_, 1);
  graphColumn->addWidget(chainOverlay_);
  eqRow->addLayout(graphColumn, 1);
  eqRow->addLayout(bandColumn);

  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(8);
  bottom->addWidget(mixGroup_, 3);
  bottom->addWidget(delayGroup_, 3);
  bottom->addWidget(limiterGroup_, 4);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 6, 8, 6);
  root->setSpacing(6);
  root->addLayout(top);
  root->addLayout(eqRow, 1);
  root->addLayout(bottom);
}

// ---------------------------------------------------------------- page operations

void OutputPage::SetChannel(int channel) {
  // The picked band and the band editor stay: every channel EQ has the same bands, so
  // the editor goes on showing that band of the new channel.
  EditorPage::SetChannel((channel >= 0 && channel < kChannels) ? channel : 0);
  RefreshPage();
}

void OutputPage::RefreshPage() {
  ReadLinkBoxes();
  RefreshChannelRow();
  RefreshMix();
  RefreshDelay();
  RefreshLimiter();
  ReloadEqPanel();
}

ChannelSet OutputPage::LinkedGroup() const { return LinkedChannels(Channel(), ReadChannelRoles(), linkBoxes_); }

void OutputPage::ReadLinkBoxes() {
  const QByteArray record = services_.optionRecord();
  linkBoxes_ = LinkBoxesFromRecord(std::vector<std::uint8_t>(record.begin(), record.end()));
  for (int pair = 0; pair < kLinkPairCount; ++pair)
    linkBoxWidgets_[std::size_t(pair)]->setChecked(linkBoxes_[std::size_t(pair)]);
}

void OutputPage::RefreshChannelRow() {
  loading_ = true;
  pageRow_->ShowChannel(Channel());
  for (int c = 0; c < kChannels; ++c) {
    const ChannelStrip& strip = strips_[std::size_t(c)];
    const std::uint8_t block = ChannelBlock(c);
    strip.mute->setChecked(UiValue(block, kChannelMute) == 0);
    strip.phase->setChecked(UiValue(block, kChannelPolarity) < 0);
    const int role = UiValue(block, kChannelRole);
    strip.role->setCurrentIndex(role >= 0 && role < kRoleCount ? role : -1);
  }
  loading_ = false;
}

void OutputPage::RefreshMix() {
  loading_ = true;
  for (int k = 0; k < kMixLevels; ++k) {
    const int v = UiValue(ChannelBlock(Channel()), std::uint8_t(kChannelMixFirst + k));
    mixSliders_[std::size_t(k)]->setValue(v);
    mixValues_[std::size_t(k)]->setText(MixText(v));
  }
  loading_ = false;
}

void OutputPage::RefreshDelay() {
  const int c = Channel();
  loading_ = true;
  const int pair = SplitPairIndex(c);
  splitSlider_->setValue(pair);
  splitValue_->setText(SplitText(pair));
  const float ms = ChannelDelayMs(c);
  delaySlider_->setValue(SaturatingRound<int>(ms * 10.0f));
  delayValue_->setText(DelayText(ms));
  delaySwitch_->setChecked(UiValue(ChannelBlock(c), kChannelDelaySwitch) == 0);
  const bool splitOn = EditorSnapshot().bandSplitFlag[std::size_t(c)] == 0;
  (splitOn ? highFrequencyRadio_ : channelDelayRadio_)->setChecked(true);
  loading_ = false;
  RefreshDelayEnabling();
}

void OutputPage::RefreshDelayEnabling() {
  const bool on = delaySwitch_->isChecked();
  const bool split = on && highFrequencyRadio_->isChecked();
  highFrequencyRadio_->setEnabled(on);
  channelDelayRadio_->setEnabled(on);
  delayValue_->setEnabled(on);
  splitSlider_->setEnabled(split);
  splitValue_->setEnabled(split);
}

void OutputPage::RefreshLimiter() {
  const int c = Channel();
  const CompressorValues v = EditorSnapshot().channelLimiters[std::size_t(c)];
  const float shown[kLimiterSliders] = {v.threshold, v.ratio * 10.0f, v.attackMs, v.releaseMs};
  const auto texts = CompressorStoredTexts(v);
  loading_ = true;
  limiterSwitch_->setChecked(UiValue(ChannelBlock(c), kChannelLimiterSwitch) == 0);
  for (int i = 0; i < kLimiterSliders; ++i) {
    const int position = SaturatingRound<int>(shown[i]);
    limiterSliders_[std::size_t(i)]->setValue(position);
    limiterValues_[std::size_t(i)]->setText(QString::fromStdString(texts[std::size_t(i)]));
  }
  loading_ = false;
}

void OutputPage::ReloadEqPanel() {
  // Plain types: the crossover sections keep the types stored in their own records.
  bandEditor_->ShowEq(EqNumber(), StoredBandType::kAsStored);
  const bool bypassed = EqBypassed();
  eqPanel_->SetBypass(bypassed);
  emit eqBypassChanged(bypassed);
}

bool OutputPage::EqBypassed() const { return UiValue(ChannelBlock(Channel()), kChannelEqBypass) != 0; }

void OutputPage::SetEqBypass(bool bypass) {
  SetParameter(ChannelBlock(Channel()), kChannelEqBypass, bypass ? 1 : 0);
  eqPanel_->SetBypass(bypass);
  emit eqBypassChanged(bypass);
}

void OutputPage::ResetCurrentEq() {
  const ChannelSet group = LinkedGroup();
  ShowNotice(PickText("正在复位均衡...", "Reset EQ..."), ChannelCount(group) * kResetNoticeMsPerChannel);
  ResetChannelEqs(group, ReadChannelRoles());
  ReloadEqPanel();
}

void OutputPage::ShowNotice(const QString& text, int milliseconds) {
  if (services_.showInfoPopup) {
    services_.showInfoPopup(text, milliseconds);
    return;
  }
  if (!popup_) popup_ = new InfoPopup(window());
  popup_->ShowNotice(text, milliseconds);
}

void OutputPage::OnLinkBoxClicked(int pair, bool ticked) {
  linkBoxes_[std::size_t(pair)] = ticked;
  if (ticked) {
    const std::vector<int> channels = PairChannels(pair, ReadChannelRoles());
    if (ChannelsDiffer(channels)) {
      const auto answer = Dialogs().Message(this, PickText("提示", "Notice"),
                                            PickText("参数不一致，同步参数吗？", "Set same?"), QMessageBox::Question,
                                            QMessageBox::Yes | QMessageBox::No);
      if (answer == QMessageBox::Yes) {
        SyncLinkedChannels(channels);
      } else {
        linkBoxes_[std::size_t(pair)] = false;
        linkBoxWidgets_[std::size_t(pair)]->setChecked(false);
      }
    }
  }
  SaveLinkBoxes();
  RefreshPage();
}

void OutputPage::SaveLinkBoxes() {
  const QByteArray stored = services_.optionRecord();
  const std::vector<std::uint8_t> record =
      RecordWithLinkBoxes(std::vector<std::uint8_t>(stored.begin(), stored.end()), linkBoxes_);
  const QByteArray bytes(reinterpret_cast<const char*>(record.data()), qsizetype(record.size()));
  if (!services_.saveOptionRecord(bytes)) qDebug().noquote() << QString::fromUtf8("保存失败");
}

void OutputPage::ApplyTips() {
  for (int c = 0; c < kChannels; ++c) {
    const ChannelStrip& strip = strips_[std::size_t(c)];
    SetTip(strip.role, QString::fromUtf8("通道%1播放的扬声器位置").arg(c + 1),
           QStringLiteral("Speaker role CH %1 plays").arg(c + 1));
    SetTip(strip.mute, QString::fromUtf8("通道%1静音").arg(c + 1), QStringLiteral("Mutes CH %1").arg(c + 1));
    SetTip(strip.phase, QString::fromUtf8("通道%1反相").arg(c + 1), QStringLiteral("Inverts the polarity of CH %1").arg(c + 1));
  }
  for (int pair = 0; pair < kLinkPairCount; ++pair)
    SetTip(linkBoxWidgets_[std::size_t(pair)], "勾选后，对这一对左右通道之一的调节同时作用于另一个",
           "While ticked, an edit of one channel of this left/right pair goes to both");
  static const char* const kMixTipChinese[kMixLevels] = {"本通道中话筒直达声的音量", "本通道中混响的音量",
                                                         "本通道中回声的音量", "本通道中音乐的音量"};
  static const char* const kMixTipEnglish[kMixLevels] = {"Level of the direct mic sound in this channel",
                                                         "Level of the reverb in this channel", "Level of the echo in this channel",
                                                         "Level of the music in this channel"};
  for (int k = 0; k < kMixLevels; ++k) SetTip(mixSliders_[std::size_t(k)], kMixTipChinese[k], kMixTipEnglish[k]);
  SetTip(delaySwitch_, "打开本通道的延时", "Turns this channel's delay on");
  SetTip(highFrequencyRadio_, "只延时分频点以上的高频部分", "Delays only the part above the split frequency");
  SetTip(channelDelayRadio_, "延时整个通道", "Delays the whole channel");
  SetTip(splitSlider_, "高频延时的分频点", "Split frequency of the high-frequency delay");
  SetTip(delaySlider_, "本通道的延时，每步0.1ms", "Delay of this channel in steps of 0.1 ms");
  SetLimiterSwitchTip(limiterSwitch_);
  for (int i = 0; i < kLimiterSliders; ++i) SetLimiterSliderTip(limiterSliders_[std::size_t(i)], i);
}

void OutputPage::ApplyTexts() {
  pageRow_->ApplyTexts();
  const int language = CurrentLanguage();
  for (int c = 0; c < kChannels; ++c) {
    ChannelStrip& strip = strips_[std::size_t(c)];
    for (int r = 0; r < kRoleCount; ++r) strip.role->setItemText(r, QString::fromUtf8(RoleName(r, language)));
    strip.mute->setText(PickText("静音", "Mute"));
    strip.phase->setText(PickText("相位180°", "Phase 180°"));
  }
  for (int pair = 0; pair < kLinkPairCount; ++pair)
    linkBoxWidgets_[std::size_t(pair)]->setText(PickText(kLinkChinese[pair], kLinkEnglish[pair]));

  eqPanel_->SetLanguage(CurrentLanguage());
  bandEditor_->ApplyTexts();
  chainOverlay_->ApplyTexts();

  for (int k = 0; k < kMixLevels; ++k) mixCaptions_[std::size_t(k)]->setText(PickText(kMixChinese[k], kMixEnglish[k]));
  delaySwitch_->setText(PickText("延时开关", "Delay Switch"));
  highFrequencyRadio_->setText(PickText("高频延时", "H.Freq Delay"));
  channelDelayRadio_->setText(PickText("通道延时", "Channel delay"));
  limiterSwitch_->setText(PickText("压限启用", "Compressor Switch"));
  for (int i = 0; i < kLimiterSliders; ++i)
    limiterCaptions_[std::size_t(i)]->setText(PickText(kLimiterChinese[i], kLimiterEnglish[i]));
  ApplyTips();

  ApplyDialogTexts(this, kDialogNumber);
}

// ---------------------------------------------------------------- test access

namespace {
int ChannelIndex(int channel) { return std::clamp(channel, 0, kOutputChannelCount - 1); }
}  // namespace

QPushButton& OutputPage::ChannelButton(int channel) const { return pageRow_->ChannelButton(channel); }
QComboBox& OutputPage::RoleCombo(int channel) const { return *strips_[std::size_t(ChannelIndex(channel))].role; }
QCheckBox& OutputPage::MuteBox(int channel) const { return *strips_[std::size_t(ChannelIndex(channel))].mute; }
QCheckBox& OutputPage::PhaseBox(int channel) const { return *strips_[std::size_t(ChannelIndex(channel))].phase; }
QCheckBox& OutputPage::LinkBox(int pair) const {
  return *linkBoxWidgets_[std::size_t(std::clamp(pair, 0, kLinkPairCount - 1))];
}
QPushButton& OutputPage::PageButton(int index) const { return pageRow_->PageButton(index); }
QSlider& OutputPage::MixSlider(int level) const { return *mixSliders_[std::size_t(std::clamp(level, 0, kMixLevels - 1))]; }
QLabel& OutputPage::MixValue(int level) const { return *mixValues_[std::size_t(std::clamp(level, 0, kMixLevels - 1))]; }
QSlider& OutputPage::LimiterSlider(int index) const {
  return *limiterSliders_[std::size_t(std::clamp(index, 0, kLimiterSliders - 1))];
}
QLabel& OutputPage::LimiterValue(int index) const {
  return *limiterValues_[std::size_t(std::clamp(index, 0, kLimiterSliders - 1))];
}

}  // namespace dsptune
