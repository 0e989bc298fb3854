#include "dialogs/dialog_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

#include <algorithm>

#include "dialogs/shown_text.h"

namespace vorna {
namespace {

// One item of a dropped-down list is one line of the dialog font.
constexpr int LIST_ITEM_HEIGHT_DLU = 8;

// The templates' widths were measured for another font: where this one
// needs more room, a text grows to the right rather than being cut off.
void PlaceText(QWidget& widget, const DialogUnits& units, const DluRect& rect) {
  Place(widget, units, rect);
  widget.resize(std::max(widget.width(), widget.sizeHint().width()), widget.height());
}

}  // namespace

QLabel* AddStaticText(QWidget& parent, const DialogUnits& units, const QString& text, const DluRect& rect) {
  auto* label = new QLabel(text, &parent);
  label->setTextFormat(Qt::PlainText);
  PlaceText(*label, units, rect);
  return label;
}

void SetBuddy(QLabel& label, QWidget& control, const DialogUnits& units, const DluRect& rect) {
  label.setBuddy(&control);
  PlaceText(label, units, rect);
}

QCheckBox* AddCheckBox(QWidget& parent, const DialogUnits& units, const QString& text, const DluRect& rect) {
  auto* box = new QCheckBox(text, &parent);
  PlaceText(*box, units, rect);
  return box;
}

void PlaceDropDown(QComboBox& list, const DialogUnits& units, const DluRect& rect) {
  const QRect area = units.ToPixels(rect);
  const int closedHeight = list.sizeHint().height();
  list.setGeometry(area.x(), area.y(), area.width(), closedHeight);
  list.setMaxVisibleItems(std::max(1, (area.height() - closedHeight) / units.ToPixelsY(LIST_ITEM_HEIGHT_DLU)));
}

void LoadList(QComboBox& list, const std::vector<std::string>& items, int selection) {
  const QSignalBlocker quiet(list);
  list.clear();
  for (const std::string& item : items) list.addItem(ShownText(item));
  LoadSelection(list, selection);
}

void LoadSelection(QComboBox& list, int index) {
  const QSignalBlocker quiet(list);
  list.setCurrentIndex(index >= 0 && index < list.count() ? index : -1);
}

}  // namespace vorna
