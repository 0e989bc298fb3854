#pragma once
// Building blocks shared by the command dialogs, which are all laid out from
// their templates in dialog units.

#include <QString>

#include <string>
#include <vector>

#include "dialogs/dialog_units.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;

namespace vorna {

// Static text at `rect`, shown as given (no markup).
QLabel* AddStaticText(QWidget& parent, const DialogUnits& units, const QString& text, const DluRect& rect);

// Makes `label` name `control`, its mnemonic moving the focus there, and
// places it at `rect` again for its text as now shown, without the '&'.
void SetBuddy(QLabel& label, QWidget& control, const DialogUnits& units, const DluRect& rect);

// A check box at `rect`.
QCheckBox* AddCheckBox(QWidget& parent, const DialogUnits& units, const QString& text, const DluRect& rect);

// A drop-down list at `rect`, whose height, as in the templates, includes
// the dropped-down part: the closed box keeps its natural height and the
// rest of the rectangle decides how many items show when it drops down.
void PlaceDropDown(QComboBox& list, const DialogUnits& units, const DluRect& rect);

// Replaces the items of `list` with `items`, translated (ShownText), and selects `selection` (-1 or an index
// beyond the items leaves none selected) without notifying anybody: the
// dialogs' handlers run for the user's changes only.
void LoadList(QComboBox& list, const std::vector<std::string>& items, int selection);

// Selects `index`, or nothing when the index is not one of the positions of
// the list, without notifying anybody.
void LoadSelection(QComboBox& list, int index);

}  // namespace vorna
