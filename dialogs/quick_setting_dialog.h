#pragma once
// The Quick Setting dialog: the frequency as a whole-MHz list and a tenths
// list, output power, audio input level, pre-emphasis and its time constant,
// and "Set as default values".

#include "dialogs/command_dialog.h"

#include "commands/quick_dialog_state.h"
#include "model/quick_settings.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace vorna {

class QuickSettingDialog final : public CommandDialog {
  Q_OBJECT

 public:
  // Opens on the frequency and the four indices of `fromBoard`; the
  // "Set as default values" box always starts unticked.
  QuickSettingDialog(QWidget& owner, const QuickSettings& fromBoard);

  // The values as OK left them: the frequency formed from the two lists
  // (not yet clamped), -1 for a list without a selection, and the box.
  const QuickSettings& settings() const { return settings_; }

  QComboBox& mhzList() const { return *mhzList_; }
  QComboBox& digitList() const { return *digitList_; }
  QComboBox& powerList() const { return *powerList_; }
  QComboBox& audioLevelList() const { return *audioLevelList_; }
  QComboBox& preEmphasisList() const { return *preEmphasisList_; }
  QComboBox& timeConstantList() const { return *timeConstantList_; }
  QCheckBox& storeDefaultBox() const { return *storeDefaultBox_; }
  QPushButton& okButton() const { return *okButton_; }
  QPushButton& cancelButton() const { return *cancelButton_; }

 public slots:
  void accept() override;

 private:
  void MhzSelected(int index);

  QuickDialogState state_;
  QuickSettings settings_;
  QComboBox* mhzList_;
  QComboBox* digitList_;
  QComboBox* powerList_;
  QComboBox* audioLevelList_;
  QComboBox* preEmphasisList_;
  QComboBox* timeConstantList_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  QCheckBox* storeDefaultBox_;
};

}  // namespace vorna
