// The EQ graph's file entries and the output page's chain curve: import as one undoable
// step reported line by line, export, pictures in PNG and SVG, the response as CSV.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <complex>
#include <memory>

#include "editors/ChainOverlayControl.h"
#include "editors/EqGraphPanel.h"
#include "editors/GraphFileMenu.h"
#include "editors/OutputPage.h"
#include "dsp/Biquad.h"
#include "editors/model/ChannelChain.h"
#include "editors/model/OutputChannels.h"
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

constexpr int kCh3 = 2;

BandRecord Stored(int eq, int band) {
  return DecodeBandRecord(ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize).data());
}

OutputPageServices QuietServices() {
  OutputPageServices s;
  s.optionRecord = [] { return QByteArray(8, '\0'); };
  s.saveOptionRecord = [](const QByteArray&) { return true; };
  s.showInfoPopup = [](const QString&, int) {};
  return s;
}

}  // namespace

class GraphFileMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    SetDialogService(&dialogs_);
    QVERIFY(dir_.isValid());
  }

  void init() {
    SetCurrentLanguage(kEnglish);
    ResetLinkState();
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    CurrentJournal().Clear();
    dialogs_ = ScriptedDialogs();
    SetDialogService(&dialogs_);
    page_ = std::make_unique<OutputPage>(kCh3, QuietServices());
    page_->resize(1280, 760);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
  }

  void cleanup() {
    page_.reset();
    SetImageSizeAsker(nullptr);
    SetDeviceWriter(nullptr);
    ResetLinkState();
  }

  // A right click on an empty spot of the graph offers the entries in the page's language.
  void theMenuOffersTheFileEntries() {
    for (int language : {kEnglish, kChinese}) {
      SetCurrentLanguage(language);
      page_->ApplyTexts();
      const QStringList offered = test::GraphMenuEntries(Graph());
      const QStringList want = language == kEnglish
                                   ? QStringList{"Copy EQ", "Paste EQ", "Import filters…", "Export filters…",
                                                 "Save graph as image…", "Save response as CSV…",
                                                 "Auto EQ from measurement…"}
                                   : QStringList{"复制均衡", "粘贴均衡", "导入滤波器…", "导出滤波器…",
                                                 "保存图形为图片…", "保存响应为CSV…", "根据测量自动均衡…"};
      QCOMPARE(offered, want);
    }
  }

  void importIsOneUndoableStepReportedLineByLine() {
    const QString path = Write("room.txt",
                               "Preamp: -6 dB\r\nFilter 1: ON PK Fc 125 Hz Gain -4.5 dB Q 2.10\r\n"
                               "Filter 2: ON LS Fc 40 Hz Gain 20 dB Q 0.7\r\n");
    dialogs_.openAnswer = path;
    const BandRecord before = Stored(ChannelEq(kCh3), 0);
    const BandRecord crossover = Stored(ChannelEq(kCh3), 9);
    Pick("Import filters…");

    QCOMPARE(int(Stored(ChannelEq(kCh3), 0).frequency), 125);
    QCOMPARE(int(Stored(ChannelEq(kCh3), 1).gainField), 300);
    QCOMPARE(int(Stored(ChannelEq(kCh3), 9).type), int(crossover.type));
    // The page reloaded: graph and list show the imported bands.
    QCOMPARE(Graph().Model().BandAt(0)->frequency, 125.0f);
    QCOMPARE(Graph().Model().BandAt(1)->type, 4);
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown[0].text, QString("Imported 2 filter(s) into CH3 EQ.\n"
                                             "Line 1: preamp -6.0 dB not applied\n"
                                             "Line 3: gain 20.0 dB held at 15.0 dB"));

    QCOMPARE(CurrentJournal().UndoSteps(), std::size_t(1));
    QVERIFY(CurrentJournal().Undo());
    QCOMPARE(int(Stored(ChannelEq(kCh3), 0).frequency), int(before.frequency));
    QCOMPARE(int(Stored(ChannelEq(kCh3), 1).gainField), 150);

    // A file without a usable filter changes nothing and says so, in Chinese too.
    SetCurrentLanguage(kChinese);
    page_->ApplyTexts();
    dialogs_.openAnswer = Write("none.txt", "Filter 1: OFF PK Fc 100 Hz Gain 3 dB Q 1\n");
    Pick("导入滤波器…");
    QCOMPARE(dialogs_.shown.last().text, QString("文件中没有可用的滤波器，未做任何更改"));
    QCOMPARE(CurrentJournal().UndoSteps(), std::size_t(0));
  }

  void exportWritesTheFiltersBack() {
    WriteEqBand(ChannelEq(kCh3), 0, 1, 63, -3.0f, 4.0f);
    dialogs_.saveAnswer = dir_.filePath("ch3.txt");
    Pick("Export filters…");
    QCOMPARE(dialogs_.saveRequests.last().proposedName, QString("CH3 EQ.txt"));
    QFile file(dialogs_.saveAnswer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.contains("Filter 1: ON PK Fc 63 Hz Gain -3.0 dB Q 4.000\n"), qPrintable(text));
    QCOMPARE(text.count("Filter "), 1 + 10);  // the header line, then bands 1..10 as the page edits them
  }

  // Pictures at the graph's size and at a chosen one, in the graph's colours.
  void savesTheGraphAsPngAndSvg() {
    const QSize graph = Graph().size();
    const struct {
      const char* name;
      QSize size;
    } rows[] = {{"graph.png", graph}, {"big.png", QSize(1600, 900)}, {"graph.svg", graph}, {"small.svg", {400, 200}}};
    for (const auto& row : rows) {
      dialogs_.saveAnswer = dir_.filePath(row.name);
      SetImageSizeAsker([&row](QWidget*, QSize offered) -> std::optional<QSize> {
        return offered.isValid() ? std::optional<QSize>(row.size) : std::nullopt;
      });
      Pick("Save graph as image…");
      QVERIFY2(QFile::exists(dialogs_.saveAnswer), row.name);
      if (QString(row.name).endsWith(".png")) {
        const QImage image(dialogs_.saveAnswer);
        QCOMPARE(image.size(), row.size);
        QCOMPARE(image.pixel(2, 2) & 0xFFFFFF, qRgb(20, 20, 20) & 0xFFFFFF);  // the background
        // The summed curve in its colour crosses the picture.
        int curve = 0;
        for (int y = 0; y < image.height(); ++y) curve += (image.pixel(image.width() / 2, y) & 0xFFFFFF) == (qRgb(0, 200, 255) & 0xFFFFFF);
        QVERIFY2(curve > 0, row.name);
      } else {
        QFile file(dialogs_.saveAnswer);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray svg = file.readAll();
        QVERIFY(svg.contains("<svg"));
        QVERIFY2(svg.contains(QString("viewBox=\"0 0 %1 %2\"").arg(row.size.width()).arg(row.size.height()).toLatin1()),
                 svg.left(600).constData());
        QVERIFY(svg.contains("#00c8ff"));  // the summed curve's colour, as a vector stroke
      }
    }
    // Cancelling the size writes nothing.
    dialogs_.saveAnswer = dir_.filePath("cancelled.png");
    SetImageSizeAsker([](QWidget*, QSize) { return std::optional<QSize>(); });
    Pick("Save graph as image…");
    QVERIFY(!QFile::exists(dialogs_.saveAnswer));
  }

  // In the file dialog itself: choosing "SVG image" and typing a bare name saves an SVG
  // under that name with .svg added, not a PNG under the first type's suffix.
  void theChosenFileTypeDecidesTheFormat() {
    SetDialogService(nullptr);
    SetImageSizeAsker([](QWidget*, QSize offered) { return std::optional<QSize>(offered); });
    bool answered = false;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || answered) return;
      answered = true;
      dialog->setDirectory(dir_.path());
      auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      if (types == nullptr || name == nullptr) return dialog->reject();
      QTest::keyClick(types, Qt::Key_Down);  // "PNG image" to "SVG image", as the keyboard picks it
      name->clear();
      QTest::keyClicks(name, "chosen type");
      QTest::keyClick(name, Qt::Key_Return);
    });
    poll.start();
    Pick("Save graph as image…");
    poll.stop();
    QVERIFY(answered);
    QVERIFY(!QFile::exists(dir_.filePath("chosen type.png")));
    QVERIFY(!QFile::exists(dir_.filePath("chosen type")));
    QFile file(dir_.filePath("chosen type.svg"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(300);
    QVERIFY2(head.startsWith("<?xml") && head.contains("<svg"), head.constData());
  }

  // A picture at twice the graph's size is the graph enlarged: the text over the plot
  // is twice as tall, where a larger canvas alone would keep it screen-sized.
  void aLargerPictureEnlargesTheText() {
    const QSize graph = Graph().size();
    const QString once = dir_.filePath("once.png"), twice = dir_.filePath("twice.png");
    QVERIFY(WriteGraphImage(Graph(), once, graph));
    QVERIFY(WriteGraphImage(Graph(), twice, graph * 2));
    const int small = TopTextHeight(QImage(once)), large = TopTextHeight(QImage(twice));
    QVERIFY2(small >= 8 && std::abs(large - 2 * small) <= 3,
             qPrintable(QString("text %1 px tall at the graph's size, %2 px at twice it").arg(small).arg(large)));
  }

  // An import into a linked channel reaches its partner as a band edit does, in the same
  // undo step, and the report names both.
  void importReachesTheLinkedChannel() {
    const int roles[kOutputChannelCount] = {kRoleSub, kRoleCentre, kRoleFrontLeft, kRoleSub,
                                            kRoleSub, kRoleFrontRight, kRoleCentre, kRoleCentre};
    for (int c = 0; c < kOutputChannelCount; ++c) WriteChannelRole(c, roles[c]);
    OutputPageServices services = QuietServices();
    services.optionRecord = [] { return QByteArray("\x01\x00\x00\x00\x00\x00\x00\x00", 8); };  // FL+FR linked
    page_ = std::make_unique<OutputPage>(kCh3, services);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    CurrentJournal().Clear();
    constexpr int kCh6 = 5;
    const BandRecord partnerBefore = Stored(ChannelEq(kCh6), 0);

    dialogs_.openAnswer = Write("linked.txt", "Filter 1: ON PK Fc 125 Hz Gain -4.5 dB Q 2.10\n"
                                              "Filter 2: ON LS Fc 40 Hz Gain 2 dB Q 0.7\n");
    Pick("Import filters…");
    for (int b = 0; b < 9; ++b) {  // no tenth filter: each channel keeps its crossover
      const BandRecord mine = Stored(ChannelEq(kCh3), b), partner = Stored(ChannelEq(kCh6), b);
      QCOMPARE(int(partner.frequency), int(mine.frequency));
      QCOMPARE(int(partner.gainField), int(mine.gainField));
      QCOMPARE(int(partner.qField), int(mine.qField));
      QCOMPARE(int(partner.type), int(mine.type));
    }
    QCOMPARE(int(Stored(ChannelEq(kCh6), 0).frequency), 125);
    QCOMPARE(int(Stored(ChannelEq(0), 0).frequency), int(partnerBefore.frequency));  // no partner
    QCOMPARE(dialogs_.shown.last().text, QString("Imported 2 filter(s) into CH3 EQ, CH6 EQ."));
    QCOMPARE(CurrentJournal().UndoSteps(), std::size_t(1));
    QVERIFY(CurrentJournal().Undo());
    QCOMPARE(int(Stored(ChannelEq(kCh6), 0).frequency), int(partnerBefore.frequency));
  }

  // Every row of the saved response is the sum of the bands' own magnitudes, worked out
  // here from their designed coefficients: sharp bands whose peaks fall between grid
  // points, and the crossover of a sub channel.
  void csvRowsAreTheSumOfTheBands() {
    const int eq = ChannelEq(kCh3);
    ResetSubChannelEq(eq);
    WriteEqBand(eq, 2, kFilterPeq, 250, -15.0f, 30.0f);
    WriteEqBand(eq, 5, kFilterPeq, 1000, -15.0f, 30.0f);
    WriteEqBand(eq, 6, kFilterPeq, 3000, 12.0f, 20.0f);
    WriteEqBand(eq, 7, kFilterHighShelf, 8000, -6.0f, 0.7f);
    page_->RefreshPage();
    dialogs_.saveAnswer = dir_.filePath("sharp.csv");
    Pick("Save response as CSV…");
    QFile file(dialogs_.saveAnswer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + kResponsePoints + 1);

    // Band by band from the stored records; a crossover's sections run at its head's frequency.
    std::vector<BiquadCoefficients> sections;
    const int head = 9;
    for (int b = 0; b < 13; ++b) {
      const BandRecord r = Stored(eq, b);
      if (r.type == 0) continue;
      const double hz = b > head ? Stored(eq, head).frequency : r.frequency;
      sections.push_back(DesignBiquad(r.type, hz, r.GainDb(), r.Q(), 0.0, kDeviceSampleRate));
    }
    double worst = 0.0;
    QString worstRow;
    for (int i = 0; i < kResponsePoints; ++i) {
      const QList<QByteArray> cells = lines[i + 1].split(',');
      QCOMPARE(cells.size(), 2);
      const double f = cells[0].toDouble();
      double expected = 0.0;
      for (const BiquadCoefficients& c : sections) {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * f / kDeviceSampleRate);
        const std::complex<double> z2 = z1 * z1;
        expected += 20.0 * std::log10(std::abs((c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2)));
      }
      const double off = std::fabs(cells[1].toDouble() - expected);
      if (off > worst) {
        worst = off;
        worstRow = QString("%1 (expected %2)").arg(QString::fromLatin1(lines[i + 1])).arg(expected, 0, 'f', 4);
      }
    }
    // The grid's frequencies are written to 3 decimals: a sharp band's slope over that
    // much stays far below this.
    QVERIFY2(worst < 0.02, qPrintable(worstRow));
  }

  void chainCurveOverlaysTheGraphAndGoesIntoTheCsv() {
    WriteEqBand(kEqMicA, 3, 1, 100, -6.0f, 2.0f);
    ResetSubChannelEq(ChannelEq(kCh3));
    page_->RefreshPage();
    ChainOverlayControl& chain = page_->ChainOverlay();
    QVERIFY(Graph().OverlayCurve().empty());
    chain.Switch().setChecked(true);
    const auto expected = ChainResponse(kCh3, RoutedChainSource(kCh3));
    QCOMPARE(Graph().OverlayCurve(), std::vector<float>(expected.begin(), expected.end()));
    QCOMPARE(Graph().OverlayCaption(), QString("Chain: Mic A EQ → CH3 EQ"));

    // A band edit on the page moves the curve at once.
    page_->SetChannel(kCh3);
    Graph().Model().SetBandGain(2, 6.0f);
    emit Graph().BandChanged(2);
    const auto edited = ChainResponse(kCh3, RoutedChainSource(kCh3));
    QCOMPARE(Graph().OverlayCurve(), std::vector<float>(edited.begin(), edited.end()));
    chain.SourceChoice().setCurrentIndex(3);
    QCOMPARE(Graph().OverlayCaption(), QString("Chain: Music EQ → CH3 EQ"));

    dialogs_.saveAnswer = dir_.filePath("ch3.csv");
    Pick("Save response as CSV…");
    QFile file(dialogs_.saveAnswer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + kResponsePoints + 1);  // header, rows, the empty rest after the last '\n'
    QCOMPARE(lines[0], QByteArray("frequency_hz,db,chain_db"));
    QVERIFY(lines[1].startsWith("18.000,"));

    // DSPTUNE_GRAPH_PICTURES=DIR keeps a picture of the page and the graph to look at.
    if (const QString keep = qEnvironmentVariable("DSPTUNE_GRAPH_PICTURES"); !keep.isEmpty()) {
      chain.SourceChoice().setCurrentIndex(0);
      page_->grab().save(keep + "/output-page-chain.png");
      QVERIFY(WriteGraphImage(Graph(), keep + "/ch3-graph.svg", Graph().size()));
      QVERIFY(WriteGraphImage(Graph(), keep + "/ch3-graph.png", QSize(1200, 500)));
    }

    chain.Switch().setChecked(false);
    QVERIFY(Graph().OverlayCurve().empty());
  }

 private:
  EqGraphPanel& Graph() { return page_->EqPanel(); }

  QString Write(const QString& name, const QByteArray& text) {
    QFile file(dir_.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(text);
    return file.fileName();
  }

  // The height of the first line of text from the top (the status line and the title
  // above the plot): the run of rows from the first one holding a light pixel right of
  // the gain labels.
  static int TopTextHeight(const QImage& image) {
    const auto lit = [&image](int y) {
      for (int x = image.width() / 20; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) > 80) return true;
      return false;
    };
    int y = 0;
    while (y < image.height() && !lit(y)) ++y;
    const int first = y;
    while (y < image.height() && lit(y)) ++y;
    return y - first;
  }

  // Chooses the menu entry with this text.
  void Pick(const QString& text) { test::PickGraphMenuEntry(Graph(), text); }

  QTemporaryDir dir_;
  ScriptedDialogs dialogs_;
  test::RecordingWriter writer_;
  std::unique_ptr<OutputPage> page_;
};

}  // namespace dsptune

QTEST_MAIN(dsptune::GraphFileMenuTest)
#include "GraphFileMenuTest.moc"
