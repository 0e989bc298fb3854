#pragma once
// The application's one main window: a dialog with the menu bar and the
// status pane. It holds what the commands share, reads the port number and
// the hex file path from the settings file when it is created and writes
// them back when it is destroyed, however it was closed.

#include <QDialog>
#include <QtGlobal>

#include <memory>
#include <string>
#include <utility>

#include "app/message_box.h"
#include "app/settings/app_paths.h"
#include "commands/commands.h"
#include "link/port_discovery.h"
#include "link/port_names.h"
#include "link/transport.h"

class QAction;
class QEvent;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QResizeEvent;

namespace vorna {

class BoardWorker;

// Menu command IDs; a command is run with MainWindow::RunCommand.
inline constexpr int ID_ADVANCED_SETTING = 16;
inline constexpr int ID_QUICK_SETTING = 32771;
inline constexpr int ID_COM_PORT = 32772;
inline constexpr int ID_DOWNLOAD = 32773;
inline constexpr int ID_HELP = 32775;
inline constexpr int ID_ABOUT = 32776;
inline constexpr int ID_SAVE_PROFILE = 32777;
inline constexpr int ID_LOAD_PROFILE = 32778;

// The board profile chooser's file types, shown translated
// (dialogs/shown_text.h).
inline constexpr char PROFILE_FILE_FILTER[] = QT_TRANSLATE_NOOP("vorna", "Board Settings (*.vprof) (*.vprof *.VPROF)");
inline constexpr char PROFILE_FILE_SUFFIX[] = "vprof";

// Between the lines of the status pane's text, which shows each line
// translated (ShownLines in dialogs/shown_text.h).
inline constexpr char STATUS_LINE_END[] = "\r\n";
// The box for an error no command expected; the error's own text is its
// secondary text.
inline constexpr char TEXT_UNEXPECTED_ERROR[] = QT_TRANSLATE_NOOP("vorna", "The command ended on an unexpected error.");

// What the commands share, owned by the main window.
using CommandState = SessionState;

class MainWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit MainWindow(AppPaths paths, QWidget* parent = nullptr);
  ~MainWindow() override;

  CommandState& state() { return state_; }
  const CommandState& state() const { return state_; }

  // Error reports of the commands: modal boxes owned by this window.
  MessageSink& messages() { return messages_; }

  // The commands reach the board through `transport`, with `resolver`
  // mapping port numbers to devices; by default the system's serial ports.
  // `transport` must outlive the window. Both are used on the worker thread
  // of a running command (see BoardWorker).
  void UseTransport(Transport& transport, PortResolver resolver);
  // Where the COM Port dialog looks for serial devices; by default this
  // machine.
  void UsePortRoots(DiscoveryRoots roots) { portRoots_ = std::move(roots); }

  // Replaces the whole status pane text; lines are separated by
  // STATUS_LINE_END.
  void SetStatusText(const std::string& text);
  std::string StatusText() const;
  // Tells assistive technology the pane's text as a command's result.
  void AnnounceStatus();

  const AppPaths& paths() const { return paths_; }
  QString applicationName() const;

  // Runs the menu command `commandId`, as choosing its item does; other
  // numbers are ignored, and so is every command while a board command
  // runs.
  void RunCommand(int commandId);
  // The menu item of `commandId`, or null.
  QAction* action(int commandId) const;

  QMenuBar& menuBar() const { return *menuBar_; }
  QPlainTextEdit& statusPane() const { return *statusPane_; }
  QPushButton& closeButton() const { return *closeButton_; }
  QPushButton& cancelButton() const { return *cancelButton_; }
  // Under the status pane while a download runs: the bytes sent of the
  // total, and the button that stops it. Hidden otherwise.
  QProgressBar& progressBar() const { return *progressBar_; }
  QPushButton& stopButton() const { return *stopButton_; }
  // Shows or hides both; the status pane gives them its bottom, so that
  // they never cover its text.
  void SetDownloadControlsVisible(bool visible);
  // True while a board command runs on the worker.
  bool commandRunning() const;

 public slots:
  void OnQuickSetting();
  void OnAdvancedSetting();
  void OnComPort();
  void OnDownload();
  void OnSaveProfile();
  void OnLoadProfile();
  void ShowHelp();
  void ShowAbout();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenu();
  // Places the controls for the window's size (see main_window.cpp).
  void LayOut();
  void Dispatch(int commandId);
  void ReadSettings();
  void WriteSettings() const;

  AppPaths paths_;
  CommandState state_;
  MessageBoxSink messages_;
  std::unique_ptr<Transport> systemTransport_;
  Transport* transport_;
  PortResolver resolver_;
  DiscoveryRoots portRoots_;
  QMenuBar* menuBar_;
  QWidget* client_;
  QPushButton* closeButton_;
  QPushButton* cancelButton_;
  QPlainTextEdit* statusPane_;
  QProgressBar* progressBar_;
  QPushButton* stopButton_;
  BoardWorker* worker_;
};

enum class HelpOpening { Opened, NoFile, NoProgram };

// Opens the help file with the desktop's default handler, or says why it
// could not: the file is missing, or the desktop has no program for it.
HelpOpening OpenHelpFile(const QString& path);

}  // namespace vorna
