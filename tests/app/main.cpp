// The windows need an application object; the tests run without a display.
//
// With VORNA_TEST_COMMA_LOCALE=1 the suite runs under the desktop locale the
// environment names (LC_ALL=de_DE.UTF-8), which the application object puts
// in force for the C library. A machine that lacks that locale would
// silently run in "C"; the suite refuses to run instead.
//
// With VORNA_TEST_LANGUAGE set, the windows speak the desktop's language as
// the application's start makes them (ui_language_test.cpp).

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/ui_language.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (qEnvironmentVariableIsSet("VORNA_TEST_LANGUAGE")) {
    const QString language = vorna::InstallTranslations(application, QLocale::system().uiLanguages());
    if ((language.isEmpty() ? QStringLiteral("en") : language) != qEnvironmentVariable("VORNA_TEST_LANGUAGE")) {
      std::fprintf(stderr, "app_tests: the desktop's language gave \"%s\", not VORNA_TEST_LANGUAGE\n",
                   qPrintable(language));
      return 1;
    }
  }
  if (qEnvironmentVariableIntValue("VORNA_TEST_COMMA_LOCALE") == 1 &&
      std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
    std::fprintf(stderr,
                 "app_tests: the locale \"%s\" writes no decimal comma; is it installed "
                 "(scripts/setup-deps)?\n",
                 std::setlocale(LC_NUMERIC, nullptr));
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
