// Every text the window shows, in both languages: the ribbon, its menus and the status bar
// under every editor page and channel, and every dialog. In English no Chinese may show
// except the texts that exist in Chinese only; in Chinese no English word may show
// except units, channel and model abbreviations and the texts that exist in English only.
// A failure lists the offending texts as a table: language, where, widget, text.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "editors/RoomPanel.h"
#include "remote/LearnKeyDialog.h"
#include "remote/RemoteWindow.h"
#include "shell/MainWindow.h"
#include "shell/ScreenshotTour.h"
#include "tests/shell/ShellTestSupport.h"
#include "ui/DialogService.h"
#include "ui/EditorPage.h"
#include "ui/InterfaceLanguage.h"
#include "ui/Ribbon.h"

using namespace dsptune;

namespace {

struct Shown {
  QString where;
  QString widget;
  QString text;
};

// Texts that stay Chinese in the English interface: the window title, and texts the
// device's own tables give in Chinese only.
const QStringList kChineseInEnglish = {
    QString::fromUtf8("效果器调音软件v1.3.3"),  // the window title
    QString::fromUtf8("中/EN"),                 // the language button reads the same in both
    QString::fromUtf8("Switch the interface language (中文 / English)"),
};

// Words that are the same in both languages: units, channel and speaker abbreviations,
// filter and mode names, model names, and the English side of the language button.
const QStringList kEnglishWordsInChinese = {
    "dB", "Hz", "kHz", "ms", "Q", "CH", "L", "R", "SL", "SR", "SBL", "SBR", "SUB", "CEN", "EQ", "USB", "IP", "PEQ",
    "LP", "HP", "LS", "HS", "M1", "M2", "M3", "M4", "EN", "HDMI", "MCU", "DSP", "MIC", "Mic", "MNG", "LQ", "TCP",
    "IPv4", "Android", "OK", "Q值", "mode", "remo", "Vol", "Linkwitz", "Riley", "Bessel", "Butterworth",
    "Chebyshev", "LinkwitzRiely", "dBFS", "English", "udev", "hidraw", "Ctrl", "Shift", "Alt", "Esc", "Enter",
    // input names and the stream formats the device reports
    "HDMI", "SPDIF", "AUX", "STEREO", "AC3", "DTS", "CD", "E", "DOLBY", "HD", "HR", "LPCM", "MultiCh", "ARC", "BT",
    "OPT", "COAX", "Bluetooth",
};

bool HasChinese(const QString& text) {
  static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
  return cjk.match(text).hasMatch();
}

// English words of a Chinese text that are not shared by both languages.
QStringList StrayEnglishWords(const QString& text) {
  static const QRegularExpression word(QStringLiteral("[A-Za-z][A-Za-z0-9]*"));
  QStringList stray;
  for (auto it = word.globalMatch(text); it.hasNext();) {
    const QString w = it.next().captured();
    // Single letters (mic channels A and B, axes), numbered names (M1, CH2) and versions (v1) are shared.
    static const QRegularExpression shared(QStringLiteral("^([A-Za-z]|[A-Za-z]{1,5}\\d+)$"));
    if (!kEnglishWordsInChinese.contains(w) && !shared.match(w).hasMatch()) stray << w;
  }
  return stray;
}

QString Plain(QString text) {
  text.remove(u'&');
  return text.trimmed();
}

void AddText(QList<Shown>& out, const QString& where, const QWidget* w, const QString& text) {
  const QString plain = Plain(text);
  if (!plain.isEmpty()) out.append({where, QString::fromLatin1(w->metaObject()->className()), plain});
}

void AddMenu(QList<Shown>& out, const QString& where, QMenu* menu) {
  if (!menu) return;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator() || !a->isVisible()) continue;
    AddText(out, where + QStringLiteral(" menu"), menu, a->text().section(u'\t', 0, 0));
    AddText(out, where + QStringLiteral(" menu tip"), menu, a->toolTip() == a->text() ? QString() : a->toolTip());
    AddMenu(out, where, a->menu());
  }
}

// The visible texts of one window and its children.
QList<Shown> TextsOf(QWidget* window, const QString& where) {
  QList<Shown> out;
  AddText(out, where + QStringLiteral(" title"), window, window->windowTitle());
  QList<QWidget*> widgets = window->findChildren<QWidget*>();
  widgets.prepend(window);
  for (QWidget* w : widgets) {
    if (w != window && (!w->isVisibleTo(window) || w->isWindow())) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) AddText(out, where, w, label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      AddText(out, where, w, button->text());
      if (auto* tool = qobject_cast<QToolButton*>(w)) AddMenu(out, where, tool->menu());
    }
    if (auto* group = qobject_cast<QGroupBox*>(w)) AddText(out, where, w, group->title());
    if (auto* tabs = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < tabs->count(); ++i) AddText(out, where, w, tabs->tabText(i));
    if (auto* combo = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < combo->count(); ++i) AddText(out, where, w, combo->itemText(i));
    if (auto* room = qobject_cast<RoomPanel*>(w))
      for (const QString& text : room->ShownTexts()) AddText(out, where + QStringLiteral(" room"), w, text);
    AddText(out, where + QStringLiteral(" tip"), w, w->toolTip());
  }
  return out;
}

}  // namespace

class LanguageWalkTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }
  void cleanup() { parts_.TearDown(); }

  void everyTextIsInTheInterfaceLanguage() {
    test::ClearSettingsStore();
    parts_.Make();
    MainWindow& window = *parts_.frame;
    window.resize(1400, 900);
    QStringList table;
    int textsSeen = 0;
    for (int pass = 0; pass < 2; ++pass) {
      const bool english = CurrentLanguage() == kEnglish;
      const QList<Shown> shown = Walk(window);
      textsSeen += shown.size();
      // DSPTUNE_TEXT_TABLE=<file> writes every text seen, for a review of the wording.
      if (const QString path = qEnvironmentVariable("DSPTUNE_TEXT_TABLE"); !path.isEmpty()) {
        QFile file(path);
        if (file.open(pass == 0 ? QIODevice::WriteOnly : QIODevice::Append)) {
          for (const Shown& s : shown)
            file.write(QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                           .arg(english ? "en" : "zh", s.where, s.widget, QString(s.text).replace(u'\n', u' '))
                           .toUtf8());
        }
      }
      for (const Shown& s : shown) {
        QString fault;
        if (english && HasChinese(s.text) && !kChineseInEnglish.contains(s.text)) fault = QStringLiteral("Chinese");
        if (!english) {
          const QStringList stray = StrayEnglishWords(s.text);
          if (!stray.isEmpty()) fault = stray.join(u' ');
        }
        if (fault.isEmpty()) continue;
        const QString row = QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
                                .arg(english ? "en" : "zh", s.where, s.widget, QString(s.text).replace(u'\n', u' '), fault);
        if (!table.contains(row)) table << row;
      }
      window.SwitchLanguage();
    }
    QVERIFY(textsSeen > 500);  // the walk reached the pages and dialogs
    QCOMPARE(dialogsSeen_.size(), 12);  // six dialogs in each language; the remote window needs a device
    if (!table.isEmpty()) {
      qInfo().noquote() << "| language | where | widget | text | fault |";
      for (const QString& row : table) qInfo().noquote() << row;
    }
    QVERIFY2(table.isEmpty(), qPrintable(QStringLiteral("%1 texts in the wrong language, listed above").arg(table.size())));
  }

 private:
  QList<Shown> Walk(MainWindow& window) {
    QList<Shown> all;
    for (const TourPage& page : TourPages()) {
      // Every channel of the pages that show one at a time: their captions change with it.
      const int channels = page.kind == kEditorMicMusic ? 3 : page.kind == kEditorEffectsEq ? 4
                           : page.kind == kEditorOutput  ? 8
                                                         : 1;
      for (int channel = 0; channel < channels; ++channel) {
        ShowTourPage(window, page, channel);
        QApplication::processEvents();
        window.RefreshStatusPanes();
        all += TextsOf(&window, QStringLiteral("%1 %2").arg(QLatin1String(page.name)).arg(channel + 1));
      }
    }
    AddMenu(all, QStringLiteral("application"), window.RibbonBar().ApplicationMenu());
    VisitDialogs(window, [&](QWidget& dialog, const char* name) {
      all += TextsOf(&dialog, QLatin1String(name));
      dialogsSeen_ << QLatin1String(name);
    });
    // The remote window opens only with a device: made here directly.
    RemoteWindow remote(*parts_.progress, &window);
    all += TextsOf(&remote, QStringLiteral("remote"));
    for (int key : {1, 7, 25}) {
      LearnKeyDialog learn(key, &window);
      all += TextsOf(&learn, QStringLiteral("learn key %1").arg(key));
      learn.ShowLearnedCode(0x1A);
      all += TextsOf(&learn, QStringLiteral("learn key %1, learned").arg(key));
    }
    return all;
  }

  QTemporaryDir settingsDir_;
  QStringList dialogsSeen_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
};

QTEST_MAIN(LanguageWalkTest)
#include "LanguageWalkTest.moc"
