// "Auto EQ from measurement…" on the music EQ's graph: Apply stores exactly the fitted
// bands as one undoable step, sent as edits are; Cancel changes nothing; unreadable
// lines and an uncovered range are said in the dialog in the interface language; the
// measurement stays over the graph through hand edits until it is cleared.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

#include "autoeq/EqFit.h"
#include "dsp/Biquad.h"
#include "editors/AutoEqDialog.h"
#include "editors/EqGraphPanel.h"
#include "editors/MicMusicPage.h"
#include "editors/model/EqFilterImport.h"
#include "link/LinkState.h"
#include "model/EditJournal.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/editors/PageTestSupport.h"
#include "tests/model/RecordingWriter.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kEq = kEqMusic;

std::vector<std::uint8_t> StoredBands() {
  return ReadLiveBytes(EqBandOffset(kEq, 0), FilterBandCount(kEq) * kBandRecordSize);
}

BandRecord Stored(int band) { return DecodeBandRecord(ReadLiveBytes(EqBandOffset(kEq, band), kBandRecordSize).data()); }

// Pixels of `color` in the picture (the curves are drawn antialiased: only exact hits count).
int PixelsOf(const QImage& image, const QColor& color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (color.rgb() & 0xFFFFFF);
  return n;
}

}  // namespace

class AutoEqDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void init() {
    SetCurrentLanguage(kEnglish);
    ResetLinkState();
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    SetCoefficientWriter(&writer_);  // ResetLinkState in cleanup gives them back to the link
    dialogs_ = ScriptedDialogs();
    SetDialogService(&dialogs_);
    // A hand-set band, so "everything as before" is more than the defaults.
    WriteEqBand(kEq, 4, kFilterPeq, 2500, 3.5f, 2.0f);
    page_ = std::make_unique<MicMusicPage>(MicMusicPage::kMusic);
    page_->resize(1280, 760);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    CurrentJournal().Clear();
    writer_.sent.clear();
  }

  void cleanup() {
    page_.reset();
    SetAutoEqDialogRunner(nullptr);
    SetDialogService(nullptr);
    SetDeviceWriter(nullptr);
    ResetLinkState();
  }

  void theMenuOffersAutoEqInBothLanguages() {
    for (int language : {kEnglish, kChinese}) {
      SetCurrentLanguage(language);
      page_->ApplyTexts();
      QStringList offered = Offered();
      QVERIFY2(offered.endsWith(language == kEnglish ? "Auto EQ from measurement…" : "根据测量自动均衡…"),
               qPrintable(offered.join(" | ")));
      // The dialog speaks the same language.
      AutoEqDialog dialog(Graph());
      QVERIFY(dialog.windowTitle().startsWith(language == kEnglish ? "Auto EQ from measurement - "
                                                                   : "根据测量自动均衡 - "));
      QCOMPARE(dialog.ApplyButton().text(), QString(language == kEnglish ? "Apply" : "应用"));
    }
  }

  void applySetsTheFittedBandsAsOneUndoStep() {
    const std::vector<std::uint8_t> before = StoredBands();
    FitResult fitted;
    SetAutoEqDialogRunner([&](AutoEqDialog& dialog) {
      UseRoom(dialog);
      if (!dialog.Fit()) return int(QDialog::Rejected);
      fitted = dialog.Result();
      QTest::mouseClick(&dialog.ApplyButton(), Qt::LeftButton);
      return dialog.result();
    });
    Pick("Auto EQ from measurement…");

    QVERIFY(fitted.ok);
    int used = 0;
    for (const FittedBand& band : fitted.bands) {
      const BandRecord r = Stored(band.slot);
      QCOMPARE(int(r.type), int(band.record.type));
      QCOMPARE(int(r.frequency), int(band.record.frequency));
      QCOMPARE(int(r.gainField), int(band.record.gainField));
      QCOMPARE(int(r.qField), int(band.record.qField));
      used += band.used;
      // The page reloaded: its graph shows what was stored.
      QCOMPARE(Graph().Model().BandAt(band.slot)->frequency, float(band.record.frequency));
    }
    QVERIFY(used >= 2);  // the two room modes
    QVERIFY(fitted.rmsAfterDb < fitted.rmsBeforeDb);
    // Sent as band edits are: each band's record (and its coefficients) went to the writer.
    for (const FittedBand& band : fitted.bands) {
      const bool sent = std::any_of(writer_.sent.begin(), writer_.sent.end(), [&](const test::SentWrite& w) {
        return w.kind == test::SentWrite::Live && w.offset == EqBandOffset(kEq, band.slot);
      });
      QVERIFY2(sent, qPrintable(QString("band %1 was not sent").arg(band.slot + 1)));
    }
    QVERIFY(std::any_of(writer_.sent.begin(), writer_.sent.end(),
                        [](const test::SentWrite& w) { return w.kind == test::SentWrite::Dsp; }));

    QCOMPARE(CurrentJournal().UndoSteps(), std::size_t(1));
    QCOMPARE(QString::fromStdString(CurrentJournal().UndoText(kEnglish)), QString("Auto EQ from measurement"));
    QVERIFY(CurrentJournal().Undo());
    QCOMPARE(StoredBands(), before);
  }

  void cancelChangesNothing() {
    const std::vector<std::uint8_t> before = StoredBands();
    SetAutoEqDialogRunner([&](AutoEqDialog& dialog) {
      UseRoom(dialog);
      if (!dialog.Fit()) return int(QDialog::Accepted);  // fails the test below
      dialog.reject();
      return dialog.result();
    });
    Pick("Auto EQ from measurement…");
    QCOMPARE(StoredBands(), before);
    QCOMPARE(CurrentJournal().UndoSteps(), std::size_t(0));
    QVERIFY(writer_.sent.empty());
    QVERIFY(!Graph().ShowsMeasurement());
  }

  // Each problem is said in the dialog, in the interface language, and leaves Apply off.
  void problemsAreShownInTheInterfaceLanguage() {
    const QString partly = Write("partly.txt", Room().replace("20.02 78.20", "twenty 78.20"));
    const struct {
      int language;
      QString file;
      bool added;
      bool range;  // the fit range is set past what the file covers
      const char* shows;
    } rows[] = {
        {kEnglish, partly, true, false, "Line 9: cannot read this line: twenty"},
        {kChinese, partly, true, false, "第9行：无法读取此行：twenty"},
        {kEnglish, dir_.filePath("missing.txt"), false, false, "missing.txt: no such file"},
        {kChinese, dir_.filePath("missing.txt"), false, false, "missing.txt：文件不存在"},
        {kEnglish, Write("room.txt", Room()), true, true, nullptr},
        {kChinese, Write("room.txt", Room()), true, true, nullptr},
    };
    for (const auto& row : rows) {
      SetCurrentLanguage(row.language);
      AutoEqDialog dialog(Graph());
      QCOMPARE(dialog.AddMeasurementFile(row.file), row.added);
      if (row.range) dialog.HighHz().setValue(5000);  // the file ends at 1 kHz
      const bool fitted = dialog.Fit();
      QCOMPARE(fitted, row.added && !row.range);
      QCOMPARE(dialog.ApplyButton().isEnabled(), fitted);
      const QString shown = dialog.Problems().text();
      const QString want = row.shows ? QString::fromUtf8(row.shows)
                                     : QString::fromStdString(dialog.Result().error[std::size_t(row.language)]);
      QVERIFY2(!want.isEmpty() && shown.contains(want), qPrintable(shown + " // wanted: " + want));
      if (!fitted) QVERIFY(!dialog.Apply());
    }
    QCOMPARE(CurrentJournal().UndoSteps(), std::size_t(0));
  }

  // After Apply the measurement stays over the graph; a hand edit moves the predicted
  // result with it; "Clear the measurement" takes it away.
  void theMeasurementStaysThroughHandEdits() {
    SetAutoEqDialogRunner([this](AutoEqDialog& dialog) {
      UseRoom(dialog);
      KeepPictures(dialog);
      return dialog.Apply() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    Pick("Auto EQ from measurement…");
    QVERIFY(Graph().ShowsMeasurement());
    QVERIFY(PixelsOf(Graph().grab().toImage(), EqGraphPanel::kResultColor) > 20);

    const std::vector<float> result = Graph().MeasuredResult();
    const int band = 7;
    const auto responseBefore = Graph().Model().BandAt(band)->response;
    Graph().Model().SetBandFrequency(band, 80.0f);
    Graph().Model().SetBandGain(band, Graph().Model().BandAt(band)->gain - 6.0f);
    emit Graph().BandChanged(band);
    QCOMPARE(int(Stored(band).frequency), 80);  // the hand edit went out as usual
    QVERIFY(Graph().ShowsMeasurement());
    // The result moved by exactly what the band's response did.
    const std::vector<float> edited = Graph().MeasuredResult();
    const auto& responseAfter = Graph().Model().BandAt(band)->response;
    double moved = 0, off = 0;
    for (std::size_t i = 0; i < std::size_t(kResponsePoints); ++i) {
      if (!std::isfinite(result[i])) continue;
      const double change = double(responseAfter[i]) - double(responseBefore[i]);
      moved = std::max(moved, std::fabs(change));
      off = std::max(off, std::fabs(double(edited[i]) - double(result[i]) - change));
    }
    QVERIFY(moved > 1.0);
    QVERIFY2(off < 1e-3, qPrintable(QString("the result is %1 dB off the edit").arg(off)));
    QVERIFY(PixelsOf(Graph().grab().toImage(), EqGraphPanel::kResultColor) > 20);
    KeepPicture(Graph(), "graph-after-hand-edit");

    QVERIFY(Offered().contains("Clear the measurement"));
    Pick("Clear the measurement");
    QVERIFY(!Graph().ShowsMeasurement());
    QCOMPARE(PixelsOf(Graph().grab().toImage(), EqGraphPanel::kResultColor), 0);
    QVERIFY(!Offered().contains("Clear the measurement"));
  }

 private:
  EqGraphPanel& Graph() { return page_->EqPanel(); }

  static QString RoomPath() { return QStringLiteral(DSPTUNE_EDITORS_DATA "/small-room.txt"); }
  static QString Room() {
    QFile file(RoomPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  void UseRoom(AutoEqDialog& dialog) {
    QVERIFY(dialog.AddMeasurementFile(RoomPath()));
    dialog.LowHz().setValue(20);
    dialog.HighHz().setValue(300);
  }

  QString Write(const QString& name, const QString& text) {
    QFile file(dir_.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(text.toUtf8());
    return file.fileName();
  }

  // DSPTUNE_GRAPH_PICTURES=DIR keeps pictures of the dialog and the graph to look at.
  static void KeepPicture(QWidget& widget, const char* name) {
    if (const QString keep = qEnvironmentVariable("DSPTUNE_GRAPH_PICTURES"); !keep.isEmpty())
      widget.grab().save(keep + "/" + name + ".png");
  }
  void KeepPictures(AutoEqDialog& dialog) {
    if (qEnvironmentVariable("DSPTUNE_GRAPH_PICTURES").isEmpty()) return;
    const auto shoot = [](AutoEqDialog& d, const char* name) {
      d.TargetBox().setCurrentIndex(AutoEqDialog::kTargetHouse);
      d.MaxBoost().setValue(3.0);
      d.Fit();
      d.show();
      QApplication::processEvents();
      KeepPicture(d, name);
    };
    shoot(dialog, "auto-eq-dialog-en");
    SetCurrentLanguage(kChinese);
    AutoEqDialog chinese(Graph());
    UseRoom(chinese);
    chinese.AddMeasurementFile(Write("partly.txt", Room().replace("20.02 78.20", "twenty 78.20")));
    shoot(chinese, "auto-eq-dialog-zh");
    SetCurrentLanguage(kEnglish);
  }

  QStringList Offered() { return test::GraphMenuEntries(Graph()); }
  void Pick(const QString& text) { test::PickGraphMenuEntry(Graph(), text); }

  QTemporaryDir dir_;
  ScriptedDialogs dialogs_;
  test::RecordingWriter writer_;
  std::unique_ptr<MicMusicPage> page_;
};

}  // namespace dsptune

QTEST_MAIN(dsptune::AutoEqDialogTest)
#include "AutoEqDialogTest.moc"
