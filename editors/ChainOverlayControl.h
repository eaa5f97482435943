#pragma once
// The output page's switch that lays what the channel really plays over its EQ graph:
// the chain of the source path's EQ and the channel's EQ with its crossover
// (editors/model/ChannelChain.h), as a second curve in its own colour. The source is the
// routed one unless the user picks Mic A, Mic B or Music.
#include <QColor>
#include <QWidget>

class QCheckBox;
class QComboBox;

namespace dsptune {

class EqGraphPanel;

class ChainOverlayControl : public QWidget {
  Q_OBJECT
 public:
  static inline const QColor kCurveColor{255, 140, 0};

  // The graph shows a channel EQ (CH1..CH8) whenever the overlay is on.
  ChainOverlayControl(EqGraphPanel& panel, QWidget* parent = nullptr);

  void ApplyTexts();
  QCheckBox& Switch() const { return *switch_; }
  // 0 as routed, 1 Mic A, 2 Mic B, 3 Music.
  QComboBox& SourceChoice() const { return *source_; }

 public slots:
  // Recomputes the curve from the stored bands (or removes it while the switch is off).
  void Refresh();

 private:
  EqGraphPanel& panel_;
  QCheckBox* switch_ = nullptr;
  QComboBox* source_ = nullptr;
};

}  // namespace dsptune
