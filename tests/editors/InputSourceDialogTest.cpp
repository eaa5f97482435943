// The music input source window: the rows each model's variant shows (in order, with
// their labels), the exact record behind every radio and slider of every variant, what a
// refresh loads (also out-of-range and hidden values), the conditional SPDIF row of the
// LQ4.1, the texts of dialog 512 in both languages, open/close, the wheel, and that
// nothing is clipped.
#include <QButtonGroup>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "editors/InputSourceDialog.h"
#include "model/Conversions.h"
#include "model/ParameterImage.h"
#include "ui/LanguageTables.h"
#include "ui/InterfaceLanguage.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::UseLanguage;

namespace {

constexpr int kTemplates[] = {512, 527, 528, 529, 530, 532, 534, 535, 536};

void UseDevice(const char* model, int protocol) {
  UpdateIdentity([=](DeviceIdentity& id) { id = DeviceIdentity::With(model, protocol, "", ""); });
}

std::vector<std::uint8_t> PercentBytes(int value) {
  const std::uint32_t word = UiValueToWord(ConversionKind::Percent, value);
  return {std::uint8_t(word >> 24), std::uint8_t(word >> 16), std::uint8_t(word >> 8), std::uint8_t(word)};
}

// The variant's visible rows top to bottom as the window shows them: "label=source" (a
// kept source the variant does not offer is not one of them).
QStringList ShownRows(const InputSourceDialog& dialog) {
  QList<QRadioButton*> radios;
  for (int k = 0; k < kInputSourceCount; ++k)
    if (dialog.SourceButton(k).isVisible() && k != dialog.KeptSource()) radios << &dialog.SourceButton(k);
  std::sort(radios.begin(), radios.end(), [](QRadioButton* a, QRadioButton* b) { return a->y() < b->y(); });
  QStringList rows;
  for (QRadioButton* radio : radios) rows << QString("%1=%2").arg(radio->text()).arg(dialog.SourceGroup().id(radio));
  return rows;
}

void Wheel(QWidget* target, QPoint globalPos, int notches) {
  const QPointF local = target->mapFromGlobal(QPointF(globalPos));
  QWheelEvent event(local, QPointF(globalPos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

}  // namespace

class InputSourceDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    UseLanguage(kEnglish);
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
  }
  void cleanup() {
    dialog_.reset();
    SetDeviceWriter(nullptr);
  }

  void variantRows_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("templateNumber");
    QTest::addColumn<QStringList>("rows");
    QStringList all;
    for (int k = 0; k < kInputSourceCount; ++k)
      all << QString("%1=%2").arg(QString::fromLatin1(DefaultSourceLabel(k).data(), DefaultSourceLabel(k).size())).arg(k);
    QTest::newRow("AMP540") << "AMP540" << 20 << 512 << all;
    QTest::newRow("unknown model") << "XK9" << 20 << 512 << all;
    QTest::newRow("LQ4.1 on 20") << "LQ4.1" << 20 << 527
                                 << QStringList{"Android=3", "HDMI1=0", "HDMI2=1", "HDMI3=2", "SPDIF1=5"};
    QTest::newRow("LQ4.1 on 17") << "LQ4.1" << 17 << 527 << QStringList{"Android=3", "HDMI1=0", "HDMI2=1", "HDMI3=2"};
    QTest::newRow("LQ480") << "LQ480" << 20 << 528 << QStringList{"AUX=11", "SPDIF=5", "COAX=8"};
    QTest::newRow("LQ620") << "LQ620" << 20 << 529 << QStringList{"SPDIF1=5", "AUX=11"};
    QTest::newRow("LQ830") << "LQ830" << 20 << 530
                           << QStringList{"HDMI1=0", "HDMI2=1", "HDMI3=2", "HDMI4=3", "SPDIF1=5", "AUX1=11"};
    QTest::newRow("RN830") << "RN830" << 20 << 532
                           << QStringList{"Android=0", "HDMI1=1", "HDMI2=2", "HDMI3=3", "SPDIF1=5", "SPDIF2=6", "AUX1=11"};
    QTest::newRow("4R830JJ") << "4R830JJ" << 20 << 534
                             << QStringList{"HDMI1=0",  "HDMI2=1",  "HDMI3=2", "HDMI4=3",
                                            "SPDIF1=5", "SPDIF2=6", "AUX1=11", "Bluetooth=12"};
    QTest::newRow("P620JJ") << "P620JJ" << 20 << 535
                            << QStringList{"SPDIF1=5", "SPDIF2=6", "COAX1=8", "COAX2=9", "AUX1=11"};
    QTest::newRow("LW4.1") << "LW4.1" << 20 << 536 << QStringList{"Android=0", "HDMI1=1", "HDMI2=2", "SPDIF1=5"};
  }
  // The connected model picks the variant; its rows stand top to bottom with their
  // labels, each row's slider and value label beside its radio; all other rows hidden.
  void variantRows() {
    QFETCH(QString, model);
    QFETCH(int, protocol);
    QFETCH(int, templateNumber);
    QFETCH(QStringList, rows);
    UseDevice(model.toLatin1().constData(), protocol);
    dialog_.reset(InputSourceDialog::ForConnectedModel(nullptr));
    QCOMPARE(dialog_->TemplateNumber(), templateNumber);
    ShowDialog();
    QCOMPARE(ShownRows(*dialog_), rows);
    QCOMPARE(int(dialog_->VisibleSources().size()), rows.size());
    QCOMPARE(dialog_->SourceGroup().buttons().size(), kInputSourceCount);
    for (int k = 0; k < kInputSourceCount; ++k) {
      const QRadioButton& radio = dialog_->SourceButton(k);
      QCOMPARE(dialog_->SourceGroup().id(const_cast<QRadioButton*>(&radio)), k);
      QCOMPARE(dialog_->GainSlider(k).isVisible(), radio.isVisible());
      QCOMPARE(dialog_->GainLabel(k).isVisible(), radio.isVisible());
      QCOMPARE(dialog_->GainSlider(k).minimum(), 0);
      QCOMPARE(dialog_->GainSlider(k).maximum(), 100);
      if (!radio.isVisible()) continue;
      const QRect slider = dialog_->GainSlider(k).geometry(), label = dialog_->GainLabel(k).geometry();
      QVERIFY(radio.geometry().right() < slider.left());
      QVERIFY(slider.right() < label.left());
      QVERIFY(std::abs(radio.geometry().center().y() - slider.center().y()) <= 2);
    }
    QVERIFY(writer_.sent.empty());
  }

  // Every visible radio writes its source to 0x17, every visible slider its gain to
  // 0x18 + source and shows it in its own label, in every variant.
  void everyControlWritesItsSource() {
    UseDevice("LQ4.1", 20);  // so that template 527 shows its SPDIF row too
    for (int templateNumber : kTemplates) {
      LoadDefaultImage();
      dialog_ = std::make_unique<InputSourceDialog>(templateNumber);
      ShowDialog();
      for (int k : dialog_->VisibleSources()) {
        const QString where = QString("template %1 source %2").arg(templateNumber).arg(k);
        writer_.sent.clear();
        QTest::mouseClick(&dialog_->SourceButton(k), Qt::LeftButton);
        QVERIFY2(dialog_->SourceButton(k).isChecked(), qPrintable(where));
        ExpectWrites({{0x17, test::Bytes({0, 0, 0, k})}}, where);
        const int gain = 10 + k;
        dialog_->GainSlider(k).setValue(gain);
        ExpectWrites({{std::uint8_t(0x18 + k), PercentBytes(gain)}}, where);
        QCOMPARE(dialog_->GainLabel(k).text(), QString("%1%").arg(gain));
        QCOMPARE(UiValue(4, std::uint8_t(0x18 + k)), gain);
        QCOMPARE(UiValue(4, 0x17), k);
        // The keyboard moves the slider one step and writes the same way.
        QTest::keyClick(&dialog_->GainSlider(k), Qt::Key_Right);
        ExpectWrites({{std::uint8_t(0x18 + k), PercentBytes(gain + 1)}}, where);
      }
      // The other labels (a kept source's too) kept their own values.
      const std::vector<int> offered = dialog_->VisibleSources();
      for (int k = 0; k < kInputSourceCount; ++k) {
        const bool touched = std::find(offered.begin(), offered.end(), k) != offered.end();
        QCOMPARE(dialog_->GainLabel(k).text(), touched ? QString("%1%").arg(11 + k) : QString("100%"));
      }
    }
  }

  // Clicking the radio already checked writes the source again.
  void clickingTheCheckedRadioWritesAgain() {
    dialog_ = std::make_unique<InputSourceDialog>(530);
    ShowDialog();
    QVERIFY(dialog_->SourceButton(11).isChecked());  // default source 11
    QTest::mouseClick(&dialog_->SourceButton(11), Qt::LeftButton);
    QTest::mouseClick(&dialog_->SourceButton(11), Qt::LeftButton);
    ExpectWrites({{0x17, test::Bytes({0, 0, 0, 11})}, {0x17, test::Bytes({0, 0, 0, 11})}}, "again");
    QVERIFY(dialog_->SourceButton(11).isChecked());
  }

  // A refresh loads sliders, labels and the checked radio from the model and writes
  // nothing; a gain outside 0..100 puts the slider at the nearer end and shows the value.
  void refreshLoadsTheModel() {
    dialog_ = std::make_unique<InputSourceDialog>(512);
    const int gains[kInputSourceCount] = {0, 5, 150, 100, 99, -4, 50, 1, 101, 60, 70, 80, 90, 33};
    for (int k = 0; k < kInputSourceCount; ++k) SetParameter(4, std::uint8_t(0x18 + k), gains[k]);
    SetParameter(4, 0x17, 8);
    writer_.sent.clear();
    dialog_->RefreshPage();
    QVERIFY(writer_.sent.empty());
    for (int k = 0; k < kInputSourceCount; ++k) {
      QCOMPARE(dialog_->GainSlider(k).value(), std::clamp(gains[k], 0, 100));
      QCOMPARE(dialog_->GainLabel(k).text(), QString("%1%").arg(gains[k]));
    }
    QCOMPARE(dialog_->SourceGroup().checkedId(), 8);

    // From 150 the slider moved to 99 writes 99 and the label follows.
    dialog_->GainSlider(2).setValue(99);
    ExpectWrites({{0x1A, PercentBytes(99)}}, "150 to 99");
    QCOMPARE(dialog_->GainLabel(2).text(), QString("99%"));
  }

  void hiddenOrUnknownSelection_data() {
    QTest::addColumn<int>("templateNumber");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("checkedId");  // -1: no radio at all
    QTest::newRow("hidden row in 528") << 528 << 0 << 0;
    QTest::newRow("hidden row in 529") << 529 << 13 << 13;
    QTest::newRow("hidden SPDIF of LQ4.1 on 17") << 527 << 5 << 5;
    QTest::newRow("no source 14") << 512 << 14 << -1;
    QTest::newRow("no source 255") << 534 << 255 << -1;
    QTest::newRow("no source -1") << 530 << -1 << -1;
  }
  // No visible radio is checked and nothing is written until the user clicks one.
  void hiddenOrUnknownSelection() {
    QFETCH(int, templateNumber);
    QFETCH(int, selected);
    QFETCH(int, checkedId);
    UseDevice("LQ4.1", 17);
    dialog_ = std::make_unique<InputSourceDialog>(templateNumber);
    ShowDialog();
    UpdateCurrentSelection(selected);
    dialog_->RefreshPage();
    QCOMPARE(dialog_->SourceGroup().checkedId(), checkedId);
    for (int k : dialog_->VisibleSources()) QVERIFY(!dialog_->SourceButton(k).isChecked());
    QVERIFY(writer_.sent.empty());
    const int first = dialog_->VisibleSources().front();
    QTest::mouseClick(&dialog_->SourceButton(first), Qt::LeftButton);
    QCOMPARE(dialog_->SourceGroup().checkedId(), first);
    ExpectWrites({{0x17, test::Bytes({0, 0, 0, first})}}, "first click");
  }

  void keptSourceShownAsWhatItIs_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("AUX1 on an LW4.1") << "LW4.1" << 20 << 11 << "AUX1 (not on this model)"
                                      << QString::fromUtf8("AUX1（本机型没有此输入）");
    QTest::newRow("SPDIF3 on an LQ830") << "LQ830" << 20 << 7 << "SPDIF3 (not on this model)"
                                        << QString::fromUtf8("SPDIF3（本机型没有此输入）");
    QTest::newRow("SPDIF1 of an LQ4.1 on 17") << "LQ4.1" << 17 << 5 << "SPDIF1 (not on this model)"
                                              << QString::fromUtf8("SPDIF1（本机型没有此输入）");
    QTest::newRow("no source 200") << "AMP540" << 20 << 200 << "200 (not on this model)"
                                   << QString::fromUtf8("200（本机型没有此输入）");
  }
  // A stored source the model's variant does not offer is kept, checked on a row of its
  // own below the others (a value that is no source: a line with its number), in either
  // language; nothing is written until the user picks a source, and the refresh after
  // that takes the kept row away again.
  void keptSourceShownAsWhatItIs() {
    QFETCH(QString, model);
    QFETCH(int, protocol);
    QFETCH(int, selected);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    UseDevice(model.toLatin1().constData(), protocol);
    UpdateCurrentSelection(selected);
    dialog_.reset(InputSourceDialog::ForConnectedModel(nullptr));
    ShowDialog();
    const QStringList offered = ShownRows(*dialog_);
    const bool isSource = selected < kInputSourceCount;
    QWidget* kept = isSource ? static_cast<QWidget*>(&dialog_->SourceButton(selected)) : &dialog_->KeptCodeLabel();
    const auto keptText = [&] {
      return isSource ? dialog_->SourceButton(selected).text() : dialog_->KeptCodeLabel().text();
    };
    QCOMPARE(dialog_->KeptSource(), isSource ? selected : -1);
    QVERIFY(kept->isVisible());
    QCOMPARE(keptText(), english);
    QCOMPARE(dialog_->SourceGroup().checkedId(), isSource ? selected : -1);
    for (int k : dialog_->VisibleSources()) {
      QVERIFY(!dialog_->SourceButton(k).isChecked());
      QVERIFY(dialog_->SourceButton(k).y() < kept->y());
    }
    QVERIFY(dialog_->rect().contains(kept->geometry()));
    QVERIFY(kept->width() >= kept->sizeHint().width());
    UseLanguage(kChinese);
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(dialog_.get(), &change);
    QCOMPARE(keptText(), chinese);
    UseLanguage(kEnglish);
    dialog_->RefreshPage();
    QCOMPARE(keptText(), english);
    QVERIFY(writer_.sent.empty());

    const int first = dialog_->VisibleSources().front();
    QTest::mouseClick(&dialog_->SourceButton(first), Qt::LeftButton);
    ExpectWrites({{0x17, test::Bytes({0, 0, 0, first})}}, "the user's pick");
    dialog_->RefreshPage();
    QCOMPARE(dialog_->KeptSource(), -1);
    QVERIFY(!kept->isVisible());
    QCOMPARE(ShownRows(*dialog_), offered);
    ExpectFits();
  }

  // The LQ4.1's SPDIF1 row appears with protocol 20, at the bottom, and a refresh never
  // hides it again.
  void conditionalSpdifRow() {
    UseDevice("LQ4.1", 17);
    dialog_.reset(InputSourceDialog::ForConnectedModel(nullptr));
    ShowDialog();
    QCOMPARE(ShownRows(*dialog_).size(), 4);
    UseDevice("LQ4.1", 20);
    dialog_->RefreshPage();
    QCOMPARE(ShownRows(*dialog_), (QStringList{"Android=3", "HDMI1=0", "HDMI2=1", "HDMI3=2", "SPDIF1=5"}));
    ExpectFits();
    UseDevice("LQ4.1", 17);
    dialog_->RefreshPage();
    QCOMPARE(ShownRows(*dialog_).size(), 5);
    // Another model's refresh does not show it in a variant that lacks nothing.
    UseDevice("LQ4.1", 20);
    dialog_ = std::make_unique<InputSourceDialog>(529);
    ShowDialog();
    QCOMPARE(ShownRows(*dialog_), (QStringList{"SPDIF1=5", "AUX=11"}));
    QVERIFY(writer_.sent.empty());
  }

  void textsOfDialog512_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("templateNumber");
    QTest::addColumn<QString>("title");
    for (int templateNumber : {512, 530, 534, 536}) {
      QTest::addRow("zh %d", templateNumber) << int(kChinese) << templateNumber << QString::fromUtf8("音源设置");
      QTest::addRow("en %d", templateNumber) << int(kEnglish) << templateNumber << QString("Music source setting");
    }
  }
  // Every variant takes dialog 512's title; the row labels stay as the variant has them,
  // also after a language switch re-applies the texts.
  void textsOfDialog512() {
    QFETCH(int, language);
    QFETCH(int, templateNumber);
    QFETCH(QString, title);
    UseLanguage(language);
    dialog_ = std::make_unique<InputSourceDialog>(templateNumber);
    QCOMPARE(dialog_->windowTitle(), title);
    QStringList labels;
    for (const MusicInputRow& row : MusicInputLayoutFor(templateNumber).rows)
      labels << QString::fromLatin1(row.label.data(), qsizetype(row.label.size()));
    const auto shownLabels = [&] {
      QStringList shown;
      for (const MusicInputRow& row : MusicInputLayoutFor(templateNumber).rows)
        shown << dialog_->SourceButton(row.source).text();
      return shown;
    };
    QCOMPARE(shownLabels(), labels);
    // The main window announces a switch with Qt's LanguageChange event.
    UseLanguage(1 - language);
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(dialog_.get(), &change);
    QCOMPARE(dialog_->windowTitle(),
             language == kEnglish ? QString::fromUtf8("音源设置") : QString("Music source setting"));
    QCOMPARE(shownLabels(), labels);
    UseLanguage(language);
    dialog_->ApplyTexts();
    QCOMPARE(dialog_->windowTitle(), title);
  }

  // Open refreshes, shows and centres; Escape only hides, and the next Open shows the
  // same window with the values of the moment.
  void openCloseAndOpenAgain() {
    QWidget owner;
    owner.setGeometry(100, 100, 900, 700);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QPointer<InputSourceDialog> dialog = new InputSourceDialog(530, &owner);
    SetParameter(4, 0x18 + 3, 42);
    SetParameter(4, 0x17, 3);
    writer_.sent.clear();
    dialog->Open();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->GainLabel(3).text(), QString("42%"));
    QCOMPARE(dialog->SourceGroup().checkedId(), 3);
    const QPoint ownerCentre = owner.mapToGlobal(owner.rect().center());
    QVERIFY((dialog->frameGeometry().center() - ownerCentre).manhattanLength() <= 40);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(dialog);
    QVERIFY(!dialog->isVisible());
    SetParameter(4, 0x18 + 3, 7);
    dialog->Open();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->GainLabel(3).text(), QString("7%"));
    delete dialog;
    QVERIFY(dialog.isNull());
  }

  // With a gain slider focused, a wheel turn anywhere in the window moves that slider
  // (by its own wheel step) and writes; outside the window, or with the focus on a
  // radio, the wheel takes its usual way.
  void wheelGoesToTheFocusedSlider() {
    dialog_ = std::make_unique<InputSourceDialog>(534);
    ShowDialog();
    for (int k = 0; k < kInputSourceCount; ++k) SetParameter(4, std::uint8_t(0x18 + k), 50);
    dialog_->RefreshPage();
    writer_.sent.clear();
    QSlider& focused = dialog_->GainSlider(12);
    focused.setFocus();
    QCOMPARE(dialog_->focusWidget(), &focused);
    const int step = QApplication::wheelScrollLines() * focused.singleStep();

    // Over a radio: a radio passes the wheel on to the window (Qt propagates only the
    // system's own wheel events, so this one goes to the window directly).
    QRadioButton& radio = dialog_->SourceButton(0);
    Wheel(dialog_.get(), radio.mapToGlobal(radio.rect().center()), -1);
    QCOMPARE(focused.value(), 50 - step);
    ExpectWrites({{0x24, PercentBytes(50 - step)}}, "over a radio");
    QCOMPARE(dialog_->GainLabel(12).text(), QString("%1%").arg(50 - step));

    // Over another slider: the focused one moves, the other stays.
    QSlider& other = dialog_->GainSlider(1);
    Wheel(&other, other.mapToGlobal(other.rect().center()), 1);
    QCOMPARE(focused.value(), 50);
    QCOMPARE(other.value(), 50);
    ExpectWrites({{0x24, PercentBytes(50)}}, "over another slider");

    // Over the focused slider itself: its own handling, once.
    Wheel(&focused, focused.mapToGlobal(focused.rect().center()), 1);
    QCOMPARE(focused.value(), 50 + step);
    ExpectWrites({{0x24, PercentBytes(50 + step)}}, "over itself");

    // Pointer outside the window: not forwarded.
    Wheel(dialog_.get(), dialog_->mapToGlobal(QPoint(-50, -50)), 1);
    QCOMPARE(focused.value(), 50 + step);
    QVERIFY(writer_.sent.empty());

    // Focus on a radio: the window's own handling does nothing.
    radio.setFocus();
    Wheel(dialog_.get(), dialog_->mapToGlobal(dialog_->rect().center()), 1);
    QVERIFY(writer_.sent.empty());
  }

  // Every variant in both languages: the window is at least its dialog-unit size and
  // every visible control shows its whole text inside the window.
  void nothingIsClipped() {
    for (int language : {kChinese, kEnglish}) {
      UseLanguage(language);
      UseDevice("LQ4.1", 20);
      for (int templateNumber : kTemplates) {
        dialog_ = std::make_unique<InputSourceDialog>(templateNumber);
        for (int k = 0; k < kInputSourceCount; ++k) SetParameter(4, std::uint8_t(0x18 + k), -100);
        dialog_->RefreshPage();
        ShowDialog();
        ExpectFits();
        QVERIFY(dialog_->width() >= 233 && dialog_->height() >= MusicInputLayoutFor(templateNumber).height);
      }
    }
  }

  // Screenshots in both languages, written to DSPTUNE_SHOT_DIR as
  // musicinput-<language>-<template>.png when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    UseDevice("LQ4.1", 20);
    for (int language : {kChinese, kEnglish}) {
      UseLanguage(language);
      for (int templateNumber : kTemplates) {
        LoadDefaultImage();
        SetParameter(4, 0x17, 5);
        SetParameter(4, 0x18 + 5, 150);
        SetParameter(4, 0x18 + 0, 35);
        dialog_ = std::make_unique<InputSourceDialog>(templateNumber);
        ShowDialog();
        const QString name = QString("musicinput-%1-%2.png").arg(language == kEnglish ? "en" : "zh").arg(templateNumber);
        QVERIFY(dialog_->grab().save(QDir(dir).filePath(name)));
      }
    }
  }

 private:
  void ShowDialog() {
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
  }

  // Stores a selection as a mode file or the device would (not a user's write).
  void UpdateCurrentSelection(int selected) {
    SetParameter(4, 0x17, selected);
    writer_.sent.clear();
  }

  void ExpectFits() {
    const QRect inside = dialog_->rect();
    for (int k : dialog_->VisibleSources()) {
      for (QWidget* widget : std::initializer_list<QWidget*>{&dialog_->SourceButton(k), &dialog_->GainSlider(k),
                                                             &dialog_->GainLabel(k)}) {
        QVERIFY2(inside.contains(widget->geometry()), qPrintable(QString("source %1").arg(k)));
      }
      QVERIFY(dialog_->SourceButton(k).width() >= dialog_->SourceButton(k).sizeHint().width());
      QVERIFY(dialog_->GainLabel(k).width() >= dialog_->GainLabel(k).sizeHint().width());
    }
  }

  void ExpectWrites(const std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>>& expected, const QString& where) {
    QVERIFY2(writer_.sent.size() == expected.size(), qPrintable(where));
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const test::SentWrite& w = writer_.sent[i];
      QVERIFY2(w.kind == test::SentWrite::Dsp && w.block == 4, qPrintable(where));
      QCOMPARE(w.address, expected[i].first);
      QVERIFY2(w.bytes == expected[i].second, qPrintable(where));
    }
    writer_.sent.clear();
  }

  test::RecordingWriter writer_;
  std::unique_ptr<InputSourceDialog> dialog_;
};

QTEST_MAIN(InputSourceDialogTest)
#include "InputSourceDialogTest.moc"
