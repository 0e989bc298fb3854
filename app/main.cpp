// Start-up: the settings-file path, the splash, then the main window until
// it closes.
//
// The command line is ignored, with two exceptions that end the program
// before any window or display connection is made: "--version" or "--help"
// as the one and only argument print their text, so that users in a
// terminal and package checks can ask without starting the desktop
// application. Anything else, these two among other arguments included,
// is ignored, Qt's own options too: Qt sees only the program's name, so a
// stray "-platform" or "-style" from a launcher cannot stop the program or
// change it. Qt's environment variables (QT_QPA_PLATFORM and the like) still
// apply, which is how tests and machines without a display run it.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLocale>
#include <QMetaObject>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "app/artwork.h"
#include "app/main_window.h"
#include "app/settings/app_paths.h"
#include "app/ui_language.h"
#include "base/console.h"
#include "dialogs/splash_dialog.h"
#include "vorna_version.h"

namespace {

constexpr std::string_view PROGRAM_NAME = "vorna";
constexpr std::string_view VERSION_OPTION = "--version";
constexpr std::string_view HELP_OPTION = "--help";

// Test hook for the package test: with VORNA_EXIT_WHEN_SHOWN=1 the main
// window closes itself as "Close" would, as soon as it has been shown, and
// says so on standard output. It proves that an installed copy gets through
// the splash to its main window on a machine without a display.
constexpr const char* EXIT_WHEN_SHOWN_VARIABLE = "VORNA_EXIT_WHEN_SHOWN";
constexpr std::string_view EXIT_WHEN_SHOWN_ON = "1";
constexpr const char* SHOWN_LINE = "vorna: main window shown";

// With the system's own separators, so that the paths derived from it read
// as Windows paths on Windows.
std::string ExecutablePath() {
  return QFile::encodeName(QDir::toNativeSeparators(QCoreApplication::applicationFilePath())).toStdString();
}

void PrintHelp() {
  const vorna::AppPaths paths = vorna::ResolveAppPaths(ExecutablePath());
  const bool helpFound = vorna::FileExists(paths.helpPath);
  std::printf(
      "Usage: %s\n"
      "Sets up the FM stereo transmitter on the evaluation board and downloads user programs\n"
      "to it, from a desktop window. The program takes no options: any other command line,\n"
      "Qt's own options included, is ignored. The board commands of the window are also\n"
      "available as vornactl.\n"
      "\n"
      "  %s     show this text and exit\n"
      "  %s  show the version and exit\n"
      "\n"
      "Settings file: %s\n"
      "Help file:     %s%s\n",
      PROGRAM_NAME.data(), HELP_OPTION.data(), VERSION_OPTION.data(), paths.settingsPath.c_str(),
      paths.helpPath.c_str(), helpFound ? "" : " (not found)");
}

class CloseWhenShown : public QObject {
 public:
  explicit CloseWhenShown(QDialog& window) : window_(window) { window_.installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Show) {
      std::puts(SHOWN_LINE);
      std::fflush(stdout);
      QMetaObject::invokeMethod(&window_, &QDialog::accept, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QDialog& window_;
};

bool ExitWhenShown() {
  const char* value = std::getenv(EXIT_WHEN_SHOWN_VARIABLE);
  return value != nullptr && value == EXIT_WHEN_SHOWN_ON;
}

}  // namespace

int main(int argc, char* argv[]) {
  vorna::KeepStandardStreamsTaken();
  vorna::IgnoreFileSizeSignal();
  if (argc == 2 && argv[1] == VERSION_OPTION) {
    std::printf("%s %s\n", PROGRAM_NAME.data(), VORNA_VERSION);
    return 0;
  }
  if (argc == 2 && argv[1] == HELP_OPTION) {
    const QCoreApplication core(argc, argv);
    PrintHelp();
    return 0;
  }

  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  // The splash closes before the main window opens: that must not end the
  // application.
  QApplication::setQuitOnLastWindowClosed(false);
  application.setWindowIcon(vorna::ApplicationIcon());
  vorna::InstallTranslations(application, QLocale::system().uiLanguages());
  const vorna::AppPaths paths = vorna::ResolveAppPaths(ExecutablePath());

  {
    vorna::SplashDialog splash(vorna::SplashPicture());
    splash.exec();
  }
  vorna::MainWindow mainWindow(paths);
  const std::unique_ptr<CloseWhenShown> closeWhenShown =
      ExitWhenShown() ? std::make_unique<CloseWhenShown>(mainWindow) : nullptr;
  mainWindow.exec();
  return 0;
}
