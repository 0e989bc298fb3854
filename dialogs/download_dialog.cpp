#include "dialogs/download_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include <utility>

#include "dialogs/dialog_controls.h"
#include "dialogs/shown_text.h"

namespace vorna {
namespace {

constexpr int DIALOG_WIDTH_DLU = 187;
constexpr int DIALOG_HEIGHT_DLU = 75;

constexpr DluRect FILE_NAME_LABEL_RECT{9, 9, 31, 8};
constexpr DluRect PATH_BOX_RECT{8, 21, 140, 14};
constexpr DluRect BROWSE_RECT{155, 21, 25, 14};
constexpr DluRect OK_RECT{37, 54, 50, 14};
constexpr DluRect CANCEL_RECT{101, 54, 50, 14};

}  // namespace

void SetUpHexFileDialog(QFileDialog& chooser, const QString& currentPath) {
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  // The file is not tested here: the download finds out what it holds.
  chooser.setFileMode(QFileDialog::AnyFile);
  // Qt's own dialog shows the entries exactly as given, on every desktop;
  // the patterns' second copy stays out of sight.
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList filters = {ShownText(HEX_FILE_FILTER), ShownText(ALL_FILES_FILTER), ShownText(SRECORD_FILE_FILTER)};
  chooser.setNameFilters(filters);
  chooser.selectNameFilter(filters.first());
  chooser.setDefaultSuffix(QString::fromLatin1(HEX_FILE_SUFFIX));
  // A relative path counts from the working folder, as the download reads it.
  if (!currentPath.isEmpty()) {
    const QDir folder = QFileInfo(currentPath).absoluteDir();
    if (folder.exists()) chooser.setDirectory(folder);
  }
}

std::optional<QString> ChooseHexFile(QWidget& owner, const QString& currentPath) {
  QFileDialog chooser(&owner);
  SetUpHexFileDialog(chooser, currentPath);
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
  // Qt's chooser separates folders with '/' everywhere; a Windows user
  // reads and types '\'.
  return QDir::toNativeSeparators(QFileInfo(chooser.selectedFiles().first()).absoluteFilePath());
}

DownloadDialog::DownloadDialog(QWidget& owner, const QString& pathText, HexFileChooser chooser)
    : CommandDialog(owner, tr("Download user program"), DIALOG_WIDTH_DLU, DIALOG_HEIGHT_DLU, false),
      pathText_(pathText),
      chooser_(std::move(chooser)) {
  const DialogUnits& units = this->units();

  // Created in template order, which is the tab order.
  QLabel* fileNameLabel = AddStaticText(*this, units, tr("&File Name"), FILE_NAME_LABEL_RECT);
  pathBox_ = new QLineEdit(pathText_, this);
  Place(*pathBox_, units, PATH_BOX_RECT);
  SetBuddy(*fileNameLabel, *pathBox_, units, FILE_NAME_LABEL_RECT);
  pathBox_->setAccessibleName(tr("Hex file name"));
  browseButton_ = new QPushButton(QStringLiteral("..."), this);
  Place(*browseButton_, units, BROWSE_RECT);
  // "..." says nothing read aloud.
  browseButton_->setAccessibleName(tr("Browse for the hex file"));
  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setDefault(true);
  Place(*okButton_, units, OK_RECT);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  Place(*cancelButton_, units, CANCEL_RECT);

  connect(browseButton_, &QPushButton::clicked, this, &DownloadDialog::BrowseForHexFile);
  connect(okButton_, &QPushButton::clicked, this, &DownloadDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &DownloadDialog::reject);
  pathBox_->setFocus();
}

void DownloadDialog::BrowseForHexFile() {
  if (const std::optional<QString> chosen = chooser_(*this, pathBox_->text())) {
    pathText_ = *chosen;
    pathBox_->setText(pathText_);
  }
}

void DownloadDialog::accept() {
  pathText_ = pathBox_->text();
  QDialog::accept();
}

}  // namespace vorna
