#include "dialogs/quick_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <string>
#include <vector>

#include "dialogs/dialog_controls.h"

namespace vorna {
namespace {

constexpr int DIALOG_WIDTH_DLU = 143;
constexpr int DIALOG_HEIGHT_DLU = 219;

constexpr DluRect FREQUENCY_LABEL_RECT{14, 9, 56, 8};
constexpr DluRect MHZ_LIST_RECT{14, 22, 34, 47};
constexpr DluRect DIGIT_LIST_RECT{61, 22, 34, 45};
constexpr DluRect POWER_LIST_RECT{14, 54, 34, 44};
constexpr DluRect AUDIO_LEVEL_LIST_RECT{14, 86, 34, 43};
constexpr DluRect PRE_EMPHASIS_LIST_RECT{14, 116, 34, 43};
constexpr DluRect TIME_CONSTANT_LIST_RECT{14, 146, 34, 42};
constexpr DluRect OK_RECT{25, 198, 36, 14};
constexpr DluRect CANCEL_RECT{78, 198, 36, 14};
constexpr DluRect POINT_RECT{52, 26, 8, 8};
constexpr DluRect MHZ_UNIT_RECT{98, 26, 22, 8};
constexpr DluRect POWER_LABEL_RECT{14, 42, 40, 8};
constexpr DluRect POWER_UNIT_RECT{52, 58, 20, 8};
constexpr DluRect AUDIO_LEVEL_LABEL_RECT{14, 74, 52, 8};
constexpr DluRect AUDIO_LEVEL_UNIT_RECT{52, 90, 35, 8};
constexpr DluRect PRE_EMPHASIS_LABEL_RECT{14, 105, 54, 8};
constexpr DluRect TIME_CONSTANT_LABEL_RECT{14, 134, 87, 8};
constexpr DluRect TIME_CONSTANT_UNIT_RECT{52, 150, 29, 8};
constexpr DluRect STORE_DEFAULT_RECT{14, 169, 90, 10};

QComboBox* AddDropDown(QWidget& parent, const DialogUnits& units, const DluRect& rect) {
  auto* list = new QComboBox(&parent);
  PlaceDropDown(*list, units, rect);
  return list;
}

}  // namespace

QuickSettingDialog::QuickSettingDialog(QWidget& owner, const QuickSettings& fromBoard)
    : CommandDialog(owner, tr("Quick Setting"), DIALOG_WIDTH_DLU, DIALOG_HEIGHT_DLU, true), settings_(fromBoard) {
  const DialogUnits& units = this->units();

  // Created in template order, which is the tab order.
  QLabel* frequencyLabel = AddStaticText(*this, units, tr("&Transmission Freq."), FREQUENCY_LABEL_RECT);
  mhzList_ = AddDropDown(*this, units, MHZ_LIST_RECT);
  digitList_ = AddDropDown(*this, units, DIGIT_LIST_RECT);
  powerList_ = AddDropDown(*this, units, POWER_LIST_RECT);
  audioLevelList_ = AddDropDown(*this, units, AUDIO_LEVEL_LIST_RECT);
  preEmphasisList_ = AddDropDown(*this, units, PRE_EMPHASIS_LIST_RECT);
  timeConstantList_ = AddDropDown(*this, units, TIME_CONSTANT_LIST_RECT);
  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setDefault(true);
  Place(*okButton_, units, OK_RECT);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  Place(*cancelButton_, units, CANCEL_RECT);
  // Not the tenths list's buddy: a screen reader would call the list ".".
  AddStaticText(*this, units, QStringLiteral("."), POINT_RECT);
  AddStaticText(*this, units, tr("MHz"), MHZ_UNIT_RECT);
  SetBuddy(*AddStaticText(*this, units, tr("&Output Power"), POWER_LABEL_RECT), *powerList_, units, POWER_LABEL_RECT);
  AddStaticText(*this, units, tr("mW"), POWER_UNIT_RECT);
  SetBuddy(*AddStaticText(*this, units, tr("&Audio Input Level"), AUDIO_LEVEL_LABEL_RECT), *audioLevelList_, units,
           AUDIO_LEVEL_LABEL_RECT);
  AddStaticText(*this, units, tr("mVrms"), AUDIO_LEVEL_UNIT_RECT);
  SetBuddy(*AddStaticText(*this, units, tr("&Pre-emphasis"), PRE_EMPHASIS_LABEL_RECT), *preEmphasisList_, units,
           PRE_EMPHASIS_LABEL_RECT);
  SetBuddy(*AddStaticText(*this, units, tr("Pre-emphasis Time &Constant"), TIME_CONSTANT_LABEL_RECT),
           *timeConstantList_, units, TIME_CONSTANT_LABEL_RECT);
  AddStaticText(*this, units, tr("uSec"), TIME_CONSTANT_UNIT_RECT);
  storeDefaultBox_ = AddCheckBox(*this, units, tr("&Set as default values"), STORE_DEFAULT_RECT);

  SetBuddy(*frequencyLabel, *mhzList_, units, FREQUENCY_LABEL_RECT);
  // The unit belongs in the name: a screen reader reads the list alone.
  mhzList_->setAccessibleName(tr("Transmission frequency, MHz"));
  digitList_->setAccessibleName(tr("Transmission frequency, tenths of a MHz"));
  powerList_->setAccessibleName(tr("Output power, mW"));
  audioLevelList_->setAccessibleName(tr("Audio input level, mVrms"));
  preEmphasisList_->setAccessibleName(tr("Pre-emphasis"));
  timeConstantList_->setAccessibleName(tr("Pre-emphasis time constant, microseconds"));
  // On Linux's accessibility bus Qt names a list after its current item: the
  // description says what the list is there.
  for (QComboBox* list : {mhzList_, digitList_, powerList_, audioLevelList_, preEmphasisList_, timeConstantList_})
    list->setAccessibleDescription(list->accessibleName());

  state_ = OpenQuickState(fromBoard);
  LoadList(*mhzList_, MhzItems(), state_.frequency.mhzSelection);
  LoadList(*digitList_, state_.frequency.digitItems, state_.frequency.digitSelection);
  LoadList(*powerList_, DisplayItems(OUTPUT_POWER_MW), state_.powerSelection);
  LoadList(*audioLevelList_, DisplayItems(AUDIO_LEVEL_MVRMS), state_.audioLevelSelection);
  LoadList(*preEmphasisList_, DisplayItems(PRE_EMPHASIS_TEXT), state_.preEmphasisSelection);
  LoadList(*timeConstantList_, DisplayItems(TIME_CONSTANT_US), state_.timeConstantSelection);
  storeDefaultBox_->setChecked(state_.storeAsDefault);

  connect(mhzList_, &QComboBox::currentIndexChanged, this, &QuickSettingDialog::MhzSelected);
  connect(okButton_, &QPushButton::clicked, this, &QuickSettingDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &QuickSettingDialog::reject);
  mhzList_->setFocus();
}

void QuickSettingDialog::MhzSelected(int index) {
  if (index < 0) return;
  // The user may have picked another tenth since the lists were last loaded.
  state_.frequency.digitSelection = digitList_->currentIndex();
  SelectMhz(state_.frequency, index);
  LoadList(*digitList_, state_.frequency.digitItems, state_.frequency.digitSelection);
}

void QuickSettingDialog::accept() {
  state_.frequency.mhzSelection = mhzList_->currentIndex();
  state_.frequency.digitSelection = digitList_->currentIndex();
  state_.powerSelection = powerList_->currentIndex();
  state_.audioLevelSelection = audioLevelList_->currentIndex();
  state_.preEmphasisSelection = preEmphasisList_->currentIndex();
  state_.timeConstantSelection = timeConstantList_->currentIndex();
  state_.storeAsDefault = storeDefaultBox_->isChecked();
  settings_ = AcceptQuick(state_);
  QDialog::accept();
}

}  // namespace vorna
