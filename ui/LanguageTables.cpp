#include "ui/LanguageTables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtGlobal>

#include <iconv.h>

#include <cerrno>

#include "ui/InterfaceLanguage.h"

// The table sources are embedded by rcc into this static library; referencing the
// resource's initialiser keeps the linker from dropping it.
static void InitLanguageResources() { Q_INIT_RESOURCE(lang); }

namespace dsptune {
namespace {

struct IconvHandle {
  IconvHandle(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (ok()) iconv_close(cd);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
  iconv_t cd;
};

// Converts between character sets with glibc iconv. strict: any byte that cannot be
// converted fails the whole conversion (returns false). Otherwise such a byte is replaced
// by `replacement` and skipped.
bool Convert(const QByteArray& in, const char* to, const char* from, bool strict, const QByteArray& replacement,
             QByteArray* out) {
  IconvHandle conv(to, from);
  if (!conv.ok()) return false;
  out->clear();
  char* src = const_cast<char*>(in.constData());
  size_t srcLeft = static_cast<size_t>(in.size());
  char buffer[4096];
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t rc = iconv(conv.cd, &src, &srcLeft, &dst, &dstLeft);
    out->append(buffer, static_cast<qsizetype>(dst - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (strict) return false;
    // EILSEQ: an invalid or unmappable sequence; EINVAL: a sequence cut off at the end.
    out->append(replacement);
    if (errno == EINVAL) break;
    ++src;
    --srcLeft;
  }
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  iconv(conv.cd, nullptr, nullptr, &dst, &dstLeft);  // flush any shift state
  out->append(buffer, static_cast<qsizetype>(dst - buffer));
  return true;
}

// The UTF-8 source of a table, as GBK with CR LF line ends.
QByteArray BuildTable(int tableNumber) {
  InitLanguageResources();
  QFile source(QStringLiteral(":/dsptune/lang/%1.ini").arg(tableNumber));
  if (!source.open(QIODevice::ReadOnly)) return {};
  QByteArray utf8 = source.readAll();
  if (utf8.startsWith("\xEF\xBB\xBF")) utf8.remove(0, 3);
  utf8.replace("\r", "");
  if (!utf8.isEmpty() && !utf8.endsWith('\n')) utf8.append('\n');
  utf8.replace("\n", "\r\n");
  QByteArray gbk;
  if (!Convert(utf8, "GBK", "UTF-8", true, {}, &gbk)) {
    qWarning("language table %d cannot be encoded in GBK", tableNumber);
    return {};
  }
  return gbk;
}

struct CurrentFile {
  QString path;
  LanguageFile file;
  bool valid = false;
};

CurrentFile& Current() {
  static CurrentFile current;
  return current;
}

}  // namespace

int LanguageTableNumber(int language) { return language == kEnglish ? kEnglishTable : kChineseTable; }

QByteArray LanguageTable(int tableNumber) {
  // Built once: the tables never change while the program runs.
  static const QByteArray chinese = BuildTable(kChineseTable);
  static const QByteArray english = BuildTable(kEnglishTable);
  if (tableNumber == kChineseTable) return chinese;
  if (tableNumber == kEnglishTable) return english;
  return {};
}

QString DialogTitleKey(int dialog) { return QStringLiteral("IDD%1_title").arg(dialog); }

QString ControlTextKey(int dialog, int control) { return QStringLiteral("IDD%1_%2").arg(dialog).arg(control); }

LanguageFile LanguageFile::FromGbk(const QByteArray& bytes) {
  QByteArray utf8;
  if (!Convert(bytes, "UTF-8", "GBK", false, QByteArray("\xEF\xBF\xBD"), &utf8)) utf8 = bytes;
  const QString text = QString::fromUtf8(utf8);

  LanguageFile result;
  bool inStrings = false;
  const auto lines = QStringView(text).split(u'\n');
  for (QStringView line : lines) {
    line = line.trimmed();  // also drops the CR of CR LF
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u"//")) continue;
    if (line.startsWith(u'[')) {
      const qsizetype close = line.indexOf(u']');
      const QStringView name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
      inStrings = name.compare(u"String", Qt::CaseInsensitive) == 0;
      continue;
    }
    if (!inStrings) continue;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) continue;
    const QString key = line.left(eq).trimmed().toString();
    if (key.isEmpty()) continue;
    const QString folded = key.toLower();
    if (result.values_.contains(folded)) continue;
    QStringView value = line.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')) value = value.mid(1, value.size() - 2);
    result.values_.insert(folded, value.left(kMaxLanguageValue).toString());
    result.keys_.append(key);
  }
  return result;
}

QString LanguageFile::Lookup(const QString& key) const {
  const auto it = values_.constFind(key.toLower());
  return it == values_.constEnd() ? QString() : *it;
}

bool WriteCurrentLanguageFile(int language) {
  const QByteArray table = LanguageTable(LanguageTableNumber(language));
  if (table.isEmpty()) return false;

  // QDir::tempPath() is empty when the configured temporary folder does not exist; the
  // file name would then be relative to the root folder.
  const QString folder = QDir::tempPath();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  QTemporaryFile file(folder + QLatin1Char('/') + QLatin1String(kLanguageFilePrefix) + QStringLiteral("XXXXXX"));
  file.setAutoRemove(false);
  if (!file.open()) return false;
  const bool written = file.write(table) == table.size() && file.flush();
  const QString path = file.fileName();
  file.close();
  if (!written || file.error() != QFileDevice::NoError) {
    QFile::remove(path);  // a cut-off table must not be mistaken for a language file
    return false;
  }
  // The file holds exactly these bytes, so the lookups parse them from memory.
  CurrentFile& current = Current();
  // Only the current language's file is kept: each switch would otherwise leave one.
  if (!current.path.isEmpty() && current.path != path) QFile::remove(current.path);
  current.path = path;
  current.file = LanguageFile::FromGbk(table);
  current.valid = true;
  return true;
}

QString CurrentLanguageFilePath() { return Current().path; }

void RemoveCurrentLanguageFile() {
  CurrentFile& current = Current();
  if (!current.path.isEmpty()) QFile::remove(current.path);
  current.path.clear();
}

QString LookupLanguageText(const QString& key) {
  const CurrentFile& current = Current();
  return current.valid ? current.file.Lookup(key) : QString();
}

}  // namespace dsptune
