// The language of the user interface: Japanese, the program's own, or English.
#pragma once

#include <QStringList>

class QCoreApplication;

enum class UiLanguage { Japanese, English };

/// Japanese when the first of the user's languages (QLocale::uiLanguages, which follows
/// LANGUAGE, LC_ALL, LC_MESSAGES and LANG) is Japanese or the C/POSIX locale; English for any
/// other language.
UiLanguage ChooseUiLanguage(const QStringList& uiLanguages);

/// The system's choice.
UiLanguage SystemUiLanguage();

/// Installs the program's translation for `language` (none for Japanese) and Qt's own for
/// its dialogs, where the system has it. Replaces the translators of an earlier call.
void InstallTranslations(QCoreApplication& app, UiLanguage language);
