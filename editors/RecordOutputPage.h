#pragma once
// The record output page (dialog 522): what the device sends to its record output. The
// row of output-page buttons runs across the top ("Record" shown pressed); below, the
// record EQ (EQ 15, five bands) in the EQ graph with the band list, or the band editor
// once a band is picked; along the bottom the four mix sends and the record level, the
// record limiter's switch and four sliders, and its transfer curve.
//
// Every control writes at once (editors/model/RecordOutput.h does the writing). The page
// keeps nothing of its own but the graph's bands; every load rereads the model.
#include <array>

#include "editors/EqBandEditor.h"
#include "editors/model/RecordOutput.h"
#include "ui/EditorPage.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

namespace dsptune {

class CompressorCurvePanel;
class EqGraphPanel;
class OutputPageButtons;

// The band list and band editor accessors come from EqBandEditorAccess.
class RecordOutputPage : public EditorPage, public EqBandEditorAccess {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 522;
  static constexpr int kLevels = kRecordLevels;
  static constexpr int kCompressorSliders = dsptune::kCompressorSliders;
  static constexpr int kPageButtons = 3;

  explicit RecordOutputPage(QWidget* parent = nullptr);
  ~RecordOutputPage() override;

  // ---- EditorPage ----
  // Rereads every control and the EQ from the model; no band picked.
  void RefreshPage() override;
  // Title and texts in the current language, dialog 522's table entries, then a reload.
  void ApplyTexts() override;
  bool HasEq() const override { return true; }
  bool EqBypassed() const override;
  // Writes the record EQ's bypass (block 13, address 0x05) and shows the flag at once.
  void SetEqBypass(bool bypass) override;
  // The five default bands written, no band picked, the graph reloaded.
  void ResetCurrentEq() override;

  // Reloads the graph, the list (and the editor of a picked band) and the bypass flag.
  void ReloadEq();

  // ---- controls, for the host and tests ----
  QPushButton& ChannelButton(int channel) const;  // 0..7
  QPushButton& PageButton(int index) const;       // 0 "Location", 1 "Record", 2 "Comp"
  QLabel& TitleLabel() const { return *title_; }
  EqGraphPanel& EqPanel() const { return *eqPanel_; }
  QSlider& LevelSlider(int level) const;  // RecordLevel order
  QLabel& LevelValue(int level) const;
  QLabel& LevelCaption(int level) const;
  QCheckBox& CompressorSwitch() const { return *compressorSwitch_; }
  QSlider& CompressorSlider(int index) const;  // CompressorSlider order
  QLabel& CompressorValue(int index) const;
  QLabel& CompressorCaption(int index) const;
  CompressorCurvePanel& Graph() const { return *graph_; }

 signals:
  // A channel button asks for the output page on that channel (0..7).
  void outputPageRequested(int channel);
  // A page button asks for kEditorSurround, kEditorRecord or kEditorCompressor. The
  // receiver may replace this page, so it must not do that inside the emission
  // (connect it queued).
  void pageRequested(int kind);
  // The shown EQ's bypass flag may have changed (bypass, reload).
  void eqBypassChanged(bool bypassed);

 protected:
  // The wheel acts on the focused slider from anywhere on the page, except over the EQ
  // graph, which takes it itself.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct SliderRow {
    QLabel* caption = nullptr;
    QSlider* slider = nullptr;
    QLabel* value = nullptr;
  };

  void BuildEqArea();
  void BuildLevelGroup();
  void BuildCompressorGroup();
  void LayOut();
  SliderRow MakeRow(QWidget* parent, int min, int max, const char* widest);
  void RefreshLevels();
  void RefreshCompressor();
  void OnCompressorSlider(int index, int position);

  OutputPageButtons* pageRow_ = nullptr;
  QLabel* title_ = nullptr;
  EqGraphPanel* eqPanel_ = nullptr;
  QGroupBox* levelGroup_ = nullptr;
  std::array<SliderRow, kLevels> levels_{};
  QGroupBox* compressorGroup_ = nullptr;
  QCheckBox* compressorSwitch_ = nullptr;
  std::array<SliderRow, kCompressorSliders> compressor_{};
  CompressorCurvePanel* graph_ = nullptr;
  bool loading_ = false;  // controls are being set from the model: no writes
};

}  // namespace dsptune
