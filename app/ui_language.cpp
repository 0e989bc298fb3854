#include "app/ui_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace vorna {
namespace {

// Hands `translator` to `application`, which uses it until it ends.
void Install(QCoreApplication& application, std::unique_ptr<QTranslator> translator) {
  translator->setParent(&application);
  QCoreApplication::installTranslator(translator.release());
}

}  // namespace

QString InstallTranslations(QCoreApplication& application, const QStringList& uiLanguages) {
  for (const QString& name : uiLanguages) {
    const QLocale locale(name);
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) return {};
    auto own = std::make_unique<QTranslator>();
    if (!own->load(locale, QStringLiteral("vorna"), QStringLiteral("_"), QString::fromLatin1(TRANSLATIONS_FOLDER)))
      continue;
    Install(application, std::move(own));
    // Qt's own: where this Qt keeps them, else beside the program, where
    // the Windows package puts them.
    for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
      auto qt = std::make_unique<QTranslator>();
      if (!qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) continue;
      Install(application, std::move(qt));
      break;
    }
    return QLocale::languageToCode(locale.language());
  }
  return {};
}

}  // namespace vorna
