#pragma once
// The picture of a remote control beside the key buttons: a drawn handset whose keys
// carry the captions of the interface language, so the user sees where each function
// sits on a typical remote. It only paints; the language is read when it paints.
#include <QWidget>
#include <vector>

namespace dsptune {

// How a key's caption is set in the room a key leaves it: the text, with a line break
// where it was split in two, and its size in points (8 down to 6.5); `elided` when not
// even the smallest size fits and the text was cut short.
struct CaptionFit {
  QString text;
  double pointSize = 0.0;
  bool elided = false;
};
CaptionFit FitCaption(QFont font, const QSizeF& room, const QString& caption);

class RemotePicture : public QWidget {
  Q_OBJECT
 public:
  explicit RemotePicture(QWidget* parent = nullptr);

  QSize sizeHint() const override { return {230, 500}; }
  QSize minimumSizeHint() const override { return {210, 480}; }
  // The language the picture was last painted in (-1 before the first paint).
  int PaintedLanguage() const { return paintedLanguage_; }
  // Each key's caption as the last paint set it, by key number.
  const std::vector<std::pair<int, CaptionFit>>& PaintedCaptions() const { return painted_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void DrawCaption(QPainter& p, int key, const QRectF& box, double inset, const QColor& colour);

  int paintedLanguage_ = -1;
  std::vector<std::pair<int, CaptionFit>> painted_;
};

}  // namespace dsptune
