#pragma once
// The COM Port dialog: the number of the serial port, picked from "1" to
// "20" or typed. Under its buttons a line says what the number in the box
// opens, and the list marks the numbers that reach a device (numbers above
// 20 that do are listed after 20).

#include <QString>

#include "dialogs/command_dialog.h"
#include "link/port_discovery.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace vorna {

class ComPortDialog final : public CommandDialog {
  Q_OBJECT

 public:
  // Opens on `portText`: the first item that begins with it is selected,
  // otherwise the text stands in the box as it is. `ports` is what the
  // line and the marks tell of.
  ComPortDialog(QWidget& owner, const QString& portText, PortDiscovery ports = {});

  // The box's text as OK left it, typed or picked.
  const QString& portText() const { return portText_; }

  QComboBox& portBox() const { return *portBox_; }
  // What the number in the box opens; empty while the box holds no number.
  QLabel& portLine() const { return *portLine_; }
  QPushButton& okButton() const { return *okButton_; }
  QPushButton& cancelButton() const { return *cancelButton_; }

 public slots:
  void accept() override;

 private:
  void DescribeBoxText();

  QString portText_;
  PortDiscovery ports_;
  QComboBox* portBox_;
  QLabel* portLine_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace vorna
