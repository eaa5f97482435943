#pragma once
// Qt's own texts (standard buttons, file dialogs, the overwrite question) in the
// interface language: Qt's Chinese catalogue while the interface is Chinese, Qt's
// built-in English otherwise.
namespace dsptune {

// Installs or removes Qt's Chinese catalogue for `language` (0 Chinese, 1 English).
// False when the Chinese catalogue is not installed (qt6-translations-l10n); Qt's
// texts then stay English.
bool UseQtTranslations(int language);

}  // namespace dsptune
