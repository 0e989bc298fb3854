#pragma once
// The Download dialog: the path of the hex file to send, typed or chosen
// with the "..." button.

#include <QString>
#include <QtGlobal>
#include "dialogs/command_dialog.h"

#include <functional>
#include <optional>

class QFileDialog;
class QLineEdit;
class QPushButton;

namespace vorna {

// The entries of the file chooser's type list, in this order, the first
// selected when it opens; shown translated (dialogs/shown_text.h). Each names its patterns twice: the text the user
// reads, then the patterns that match, in both cases for case-sensitive file
// systems.
inline constexpr char HEX_FILE_FILTER[] =
    QT_TRANSLATE_NOOP("vorna", "Hex File (*.hxf;*.hex) (*.hxf *.hex *.HXF *.HEX)");
inline constexpr char ALL_FILES_FILTER[] = QT_TRANSLATE_NOOP("vorna", "All Files (*)");
inline constexpr char SRECORD_FILE_FILTER[] = QT_TRANSLATE_NOOP(
    "vorna",
    "S-Record File (*.s19 *.s28 *.s37 *.srec *.mot) (*.s19 *.s28 *.s37 *.srec *.mot *.S19 *.S28 *.S37 *.SREC *.MOT)");
// Appended to a typed name without an extension.
inline constexpr char HEX_FILE_SUFFIX[] = "hex";

// Asks the user for a hex file; the chosen file's full path, or nullopt
// when the choice was cancelled. `owner` is the Download dialog,
// `currentPath` the text of its file name box.
using HexFileChooser = std::function<std::optional<QString>(QWidget& owner, const QString& currentPath)>;

// Sets up `chooser` as the hex file chooser: open, not save; the entries
// above with the first selected; the default suffix; showing the folder of
// `currentPath` when that folder exists.
void SetUpHexFileDialog(QFileDialog& chooser, const QString& currentPath = {});

// The chooser of the desktop application: a QFileDialog set up as above.
std::optional<QString> ChooseHexFile(QWidget& owner, const QString& currentPath);

class DownloadDialog final : public CommandDialog {
  Q_OBJECT

 public:
  // Opens with `pathText` in the file name box.
  DownloadDialog(QWidget& owner, const QString& pathText, HexFileChooser chooser = ChooseHexFile);

  // The file name box's whole text as OK left it, possibly empty.
  const QString& pathText() const { return pathText_; }

  // The "..." button: a chosen file's full path replaces the box's text, a
  // cancelled choice keeps it.
  void BrowseForHexFile();

  QLineEdit& pathBox() const { return *pathBox_; }
  QPushButton& browseButton() const { return *browseButton_; }
  QPushButton& okButton() const { return *okButton_; }
  QPushButton& cancelButton() const { return *cancelButton_; }

 public slots:
  void accept() override;

 private:
  QString pathText_;
  HexFileChooser chooser_;
  QLineEdit* pathBox_;
  QPushButton* browseButton_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace vorna
