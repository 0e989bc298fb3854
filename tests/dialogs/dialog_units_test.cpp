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

// The template size stands for the desktop's own size; other sizes keep
// their proportion to it, whatever size the desktop chose.
class TemplateFontTest : public ::testing::TestWithParam<double> {
 protected:
  void SetUp() override {
    saved_ = QApplication::font();
    QFont desktop = saved_;
    desktop.setPointSizeF(GetParam());
    QApplication::setFont(desktop);
  }
  void TearDown() override { QApplication::setFont(saved_); }

 private:
  QFont saved_;
};

TEST_P(TemplateFontTest, IsTheDesktopFontScaled) {
  EXPECT_EQ(TemplateFont(TEMPLATE_FONT_POINTS), QApplication::font());
  const QFont splash = TemplateFont(SPLASH_FONT_POINTS);
  EXPECT_EQ(splash.family(), QApplication::font().family());
  EXPECT_DOUBLE_EQ(splash.pointSizeF(), GetParam() * SPLASH_FONT_POINTS / TEMPLATE_FONT_POINTS);
}

INSTANTIATE_TEST_SUITE_P(DesktopSizes, TemplateFontTest, ::testing::Values(8.0, 9.0, 14.0, 24.0));

TEST(DialogUnitsTest, APixelSizedDesktopFontScalesInPixels) {
  const QFont saved = QApplication::font();
  QFont desktop = saved;
  desktop.setPixelSize(16);
  QApplication::setFont(desktop);
  const QFont splash = TemplateFont(SPLASH_FONT_POINTS);
  const QFont same = TemplateFont(TEMPLATE_FONT_POINTS);
  QApplication::setFont(saved);
  EXPECT_EQ(splash.pixelSize(), 18);
  EXPECT_EQ(same.pixelSize(), 16);
}

}  // namespace
}  // namespace vorna
