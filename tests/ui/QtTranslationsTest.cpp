// Qt's own texts follow the interface language: standard buttons and the file dialog's
// overwrite question are Chinese in the Chinese interface and English again after a
// switch back.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeView>
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

  // The file dialog the program opens (Qt's own, as on a desktop without a platform
  // dialog) shows no English word in the Chinese interface: its labels, buttons, column
  // heads and the type of a folder in its list.
  void fileDialogIsChinese() {
    QVERIFY(UseQtTranslations(kChinese));
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("modes"));
    QFileDialog dialog(nullptr, QString::fromUtf8("打开"), dir.path(), QStringLiteral("Mode File(*.mode)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.show();
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    QVERIFY(view);
    QAbstractItemModel* model = view->model();
    QTRY_VERIFY(model->rowCount(view->rootIndex()) == 1);
    QStringList texts;
    for (int column = 0; column < model->columnCount(view->rootIndex()); ++column)
      texts << model->headerData(column, Qt::Horizontal).toString();
    texts << model->index(0, 2, view->rootIndex()).data().toString();  // the folder's type
    for (QLabel* label : dialog.findChildren<QLabel*>())
      if (label->isVisibleTo(&dialog)) texts << label->text();
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
      if (button->isVisibleTo(&dialog)) texts << button->text() << button->toolTip();
    const QRegularExpression english(QStringLiteral("[A-Za-z]{2,}"));
    QStringList stray;
    for (const QString& text : texts)
      if (text.contains(english) && !text.contains(QStringLiteral("Mode File"))) stray << text;
    QVERIFY2(stray.isEmpty(), qPrintable(stray.join(" | ")));
    QVERIFY(UseQtTranslations(kEnglish));
  }

 private:
  static QString YesText() {
    QDialogButtonBox box(QDialogButtonBox::Yes);
    return box.button(QDialogButtonBox::Yes)->text();
  }
};

QTEST_MAIN(QtTranslationsTest)
#include "QtTranslationsTest.moc"
