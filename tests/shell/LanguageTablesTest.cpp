// The language tables, the INI reader, the current language file and ApplyDialogTexts.
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <iconv.h>

#include "ui/DialogTexts.h"
#include "ui/LanguageTables.h"
#include "ui/InterfaceLanguage.h"

using namespace dsptune;

namespace {

// "title, 1, 1182..1184" -> {"title", "1", "1182", "1183", "1184"}.
QSet<QString> ParseControls(const char* list) {
  QSet<QString> result;
  for (const QString& item : QString::fromLatin1(list).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const QString part = item.trimmed();
    const qsizetype dots = part.indexOf(QLatin1String(".."));
    if (dots < 0) {
      result.insert(part);
      continue;
    }
    const int first = part.left(dots).toInt(), last = part.mid(dots + 2).toInt();
    for (int control = first; control <= last; ++control) result.insert(QString::number(control));
  }
  return result;
}

QSet<QString> Keys(int dialog, const QSet<QString>& controls) {
  QSet<QString> keys;
  for (const QString& control : controls)
    keys.insert(control == QLatin1String("title") ? DialogTitleKey(dialog) : ControlTextKey(dialog, control.toInt()));
  return keys;
}

// The keys each dialog's texts are looked up with: in both tables, and in one only.
struct DialogKeys {
  int dialog;
  const char* both;
  const char* chineseOnly;
  const char* englishOnly;
};
const DialogKeys kDialogKeys[] = {
    {313,
     "1068, 1069, 1070, 1132, 1142, 1145, 1146, 1153, 1155, 1157, 1159, 1161, 1163, 1165, 1167, 1182..1197, "
     "1199..1202, 1204..1208, 1215, 1281, 1282",
     "", ""},
    {334,
     "1002, 1005, 1006, 1007, 1011, 1012, 1013, 1017, 1018, 1019, 1022, 1023, 1069..1079, 1139, 1216, 1229, "
     "1231..1236, 1238..1241",
     "", ""},
    {335,
     "title, 2, 1002, 1005, 1006, 1012, 1013, 1022, 1023, 1039..1049, 1068, 1069, 1070, 1073, 1131, 1143, 1144, "
     "1148, 1183..1187, 1190..1195, 1197..1202, 1238, 1239, 1241",
     "", ""},
    {346, "1002, 1005, 1006, 1007, 1045, 1069..1076, 1220", "1077, 1078, 1079", ""},
    {372, "title, 1, 3, 1007", "", ""},
    {373, "title, 1, 3, 4, 1599..1624", "", ""},
    {385,
     "1002, 1005, 1006, 1007, 1045, 1047..1081, 1123..1126, 1190, 1191, 1199..1202, 1204..1208, 1215, 1293", "",
     "1132"},
    {421, "1199..1202, 1204..1208", "", ""},
    {512, "title", "", ""},
    {515, "title, 1002, 1003, 1005, 1007, 1013, 1018, 1021, 1040..1042, 1044, 1045, 1131..1145, 1237", "", ""},
    {521, "title, 1, 2, 1005", "", ""},
    {522, "1002, 1005, 1006, 1007, 1069..1079, 1081, 1123..1126, 1132, 1199..1202, 1204..1208", "", ""},
};

// Controls whose dialogs give them no text (or give no control number for a text): their
// keys are left out so those controls keep the text their dialog gives them.
const DialogKeys kWithoutText[] = {
    {313, "1215, 1281, 1282", "", ""},
    {335,
     "1012, 1013, 1022, 1023, 1041..1045, 1068, 1069, 1070, 1143, 1144, 1148, 1184, 1185, 1193, 1194, 1200, 1241",
     "", ""},
    {346, "1002, 1005, 1006, 1007, 1045, 1220", "", ""},
    {373, "1624", "", ""},
    {385,
     "1002, 1005, 1006, 1007, 1045, 1047..1068, 1073..1075, 1080, 1081, 1123..1126, 1190, 1191, 1199..1202, "
     "1204..1208, 1215, 1293",
     "", "1132"},
    {421, "1199..1202, 1204..1208", "", ""},
    {522, "1002, 1005, 1006, 1007, 1081, 1123..1126, 1132, 1199..1202, 1204..1208", "", ""},
};

QSet<QString> KeysOf(const DialogKeys* begin, const DialogKeys* end, int language) {
  QSet<QString> keys;
  for (const DialogKeys* d = begin; d != end; ++d) {
    keys |= Keys(d->dialog, ParseControls(d->both));
    keys |= Keys(d->dialog, ParseControls(language == kEnglish ? d->englishOnly : d->chineseOnly));
  }
  return keys;
}

// Strict GBK decoding: fails on any byte sequence that is not GBK.
bool DecodeGbkStrict(const QByteArray& gbk, QString* text) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  QByteArray out(gbk.size() * 3 + 16, '\0');
  char* src = const_cast<char*>(gbk.constData());
  size_t srcLeft = static_cast<size_t>(gbk.size());
  char* dst = out.data();
  size_t dstLeft = static_cast<size_t>(out.size());
  const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) && srcLeft == 0;
  iconv_close(cd);
  *text = QString::fromUtf8(out.constData(), out.size() - static_cast<qsizetype>(dstLeft));
  return ok;
}

// Points TMPDIR at a folder for one scope.
class TempDirOverride {
 public:
  TempDirOverride(const QString& folder, const QString& restore) : restore_(restore) {
    qputenv("TMPDIR", QFile::encodeName(folder));
  }
  ~TempDirOverride() { qputenv("TMPDIR", QFile::encodeName(restore_)); }
  TempDirOverride(const TempDirOverride&) = delete;
  TempDirOverride& operator=(const TempDirOverride&) = delete;

 private:
  QString restore_;
};

template <typename W>
W* Control(QWidget* parent, int id, const char* text) {
  auto* widget = new W(QString::fromUtf8(text), parent);
  SetControlId(widget, id);
  return widget;
}

}  // namespace

class LanguageTablesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  // Runs first: nothing has been written yet.
  void firstStartWithoutWritableTempFindsNothing();
  void tablesAreGbkWithCrLf_data();
  void tablesAreGbkWithCrLf();
  void tablesHoldExactlyTheDialogKeys_data();
  void tablesHoldExactlyTheDialogKeys();
  void knownTexts_data();
  void knownTexts();
  void readerRules();
  void readerSurvivesBadBytes();
  void writeMakesPrefixedTemporaryFile();
  void failedWriteKeepsPreviousFile();
  void applyDialogTexts();

 private:
  QTemporaryDir temp_;
  QByteArray savedTmpdir_;
  bool hadTmpdir_ = false;
};

void LanguageTablesTest::initTestCase() {
  QVERIFY(temp_.isValid());
  hadTmpdir_ = qEnvironmentVariableIsSet("TMPDIR");
  savedTmpdir_ = qgetenv("TMPDIR");
  qputenv("TMPDIR", QFile::encodeName(temp_.path()));
}

void LanguageTablesTest::cleanupTestCase() {
  if (hadTmpdir_)
    qputenv("TMPDIR", savedTmpdir_);
  else
    qunsetenv("TMPDIR");
}

void LanguageTablesTest::firstStartWithoutWritableTempFindsNothing() {
  {
    TempDirOverride missing(temp_.path() + QStringLiteral("/missing/folder"), temp_.path());
    QVERIFY(!WriteCurrentLanguageFile(kChinese));
  }
  QVERIFY(CurrentLanguageFilePath().isEmpty());
  QVERIFY(LookupLanguageText(DialogTitleKey(521)).isNull());

  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("before"));
  auto* label = Control<QLabel>(&dialog, 1005, "before");
  ApplyDialogTexts(&dialog, 521);
  QCOMPARE(dialog.windowTitle(), QStringLiteral("before"));
  QCOMPARE(label->text(), QStringLiteral("before"));
}

void LanguageTablesTest::tablesAreGbkWithCrLf_data() {
  QTest::addColumn<int>("table");
  QTest::newRow("Chinese") << kChineseTable;
  QTest::newRow("English") << kEnglishTable;
}

void LanguageTablesTest::tablesAreGbkWithCrLf() {
  QFETCH(int, table);
  const QByteArray bytes = LanguageTable(table);
  QVERIFY(!bytes.isEmpty());

  // Every line ends with CR LF; no stray CR or LF.
  QVERIFY(bytes.endsWith("\r\n"));
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') QVERIFY2(i > 0 && bytes[i - 1] == '\r', qPrintable(QStringLiteral("bare LF at %1").arg(i)));
    if (bytes[i] == '\r') QVERIFY2(i + 1 < bytes.size() && bytes[i + 1] == '\n', "bare CR");
  }

  // Valid GBK and not UTF-8: "网络连接" is there in its GBK form.
  QString text;
  QVERIFY(DecodeGbkStrict(bytes, &text));
  QVERIFY(text.contains(QStringLiteral("[String]")));
  if (table == kChineseTable) {
    QVERIFY(bytes.contains(QByteArray::fromHex("cdf8c2e7c1acbdd3")));
    QVERIFY(!bytes.contains(QByteArray("网络连接")));
  }
  // The Chinese table is Chinese; the English one no longer shows a Chinese character
  // (its "和" and full-width colon became English).
  QCOMPARE(std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x81; }),
           table == kChineseTable);

  QVERIFY(LanguageTable(333).isEmpty());
  QCOMPARE(LanguageTableNumber(kEnglish), kEnglishTable);
  QCOMPARE(LanguageTableNumber(kChinese), kChineseTable);
  QCOMPARE(LanguageTableNumber(7), kChineseTable);
}

void LanguageTablesTest::tablesHoldExactlyTheDialogKeys_data() {
  QTest::addColumn<int>("language");
  QTest::newRow("Chinese") << int(kChinese);
  QTest::newRow("English") << int(kEnglish);
}

void LanguageTablesTest::tablesHoldExactlyTheDialogKeys() {
  QFETCH(int, language);
  const QSet<QString> looked = KeysOf(std::begin(kDialogKeys), std::end(kDialogKeys), language);
  const QSet<QString> withoutText = KeysOf(std::begin(kWithoutText), std::end(kWithoutText), language);
  // The list of missing texts names only keys that are looked up (catches typos in it).
  QVERIFY2((withoutText - looked).isEmpty(), qPrintable(QStringList((withoutText - looked).values()).join(u' ')));
  const QSet<QString> expected = looked - withoutText;

  const LanguageFile file = LanguageFile::FromGbk(LanguageTable(LanguageTableNumber(language)));
  QSet<QString> present;
  for (const QString& key : file.Keys()) {
    QVERIFY2(!present.contains(key), qPrintable(QStringLiteral("duplicate key ") + key));
    present.insert(key);
    const QString value = file.Lookup(key);
    QVERIFY2(!value.isEmpty(), qPrintable(key));
    QVERIFY2(value.size() <= kMaxLanguageValue, qPrintable(key));
  }
  const QSet<QString> extra = present - expected, missing = expected - present;
  QVERIFY2(extra.isEmpty(), qPrintable(QStringLiteral("extra: ") + QStringList(extra.values()).join(u' ')));
  QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("missing: ") + QStringList(missing.values()).join(u' ')));
}

void LanguageTablesTest::knownTexts_data() {
  QTest::addColumn<int>("language");
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("text");  // null: the key is absent
  struct Row {
    const char* key;
    const char* chinese;
    const char* english;
  };
  const Row rows[] = {
      {"IDD521_title", "网络连接", "Connect IP"},
      {"IDD521_1005", "机器IP地址", "Host IP:"},
      {"IDD335_1199", "输出至SL/SR和SBL/SBR", "Route to SL/SR and SBL/SBR"},
      {"IDD335_1239", "主音量和输入源：", "Master vol and Music Input:"},
      {"IDD335_1238", "机器开机指定模式", "Power on mode"},
      {"IDD334_1005", "长度单位:米(m)", "Unit:m"},
      {"IDD334_1072", "通道2", "CH 2"},
      {"IDD346_1072", "通道2", "Rear"},
      {"IDD346_1073", "声道定位", "Location"},
      {"IDD346_1077", "通道6", nullptr},
      {"IDD372_title", "学习中……", "Learning"},
      {"IDD373_title", "遥控学习", "Learn remoter control "},
      {"IDD512_title", "音源设置", "Music source setting"},
      {"IDD515_title", "特色功能", "Features"},
      {"idd521_TITLE", "网络连接", "Connect IP"},
      {"IDD385_1132", nullptr, nullptr},
      {"IDD313_1159", "通道B", "CH B"},
      {"IDD313_1195", "点击下面方框进入混响均衡调节界面", "Click to enter reverb EQ"},
  };
  for (const Row& row : rows) {
    for (int language : {int(kChinese), int(kEnglish)}) {
      const char* text = language == kEnglish ? row.english : row.chinese;
      QTest::addRow("%s %s", row.key, language == kEnglish ? "en" : "zh")
          << language << QString::fromLatin1(row.key) << (text ? QString::fromUtf8(text) : QString());
    }
  }
}

void LanguageTablesTest::knownTexts() {
  QFETCH(int, language);
  QFETCH(QString, key);
  QFETCH(QString, text);
  const QString value = LanguageFile::FromGbk(LanguageTable(LanguageTableNumber(language))).Lookup(key);
  QCOMPARE(value.isNull(), text.isNull());
  QCOMPARE(value, text);
}

void LanguageTablesTest::readerRules() {
  QByteArray ini;
  ini += "; comment\r\n";
  ini += "IDD1_9=before any section\r\n";
  ini += "[Other]\r\nIDD1_title=other section\r\n";
  ini += "[ string ]\r\n";
  ini += "// IDD1_1=commented out\r\n";
  ini += "no equals sign\r\n";
  ini += "  idd1_2 = spaced  \r\n";
  ini += "IDD1_2=second wins not\r\n";
  ini += "IDD1_3=\"  quoted  \"\r\n";
  ini += "IDD1_4=\r\n";
  ini += "IDD1_5=" + QByteArray(1200, 'a') + "\r\n";
  ini += "IDD1_7=" + QByteArray::fromHex("cdf8c2e7c1acbdd3") + "\n";  // a bare LF ends a line too
  ini += "IDD1_8=a=b\r\n";
  ini += "[Later]\r\nIDD1_6=later section\r\n";
  const LanguageFile file = LanguageFile::FromGbk(ini);

  QVERIFY(file.Lookup(QStringLiteral("IDD1_9")).isNull());
  QVERIFY(file.Lookup(QStringLiteral("IDD1_title")).isNull());
  QVERIFY(file.Lookup(QStringLiteral("IDD1_1")).isNull());
  QVERIFY(file.Lookup(QStringLiteral("IDD1_6")).isNull());
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_2")), QStringLiteral("spaced"));
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_3")), QStringLiteral("  quoted  "));
  QVERIFY(!file.Lookup(QStringLiteral("IDD1_4")).isNull());
  QVERIFY(file.Lookup(QStringLiteral("IDD1_4")).isEmpty());
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_5")), QString(kMaxLanguageValue, QLatin1Char('a')));
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_7")), QStringLiteral("网络连接"));
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_8")), QStringLiteral("a=b"));
  QCOMPARE(file.Keys(), QStringList({"idd1_2", "IDD1_3", "IDD1_4", "IDD1_5", "IDD1_7", "IDD1_8"}));
}

void LanguageTablesTest::readerSurvivesBadBytes() {
  const QByteArray ini = QByteArray("[String]\r\nIDD1_1=\xFFok\r\nIDD1_2=fine\r\nIDD1_3=\xCD");
  const LanguageFile file = LanguageFile::FromGbk(ini);
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_1")), QString(QChar(0xFFFD)) + QStringLiteral("ok"));
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_2")), QStringLiteral("fine"));
  QCOMPARE(file.Lookup(QStringLiteral("IDD1_3")), QString(QChar(0xFFFD)));
  QVERIFY(LanguageFile::FromGbk(QByteArray()).Keys().isEmpty());
}

void LanguageTablesTest::writeMakesPrefixedTemporaryFile() {
  QVERIFY(WriteCurrentLanguageFile(kEnglish));
  const QString first = CurrentLanguageFilePath();
  QCOMPARE(QFileInfo(first).absolutePath(), QDir(temp_.path()).absolutePath());
  QVERIFY(QFileInfo(first).fileName().startsWith(QLatin1String(kLanguageFilePrefix)));
  QFile file(first);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), LanguageTable(kEnglishTable));  // unchanged
  QCOMPARE(LookupLanguageText(DialogTitleKey(521)), QStringLiteral("Connect IP"));

  // Every switch writes a new file and removes the one before, so switching leaves no
  // files behind; the last one goes when the program ends.
  QVERIFY(WriteCurrentLanguageFile(kChinese));
  const QString second = CurrentLanguageFilePath();
  QVERIFY(second != first);
  QVERIFY(!QFile::exists(first));
  QVERIFY(QFile::exists(second));
  QCOMPARE(LookupLanguageText(DialogTitleKey(521)), QStringLiteral("网络连接"));
  RemoveCurrentLanguageFile();
  QVERIFY(!QFile::exists(second));
  QCOMPARE(LookupLanguageText(DialogTitleKey(521)), QStringLiteral("网络连接"));  // texts stay
}

void LanguageTablesTest::failedWriteKeepsPreviousFile() {
  QVERIFY(WriteCurrentLanguageFile(kChinese));
  const QString path = CurrentLanguageFilePath();
  const QStringList before = QDir(temp_.path()).entryList(QDir::Files);

  {
    TempDirOverride missing(temp_.path() + QStringLiteral("/missing"), temp_.path());
    QVERIFY(!WriteCurrentLanguageFile(kEnglish));
  }
  QCOMPARE(CurrentLanguageFilePath(), path);
  QCOMPARE(LookupLanguageText(ControlTextKey(521, 1)), QStringLiteral("尝试连接"));
  QCOMPARE(QDir(temp_.path()).entryList(QDir::Files), before);
}

void LanguageTablesTest::applyDialogTexts() {
  QVERIFY(WriteCurrentLanguageFile(kChinese));

  QDialog network;
  network.setWindowTitle(QStringLiteral("untitled"));
  auto* host = Control<QLabel>(&network, 1005, "host");
  auto* connect = Control<QPushButton>(&network, 1, "connect");
  auto* scan = Control<QPushButton>(&network, 3, "扫描网段");  // no key: keeps its text
  auto* address = Control<QLineEdit>(&network, 1005, "10.0.0.7");  // not a text control
  auto* plain = new QLabel(QStringLiteral("plain"), &network);  // no control number
  auto* popup = new QDialog(&network);  // a window of its own is left alone
  auto* popupLabel = Control<QLabel>(popup, 1005, "popup");

  QDialog settings;
  auto* group = Control<QGroupBox>(&settings, 1197, "group");
  auto* enable = Control<QCheckBox>(group, 1039, "enable");  // nested inside the group
  auto* route = Control<QPushButton>(&settings, 1199, "route");
  auto* unnamed = Control<QLabel>(&settings, 1012, "keeps");  // listed, but without text

  QDialog comp;
  comp.setWindowTitle(QStringLiteral("comp"));
  auto* ch1 = Control<QPushButton>(&comp, 1069, "ch1");
  auto* ch6 = Control<QPushButton>(&comp, 1077, "ch6");

  ApplyDialogTexts(&network, 521);
  ApplyDialogTexts(&settings, 335);
  ApplyDialogTexts(&comp, 346);
  QCOMPARE(network.windowTitle(), QStringLiteral("网络连接"));
  QCOMPARE(host->text(), QStringLiteral("机器IP地址"));
  QCOMPARE(connect->text(), QStringLiteral("尝试连接"));
  QCOMPARE(group->title(), QStringLiteral("开机音量"));
  QCOMPARE(enable->text(), QStringLiteral("启用"));
  QCOMPARE(comp.windowTitle(), QStringLiteral("comp"));  // no title key
  QCOMPARE(ch6->text(), QStringLiteral("通道6"));

  QVERIFY(WriteCurrentLanguageFile(kEnglish));
  ApplyDialogTexts(&network, 521);
  ApplyDialogTexts(&settings, 335);
  ApplyDialogTexts(&comp, 346);
  QCOMPARE(network.windowTitle(), QStringLiteral("Connect IP"));
  QCOMPARE(host->text(), QStringLiteral("Host IP:"));
  QCOMPARE(connect->text(), QStringLiteral("Connect"));
  QCOMPARE(scan->text(), QStringLiteral("扫描网段"));
  QCOMPARE(address->text(), QStringLiteral("10.0.0.7"));
  QCOMPARE(plain->text(), QStringLiteral("plain"));
  QCOMPARE(popupLabel->text(), QStringLiteral("popup"));
  QCOMPARE(group->title(), QStringLiteral("Start vol"));
  QCOMPARE(enable->text(), QStringLiteral("Enable"));
  QCOMPARE(route->text(), QStringLiteral("Route to SL/SR and SBL/SBR"));
  QCOMPARE(unnamed->text(), QStringLiteral("keeps"));
  QCOMPARE(ch1->text(), QStringLiteral("Main"));
  QCOMPARE(ch6->text(), QStringLiteral("通道6"));  // the English table has no key for it

  QCOMPARE(ControlId(ch6), 1077);
  QCOMPARE(ControlId(plain), 0);
  ApplyDialogTexts(nullptr, 521);  // harmless
}

QTEST_MAIN(LanguageTablesTest)
#include "LanguageTablesTest.moc"
