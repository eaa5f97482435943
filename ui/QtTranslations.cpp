#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

std::unique_ptr<QTranslator>& Installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

// Qt 6 moved the file types of the file dialog's list ("Folder", "Drive", "%1 File") to a
// context its Chinese catalogue does not have yet, so a folder read "Folder" in the
// Chinese dialog. This answers those few texts and leaves every other to the catalogue.
class FileTypeWords : public QTranslator {
 public:
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* disambiguation, int n) const override {
    Q_UNUSED(disambiguation);
    Q_UNUSED(n);
    if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return QString();
    static const std::pair<const char*, const char*> kWords[] = {
        {"Folder", "文件夹"}, {"File Folder", "文件夹"}, {"Drive", "驱动器"}, {"File", "文件"},
        {"%1 File", "%1 文件"}, {"Alias", "别名"}, {"Shortcut", "快捷方式"},
    };
    for (const auto& [english, chinese] : kWords)
      if (qstrcmp(source, english) == 0) return QString::fromUtf8(chinese);
    return QString();
  }
};

std::unique_ptr<QTranslator>& InstalledFileTypes() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

}  // namespace

bool UseQtTranslations(int language) {
  std::unique_ptr<QTranslator>& installed = Installed();
  if (language != kChinese) {
    if (installed) QCoreApplication::removeTranslator(installed.get());
    installed.reset();
    if (InstalledFileTypes()) QCoreApplication::removeTranslator(InstalledFileTypes().get());
    InstalledFileTypes().reset();
    return true;
  }
  if (installed) return true;
  auto translator = std::make_unique<QTranslator>();
  // qtbase covers the widgets the program uses; the "qt" catalogue would pull in
  // modules it does not.
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  QCoreApplication::installTranslator(translator.get());
  installed = std::move(translator);
  InstalledFileTypes() = std::make_unique<FileTypeWords>();
  QCoreApplication::installTranslator(InstalledFileTypes().get());
  return true;
}

}  // namespace dsptune
