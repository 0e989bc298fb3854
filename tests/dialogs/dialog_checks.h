#pragma once
// Checks shared by the tests of the command dialogs: list contents, tab
// order, and layouts that cut off or cover nothing.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <string>
#include <vector>

namespace vorna::test {

using Strings = std::vector<std::string>;

inline Strings Items(const QComboBox& list) {
  Strings items;
  for (int i = 0; i < list.count(); ++i) items.push_back(list.itemText(i).toStdString());
  return items;
}

// The selected item's text, or "none".
inline std::string Selected(const QComboBox& list) {
  return list.currentIndex() < 0 ? "none" : list.currentText().toStdString();
}

// The widgets that Tab visits, starting at `first`. A widget that hands
// its focus to another (an editable combo box's text field) is that other.
inline std::vector<const QWidget*> TabOrder(const QWidget& first) {
  std::vector<const QWidget*> order;
  const QWidget* w = &first;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(first.window()) && w->focusProxy() == nullptr) {
      order.push_back(w);
    }
    w = w->nextInFocusChain();
  } while (w != &first && order.size() < 100);
  return order;
}

// Every text of the dialog shows whole, and no two of its shown controls
// cover each other.
inline void ExpectTidyLayout(const QWidget& dialog) {
  std::vector<const QWidget*> shown;
  for (const QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->isVisibleTo(&dialog)) continue;
    shown.push_back(child);
    EXPECT_TRUE(dialog.rect().contains(child->geometry())) << child->metaObject()->className();
    // Push buttons ask for a minimum width beyond their text; their text
    // has to fit, the others' whole size hint.
    if (const auto* button = qobject_cast<const QPushButton*>(child)) {
      EXPECT_LT(button->fontMetrics().horizontalAdvance(button->text()), button->width())
          << button->text().toStdString() << " is cut off";
      continue;
    }
    const auto* label = qobject_cast<const QLabel*>(child);
    const auto* box = qobject_cast<const QCheckBox*>(child);
    if ((label != nullptr && !label->wordWrap()) || box != nullptr) {
      EXPECT_GE(child->width(), child->sizeHint().width())
          << (label ? label->text() : box->text()).toStdString() << " is cut off";
    }
  }
  for (std::size_t i = 0; i < shown.size(); ++i) {
    for (std::size_t j = i + 1; j < shown.size(); ++j) {
      EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
          << shown[i]->metaObject()->className() << " and " << shown[j]->metaObject()->className() << " overlap";
    }
  }
}

}  // namespace vorna::test
