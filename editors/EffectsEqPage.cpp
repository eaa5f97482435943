#include "editors/EffectsEqPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "editors/ControlTips.h"
#include "model/EqBandStore.h"
#include "editors/EqGraphPanel.h"
#include "editors/ShortBandCaptions.h"
#include "editors/model/EffectEqs.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kDialogNumber = 421;
constexpr int kEffectBands = 7;

const EffectEq& Effect(int index) { return *EffectEqOf(IsEffectIndex(index) ? index : kEffectReverbA); }

}  // namespace

EffectsEqPage::EffectsEqPage(int effectIndex, QWidget* parent)
    : EditorPage(kEditorEffectsEq, IsEffectIndex(effectIndex) ? effectIndex : kEffectReverbA, parent) {
  connect(this, &EffectsEqPage::eqBypassChanged, this, &EditorPage::eqStateChanged);

  title_ = new QLabel(this);
  QFont big = title_->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  title_->setFont(big);
  title_->setAlignment(Qt::AlignCenter);
  title_->setMinimumWidth(160);
  title_->setStyleSheet(
      "QLabel { color: rgb(255,255,255); border-radius: 4px; padding: 3px 14px;"
      " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(40,90,160), stop:1 rgb(20,45,90)); }");

  returnButton_ = new QPushButton(this);
  returnButton_->setMinimumSize(96, 28);
  connect(returnButton_, &QPushButton::clicked, this, &EffectsEqPage::returnRequested);

  eqPanel_ = new EqGraphPanel(this);
  eqPanel_->setMinimumSize(600, 300);
  EqBandEditor::Options options;
  options.listRows = kEffectBands;
  options.verticalSliders = true;
  bandEditor_ = new EqBandEditor(
      *eqPanel_,
      [this](const EqBand& band) {
        WriteEqBand(EqNumber(), band.index, band.type, int(band.frequency), band.gain, band.q, 0.0f);
      },
      options, this);
  // A paste keeps the picked band; only the bands are reread.
  connect(bandEditor_, &EqBandEditor::reloadRequested, this, &EffectsEqPage::ReloadEq);

  LayOut();
  ShowEffect();
}

EffectsEqPage::~EffectsEqPage() = default;

void EffectsEqPage::LayOut() {
  auto* top = new QHBoxLayout;
  top->addWidget(title_);
  top->addStretch(1);
  top->addWidget(returnButton_);

  // The list needs few rows: it and the band editor keep their own height at the top.
  auto* bandColumn = new QVBoxLayout;
  bandColumn->addWidget(bandEditor_);
  bandColumn->addStretch(1);
  auto* eqRow = new QHBoxLayout;
  eqRow->setSpacing(8);
  eqRow->addWidget(eqPanel_, 1);
  eqRow->addLayout(bandColumn);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 6, 8, 8);
  root->setSpacing(6);
  root->addLayout(top);
  root->addLayout(eqRow, 1);
}

// ---------------------------------------------------------------- page operations

int EffectsEqPage::EqNumber() const { return Effect(Channel()).eq; }

void EffectsEqPage::SetChannel(int effectIndex) {
  if (!IsEffectIndex(effectIndex)) return;
  EditorPage::SetChannel(effectIndex);
  ShowEffect();
}

void EffectsEqPage::ShowEffect() {
  bandEditor_->ShowBandList();
  ApplyTexts();  // the title follows the effect; the texts end with a reload
}

void EffectsEqPage::RefreshPage() {
  const EffectEq& effect = Effect(Channel());
  title_->setText(PickText(effect.chineseTitle, effect.englishTitle));
  bandEditor_->ShowBandList();
  ReloadEq();
}

void EffectsEqPage::ApplyTexts() {
  const EffectEq& effect = Effect(Channel());
  title_->setText(PickText(effect.chineseTitle, effect.englishTitle));
  returnButton_->setText(PickText("返回", "Return"));
  SetTip(returnButton_, "回到话筒和音乐页", "Back to the mic and music page");
  eqPanel_->SetLanguage(CurrentLanguage());
  bandEditor_->ApplyTexts();
  ApplyShortBandCaptions(*bandEditor_);
  ApplyDialogTexts(this, kDialogNumber);
  ReloadEq();
}

void EffectsEqPage::ReloadEq() {
  bandEditor_->ShowEq(EqNumber(), StoredBandType::kAsStored);
  const bool bypassed = EqBypassed();
  if (eqPanel_->Model().Bypass() != bypassed) eqPanel_->SetBypass(bypassed);
  emit eqBypassChanged(bypassed);
}

bool EffectsEqPage::EqBypassed() const { return EffectEqBypassed(Channel()); }

void EffectsEqPage::SetEqBypass(bool bypass) {
  SetEffectEqBypass(Channel(), bypass);
  if (eqPanel_->Model().Bypass() != bypass) eqPanel_->SetBypass(bypass);
  emit eqBypassChanged(bypass);
}

void EffectsEqPage::ToggleEqBypass() { SetEqBypass(!EqBypassed()); }

void EffectsEqPage::ResetCurrentEq() {
  bandEditor_->ShowBandList();
  ResetEqToDefaults(EqNumber());
  ReloadEq();
}

}  // namespace dsptune
