#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTextOption>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

#include "app/artwork.h"
#include "app/board_worker.h"
#include "app/settings/settings_file.h"
#include "dialogs/about_dialog.h"
#include "dialogs/dialog_units.h"
#include "dialogs/shown_text.h"
#include "link/system_transport.h"
#include "link/trace_recorder.h"
#include "vorna_version.h"

namespace vorna {
namespace {

constexpr int CLIENT_WIDTH_DLU = 147;
constexpr int CLIENT_HEIGHT_DLU = 174;
constexpr DluRect CLOSE_RECT{54, 145, 40, 14};
constexpr DluRect CANCEL_RECT{99, 145, 40, 14};
constexpr DluRect STATUS_PANE_RECT{7, 7, 132, 129};
// While a download runs, the bottom of the status pane's place holds the
// progress bar and, at its right, the Stop button; the pane ends above them.
constexpr DluRect PANE_DURING_DOWNLOAD_RECT{7, 7, 132, 111};
constexpr DluRect PROGRESS_RECT{7, 123, 88, 12};
constexpr DluRect STOP_RECT{99, 122, 40, 14};

// Translated in the context of the window. Texts carry their mnemonic: '&'
// before the letter that Alt (in the menu bar) or the letter alone (in an
// open menu) picks; no two alike on a level.
struct MenuItem {
  const char* menu;
  const char* text;  // null for a separator
  int commandId;
};

constexpr MenuItem MENU_ITEMS[] = {
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "&Setting"), QT_TRANSLATE_NOOP("vorna::MainWindow", "&Quick"),
     ID_QUICK_SETTING},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "&Setting"), QT_TRANSLATE_NOOP("vorna::MainWindow", "&Advanced"),
     ID_ADVANCED_SETTING},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "&Option"), QT_TRANSLATE_NOOP("vorna::MainWindow", "&COM Port"),
     ID_COM_PORT},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "&Option"), QT_TRANSLATE_NOOP("vorna::MainWindow", "&Download"),
     ID_DOWNLOAD},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "&Option"), nullptr, 0},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "&Option"),
     QT_TRANSLATE_NOOP("vorna::MainWindow", "&Save Board Settings..."), ID_SAVE_PROFILE},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "&Option"),
     QT_TRANSLATE_NOOP("vorna::MainWindow", "&Load Board Settings..."), ID_LOAD_PROFILE},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "O&ther"), QT_TRANSLATE_NOOP("vorna::MainWindow", "&Help"), ID_HELP},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "O&ther"), nullptr, 0},
    {QT_TRANSLATE_NOOP("vorna::MainWindow", "O&ther"), QT_TRANSLATE_NOOP("vorna::MainWindow", "&About VORNA..."),
     ID_ABOUT},
};

// Read-only text that can be selected and copied. Enter is left to the
// window, where it presses the default button.
class StatusPane final : public QPlainTextEdit {
 public:
  explicit StatusPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Every line can be read in the pane: a line wider than the pane wraps,
    // at a space where it has one, and more lines than fit scroll.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(true);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      event->ignore();
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  }
};

// VORNA_TRACE=FILE records the board sessions to FILE for a report
// (link/trace_recorder.h), each under the device it opened. A file that
// cannot be written leaves the application as it is, and says so.
std::unique_ptr<Transport> SystemTransportTraced() {
  std::unique_ptr<Transport> transport = MakeSystemTransport();
  const char* path = std::getenv("VORNA_TRACE");
  if (path == nullptr || *path == '\0') return transport;
  TraceCreation created = TraceRecorder::Create(path, std::string("vorna ") + VORNA_VERSION);
  if (!created.recorder) {
    std::fprintf(stderr, "vorna: cannot write the trace %s: %s\n", path, created.reason.c_str());
    return transport;
  }
  return std::make_unique<RecordingTransport>(std::move(transport), std::move(created.recorder), std::string());
}

}  // namespace

MainWindow::MainWindow(AppPaths paths, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      paths_(std::move(paths)),
      messages_(*this, QFile::decodeName(QByteArray::fromStdString(paths_.applicationName))),
      systemTransport_(SystemTransportTraced()),
      transport_(systemTransport_.get()),
      resolver_(LookUpSystemPort),
      menuBar_(new QMenuBar(this)),
      worker_(new BoardWorker(*this)) {
  setWindowTitle(tr("FM Transmitter Setting"));
  setWindowIcon(ApplicationIcon());
  setFont(TemplateFont(TEMPLATE_FONT_POINTS));
  // The menu bar keeps the desktop's menu font (its own, which a desktop may
  // make larger than the general one); only the client area is laid out
  // from the template.
  menuBar_->setFont(QApplication::font(menuBar_));
  BuildMenu();

  client_ = new QWidget(this);
  // Created in tab order; placed by LayOut.
  closeButton_ = new QPushButton(tr("Close"), client_);
  closeButton_->setDefault(true);
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);

  cancelButton_ = new QPushButton(tr("Cancel"), client_);
  cancelButton_->setVisible(false);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

  statusPane_ = new StatusPane(client_);
  statusPane_->setObjectName(QStringLiteral("statusPane"));
  statusPane_->setAccessibleName(tr("Status"));

  progressBar_ = new QProgressBar(client_);
  progressBar_->setObjectName(QStringLiteral("downloadProgress"));
  progressBar_->setFormat(tr("%v of %m bytes"));
  // The numbers as the status pane writes them, whatever the desktop's
  // locale.
  progressBar_->setLocale(QLocale::c());
  progressBar_->setAlignment(Qt::AlignCenter);
  progressBar_->setFocusPolicy(Qt::NoFocus);
  progressBar_->setVisible(false);
  progressBar_->setAccessibleName(tr("Download progress"));
  // The value alone is a percentage; the bytes are read as the bar shows them.
  connect(progressBar_, &QProgressBar::valueChanged, this,
          [this] { progressBar_->setAccessibleDescription(progressBar_->text()); });

  stopButton_ = new QPushButton(tr("Stop"), client_);
  stopButton_->setObjectName(QStringLiteral("stopDownload"));
  stopButton_->setAccessibleName(tr("Stop the download"));
  // Enter in the window is the Close button's, never a stop.
  stopButton_->setAutoDefault(false);
  stopButton_->setVisible(false);

  // The template's size is the smallest and the first; wider when the
  // desktop's menu font needs it, so that no menu title is pushed out of
  // the bar.
  const QSize client = DialogUnits(font()).ToPixels(CLIENT_WIDTH_DLU, CLIENT_HEIGHT_DLU);
  const QSize size(std::max(client.width(), menuBar_->sizeHint().width()),
                   menuBar_->sizeHint().height() + client.height());
  setMinimumSize(size);
  resize(size);
  LayOut();
  // Not centred: the main window opens in the top-left corner of the desktop.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().topLeft());

  ReadSettings();
  closeButton_->setFocus();
  // F1 opens the help from every window of the application.
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  WriteSettings();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
}

// At the template's size every control sits where the template puts it. A
// larger window gives the status pane all it grows by; the buttons keep
// their distance from the bottom edge and stay centred under the pane, and
// the download's controls stay under it at its right.
void MainWindow::LayOut() {
  const DialogUnits units(font());
  const int menuHeight = menuBar_->sizeHint().height();
  menuBar_->setGeometry(0, 0, width(), menuHeight);
  client_->setGeometry(0, menuHeight, width(), height() - menuHeight);
  const QSize templateSize = units.ToPixels(CLIENT_WIDTH_DLU, CLIENT_HEIGHT_DLU);
  const int dx = std::max(0, client_->width() - templateSize.width());
  const int dy = std::max(0, client_->height() - templateSize.height());
  closeButton_->setGeometry(units.ToPixels(CLOSE_RECT).translated(dx / 2, dy));
  cancelButton_->setGeometry(units.ToPixels(CANCEL_RECT).translated(dx / 2, dy));
  const bool downloading = !stopButton_->isHidden();
  statusPane_->setGeometry(
      units.ToPixels(downloading ? PANE_DURING_DOWNLOAD_RECT : STATUS_PANE_RECT).adjusted(0, 0, dx, dy));
  progressBar_->setGeometry(units.ToPixels(PROGRESS_RECT).translated(0, dy).adjusted(0, 0, dx, 0));
  stopButton_->setGeometry(units.ToPixels(STOP_RECT).translated(dx, dy));
}

void MainWindow::SetDownloadControlsVisible(bool visible) {
  progressBar_->setVisible(visible);
  stopButton_->setVisible(visible);
  stopButton_->setEnabled(true);
  LayOut();
}

void MainWindow::UseTransport(Transport& transport, PortResolver resolver) {
  transport_ = &transport;
  resolver_ = std::move(resolver);
}

void MainWindow::BuildMenu() {
  QMenu* menu = nullptr;
  for (const MenuItem& item : MENU_ITEMS) {
    const QString title = tr(item.menu);
    if (menu == nullptr || menu->title() != title) menu = menuBar_->addMenu(title);
    if (item.text == nullptr) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(tr(item.text));
    action->setData(item.commandId);
    if (item.commandId == ID_HELP) {
      // Shown beside the item; the key itself is handled application-wide
      // (see eventFilter), so the action takes it only while its menu is open.
      action->setShortcut(QKeySequence(Qt::Key_F1));
      action->setShortcutContext(Qt::WidgetShortcut);
    }
    const int commandId = item.commandId;
    connect(action, &QAction::triggered, this, [this, commandId] { RunCommand(commandId); });
  }
}

bool MainWindow::commandRunning() const { return worker_->running(); }

void MainWindow::RunCommand(int commandId) {
  if (worker_->running()) return;
  // An exception must not reach Qt's event loop, which would end the program
  // and lose the settings: the user sees it in a box and goes on.
  try {
    Dispatch(commandId);
  } catch (const std::exception& error) {
    ShowMessageBox(*this, applicationName(), ShownText(TEXT_UNEXPECTED_ERROR), QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowMessageBox(*this, applicationName(), ShownText(TEXT_UNEXPECTED_ERROR));
  }
}

void MainWindow::Dispatch(int commandId) {
  switch (commandId) {
    case ID_QUICK_SETTING:
      OnQuickSetting();
      break;
    case ID_ADVANCED_SETTING:
      OnAdvancedSetting();
      break;
    case ID_COM_PORT:
      OnComPort();
      break;
    case ID_DOWNLOAD:
      OnDownload();
      break;
    case ID_SAVE_PROFILE:
      OnSaveProfile();
      break;
    case ID_LOAD_PROFILE:
      OnLoadProfile();
      break;
    case ID_HELP:
      ShowHelp();
      break;
    case ID_ABOUT:
      ShowAbout();
      break;
    default:
      break;
  }
}

QAction* MainWindow::action(int commandId) const {
  for (const QAction* menuAction : menuBar_->actions()) {
    for (QAction* item : menuAction->menu()->actions()) {
      if (!item->isSeparator() && item->data().toInt() == commandId) return item;
    }
  }
  return nullptr;
}

QString MainWindow::applicationName() const {
  return QFile::decodeName(QByteArray::fromStdString(paths_.applicationName));
}

void MainWindow::SetStatusText(const std::string& text) {
  statusPane_->setPlainText(ShownLines(text).replace(QLatin1String(STATUS_LINE_END), QStringLiteral("\n")));
}

void MainWindow::AnnounceStatus() {
  // The pane's text changes while a command runs; its description changes
  // once, to the result, and a screen reader says the new description.
  statusPane_->setAccessibleDescription(statusPane_->toPlainText());
}

std::string MainWindow::StatusText() const {
  return statusPane_->toPlainText().replace(QLatin1Char('\n'), QLatin1String(STATUS_LINE_END)).toStdString();
}

void MainWindow::ShowHelp() {
  // The desktop shows nothing of its own when it cannot open the guide, and
  // a line on standard error is never seen: the box tells where it should be.
  const QString path = QFile::decodeName(QByteArray::fromStdString(paths_.helpPath));
  switch (OpenHelpFile(path)) {
    case HelpOpening::Opened:
      break;
    case HelpOpening::NoFile:
      ShowMessageBox(*this, applicationName(), tr("Can not open the help file %1").arg(path), tr("no such file"));
      break;
    case HelpOpening::NoProgram:
      ShowMessageBox(*this, applicationName(), tr("No program to open the help file %1 was found").arg(path));
      break;
  }
}

void MainWindow::ShowAbout() {
  AboutDialog about(*this, applicationName(), ApplicationIcon());
  about.exec();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
      RunCommand(ID_HELP);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void MainWindow::ReadSettings() {
  state_.portNumber = ReadProfileInt(paths_.settingsPath, SETTINGS_SECTION, SETTINGS_KEY_PORT, DEFAULT_PORT_NUMBER);
  state_.hexFilePath = ReadProfileString(paths_.settingsPath, SETTINGS_SECTION, SETTINGS_KEY_HEX_FILE, "");
}

void MainWindow::WriteSettings() const {
  // A place that cannot be written stays silent; the next start reads what
  // the file held before.
  WriteProfileStrings(paths_.settingsPath, SETTINGS_SECTION,
                      {{std::string(SETTINGS_KEY_PORT), std::to_string(state_.portNumber)},
                       {std::string(SETTINGS_KEY_HEX_FILE), state_.hexFilePath}});
}

HelpOpening OpenHelpFile(const QString& path) {
  if (!QFileInfo::exists(path)) return HelpOpening::NoFile;
  // The desktop answers false only when it found nothing to hand the file to.
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? HelpOpening::Opened : HelpOpening::NoProgram;
}

}  // namespace vorna
