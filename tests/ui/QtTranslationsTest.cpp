// Qt's own texts follow the interface language: standard buttons and the file dialog's
// overwrite question are Chinese in the Chinese interface and English again after a
// switch back.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>

#include "ui/InterfaceLanguage.h"
#include "ui/QtTranslations.h"

using namespace dsptune;

class QtTranslationsTest : public QObject {
  Q_OBJECT

 private slots:
  void standardTextsFollowTheLanguage() {
    QVERIFY2(UseQtTranslations(kChinese), "qtbase_zh_CN is missing (package qt6-translations-l10n)");
    QCOMPARE(YesText(), QString::fromUtf8("是(&Y)"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?").contains(
                 QString::fromUtf8("替换")),
             true);
    QVERIFY(UseQtTranslations(kChinese));  // a second call changes nothing
    QVERIFY(UseQtTranslations(kEnglish));
    QCOMPARE(YesText(), QString("&Yes"));
  }

 private:
  static QString YesText() {
    QDialogButtonBox box(QDialogButtonBox::Yes);
    return box.button(QDialogButtonBox::Yes)->text();
  }
};

QTEST_MAIN(QtTranslationsTest)
#include "QtTranslationsTest.moc"
