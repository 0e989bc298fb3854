#pragma once
// The language of the windows: the first of the desktop's languages that
// the application speaks, English (the texts' own language) when English or
// the "C" locale comes first. Qt's own dialogs follow in the same language.

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace vorna {

// Where the application's compiled translations are, vorna_de.qm and so on.
inline constexpr char TRANSLATIONS_FOLDER[] = ":/i18n";

// Installs, on `application`, the translations of the first language of
// `uiLanguages` (as QLocale::uiLanguages lists them, most wanted first)
// that the application has, with Qt's own for that language where the
// system or the program's folder (`translations`) has them. Returns the
// language installed ("de"), or an empty string for English.
QString InstallTranslations(QCoreApplication& application, const QStringList& uiLanguages);

}  // namespace vorna
