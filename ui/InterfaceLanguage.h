#pragma once
// The interface language index (0 Chinese, 1 English) and the choice of a bilingual
// text at the moment it is shown. Lives on the user-interface thread.
#include <QString>

namespace dsptune {

enum Language : int { kChinese = 0, kEnglish = 1 };

int CurrentLanguage();
void SetCurrentLanguage(int language);

// The text for the current language.
inline QString PickText(const char* chinese, const char* english) {
  return QString::fromUtf8(CurrentLanguage() == kEnglish ? english : chinese);
}
inline QString PickText(const QString& chinese, const QString& english) {
  return CurrentLanguage() == kEnglish ? english : chinese;
}

}  // namespace dsptune
