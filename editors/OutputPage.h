#pragma once
// The output channel editor page (dialog 385). A row across the top holds, for all eight
// channels CH1..CH8 at once, the channel buttons, the speaker-role drop-downs and the
// mute and phase boxes, beside the three "Linked" boxes of the left/right role pairs and
// the buttons of the other output pages. Below, the current channel's equaliser (EQ
// c + 7) is shown in the EQ graph with a band list, or a band editor with the crossover
// family drop-down once a band is picked; the bottom row holds its four mix levels, its
// delay with the optional high-frequency band split, and its limiter.
//
// Mute, phase and role write their own channel. Every other edit goes to the linked
// group: the current channel, plus the other channels of its role pair while that
// pair's box is ticked. The box states live in bytes 0..2 of the application's option
// record, which the page reaches through OutputPageServices. The page keeps no device
// value of its own; RefreshPage rereads everything from the model.
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>

#include "editors/EqBandEditor.h"
#include "editors/model/OutputChannels.h"
#include "ui/EditorPage.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace dsptune {

class ChainOverlayControl;
class EqGraphPanel;
class InfoPopup;
class OutputPageButtons;

// What the page needs from the application, as hooks so tests can stand in for it.
// A member left empty falls back to the default described beside it.
struct OutputPageServices {
  // The application's 8-byte option record. Default: read from the settings store.
  std::function<QByteArray()> optionRecord;
  // Makes `record` the application's option record and saves it under "QtOption";
  // false when it could not be saved. Default: written to the settings store.
  std::function<bool(const QByteArray& record)> saveOptionRecord;
  // The application's information popup. Default: a popup of the page's own.
  std::function<void(const QString& text, int milliseconds)> showInfoPopup;
};

// Services every page made from now on starts with (the application sets them once).
void SetDefaultOutputPageServices(OutputPageServices services);
const OutputPageServices& DefaultOutputPageServices();

// The band list and band editor accessors come from EqBandEditorAccess.
class OutputPage : public EditorPage, public EqBandEditorAccess {
  Q_OBJECT
 public:
  static constexpr int kChannels = kOutputChannelCount;
  static constexpr int kLimiterSliders = 4;  // threshold, ratio, attack, release
  static constexpr int kResetNoticeMsPerChannel = 1000;
  // The other output pages the page buttons open ("Location", "Record", "Comp").
  static constexpr int kPageButtons = 3;

  // channel: 0..7 (anything else opens CH1). Services default to DefaultOutputPageServices().
  explicit OutputPage(int channel, QWidget* parent = nullptr);
  OutputPage(int channel, OutputPageServices services, QWidget* parent = nullptr);
  ~OutputPage() override;

  // ---- EditorPage ----
  // Makes channel 0..7 current and refreshes the page (what the channel buttons do).
  void SetChannel(int channel) override;
  // Rereads every control, the link boxes and the EQ graph from the model.
  void RefreshPage() override;
  // Texts of the page in the current language, then dialog 385's table entries.
  void ApplyTexts() override;
  bool HasEq() const override { return true; }
  // The current channel's EQ bypass (block c + 5, address 0x0F) is non-zero.
  bool EqBypassed() const override;
  // Writes the current channel's EQ bypass and shows the flag at once.
  void SetEqBypass(bool bypass) override;
  // Default bands for every channel of the linked group (the subwoofer set for a
  // "CH-SUB" channel) after the "Reset EQ..." notice, then the graph reloaded.
  void ResetCurrentEq() override;

  // Reloads the EQ graph, the band list and the bypass flag from the model.
  void ReloadEqPanel();
  int EqNumber() const { return ChannelEq(Channel()); }
  // The channels an edit of the current channel goes to.
  ChannelSet LinkedGroup() const;
  LinkBoxes LinkBoxStates() const { return linkBoxes_; }

  // ---- controls, for the host and tests ----
  EqGraphPanel& EqPanel() const { return *eqPanel_; }
  QComboBox& FamilyCombo() const { return *bandEditor_->FamilyCombo(); }
  QLabel& FamilyLabel() const { return *bandEditor_->FamilyLabel(); }
  ChainOverlayControl& ChainOverlay() const { return *chainOverlay_; }

  QPushButton& ChannelButton(int channel) const;
  QComboBox& RoleCombo(int channel) const;
  QCheckBox& MuteBox(int channel) const;
  QCheckBox& PhaseBox(int channel) const;
  QCheckBox& LinkBox(int pair) const;         // 0 front, 1 side, 2 back
  QPushButton& PageButton(int index) const;   // 0 "Location", 1 "Record", 2 "Comp"

  QSlider& MixSlider(int level) const;        // 0 "Direct" .. 3 "Music"
  QLabel& MixValue(int level) const;
  QCheckBox& DelaySwitch() const { return *delaySwitch_; }
  QRadioButton& HighFrequencyRadio() const { return *highFrequencyRadio_; }
  QRadioButton& ChannelDelayRadio() const { return *channelDelayRadio_; }
  QSlider& SplitSlider() const { return *splitSlider_; }
  QLabel& SplitValue() const { return *splitValue_; }
  QSlider& DelaySlider() const { return *delaySlider_; }
  QLabel& DelayValue() const { return *delayValue_; }
  QCheckBox& LimiterSwitch() const { return *limiterSwitch_; }
  QSlider& LimiterSlider(int index) const;    // 0 threshold, 1 ratio, 2 attack, 3 release
  QLabel& LimiterValue(int index) const;

 signals:
  // The user picked another channel button (the app keeps the value).
  void channelSelected(int channel);
  // The shown EQ's bypass flag may have changed (channel, bypass, reload).
  void eqBypassChanged(bool bypassed);
  // A page button asks for another output page: kEditorSurround, kEditorRecord or
  // kEditorCompressor. The receiver replaces this page, so it must not do that inside
  // the emission (connect it queued).
  void pageRequested(int kind);

 private:
  struct ChannelStrip {
    QComboBox* role = nullptr;
    QCheckBox* mute = nullptr;
    QCheckBox* phase = nullptr;
  };

  void BuildChannelRow();
  void BuildEqArea();
  void BuildMixGroup();
  void BuildDelayGroup();
  void BuildLimiterGroup();
  void LayOut();

  void RefreshChannelRow();
  void ApplyTips();
  void RefreshMix();
  void RefreshDelay();
  void RefreshDelayEnabling();
  void RefreshLimiter();
  void ReadLinkBoxes();
  void OnLinkBoxClicked(int pair, bool ticked);
  void SaveLinkBoxes();
  void ShowNotice(const QString& text, int milliseconds);

  OutputPageServices services_;
  LinkBoxes linkBoxes_{};

  OutputPageButtons* pageRow_ = nullptr;
  std::array<ChannelStrip, kChannels> strips_{};
  std::array<QCheckBox*, kLinkPairCount> linkBoxWidgets_{};

  EqGraphPanel* eqPanel_ = nullptr;
  ChainOverlayControl* chainOverlay_ = nullptr;  // the chain response over the graph

  QGroupBox* mixGroup_ = nullptr;
  std::array<QLabel*, kMixLevels> mixCaptions_{};
  std::array<QSlider*, kMixLevels> mixSliders_{};
  std::array<QLabel*, kMixLevels> mixValues_{};

  QGroupBox* delayGroup_ = nullptr;
  QCheckBox* delaySwitch_ = nullptr;
  QButtonGroup* splitRadios_ = nullptr;
  QRadioButton* highFrequencyRadio_ = nullptr;
  QRadioButton* channelDelayRadio_ = nullptr;
  QSlider* splitSlider_ = nullptr;
  QLabel* splitValue_ = nullptr;
  QSlider* delaySlider_ = nullptr;
  QLabel* delayValue_ = nullptr;

  QGroupBox* limiterGroup_ = nullptr;
  QCheckBox* limiterSwitch_ = nullptr;
  std::array<QLabel*, kLimiterSliders> limiterCaptions_{};
  std::array<QSlider*, kLimiterSliders> limiterSliders_{};
  std::array<QLabel*, kLimiterSliders> limiterValues_{};

  QPointer<InfoPopup> popup_;  // the fallback popup, when no service shows one
  bool loading_ = false;      // controls are being set from the model: no writes
};

}  // namespace dsptune
