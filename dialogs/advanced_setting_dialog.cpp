#include "dialogs/advanced_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>
#include <vector>

#include "dialogs/dialog_controls.h"
#include "dialogs/shown_text.h"

namespace vorna {
namespace {

constexpr int DIALOG_WIDTH_DLU = 243;
constexpr int DIALOG_HEIGHT_DLU = 265;

constexpr DluRect FIELD_LIST_RECT{8, 8, 48, 71};
constexpr DluRect HELP_PANE_RECT{7, 25, 229, 173};
constexpr DluRect VALUE_LIST_RECT{31, 207, 48, 43};
constexpr DluRect HEX_BOX_RECT{31, 206, 60, 14};
constexpr DluRect RESTORE_DEFAULTS_RECT{31, 223, 83, 10};
constexpr DluRect OK_RECT{59, 244, 50, 14};
constexpr DluRect CANCEL_RECT{131, 244, 50, 14};
constexpr DluRect HEX_LABEL_RECT{21, 209, 8, 8};

std::vector<std::string> FieldItems() { return {FIELD_NAMES.begin(), FIELD_NAMES.end()}; }

}  // namespace

AdvancedSettingDialog::AdvancedSettingDialog(QWidget& owner, const TransmitterFields& fromBoard)
    : CommandDialog(owner, tr("Advanced Setting"), DIALOG_WIDTH_DLU, DIALOG_HEIGHT_DLU, true),
      state_(OpenAdvancedState(fromBoard)),
      fields_(fromBoard) {
  const DialogUnits& units = this->units();

  // Created in template order, which is the tab order.
  fieldList_ = new QComboBox(this);
  PlaceDropDown(*fieldList_, units, FIELD_LIST_RECT);
  helpPane_ = AddStaticText(*this, units, QString(), HELP_PANE_RECT);
  helpPane_->setWordWrap(true);
  helpPane_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  valueList_ = new QComboBox(this);
  PlaceDropDown(*valueList_, units, VALUE_LIST_RECT);
  hexBox_ = new QLineEdit(this);
  Place(*hexBox_, units, HEX_BOX_RECT);
  restoreDefaultsBox_ = AddCheckBox(*this, units, tr("&Restore default values."), RESTORE_DEFAULTS_RECT);
  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setDefault(true);
  Place(*okButton_, units, OK_RECT);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  Place(*cancelButton_, units, CANCEL_RECT);
  hexLabel_ = AddStaticText(*this, units, QStringLiteral("0x"), HEX_LABEL_RECT);
  hexLabel_->setBuddy(hexBox_);
  fieldList_->setAccessibleName(tr("Register field"));
  valueList_->setAccessibleName(tr("Value of the field"));
  hexBox_->setAccessibleName(tr("P (hexadecimal)"));

  // The state already has "PE" selected and its handler run.
  LoadList(*fieldList_, FieldItems(), static_cast<int>(state_.selectedField));
  LoadControls();

  connect(fieldList_, &QComboBox::currentIndexChanged, this, &AdvancedSettingDialog::FieldSelected);
  connect(valueList_, &QComboBox::currentIndexChanged, this, &AdvancedSettingDialog::ValueSelected);
  connect(okButton_, &QPushButton::clicked, this, &AdvancedSettingDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &AdvancedSettingDialog::reject);
  fieldList_->setFocus();
}

void AdvancedSettingDialog::LoadControls() {
  const QString help = ShownText(state_.helpText);
  helpPane_->setText(help);
  // The help's heading names the field in full, with its register bits; it
  // is read with whichever control has the focus. A list's description
  // starts with its name, which Qt on Linux reports as the current item.
  const QString heading = help.section(QLatin1Char('\n'), 0, 0);
  for (QWidget* list : {static_cast<QWidget*>(fieldList_), static_cast<QWidget*>(valueList_)})
    list->setAccessibleDescription(QStringLiteral("%1: %2").arg(list->accessibleName(), heading));
  hexBox_->setAccessibleDescription(heading);
  LoadList(*valueList_, state_.valueItems, state_.valueSelection);
  hexBox_->setText(QString::fromStdString(state_.hexText));
  // The value list and the hex box share one place.
  valueList_->setVisible(!state_.hexShown);
  hexBox_->setVisible(state_.hexShown);
  hexLabel_->setVisible(state_.hexShown);
}

void AdvancedSettingDialog::FieldSelected(int index) {
  if (index < 0) return;
  // Text typed into the hex box stays while another field is shown.
  state_.hexText = hexBox_->text().toStdString();
  SelectField(state_, static_cast<std::size_t>(index));
  LoadControls();
}

void AdvancedSettingDialog::ValueSelected(int index) { SelectValue(state_, index); }

void AdvancedSettingDialog::accept() {
  state_.hexText = hexBox_->text().toStdString();
  fields_ = AcceptAdvanced(state_, restoreDefaultsBox_->isChecked());
  QDialog::accept();
}

}  // namespace vorna
