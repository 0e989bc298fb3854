#pragma once
// The COM Port dialog: the number of the serial port, picked from "1" to
// "20" or typed.

#include <QString>
#include "dialogs/command_dialog.h"

class QComboBox;
class QPushButton;

namespace vorna {

class ComPortDialog final : public CommandDialog {
  Q_OBJECT

 public:
  // Opens on `portText`: the first item that begins with it is selected,
  // otherwise the text stands in the box as it is.
  ComPortDialog(QWidget& owner, const QString& portText);

  // The box's text as OK left it, typed or picked.
  const QString& portText() const { return portText_; }

  QComboBox& portBox() const { return *portBox_; }
  QPushButton& okButton() const { return *okButton_; }
  QPushButton& cancelButton() const { return *cancelButton_; }

 public slots:
  void accept() override;

 private:
  QString portText_;
  QComboBox* portBox_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace vorna
