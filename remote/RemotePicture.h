#pragma once
// The picture of a remote control beside the key buttons: a drawn handset whose keys
// carry the captions of the interface language, so the user sees where each function
// sits on a typical remote. It only paints; the language is read when it paints.
#include <QWidget>

namespace dsptune {

class RemotePicture : public QWidget {
  Q_OBJECT
 public:
  explicit RemotePicture(QWidget* parent = nullptr);

  QSize sizeHint() const override { return {230, 500}; }
  QSize minimumSizeHint() const override { return {210, 480}; }
  // The language the picture was last painted in (-1 before the first paint).
  int PaintedLanguage() const { return paintedLanguage_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int paintedLanguage_ = -1;
};

}  // namespace dsptune
