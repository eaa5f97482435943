// The reconcile dialog: one row per question in the current language, a side to keep
// per row, the device's own changes listed apart, and closing it keeps the device's
// settings. With DSPTUNE_SCREENSHOTS set to a folder it also saves
// a picture of itself there, to look at.
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "model/SettingsDiff.h"
#include "model/SettingsMerge.h"
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

    ReconcileDialog dialog(MergeSettings(std::nullopt, WorkingSettings(), device));
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

  // With the settings the device last confirmed, only the user's edit and the conflict
  // are rows: the edit starts as mine, the conflict as the device's, each row's box
  // changes only its own item, and the device's own change is listed below them.
  void questionsAreRowsAndTheDevicesChangesAreListed() {
    SetCurrentLanguage(kEnglish);
    ResetDataModel();
    const ParameterImageBytes base = WorkingSettings();
    SetParameter(4, 0x0C, 37);  // Music Vol, on the device
    SetParameter(1, 0x0E, 60);  // Mic Vol, on the device
    const ParameterImageBytes device = WorkingSettings();
    ResetDataModel();
    SetParameter(1, 0x0E, 55);  // Mic Vol, mine: a conflict
    WriteEqBand(kEqMicA, 4, 1, 160, 6.0f, 1.414f);
    const SettingsMerge merge = MergeSettings(base, WorkingSettings(), device);

    ReconcileDialog dialog(merge);
    QCOMPARE(dialog.Table().rowCount(), 2);
    QCOMPARE(dialog.Table().item(0, 1)->text(), QString("band 5"));
    QCOMPARE(dialog.SideBox(0).currentIndex(), 1);  // mine
    QCOMPARE(dialog.Table().item(1, 1)->text(), QString("Mic Vol"));
    QCOMPARE(dialog.Table().item(1, 2)->text(), QString("60%"));
    QCOMPARE(dialog.Table().item(1, 3)->text(), QString("55%"));
    QCOMPARE(dialog.SideBox(1).currentIndex(), 0);  // the device's
    QVERIFY(!dialog.DeviceChanges().isHidden());
    QCOMPARE(dialog.DeviceChanges().rowCount(), 1);
    QCOMPARE(dialog.DeviceChanges().item(0, 1)->text(), QString("Music Vol"));
    QCOMPARE(dialog.DeviceChanges().item(0, 3)->text(), QString("37%"));

    dialog.SideBox(0).setCurrentIndex(0);
    dialog.SideBox(1).setCurrentIndex(1);
    ParameterImageBytes expected = device;
    const int mic = FindRecord(1, 0x0E)->ValueOffset();
    std::copy(merge.mine.begin() + mic, merge.mine.begin() + mic + 4, expected.begin() + mic);
    QCOMPARE(MergedSettings(dialog.Merge()), expected);
    if (const QString folder = qEnvironmentVariable("DSPTUNE_SCREENSHOTS"); !folder.isEmpty()) {
      dialog.show();
      QDir().mkpath(folder);
      dialog.grab().save(QDir(folder).filePath("reconcile-three-way.png"));
    }
  }
};

QTEST_MAIN(ReconcileDialogTest)
#include "ReconcileDialogTest.moc"
