// The remote-control picture beside the key buttons: every caption readable, in both
// languages, at the smallest size the window gives the picture.
#include <QtTest>

#include "remote/RemotePicture.h"
#include "ui/InterfaceLanguage.h"

using namespace dsptune;

class RemotePictureTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { SetCurrentLanguage(kEnglish); }

  // A caption goes on one line or is split between words (or where Latin meets
  // Chinese), whichever allows the larger size; a word is never cut.
  void captionsSplitBetweenWordsOnly() {
    QFont font(QStringLiteral("DejaVu Sans"));
    const struct {
      const char* caption;
      QSizeF room;
      const char* text;
    } rows[] = {
        {"Down Tone", {34, 26}, "Down\nTone"},
        {"Mode1", {60, 22}, "Mode1"},
        {"OK/Enter", {38, 38}, "OK/\nEnter"},
        {"Android主页", {50, 24}, "Android\n主页"},
        {"话筒音量+", {40, 28}, "话筒\n音量+"},
        {"Power", {200, 22}, "Power"},
    };
    for (const auto& row : rows) {
      const CaptionFit fit = FitCaption(font, row.room, QString::fromUtf8(row.caption));
      QVERIFY2(fit.text == QString::fromUtf8(row.text), qPrintable(fit.text));
      QVERIFY(!fit.elided && fit.pointSize >= 6.5 && fit.pointSize <= 8.0);
    }
    const CaptionFit big = FitCaption(font, {200, 22}, QStringLiteral("Power"));
    QCOMPARE(big.pointSize, 8.0);
    const CaptionFit cut = FitCaption(font, {12, 10}, QStringLiteral("Record"));
    QVERIFY(cut.elided);
    QCOMPARE(cut.pointSize, 6.5);
  }

  void everyCaptionFitsAtTheSmallestSize() {
    for (int language : {kChinese, kEnglish}) {
      SetCurrentLanguage(language);
      RemotePicture picture;
      picture.resize(picture.minimumSizeHint());
      picture.grab();
      QCOMPARE(picture.PaintedLanguage(), language);
      QCOMPARE(int(picture.PaintedCaptions().size()), 25);
      for (const auto& [key, fit] : picture.PaintedCaptions())
        QVERIFY2(!fit.elided && fit.pointSize >= 6.5,
                 qPrintable(QStringLiteral("language %1, key %2: '%3' at %4 pt").arg(language).arg(key).arg(fit.text).arg(fit.pointSize)));
    }
  }
};

QTEST_MAIN(RemotePictureTest)
#include "RemotePictureTest.moc"
