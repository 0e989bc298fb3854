#include "dialogs/com_port_dialog.h"

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "commands/port_description.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/shown_text.h"

namespace vorna {
namespace {

constexpr int DIALOG_WIDTH_DLU = 97;
// Four lines below the buttons for what the number opens: a device path,
// a product name and its IDs wrap to that in the dialog's width.
constexpr int PORT_LINE_LINES = 4;
constexpr int DIALOG_HEIGHT_DLU = 55 + PORT_LINE_LINES * 8;

constexpr DluRect COM_LABEL_RECT{24, 9, 15, 8};
constexpr DluRect PORT_BOX_RECT{42, 7, 38, 56};
constexpr DluRect OK_RECT{7, 34, 37, 14};
constexpr DluRect CANCEL_RECT{53, 34, 37, 14};
constexpr DluRect PORT_LINE_RECT{7, 55, 83, PORT_LINE_LINES * 8};

// The list offers the ports a board usually gets; any other number can be
// typed.
constexpr int LISTED_PORTS = 20;

}  // namespace

ComPortDialog::ComPortDialog(QWidget& owner, const QString& portText, PortDiscovery ports)
    : CommandDialog(owner, tr("COM Port"), DIALOG_WIDTH_DLU, DIALOG_HEIGHT_DLU, true),
      portText_(portText),
      ports_(std::move(ports)) {
  const DialogUnits& units = this->units();

  // Created in template order, which is the tab order.
  QLabel* comLabel = AddStaticText(*this, units, tr("&COM"), COM_LABEL_RECT);
  portBox_ = new QComboBox(this);
  SetBuddy(*comLabel, *portBox_, units, COM_LABEL_RECT);
  portBox_->setAccessibleName(tr("COM port number"));
  portBox_->setEditable(true);
  // The text stays exactly as typed: no completion, and Enter presses OK
  // instead of adding the text to the list.
  portBox_->setCompleter(nullptr);
  portBox_->setInsertPolicy(QComboBox::NoInsert);
  for (int port = 1; port <= LISTED_PORTS; ++port) portBox_->addItem(QString::number(port));
  const std::vector<std::int32_t> reached = NumbersReachingDevices(ports_);
  for (const std::int32_t number : reached) {
    if (number > LISTED_PORTS) portBox_->addItem(QString::number(number));
  }
  // Numbers that reach a device stand out, and name it when pointed at.
  for (int index = 0; index < portBox_->count(); ++index) {
    const std::int32_t number = portBox_->itemText(index).toInt();
    if (!std::ranges::binary_search(reached, number)) continue;
    QFont bold = font();
    bold.setBold(true);
    portBox_->setItemData(index, bold, Qt::FontRole);
    portBox_->setItemData(index, ShownLines(DescribePortNumber(number, ports_)), Qt::ToolTipRole);
  }
  PlaceDropDown(*portBox_, units, PORT_BOX_RECT);
  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setDefault(true);
  Place(*okButton_, units, OK_RECT);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  Place(*cancelButton_, units, CANCEL_RECT);
  portLine_ = AddStaticText(*this, units, {}, PORT_LINE_RECT);
  portLine_->setObjectName(QStringLiteral("portLine"));
  portLine_->setAccessibleName(tr("Device at this port number"));
  portLine_->setWordWrap(true);
  portLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The device path can be copied; the line takes no part in the tab order.
  portLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  // Prefix search from the first item, in either case.
  const int found = portBox_->findText(portText_, Qt::MatchStartsWith);
  {
    const QSignalBlocker quiet(portBox_);
    portBox_->setCurrentIndex(found);
    if (found < 0) portBox_->setEditText(portText_);
  }

  DescribeBoxText();
  // Typing and picking both change the edit text.
  connect(portBox_, &QComboBox::editTextChanged, this, &ComPortDialog::DescribeBoxText);
  connect(okButton_, &QPushButton::clicked, this, &ComPortDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &ComPortDialog::reject);
  portBox_->setFocus();
}

void ComPortDialog::DescribeBoxText() {
  const std::optional<std::int32_t> number = PortNumberOfText(portBox_->currentText().toStdString());
  const QString text = number ? ShownLines(DescribePortNumber(*number, ports_)) : QString();
  portLine_->setText(text);
  // Read with the box, where the focus is.
  portLine_->setAccessibleDescription(text);
  portBox_->setAccessibleDescription(text);
  // Whole, should a long product name not fit the lines.
  portLine_->setToolTip(text);
}

void ComPortDialog::accept() {
  portText_ = portBox_->currentText();
  QDialog::accept();
}

}  // namespace vorna
