#pragma once
// The mic and music editor page (dialog 313). A selector picks "Mic CH A" (channel 0),
// "Mic CH B" (1) or "Music" (2); the page shows that path's equaliser in the EQ graph
// with a band list, or a band editor once a band is picked, and for the microphone
// paths their reverb and echo parameters, echo type and the reverb and echo EQ
// thumbnails. Independently of the selector it routes microphone inputs 1 and 2 to
// path A or B, sets their noise gate and volume (inputs 3 and 4 exist hidden), and
// shows the six level meters and the incoming stream format, read every 300 ms.
//
// Every change is written at once: bands with WriteEqBand, single parameters with
// SetParameter, the shift frequency with its derived records. The page holds no device
// value of its own; RefreshPage rereads everything from the model.
#include <QColor>
#include <QPointer>
#include <array>

#include "editors/EqBandEditor.h"
#include "ui/EditorPage.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

namespace dsptune {

class EqGraphPanel;
class EqThumbnail;
class EffectParameterList;

// The band list and band editor accessors come from EqBandEditorAccess.
class MicMusicPage : public EditorPage, public EqBandEditorAccess {
  Q_OBJECT
 public:
  static constexpr int kMicA = 0;
  static constexpr int kMicB = 1;
  static constexpr int kMusic = 2;
  static constexpr int kMicInputs = 4;   // inputs 3 and 4 exist but are hidden
  static constexpr int kMeters = 6;      // inputs 1..4, then the two music meters
  static constexpr int kStatusPeriodMs = 300;

  // channel: the remembered selector value (0..2; anything else selects "Mic CH A").
  explicit MicMusicPage(int channel, QWidget* parent = nullptr);
  ~MicMusicPage() override;

  // ---- EditorPage ----
  // Selector change to channel 0..2 (also what the selector buttons do).
  void SetChannel(int channel) override;
  // Rereads every control from the model with the current selection.
  void RefreshPage() override;
  // Texts of the page in the current language, then dialog 313's table entries.
  void ApplyTexts() override;
  bool HasEq() const override { return true; }
  // The selector's EQ bypass parameter is non-zero.
  bool EqBypassed() const override;
  // Writes the selector's EQ bypass parameter (1 or 0) and shows the flag at once.
  void SetEqBypass(bool bypass) override;
  // Default bands for the shown EQ, written to the device, then the graph reloaded.
  void ResetCurrentEq() override;

  // Reloads the EQ graph, the band list and the bypass flag from the model.
  void ReloadEqPanel();
  // Writes the bypass parameter: 1 when it was 0, else 0.
  void ToggleEqBypass();
  // EQ number shown: 0 Mic A, 1 Mic B, 6 Music.
  int EqNumber() const;
  // Reads the status block once: meters and stream format (what the timer does).
  void PollStatus();

  // ---- controls, for the host and tests ----
  EqGraphPanel& EqPanel() const { return *eqPanel_; }
  EffectParameterList& Effects() const { return *effects_; }
  QRadioButton& EchoTypeRadio(int stereo) const;  // 0 mono, 1 stereo
  EqThumbnail& ReverbThumbnail() const { return *reverbThumb_; }
  EqThumbnail& EchoThumbnail() const { return *echoThumb_; }
  QPushButton& SelectorButton(int channel) const;
  QRadioButton& RouteRadio(int input, int path) const;  // path 0 "CH A", 1 "CH B"
  QSlider& NoiseGateSlider(int input) const;
  QSlider& VolumeSlider(int input) const;
  QLabel& NoiseGateValue(int input) const;
  QLabel& VolumeValue(int input) const;
  QGroupBox& InputGroup(int input) const;
  QProgressBar& Meter(int index) const;
  QLabel& FormatLabel() const { return *formatLabel_; }

 signals:
  // A thumbnail was clicked: the effects EQ page is to open on effect index 0 / 1
  // (reverb of path A / B) or 2 / 3 (echo of path A / B). Not sent for "Music".
  void effectsEqRequested(int effectIndex);
  // The user picked another selector button (the app keeps the value).
  void channelSelected(int channel);
  // The shown EQ's bypass flag may have changed (selector, bypass, reload).
  void eqBypassChanged(bool bypassed);

 private:
  struct InputControls {
    QGroupBox* group = nullptr;
    QRadioButton* routeA = nullptr;
    QRadioButton* routeB = nullptr;
    QLabel* gateCaption = nullptr;
    QLabel* volumeCaption = nullptr;
    QSlider* gate = nullptr;
    QSlider* volume = nullptr;
    QLabel* gateValue = nullptr;
    QLabel* volumeValue = nullptr;
  };

  void BuildSelector();
  void BuildEqArea();
  void BuildEffectArea();
  void BuildThumbnails();
  void BuildInputs();
  void BuildMusicMeters();
  void ApplyTips();
  void LayOut();

  void SelectorChange();
  void RefreshInputs();
  void ReloadThumbnails();
  void SetListColors(const QColor& color);

  void OnThumbnailClicked(bool reverb);
  void ApplyRoute(int input, int path);

  EqGraphPanel* eqPanel_ = nullptr;

  EffectParameterList* effects_ = nullptr;
  QGroupBox* echoTypeGroup_ = nullptr;
  std::array<QRadioButton*, 2> echoTypeRadios_{};

  EqThumbnail* reverbThumb_ = nullptr;
  EqThumbnail* echoThumb_ = nullptr;
  QLabel* reverbTitle_ = nullptr;
  QLabel* reverbHint_ = nullptr;
  QLabel* echoTitle_ = nullptr;
  QLabel* echoHint_ = nullptr;

  std::array<QPushButton*, 3> selector_{};
  std::array<InputControls, kMicInputs> inputs_{};
  std::array<QProgressBar*, kMeters> meters_{};
  QGroupBox* musicPeakGroup_ = nullptr;
  QWidget* bottomRow_ = nullptr;  // effect list, thumbnails, inputs and music meters
  QLabel* formatLabel_ = nullptr;
  QTimer* statusTimer_ = nullptr;

  bool loading_ = false;  // controls are being set from the model: no writes
};

}  // namespace dsptune
