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

}  // namespace

bool UseQtTranslations(int language) {
  std::unique_ptr<QTranslator>& installed = Installed();
  if (language != kChinese) {
    if (installed) QCoreApplication::removeTranslator(installed.get());
    installed.reset();
    return true;
  }
  if (installed) return true;
  auto translator = std::make_unique<QTranslator>();
  // qtbase covers the widgets the program uses; the "qt" catalogue would pull in
  // modules it does not.
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  QCoreApplication::installTranslator(translator.get());
  installed = std::move(translator);
  return true;
}

}  // namespace dsptune
