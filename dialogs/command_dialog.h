#pragma once
// What the four command dialogs share: modal over the main window, laid out
// in the dialog units of the template font, and opening centred over the
// main window but inside the work area of the screen that shows it.

#include <QDialog>
#include <QRect>

#include "dialogs/dialog_units.h"

namespace vorna {

class CommandDialog : public QDialog {
  Q_OBJECT

 public:
  // `widthDlu` x `heightDlu` is the client area. `closeBox` adds the system
  // menu with its close box to the caption bar.
  CommandDialog(QWidget& owner, const QString& caption, int widthDlu, int heightDlu, bool closeBox);

 protected:
  const DialogUnits& units() const { return units_; }
  void showEvent(QShowEvent* event) override;

 private:
  DialogUnits units_;
};

// The outer frame of a window of `frameSize` centred over `ownerFrame`, and
// moved, if need be, to lie inside `workArea` (its top-left corner wins when
// it is larger than the work area).
QRect CentredInside(const QSize& frameSize, const QRect& ownerFrame, const QRect& workArea);

}  // namespace vorna
