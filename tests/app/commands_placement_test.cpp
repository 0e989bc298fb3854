// Where the command dialogs open: centred over the main window, moved into
// the screen's work area where centring would put them partly outside it.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <ostream>
#include <string>

#include "command_fixture.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/command_dialog.h"
#include "dialogs/download_dialog.h"
#include "dialogs/quick_setting_dialog.h"

namespace vorna::test {
namespace {

struct PlacementCase {
  const char* name;
  int commandId;
};

void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.name; }

class DialogPlacement : public CommandTest, public ::testing::WithParamInterface<PlacementCase> {
 protected:
  // Runs the command with the main window at `where` and returns the
  // dialog's frame as it opened.
  QRect OpenedAt(const QPoint& where) {
    window.move(where);
    QRect frame;
    DialogAnswerer<QDialog> answerer([this, &frame](QDialog& dialog) {
      if (dialog.parentWidget() != &window) return;
      frame = dialog.frameGeometry();
      dialog.reject();
    });
    window.RunCommand(GetParam().commandId);
    EXPECT_EQ(answerer.shown, 1);
    return frame;
  }

  static QRect WorkArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

TEST_P(DialogPlacement, OpensCentredOverTheMainWindow) {
  const QPoint middle =
      WorkArea().center() - QPoint(window.frameGeometry().width(), window.frameGeometry().height()) / 2;
  const QRect frame = OpenedAt(middle);
  const QPoint offset = frame.center() - window.frameGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << ", " << offset.y();
}

TEST_P(DialogPlacement, StaysInsideTheWorkAreaNearItsEdges) {
  const QRect area = WorkArea();
  for (const QPoint& corner :
       {area.topLeft(), area.bottomRight() - QPoint(window.frameGeometry().width(), window.frameGeometry().height())}) {
    const QRect frame = OpenedAt(corner);
    EXPECT_TRUE(area.contains(frame)) << "frame " << frame.x() << ", " << frame.y() << ", " << frame.width() << " x "
                                      << frame.height() << " in " << area.width() << " x " << area.height()
                                      << " with the main window at " << corner.x() << ", " << corner.y();
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogPlacement,
                         ::testing::Values(PlacementCase{"QuickSetting", ID_QUICK_SETTING},
                                           PlacementCase{"AdvancedSetting", ID_ADVANCED_SETTING},
                                           PlacementCase{"ComPort", ID_COM_PORT},
                                           PlacementCase{"Download", ID_DOWNLOAD}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CentringCase {
  const char* name;
  QRect owner;
  QSize frame;
  QPoint topLeft;
};

void PrintTo(const CentringCase& c, std::ostream* os) { *os << c.name; }

class Centring : public ::testing::TestWithParam<CentringCase> {};

TEST_P(Centring, CentresOverTheOwnerInsideTheWorkArea) {
  const QRect area(0, 20, 800, 580);
  const QRect frame = CentredInside(GetParam().frame, GetParam().owner, area);
  EXPECT_EQ(frame.size(), GetParam().frame);
  EXPECT_EQ(frame.topLeft(), GetParam().topLeft) << frame.x() << ", " << frame.y();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Centring,
    ::testing::Values(CentringCase{"Centred", {300, 220, 200, 200}, {100, 60}, {350, 290}},
                      CentringCase{"PastTheLeftAndTop", {0, 20, 100, 100}, {300, 400}, {0, 20}},
                      CentringCase{"PastTheRight", {700, 220, 100, 100}, {300, 100}, {500, 220}},
                      CentringCase{"PastTheBottom", {300, 500, 100, 100}, {100, 300}, {300, 300}},
                      CentringCase{"PastTheRightAndBottomCorner", {700, 500, 100, 100}, {300, 300}, {500, 300}},
                      // Larger than the work area: its top-left corner stays visible.
                      CentringCase{"LargerThanTheWorkArea", {300, 220, 200, 200}, {1000, 700}, {0, 20}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna::test
