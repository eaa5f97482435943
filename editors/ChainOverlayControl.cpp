#include "editors/ChainOverlayControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>

#include "editors/EqGraphPanel.h"
#include "editors/model/ChannelChain.h"
#include "model/EqLayout.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr const char* kSourceChinese[] = {"按路由", "话筒A", "话筒B", "音乐"};
constexpr const char* kSourceEnglish[] = {"As routed", "Mic A", "Mic B", "Music"};

}  // namespace

ChainOverlayControl::ChainOverlayControl(EqGraphPanel& panel, QWidget* parent) : QWidget(parent), panel_(panel) {
  switch_ = new QCheckBox(this);
  source_ = new QComboBox(this);
  for (int i = 0; i < 4; ++i) source_->addItem(QString());
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addWidget(switch_);
  row->addWidget(source_);
  row->addStretch(1);
  connect(switch_, &QCheckBox::toggled, this, &ChainOverlayControl::Refresh);
  connect(source_, &QComboBox::currentIndexChanged, this, &ChainOverlayControl::Refresh);
  ApplyTexts();
}

void ChainOverlayControl::ApplyTexts() {
  switch_->setText(PickText("链路响应", "Chain response"));
  switch_->setToolTip(PickText("叠加显示此通道实际播放的响应：信号源通道的均衡，再经过本通道的均衡和分频",
                               "Overlay what this channel really plays: its source path's EQ followed by the "
                               "channel's own EQ and crossover"));
  for (int i = 0; i < source_->count(); ++i) source_->setItemText(i, PickText(kSourceChinese[i], kSourceEnglish[i]));
  source_->setToolTip(PickText("叠加响应所用的信号源通道", "Source path whose EQ the overlay starts from"));
  Refresh();
}

void ChainOverlayControl::Refresh() {
  const int channel = panel_.Model().EqNumber() - kEqCh1;
  source_->setEnabled(switch_->isChecked());
  if (!switch_->isChecked() || !IsChannelEq(panel_.Model().EqNumber())) {
    if (!panel_.OverlayCurve().empty()) panel_.SetOverlayCurve({});
    return;
  }
  static constexpr ChainSource kChosen[] = {ChainSource::kMicA, ChainSource::kMicA, ChainSource::kMicB,
                                            ChainSource::kMusic};
  const int pick = source_->currentIndex();
  const ChainSource source = pick <= 0 ? RoutedChainSource(channel) : kChosen[pick];
  const auto chain = ChainResponse(channel, source);
  const BilingualText name = ChainName(channel, source);
  panel_.SetOverlayCurve(std::vector<float>(chain.begin(), chain.end()), kCurveColor,
                         PickText(QString::fromUtf8("链路：") + QString::fromStdString(name[kTextChinese]),
                                  QStringLiteral("Chain: ") + QString::fromStdString(name[kTextEnglish])));
}

}  // namespace dsptune
