// Renders the application's windows to PNG files, for the documentation
// and for checking layouts by eye:
//   vorna-screenshots FOLDER
// in the language of the locale (LC_ALL=de_DE.UTF-8 for German).
// Runs without a display. The main window reads and writes its settings in
// a temporary folder, never beside this tool.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/artwork.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/settings/app_paths.h"
#include "app/ui_language.h"
#include "commands/commands.h"
#include "dialogs/about_dialog.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/download_dialog.h"
#include "dialogs/quick_setting_dialog.h"
#include "dialogs/splash_dialog.h"
#include "download/hex_file.h"
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
constexpr const char* SAMPLE_PORT_LABEL = "COM3";
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
constexpr const char* SAMPLE_PORT_LABEL = "COM3 (/dev/ttyACM2)";
#endif

// A program with the faults a damaged file shows: a vector below the
// window, one data byte changed, a stray line, a record cut short.
constexpr char DAMAGED_HEX[] =
    ":04000000022000FFDB\n"
    ":1020000082B70EEE7F1A5039BEF07EC2347F066E64\n"
    ":10201000D08F5DC7512047E3404300026B6E545597\n"
    "hello world\n"
    ":1020200094A065685D64C4980BB8D4544A8721A90C\n"
    ":102030009A01AD219EB59CF6A15EF6F15A1D830B67\n"
    ":10204000B7CE09D6BBC004E7175C6\n"
    ":00000001FF\n";

// What the content check finds in it, read as every file is.
std::vector<std::string> DamagedFileProblems(vorna::MainWindow& window) {
  const QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("blink.hex"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(DAMAGED_HEX) < 0) return {};
  file.close();
  vorna::MessageBoxSink sink(window, window.applicationName());
  vorna::HexImage image;
  if (vorna::LoadHexFile(QFile::encodeName(path).toStdString(), image, sink) != 0) return {};
  return vorna::HexProblemLines(image.content);
}

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
       // As the download announces itself (MainWindow::OnDownload).
       window.SetStatusText(vorna::MainWindow::tr("Downloading %1 to").arg(QStringLiteral("blink.hex")).toStdString() +
                            " " + SAMPLE_PORT_LABEL + "\u2026");
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
       window.SetStatusText(*vorna::StatusText(
           vorna::AdvancedSettingResult{vorna::CommandOutcome::WriteFailed, vorna::DefaultFields()}));
       render(window);
       window.SetStatusText({});
       window.resize(start);
     }},
    {"hex-problems.png",
     [](vorna::MainWindow& window, const auto& render) {
       const std::vector<std::string> problems = DamagedFileProblems(window);
       const vorna::MessageBoxHook previous = vorna::SetMessageBoxHook([&render](QMessageBox& box) { render(box); });
       vorna::AskYesNo(window, window.applicationName(), vorna::HexProblemsQuestion(problems));
       vorna::SetMessageBoxHook(previous);
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
  // In the desktop's language, as the application shows them.
  vorna::InstallTranslations(application, QLocale::system().uiLanguages());
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
