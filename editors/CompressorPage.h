#pragma once
// The limiter page of the output channels (dialog 346). A row across the top holds the
// page buttons shared by the output pages: eight channel buttons that open the output
// page on their channel, "Location", "Record" and "Comp" (this page, shown pressed).
// Below, a drop-down picks the channel whose limiter is edited; its "Comp ON" box and
// four sliders (threshold, ratio, attack, release) sit beside the transfer-curve graph.
//
// A slider writes the chosen channel's limiter record at once, with the channel's other
// three stored limiter values; the box writes the channel's limiter switch. Choosing a
// channel writes nothing: the controls and the graph show that channel's stored values.
#include <array>

#include "editors/model/CompressorControls.h"
#include "ui/EditorPage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

namespace dsptune {

class CompressorCurvePanel;
class OutputPageButtons;

class CompressorPage : public EditorPage {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 346;
  static constexpr int kChannels = 8;
  static constexpr int kSliders = kCompressorSliders;
  // "Location", "Record", "Comp".
  static constexpr int kPageButtons = 3;

  // Opens on CH1.
  explicit CompressorPage(QWidget* parent = nullptr);
  ~CompressorPage() override;

  // ---- EditorPage ----
  // Makes channel 0..7 the chosen one (anything else CH1), as the drop-down does.
  void SetChannel(int channel) override;
  // Reloads the box, the sliders, their value fields and the graph from the chosen
  // channel's stored limiter values and switch.
  void RefreshPage() override;
  // Texts in the current language, the drop-down refilled with its selection kept,
  // then dialog 346's table entries.
  void ApplyTexts() override;

  // ---- controls, for the host and tests ----
  QPushButton& ChannelButton(int channel) const;  // 0..7
  QPushButton& PageButton(int index) const;       // 0 "Location", 1 "Record", 2 "Comp"
  QComboBox& ChannelCombo() const { return *channelCombo_; }
  QLabel& ChannelCaption() const { return *channelCaption_; }
  QCheckBox& CompSwitch() const { return *compSwitch_; }
  QSlider& Slider(int index) const;   // CompressorSlider order
  QLabel& ValueField(int index) const;
  QLabel& Caption(int index) const;
  CompressorCurvePanel& Graph() const { return *graph_; }

 signals:
  // A channel button asks for the output page on that channel.
  void outputPageRequested(int channel);
  // A page button asks for kEditorSurround, kEditorRecord or kEditorCompressor. The
  // receiver may replace this page, so it must not do that inside the emission
  // (connect it queued).
  void pageRequested(int kind);

 private:
  void BuildControls();
  void LayOut();
  void OnChannelChosen(int index);
  void OnSliderMoved(int index, int position);
  void OnCompSwitch(bool on);

  OutputPageButtons* pageRow_ = nullptr;
  QGroupBox* controls_ = nullptr;
  QLabel* channelCaption_ = nullptr;
  QComboBox* channelCombo_ = nullptr;
  QCheckBox* compSwitch_ = nullptr;
  std::array<QLabel*, kSliders> captions_{};
  std::array<QSlider*, kSliders> sliders_{};
  std::array<QLabel*, kSliders> values_{};
  CompressorCurvePanel* graph_ = nullptr;
  bool loading_ = false;  // controls are being set from the model: no writes
};

}  // namespace dsptune
