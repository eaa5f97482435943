#pragma once
// The two interface language tables and the current language file.
//
// A table is INI text encoded in GBK (code page 936) with CR LF line ends, one section
// "[String]" and keys "IDD<dialog>_title" (window title) and "IDD<dialog>_<control>"
// (text of one control). Table 331 is Chinese, 332 English. A language switch writes the
// current language's table unchanged to a new temporary file; dialog texts are looked up
// in that file. User-interface thread only.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

namespace dsptune {

inline constexpr int kChineseTable = 331;
inline constexpr int kEnglishTable = 332;
// Longest value a lookup returns, in characters; longer values are cut.
inline constexpr int kMaxLanguageValue = 999;
// Name prefix of the temporary language files.
inline constexpr char kLanguageFilePrefix[] = "830K-V1.0";

// 332 for language index 1 (English), 331 for anything else.
int LanguageTableNumber(int language);

// The GBK, CR LF bytes of table 331 or 332; empty for any other number or when the
// platform cannot encode GBK.
QByteArray LanguageTable(int tableNumber);

QString DialogTitleKey(int dialog);            // "IDD<dialog>_title"
QString ControlTextKey(int dialog, int control);  // "IDD<dialog>_<control>"

// The keys of section "String" of one INI text. Keys compare without regard to case and
// the first line with a key wins; blank lines, lines without "=" and lines starting with
// "//" or ";" carry nothing. Values are trimmed; a value in double quotes loses the quotes
// and keeps its blanks. Undecodable bytes read as U+FFFD.
class LanguageFile {
 public:
  LanguageFile() = default;
  static LanguageFile FromGbk(const QByteArray& bytes);

  // The value of key; a null string when the key is absent, an empty one when its value
  // is empty.
  QString Lookup(const QString& key) const;
  // Every key of the section, in file order, as written.
  const QStringList& Keys() const { return keys_; }

 private:
  QHash<QString, QString> values_;  // by lower-case key
  QStringList keys_;
};

// Writes the table of the language index into a new file in QDir::tempPath() named
// "830K-V1.0" plus a unique suffix, left on disk, and makes it the current language file.
// Returns false when the file cannot be created or written completely; the previous
// current language file (or none at the very first start) then stays current.
bool WriteCurrentLanguageFile(int language);

// Path of the current language file; empty until a write succeeded.
QString CurrentLanguageFilePath();
// Deletes the current language file when the program ends (its texts stay in memory).
void RemoveCurrentLanguageFile();

// The value of key in the current language file (see LanguageFile::Lookup); null when
// there is no current file yet.
QString LookupLanguageText(const QString& key);

}  // namespace dsptune
