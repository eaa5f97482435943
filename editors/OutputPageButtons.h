#pragma once
// The page buttons the output-section pages share: eight channel buttons that open the
// output page on their channel, and "Location", "Record" and "Comp", which open the
// surround volume, record output and limiter pages. The page a row sits on shows its
// own button pressed, and keeps it pressed when the user clicks it again.
//
// The buttons are children of the page, so the page's language table (ApplyDialogTexts)
// renames them by their control numbers after ApplyTexts has set the built-in texts.
// The row does not lay itself out: MakeRow gives the usual single row, and a page that
// spreads the buttons over its own layout takes them one by one.
#include <QObject>
#include <array>

#include "ui/EditorPage.h"

class QButtonGroup;
class QHBoxLayout;
class QPushButton;
class QWidget;

namespace dsptune {

class OutputPageButtons : public QObject {
  Q_OBJECT
 public:
  static constexpr int kChannels = 8;
  static constexpr int kPages = 3;  // 0 "Location", 1 "Record", 2 "Comp"
  static constexpr std::array<int, kPages> kPageKinds = {kEditorSurround, kEditorRecord, kEditorCompressor};
  // Control numbers: the channel buttons are numbered out of order (1069 CH1, 1072 CH2,
  // 1070 CH3, 1071 CH4, then 1076..1079); the page buttons are 1073..1075.
  static constexpr std::array<int, kChannels> kChannelButtonIds = {1069, 1072, 1070, 1071, 1076, 1077, 1078, 1079};
  static constexpr std::array<int, kPages> kPageButtonIds = {1073, 1074, 1075};

  // The limiter page's channel buttons: its English table names the first five after
  // the speakers they usually drive and has no entry for the others, which read "CH n"
  // as on the other pages rather than keep the Chinese text they were made with.
  static constexpr std::array<const char*, kChannels> kCompressorEnglishChannels = {
      "Main", "Rear", "Center", "Sub", "Top", nullptr, nullptr, nullptr};

  struct Options {
    // The kind of the page the row sits on, shown pressed; 0 when it is none of the
    // three (the output page itself).
    int pressedKind = 0;
    // The channel buttons show the current channel pressed, one at a time (the output
    // page, where a channel button switches the channel in place).
    bool selectableChannels = false;
    // English channel button texts; null entries read "CH n".
    std::array<const char*, kChannels> englishChannels = {};
    // Chinese text of "Location": the limiter page's table calls it "声道定位".
    const char* locationChinese = "声场定位";
    int buttonHeight = 26;
  };

  // Makes the eleven buttons as children of `page`, with their control numbers.
  OutputPageButtons(QWidget* page, const Options& options);

  QPushButton& ChannelButton(int channel) const;  // 0..7, clamped
  QPushButton& PageButton(int index) const;       // 0..2, clamped

  // Built-in texts in the current language (the page's table may rename them after).
  void ApplyTexts();
  // Presses the page's own button again (a click on it would release it).
  void ShowPagePressed();
  // With selectable channels: shows channel 0..7 pressed.
  void ShowChannel(int channel);
  // The eight channel buttons, a gap, the three page buttons, all of one width.
  QHBoxLayout* MakeRow() const;
  // Passes the row's requests on as the page's own signals of the same names.
  template <class Page>
  void ForwardTo(Page* page) {
    connect(this, &OutputPageButtons::outputPageRequested, page, &Page::outputPageRequested);
    connect(this, &OutputPageButtons::pageRequested, page, &Page::pageRequested);
  }

 signals:
  // A channel button: the output page on that channel (0..7).
  void outputPageRequested(int channel);
  // A page button: kEditorSurround, kEditorRecord or kEditorCompressor. The receiver may
  // replace the page the row sits on, so it must not do that inside the emission
  // (connect it queued).
  void pageRequested(int kind);

 private:
  Options options_;
  std::array<QPushButton*, kChannels> channelButtons_{};
  std::array<QPushButton*, kPages> pageButtons_{};
  QButtonGroup* channelGroup_ = nullptr;
  int pressedPage_ = -1;
};

}  // namespace dsptune
