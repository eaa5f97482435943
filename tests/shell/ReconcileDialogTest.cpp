// The reconcile dialog: one row per difference in the current language, and closing it
// keeps the device's settings. With DSPTUNE_SCREENSHOTS set to a folder it also saves
// a picture of itself there, to look at.
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"
#include "shell/ReconcileDialog.h"
#include "ui/InterfaceLanguage.h"

using namespace dsptune;

class ReconcileDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsFollowTheLanguageAndClosingKeepsTheDevice_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("sendText");
    QTest::newRow("Chinese") << int(kChinese) << QString::fromUtf8("发送我的设置");
    QTest::newRow("English") << int(kEnglish) << QString("Send mine");
  }
  void rowsFollowTheLanguageAndClosingKeepsTheDevice() {
    QFETCH(int, language);
    QFETCH(QString, sendText);
    SetCurrentLanguage(language);
    ResetDataModel();
    const ParameterImageBytes device = WorkingSettings();
    SetParameter(1, 0x0E, 55);
    WriteEqBand(kEqMicA, 4, 1, 160, 6.0f, 1.414f);
    const std::vector<SettingsDifference> differences = DiffSettings(device, WorkingSettings());
    QCOMPARE(int(differences.size()), 2);

    ReconcileDialog dialog(differences);
    QCOMPARE(dialog.Table().rowCount(), 2);
    const int text = language == kEnglish ? kTextEnglish : kTextChinese;
    for (int row = 0; row < 2; ++row) {
      const SettingsDifference& d = differences[std::size_t(row)];
      QCOMPARE(dialog.Table().item(row, 1)->text(), QString::fromStdString(d.item[text]));
      QCOMPARE(dialog.Table().item(row, 2)->text(), QString::fromStdString(d.first[text]));
      QCOMPARE(dialog.Table().item(row, 3)->text(), QString::fromStdString(d.second[text]));
    }
    QCOMPARE(dialog.SendMineButton().text(), sendText);

    dialog.show();
    if (const QString folder = qEnvironmentVariable("DSPTUNE_SCREENSHOTS"); !folder.isEmpty()) {
      QDir().mkpath(folder);
      dialog.grab().save(QDir(folder).filePath(QString("reconcile-%1.png").arg(language)));
    }
    dialog.reject();  // Esc or the window's close button
    QCOMPARE(dialog.Choice(), ReconcileChoice::KeepDevice);
    dialog.SendMineButton().click();
    QCOMPARE(dialog.Choice(), ReconcileChoice::SendMine);
    dialog.KeepDeviceButton().click();
    QCOMPARE(dialog.Choice(), ReconcileChoice::KeepDevice);
  }
};

QTEST_MAIN(ReconcileDialogTest)
#include "ReconcileDialogTest.moc"
