#pragma once
// Window layouts are designed in dialog units, which scale with the dialog's
// font: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its character height. Laying windows
// out through these keeps their designed proportions whatever font the
// desktop has.

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace vorna {

// The point sizes the windows were designed for. They are used relative to
// the desktop's font: the template's size stands for the desktop's own, so a
// user who chose a larger font gets every window laid out in it.
inline constexpr int TEMPLATE_FONT_POINTS = 8;
inline constexpr int SPLASH_FONT_POINTS = 9;

// x, y, width, height in dialog units.
struct DluRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The desktop's default user-interface font, scaled by `pointSize` /
// TEMPLATE_FONT_POINTS: the desktop font itself for TEMPLATE_FONT_POINTS.
QFont TemplateFont(int pointSize);

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  QSize ToPixels(int width, int height) const;
  QRect ToPixels(const DluRect& rect) const;

 private:
  // Pixels per 4 horizontal and per 8 vertical dialog units.
  double charWidth_;
  double charHeight_;
};

// Puts `widget` at `rect` in its parent's client area.
void Place(QWidget& widget, const DialogUnits& units, const DluRect& rect);

}  // namespace vorna
