#include "dialogs/splash_dialog.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <ostream>
#include <string>

#include "app/artwork.h"
#include "app/gui_test_support.h"
#include "dialogs/dialog_units.h"

namespace vorna {
namespace {

using test::ExecWith;
using test::ModalWatchdog;
using test::WATCHDOG_RESULT;

constexpr QSize SPLASH_PICTURE_SIZE(433, 360);
constexpr int SPLASH_MARGIN_DLU = 7;
// Windows' timers count in the system's ticks (about 16 ms), which the
// test's clock does not share: by that clock the splash may end up to one
// tick early there.
#ifdef _WIN32
constexpr int TIMER_TICK_MS = 16;
#else
constexpr int TIMER_TICK_MS = 0;
#endif

TEST(SplashDialogTest, EndsOnItsTimerAsIfCancelled) {
  ModalWatchdog watchdog;
  SplashDialog splash(SplashPicture());
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(splash.exec(), QDialog::Rejected);
  EXPECT_GE(clock.elapsed(), SPLASH_TIME_MS - TIMER_TICK_MS);
  EXPECT_FALSE(watchdog.fired());
}

struct KeyCase {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  int result;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class SplashKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(SplashKeyTest, EndsAtOnce) {
  ModalWatchdog watchdog;
  SplashDialog splash(SplashPicture());
  QElapsedTimer clock;
  clock.start();
  const int result =
      ExecWith(splash, [this, &splash] { QTest::keyClick(&splash, GetParam().key, GetParam().modifiers); });
  EXPECT_EQ(result, GetParam().result);
  EXPECT_LT(clock.elapsed(), SPLASH_TIME_MS);
  EXPECT_FALSE(watchdog.fired());
}

INSTANTIATE_TEST_SUITE_P(Keys, SplashKeyTest,
                         ::testing::Values(KeyCase{"Return", Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
                                           KeyCase{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, QDialog::Accepted},
                                           KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SplashDialogTest, OtherKeysDoNotEndIt) {
  ModalWatchdog watchdog;
  SplashDialog splash(SplashPicture());
  QElapsedTimer clock;
  clock.start();
  const int result = ExecWith(splash, [&splash] {
    QTest::keyClick(&splash, Qt::Key_Space);
    QTest::keyClick(&splash, Qt::Key_A);
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_GE(clock.elapsed(), SPLASH_TIME_MS - TIMER_TICK_MS);
  EXPECT_FALSE(watchdog.fired());
}

TEST(SplashDialogTest, ShowsThePictureInAnEvenMarginCentredOnTheScreen) {
  SplashDialog splash(SplashPicture());
  const DialogUnits units(TemplateFont(SPLASH_FONT_POINTS));
  EXPECT_EQ(splash.font(), TemplateFont(SPLASH_FONT_POINTS));
  const QLabel& picture = splash.picture();
  EXPECT_EQ(picture.pixmap().deviceIndependentSize().toSize(), SPLASH_PICTURE_SIZE);
  const QPoint margin(units.ToPixelsX(SPLASH_MARGIN_DLU), units.ToPixelsY(SPLASH_MARGIN_DLU));
  EXPECT_EQ(picture.geometry(), QRect(margin, SPLASH_PICTURE_SIZE));
  EXPECT_EQ(splash.size(), SPLASH_PICTURE_SIZE + QSize(2 * margin.x(), 2 * margin.y()));

  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint offset = splash.frameGeometry().center() - screen.center();
  EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
  EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
}

}  // namespace
}  // namespace vorna
