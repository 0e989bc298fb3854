#include "dialogs/com_port_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <ostream>
#include <string>
#include <vector>

#include "app/gui_test_support.h"
#include "dialog_checks.h"
#include "dialogs/dialog_units.h"

namespace vorna {
namespace {

using test::ExecWith;
using test::Items;
using test::ModalWatchdog;
using test::Strings;

class ComPortDialogTest : public ::testing::Test {
 protected:
  static void Type(ComPortDialog& dialog, const QString& text) {
    dialog.portBox().lineEdit()->clear();
    QTest::keyClicks(dialog.portBox().lineEdit(), text);
  }

  QWidget owner;
};

TEST_F(ComPortDialogTest, OffersTwentyPortsAndTakesTypedText) {
  ComPortDialog dialog(owner, QStringLiteral("1"));
  Strings ports;
  for (int n = 1; n <= 20; ++n) ports.push_back(std::to_string(n));
  EXPECT_EQ(Items(dialog.portBox()), ports);
  EXPECT_TRUE(dialog.portBox().isEditable());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("COM Port"));
}

struct OpeningCase {
  const char* portText;
  int selected;  // -1: no item
};

void PrintTo(const OpeningCase& c, std::ostream* os) { *os << '"' << c.portText << '"'; }

class ComPortOpening : public ComPortDialogTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(ComPortOpening, SelectsTheFirstItemBeginningWithTheTextOrShowsTheText) {
  ComPortDialog dialog(owner, QString::fromLatin1(GetParam().portText));
  EXPECT_EQ(dialog.portBox().currentIndex(), GetParam().selected);
  EXPECT_EQ(dialog.portBox().currentText(), QString::fromLatin1(GetParam().portText));
}

INSTANTIATE_TEST_SUITE_P(Texts, ComPortOpening,
                         ::testing::Values(OpeningCase{"1", 0}, OpeningCase{"2", 1}, OpeningCase{"3", 2},
                                           OpeningCase{"10", 9}, OpeningCase{"20", 19}, OpeningCase{"25", -1},
                                           OpeningCase{"0", -1}, OpeningCase{"-2", -1}, OpeningCase{"100", -1},
                                           OpeningCase{"2147483647", -1}));

struct OkCase {
  const char* name;
  const char* start;
  const char* typed;  // null: pick item 6 ("7") from the list instead
  const char* saved;
};

void PrintTo(const OkCase& c, std::ostream* os) { *os << c.name; }

class ComPortOk : public ComPortDialogTest, public ::testing::WithParamInterface<OkCase> {};

TEST_P(ComPortOk, HandsBackTheBoxTextAsItStands) {
  ComPortDialog dialog(owner, QString::fromLatin1(GetParam().start));
  ModalWatchdog watchdog;
  const int result = ExecWith(dialog, [&dialog] {
    if (GetParam().typed != nullptr) {
      Type(dialog, QString::fromLatin1(GetParam().typed));
    } else {
      dialog.portBox().setCurrentIndex(6);
    }
    QTest::keyClick(dialog.portBox().lineEdit(), Qt::Key_Return);
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.portText(), QString::fromLatin1(GetParam().saved));
  // Enter presses OK; it adds nothing to the list.
  EXPECT_EQ(dialog.portBox().count(), 20);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ComPortOk,
    ::testing::Values(OkCase{"Unchanged", "3", "3", "3"}, OkCase{"UnlistedUnchanged", "25", "25", "25"},
                      OkCase{"Picked", "3", nullptr, "7"}, OkCase{"TypedWithTail", "3", "7abc", "7abc"},
                      OkCase{"TypedAfterBlanks", "3", "  12", "  12"}, OkCase{"TypedLetters", "4", "abc", "abc"},
                      OkCase{"TypedNegative", "3", "-2", "-2"}, OkCase{"Emptied", "3", "", ""},
                      // No completion from the list: "1" stays "1", not "10".
                      OkCase{"TypedPrefixOfItems", "3", "1", "1"}),
    [](const auto& info) { return std::string(info.param.name); });

using EndAction = void (*)(ComPortDialog&);

struct EndCase {
  const char* name;
  EndAction end;
  int result;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class ComPortEnding : public ComPortDialogTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ComPortEnding, EndsWithOkOrCancel) {
  ComPortDialog dialog(owner, QStringLiteral("3"));
  ModalWatchdog watchdog;
  EXPECT_EQ(ExecWith(dialog, [&dialog] { GetParam().end(dialog); }), GetParam().result);
  EXPECT_FALSE(watchdog.fired());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ComPortEnding,
    ::testing::Values(EndCase{"OkButton", [](ComPortDialog& d) { QTest::mouseClick(&d.okButton(), Qt::LeftButton); },
                              QDialog::Accepted},
                      EndCase{"CancelButton",
                              [](ComPortDialog& d) { QTest::mouseClick(&d.cancelButton(), Qt::LeftButton); },
                              QDialog::Rejected},
                      EndCase{"Escape",
                              [](ComPortDialog& d) { QTest::keyClick(d.portBox().lineEdit(), Qt::Key_Escape); },
                              QDialog::Rejected},
                      EndCase{"CloseBox", [](ComPortDialog& d) { d.close(); }, QDialog::Rejected}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComPortDialogTest, LaidOutFromTheTemplate) {
  ComPortDialog dialog(owner, QStringLiteral("3"));
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  // Four lines taller than the template, for the line under the buttons.
  EXPECT_EQ(dialog.size(), units.ToPixels(97, 55 + 32));
  const QRect box = units.ToPixels({42, 7, 38, 56});
  EXPECT_EQ(dialog.portBox().pos(), box.topLeft());
  EXPECT_EQ(dialog.portBox().width(), box.width());
  EXPECT_LT(dialog.portBox().height(), box.height());
  EXPECT_EQ(dialog.okButton().geometry(), units.ToPixels({7, 34, 37, 14}));
  EXPECT_EQ(dialog.cancelButton().geometry(), units.ToPixels({53, 34, 37, 14}));
  EXPECT_TRUE(dialog.okButton().isDefault());
  const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 2);
  EXPECT_EQ(labels[0]->text(), QStringLiteral("&COM"));
  EXPECT_EQ(labels[0]->pos(), units.ToPixels({24, 9, 15, 8}).topLeft());
  EXPECT_EQ(labels[1], &dialog.portLine());
  EXPECT_EQ(dialog.portLine().geometry(), units.ToPixels({7, 55, 83, 32}));
  test::ExpectTidyLayout(dialog);
}

// A board on ttyACM0 reached as 3 and, through an alias, as 42; a built-in
// port reached as 1.
PortDiscovery SomePorts() {
  DiscoveredPort board;
  board.device = "/dev/ttyACM0";
  board.portNumbers = {3, 42};
  board.vendorId = "2fe3";
  board.productId = "0100";
  board.product = "FM Eval Board";
  board.serial = "VB000123";
  DiscoveredPort builtIn;
  builtIn.device = "/dev/ttyS0";
  builtIn.portNumbers = {1};
  return {{builtIn, board}, {}};
}

const QString BOARD_LINE = QString::fromUtf8("COM3 \u2192 /dev/ttyACM0, FM Eval Board (2fe3:0100, serial VB000123)");

TEST_F(ComPortDialogTest, TheLineSaysWhatTheNumberOpensAsTheUserTypesOrPicks) {
  ComPortDialog dialog(owner, QStringLiteral("3"), SomePorts());
  EXPECT_EQ(dialog.portLine().text(), BOARD_LINE);
  Type(dialog, QStringLiteral("5"));
  EXPECT_EQ(dialog.portLine().text(), QStringLiteral("COM5: nothing at this number"));
  Type(dialog, QStringLiteral("0"));
  EXPECT_EQ(dialog.portLine().text(), QString::fromUtf8("COM1 \u2192 /dev/ttyS0"));
  Type(dialog, QStringLiteral("x"));
  EXPECT_EQ(dialog.portLine().text(), QString());
  dialog.portBox().setCurrentIndex(2);
  EXPECT_EQ(dialog.portLine().text(), BOARD_LINE);
  Type(dialog, QStringLiteral("42"));
  EXPECT_TRUE(dialog.portLine().text().startsWith(QString::fromUtf8("COM42 \u2192 /dev/ttyACM0")));
  // What OK keeps is still the box's text, whatever the line says.
  QTest::mouseClick(&dialog.okButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.portText(), QStringLiteral("42"));
}

TEST_F(ComPortDialogTest, TheListMarksTheNumbersThatReachADevice) {
  ComPortDialog dialog(owner, QStringLiteral("1"), SomePorts());
  Strings expected;
  for (int n = 1; n <= 20; ++n) expected.push_back(std::to_string(n));
  expected.push_back("42");
  EXPECT_EQ(Items(dialog.portBox()), expected);
  for (int index = 0; index < dialog.portBox().count(); ++index) {
    const QString item = dialog.portBox().itemText(index);
    const bool reached = item == QStringLiteral("1") || item == QStringLiteral("3") || item == QStringLiteral("42");
    SCOPED_TRACE(item.toStdString());
    EXPECT_EQ(dialog.portBox().itemData(index, Qt::FontRole).value<QFont>().bold(), reached);
    EXPECT_EQ(dialog.portBox().itemData(index, Qt::ToolTipRole).toString().isEmpty(), !reached);
  }
  EXPECT_EQ(dialog.portBox().itemData(2, Qt::ToolTipRole).toString(), BOARD_LINE);
}

TEST_F(ComPortDialogTest, WithoutDevicesEveryNumberReachesNothing) {
  ComPortDialog dialog(owner, QStringLiteral("7"));
  EXPECT_EQ(dialog.portLine().text(), QStringLiteral("COM7: nothing at this number"));
  EXPECT_EQ(dialog.portBox().count(), 20);
}

TEST_F(ComPortDialogTest, FocusStartsInTheBoxAndTabFollowsTheTemplate) {
  ComPortDialog dialog(owner, QStringLiteral("3"));
  dialog.show();
  EXPECT_EQ(dialog.focusWidget(), &dialog.portBox());
  EXPECT_EQ(test::TabOrder(dialog.portBox()),
            (std::vector<const QWidget*>{&dialog.portBox(), &dialog.okButton(), &dialog.cancelButton()}));
}

}  // namespace
}  // namespace vorna
