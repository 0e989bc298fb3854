#include "dialogs/dialog_units.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QWidget>

#include <cmath>

namespace vorna {
namespace {

// Dialog base units have always been measured on the Latin alphabet, not on
// the font's declared average width, which wide symbol sets inflate.
constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int ALPHABET_LENGTH = sizeof(ALPHABET) - 1;
constexpr double UNITS_PER_CHAR_WIDTH = 4.0;
constexpr double UNITS_PER_CHAR_HEIGHT = 8.0;

int Scale(int units, double pixelsPerChar, double unitsPerChar) {
  return static_cast<int>(std::lround(units * pixelsPerChar / unitsPerChar));
}

}  // namespace

QFont TemplateFont(int pointSize) {
  QFont font = QApplication::font();
  if (pointSize == TEMPLATE_FONT_POINTS) return font;
  const double scale = static_cast<double>(pointSize) / TEMPLATE_FONT_POINTS;
  // A desktop font may be given in pixels rather than points.
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * scale);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(static_cast<int>(std::lround(font.pixelSize() * scale)));
  }
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetricsF metrics(font);
  charWidth_ = metrics.horizontalAdvance(QLatin1String(ALPHABET)) / ALPHABET_LENGTH;
  charHeight_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const { return Scale(units, charWidth_, UNITS_PER_CHAR_WIDTH); }

int DialogUnits::ToPixelsY(int units) const { return Scale(units, charHeight_, UNITS_PER_CHAR_HEIGHT); }

QSize DialogUnits::ToPixels(int width, int height) const { return {ToPixelsX(width), ToPixelsY(height)}; }

QRect DialogUnits::ToPixels(const DluRect& rect) const {
  return {ToPixelsX(rect.x), ToPixelsY(rect.y), ToPixelsX(rect.width), ToPixelsY(rect.height)};
}

void Place(QWidget& widget, const DialogUnits& units, const DluRect& rect) { widget.setGeometry(units.ToPixels(rect)); }

}  // namespace vorna
