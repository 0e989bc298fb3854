#include "dialogs/dialog_units.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>

#include <cmath>

namespace vorna {
namespace {

double AlphabetAverage(const QFont& font) {
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return QFontMetricsF(font).horizontalAdvance(alphabet) / alphabet.size();
}

TEST(DialogUnitsTest, FourAcrossAreOneCharacterAndEightDownOneLine) {
  const QFont font = TemplateFont(TEMPLATE_FONT_POINTS);
  const DialogUnits units(font);
  EXPECT_EQ(units.ToPixelsX(4), std::lround(AlphabetAverage(font)));
  EXPECT_EQ(units.ToPixelsY(8), std::lround(QFontMetricsF(font).height()));
  EXPECT_EQ(units.ToPixelsX(0), 0);
  EXPECT_EQ(units.ToPixelsY(0), 0);
}

TEST(DialogUnitsTest, RectanglesConvertEachSide) {
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  const QRect rect = units.ToPixels(DluRect{7, 7, 132, 129});
  EXPECT_EQ(rect, QRect(units.ToPixelsX(7), units.ToPixelsY(7), units.ToPixelsX(132), units.ToPixelsY(129)));
  EXPECT_EQ(units.ToPixels(147, 174), QSize(units.ToPixelsX(147), units.ToPixelsY(174)));
}

TEST(DialogUnitsTest, LayoutsGrowWithTheFont) {
  const DialogUnits small(TemplateFont(TEMPLATE_FONT_POINTS));
  const DialogUnits large(TemplateFont(2 * TEMPLATE_FONT_POINTS));
  const double widthRatio = static_cast<double>(large.ToPixelsX(400)) / small.ToPixelsX(400);
  const double heightRatio = static_cast<double>(large.ToPixelsY(400)) / small.ToPixelsY(400);
  EXPECT_NEAR(widthRatio, 2.0, 0.15);
  EXPECT_NEAR(heightRatio, 2.0, 0.15);
}

TEST(DialogUnitsTest, TemplateFontIsTheDesktopFontAtTheGivenSize) {
  const QFont font = TemplateFont(SPLASH_FONT_POINTS);
  EXPECT_EQ(font.family(), QApplication::font().family());
  EXPECT_EQ(font.pointSize(), SPLASH_FONT_POINTS);
}

}  // namespace
}  // namespace vorna
