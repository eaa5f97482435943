#pragma once
// The effects EQ editor page (dialog 421): one of the four seven-band equalisers on the
// effect returns of the microphone paths (effect index 0 Reverb A, 1 Reverb B, 2 Echo A,
// 3 Echo B), opened from the mic and music page in its place. The effect's title sits
// top left, the return button top right; below, the EQ graph with the band list, or the
// band editor once a band is picked.
//
// Every change of a band is written at once with WriteEqBand; the bypass goes to the
// effect's own bypass parameter. The page keeps nothing but the graph's bands: every
// load rereads the band records from the model.
#include "editors/EqBandEditor.h"
#include "ui/EditorPage.h"

class QLabel;
class QPushButton;

namespace dsptune {

class EqGraphPanel;

// The band list and band editor accessors come from EqBandEditorAccess.
class EffectsEqPage : public EditorPage, public EqBandEditorAccess {
  Q_OBJECT
 public:
  // effectIndex: 0..3 (anything else opens Reverb A).
  explicit EffectsEqPage(int effectIndex, QWidget* parent = nullptr);
  ~EffectsEqPage() override;

  // ---- EditorPage ----
  // Switches the page to effect 0..3: deselects the band and reloads everything. An
  // index outside 0..3 is ignored.
  void SetChannel(int effectIndex) override;
  // Rereads the EQ from the model and shows the band list.
  void RefreshPage() override;
  // Texts in the current language, dialog 421's table entries, then a reload.
  void ApplyTexts() override;
  bool HasEq() const override { return true; }
  bool EqBypassed() const override;
  // Writes the effect's EQ bypass parameter (1 or 0) and shows the flag at once.
  void SetEqBypass(bool bypass) override;
  // Default bands for the effect's EQ, written to the device, then the graph reloaded
  // with no band selected.
  void ResetCurrentEq() override;

  // Writes the bypass parameter: 1 when it was 0, else 0.
  void ToggleEqBypass();
  // Reloads the graph, the list (and the editor of a picked band) and the bypass flag.
  void ReloadEq();
  int EffectIndex() const { return Channel(); }
  // 4 Reverb A, 5 Reverb B, 2 Echo A, 3 Echo B.
  int EqNumber() const;

  // ---- controls, for the host and tests ----
  EqGraphPanel& EqPanel() const { return *eqPanel_; }
  QLabel& TitleLabel() const { return *title_; }
  QPushButton& ReturnButton() const { return *returnButton_; }

 signals:
  // The return button: the mic and music page is to come back. The receiver replaces
  // this page, so it must not do that inside the emission (connect it queued).
  void returnRequested();
  // The shown EQ's bypass flag may have changed (switch, bypass, reload).
  void eqBypassChanged(bool bypassed);

 private:
  void LayOut();
  // Title and band list for the current effect, no band selected, texts and EQ reloaded.
  void ShowEffect();

  EqGraphPanel* eqPanel_ = nullptr;
  QLabel* title_ = nullptr;
  QPushButton* returnButton_ = nullptr;
};

}  // namespace dsptune
