#pragma once
// The About box (dialog 100): program version, and while a link is open the device
// lines. Ctrl+Shift+Z reveals the module line and the "Peak" switch of status polling.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>

namespace dsptune {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
  QLabel& ModuleLine() { return *module_; }
  QLabel& McuLine() { return *mcu_; }
  QLabel& DspLine() { return *dsp_; }
  QLabel& ConverterText() { return *converters_; }
  QCheckBox& PeakBox() { return *peak_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* module_;
  QLabel* mcu_;
  QLabel* dsp_;
  QLabel* converters_;
  QCheckBox* peak_;
};

}  // namespace dsptune
