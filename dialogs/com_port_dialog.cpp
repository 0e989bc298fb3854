#include "dialogs/com_port_dialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>

#include "dialogs/dialog_controls.h"

namespace vorna {
namespace {

constexpr int DIALOG_WIDTH_DLU = 97;
constexpr int DIALOG_HEIGHT_DLU = 55;

constexpr DluRect COM_LABEL_RECT{24, 9, 15, 8};
constexpr DluRect PORT_BOX_RECT{42, 7, 38, 56};
constexpr DluRect OK_RECT{7, 34, 37, 14};
constexpr DluRect CANCEL_RECT{53, 34, 37, 14};

// The list offers the ports a board usually gets; any other number can be
// typed.
constexpr int LISTED_PORTS = 20;

}  // namespace

ComPortDialog::ComPortDialog(QWidget& owner, const QString& portText)
    : CommandDialog(owner, tr("COM Port"), DIALOG_WIDTH_DLU, DIALOG_HEIGHT_DLU, true), portText_(portText) {
  const DialogUnits& units = this->units();

  // Created in template order, which is the tab order.
  AddStaticText(*this, units, tr("COM"), COM_LABEL_RECT);
  portBox_ = new QComboBox(this);
  portBox_->setEditable(true);
  // The text stays exactly as typed: no completion, and Enter presses OK
  // instead of adding the text to the list.
  portBox_->setCompleter(nullptr);
  portBox_->setInsertPolicy(QComboBox::NoInsert);
  for (int port = 1; port <= LISTED_PORTS; ++port) portBox_->addItem(QString::number(port));
  PlaceDropDown(*portBox_, units, PORT_BOX_RECT);
  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setDefault(true);
  Place(*okButton_, units, OK_RECT);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  Place(*cancelButton_, units, CANCEL_RECT);

  // Prefix search from the first item, in either case.
  const int found = portBox_->findText(portText_, Qt::MatchStartsWith);
  {
    const QSignalBlocker quiet(portBox_);
    portBox_->setCurrentIndex(found);
    if (found < 0) portBox_->setEditText(portText_);
  }

  connect(okButton_, &QPushButton::clicked, this, &ComPortDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &ComPortDialog::reject);
  portBox_->setFocus();
}

void ComPortDialog::accept() {
  portText_ = portBox_->currentText();
  QDialog::accept();
}

}  // namespace vorna
