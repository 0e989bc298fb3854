#pragma once
// The Advanced Setting dialog: one register field at a time, picked from a
// list, with its help text and its value, either from a list of the values
// it allows or, for the synthesizer program P, typed in hexadecimal.

#include "dialogs/command_dialog.h"

#include "commands/advanced_dialog_state.h"
#include "model/transmitter_fields.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vorna {

class AdvancedSettingDialog final : public CommandDialog {
  Q_OBJECT

 public:
  // Opens on the decoded `fromBoard` fields with "PE" selected.
  AdvancedSettingDialog(QWidget& owner, const TransmitterFields& fromBoard);

  // The fields as OK left them: the hex box read into P, then every field
  // replaced by its default when "Restore default values." was ticked.
  const TransmitterFields& fields() const { return fields_; }

  QComboBox& fieldList() const { return *fieldList_; }
  QLabel& helpPane() const { return *helpPane_; }
  QComboBox& valueList() const { return *valueList_; }
  QLineEdit& hexBox() const { return *hexBox_; }
  QLabel& hexLabel() const { return *hexLabel_; }
  QCheckBox& restoreDefaultsBox() const { return *restoreDefaultsBox_; }
  QPushButton& okButton() const { return *okButton_; }
  QPushButton& cancelButton() const { return *cancelButton_; }

 public slots:
  void accept() override;

 private:
  void FieldSelected(int index);
  void ValueSelected(int index);
  void LoadControls();

  AdvancedState state_;
  TransmitterFields fields_;
  QComboBox* fieldList_;
  QLabel* helpPane_;
  QComboBox* valueList_;
  QLineEdit* hexBox_;
  QCheckBox* restoreDefaultsBox_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  QLabel* hexLabel_;
};

}  // namespace vorna
