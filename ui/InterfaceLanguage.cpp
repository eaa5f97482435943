#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {
int g_language = kChinese;
}  // namespace

int CurrentLanguage() { return g_language; }
void SetCurrentLanguage(int language) { g_language = language == kEnglish ? kEnglish : kChinese; }

}  // namespace dsptune
