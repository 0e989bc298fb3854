// Start-up: the settings-file path, the splash, then the main window until
// it closes. The command line is ignored.

#include <QApplication>
#include <QFile>

#include "app/artwork.h"
#include "app/core/app_paths.h"
#include "app/main_window.h"
#include "app/splash_dialog.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The splash closes before the main window opens: that must not end the
  // application.
  QApplication::setQuitOnLastWindowClosed(false);
  application.setWindowIcon(vorna::ApplicationIcon());
  const vorna::AppPaths paths =
      vorna::ResolveAppPaths(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());

  {
    vorna::SplashDialog splash;
    splash.exec();
  }
  vorna::MainWindow mainWindow(paths);
  mainWindow.exec();
  return 0;
}
