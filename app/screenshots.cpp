// Renders the application's windows to PNG files, for the documentation
// and for checking layouts by eye:
//   vorna-screenshots FOLDER
// Runs without a display. The main window reads and writes its settings in
// a temporary folder, never beside this tool.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/artwork.h"
#include "app/main_window.h"
#include "app/settings/app_paths.h"
#include "commands/commands.h"
#include "dialogs/about_dialog.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/download_dialog.h"
#include "dialogs/quick_setting_dialog.h"
#include "dialogs/splash_dialog.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"

namespace {

// A typical result of a Quick Setting: 88.1 MHz, 2 mW, 200 mVrms, on, 75 us.
vorna::QuickSettings SampleQuickSettings() {
  vorna::QuickSettings settings;
  settings.frequency = vorna::ChannelToFrequency(6);
  settings.powerIndex = 1;
  settings.audioLevelIndex = 2;
  settings.preEmphasisIndex = 0;
  settings.timeConstantIndex = 1;
  return settings;
}

#ifdef _WIN32
// A board as COM3 beside a built-in COM1, as Windows lists them.
vorna::PortDiscovery SamplePorts() {
  vorna::DiscoveredPort board;
  board.device = "\\\\.\\COM3";
  board.portNumbers = {3};
  vorna::DiscoveredPort builtIn;
  builtIn.device = "\\\\.\\COM1";
  builtIn.portNumbers = {1};
  return {{builtIn, board}, {}};
}

constexpr const char* SAMPLE_HEX_FILE = "C:\\Users\\user\\projects\\blink\\blink.hex";
constexpr const char* SAMPLE_RUNNING_TEXT = "Downloading blink.hex to COM3\u2026";
#else
// A board on /dev/ttyACM2 that COM3 reaches, beside a built-in port.
vorna::PortDiscovery SamplePorts() {
  vorna::DiscoveredPort board;
  board.device = "/dev/ttyACM2";
  board.portNumbers = {3};
  board.vendorId = "2fe3";
  board.productId = "0100";
  board.manufacturer = "Vorna Labs";
  board.product = "FM Eval Board";
  board.serial = "VB000123";
  vorna::DiscoveredPort builtIn;
  builtIn.device = "/dev/ttyS0";
  builtIn.portNumbers = {1};
  return {{builtIn, board}, {}};
}

constexpr const char* SAMPLE_HEX_FILE = "/home/user/projects/blink/blink.hex";
constexpr const char* SAMPLE_RUNNING_TEXT = "Downloading blink.hex to COM3 (/dev/ttyACM2)\u2026";
#endif

struct Shot {
  const char* fileName;
  // Makes the window to render; `mainWindow` owns it when it is a dialog.
  std::function<void(vorna::MainWindow& mainWindow, const std::function<void(QWidget&)>& render)> make;
};

const Shot SHOTS[] = {
    {"splash.png",
     [](vorna::MainWindow&, const auto& render) {
       vorna::SplashDialog splash(vorna::SplashPicture());
       render(splash);
     }},
    {"main-window.png", [](vorna::MainWindow& window, const auto& render) { render(window); }},
    {"main-window-quick-summary.png",
     [](vorna::MainWindow& window, const auto& render) {
       window.SetStatusText(vorna::FormatQuickSummary(SampleQuickSettings()));
       render(window);
       window.SetStatusText({});
     }},
    {"main-window-register-dump.png",
     [](vorna::MainWindow& window, const auto& render) {
       window.SetStatusText(vorna::FormatRegisterDump(vorna::DefaultFields()));
       render(window);
       window.SetStatusText({});
     }},
    {"main-window-download-progress.png",
     [](vorna::MainWindow& window, const auto& render) {
       window.SetStatusText(SAMPLE_RUNNING_TEXT);
       QProgressBar& progress = window.progressBar();
       progress.setRange(0, 8192);
       progress.setValue(5120);
       window.SetDownloadControlsVisible(true);
       render(window);
       window.SetDownloadControlsVisible(false);
       window.SetStatusText({});
     }},
    {"main-window-resized.png",
     [](vorna::MainWindow& window, const auto& render) {
       const QSize start = window.size();
       window.resize(start.width() * 3 / 2, start.height() * 5 / 4);
       window.SetStatusText(std::string(vorna::TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" +
                            vorna::FormatRegisterDump(vorna::DefaultFields()));
       render(window);
       window.SetStatusText({});
       window.resize(start);
     }},
    {"about.png",
     [](vorna::MainWindow& window, const auto& render) {
       vorna::AboutDialog about(window, window.applicationName(), vorna::ApplicationIcon());
       render(about);
     }},
    {"quick-setting.png",
     [](vorna::MainWindow& window, const auto& render) {
       vorna::QuickSettingDialog quick(window, SampleQuickSettings());
       render(quick);
     }},
    {"advanced-setting-pe.png",
     [](vorna::MainWindow& window, const auto& render) {
       vorna::AdvancedSettingDialog advanced(window, vorna::DefaultFields());
       render(advanced);
     }},
    {"advanced-setting-p.png",
     [](vorna::MainWindow& window, const auto& render) {
       vorna::AdvancedSettingDialog advanced(window, vorna::DefaultFields());
       advanced.fieldList().setCurrentIndex(vorna::FIELD_P);
       render(advanced);
     }},
    {"com-port.png",
     [](vorna::MainWindow& window, const auto& render) {
       vorna::ComPortDialog comPort(window, QStringLiteral("3"), SamplePorts());
       render(comPort);
     }},
    {"download.png",
     [](vorna::MainWindow& window, const auto& render) {
       vorna::DownloadDialog download(window, QString::fromLatin1(SAMPLE_HEX_FILE));
       render(download);
     }},
};

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: vorna-screenshots FOLDER\n");
    return EXIT_FAILURE;
  }
  const QDir folder(args.at(1));
  if (!QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "vorna-screenshots: cannot create %s\n", qPrintable(folder.path()));
    return EXIT_FAILURE;
  }
  const QTemporaryDir settingsFolder;
  vorna::AppPaths paths;
  paths.applicationName = "VORNA";
  paths.settingsPath = QFile::encodeName(settingsFolder.filePath(QStringLiteral("VORNA.ini"))).toStdString();
  vorna::MainWindow mainWindow(paths);
  mainWindow.show();

  int failures = 0;
  for (const Shot& shot : SHOTS) {
    const QString path = folder.filePath(QString::fromLatin1(shot.fileName));
    shot.make(mainWindow, [&](QWidget& window) {
      window.show();
      QApplication::processEvents();
      if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "vorna-screenshots: cannot write %s\n", qPrintable(path));
        ++failures;
      }
    });
  }
  return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
