// The "COM Port" menu item: what the dialog opens with, and what its text
// makes of the port number that every board command then opens.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <ostream>
#include <string>

#include "command_fixture.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/dialog_checks.h"
#include "dialogs/quick_setting_dialog.h"
#ifndef _WIN32
#include "support/fake_port_tree.h"
#endif

namespace vorna::test {
namespace {

class ComPortCommandTest : public CommandTest {
 protected:
  // Runs the menu item; `answer` handles the dialog.
  int RunComPort(const std::function<void(ComPortDialog&)>& answer) {
    DialogAnswerer<ComPortDialog> answerer(answer);
    window.action(ID_COM_PORT)->trigger();
    return answerer.shown;
  }

  static void Type(ComPortDialog& d, const char* text) {
    d.portBox().lineEdit()->clear();
    QTest::keyClicks(d.portBox().lineEdit(), QString::fromLatin1(text));
  }
};

#ifndef _WIN32
// The dialog looks at the window's device tree, and says what the window's
// number opens there (a POSIX tree: sysfs and /dev).
TEST_F(ComPortCommandTest, TheDialogSaysWhatTheNumberOpens) {
  FakeTree tree;
  AcmBoard(tree, "ttyACM2");
  window.UsePortRoots(tree.roots());
  window.state().portNumber = 3;
  EXPECT_EQ(RunComPort([](ComPortDialog& d) {
              EXPECT_EQ(d.portLine().text(),
                        QString::fromUtf8("COM3 \u2192 /dev/ttyACM2, FM Eval Board (2fe3:0100, serial VB000123)"));
              Type(d, "2");
              EXPECT_EQ(d.portLine().text(), QStringLiteral("COM2: nothing at this number"));
              QTest::mouseClick(&d.cancelButton(), Qt::LeftButton);
            }),
            1);
  EXPECT_EQ(window.state().portNumber, 3);
}
#endif

struct OpeningCase {
  std::int32_t port;
  const char* text;
  int selected;
};

void PrintTo(const OpeningCase& c, std::ostream* os) { *os << "port " << c.port; }

class ComPortCommandOpening : public ComPortCommandTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(ComPortCommandOpening, ShowsThePortNumberWithFocusInTheBox) {
  window.state().portNumber = GetParam().port;
  EXPECT_EQ(RunComPort([this](ComPortDialog& d) {
              EXPECT_EQ(d.parentWidget(), &window);
              EXPECT_EQ(d.portBox().currentText(), QString::fromLatin1(GetParam().text));
              EXPECT_EQ(d.portBox().currentIndex(), GetParam().selected);
              EXPECT_EQ(d.focusWidget(), &d.portBox());
              QTest::mouseClick(&d.okButton(), Qt::LeftButton);
            }),
            1);
  // OK without a change keeps the number, except that 0 becomes 1.
  EXPECT_EQ(window.state().portNumber, GetParam().port == 0 ? 1 : GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(Ports, ComPortCommandOpening,
                         ::testing::Values(OpeningCase{3, "3", 2}, OpeningCase{1, "1", 0}, OpeningCase{20, "20", 19},
                                           OpeningCase{25, "25", -1}, OpeningCase{0, "0", -1},
                                           OpeningCase{-2, "-2", -1}, OpeningCase{2147483647, "2147483647", -1},
                                           OpeningCase{-2147483647 - 1, "-2147483648", -1}));

struct TypedCase {
  const char* name;
  std::int32_t before;
  const char* typed;
  std::int32_t after;
};

void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.name; }

class ComPortCommandTyped : public ComPortCommandTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(ComPortCommandTyped, ReadsTheTextAsADecimalNumber) {
  window.state().portNumber = GetParam().before;
  RunComPort([](ComPortDialog& d) {
    Type(d, GetParam().typed);
    QTest::keyClick(d.portBox().lineEdit(), Qt::Key_Return);
  });
  EXPECT_EQ(window.state().portNumber, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ComPortCommandTyped,
    ::testing::Values(TypedCase{"DigitsThenLetters", 3, "7abc", 7}, TypedCase{"BlanksFirst", 3, "  12", 12},
                      TypedCase{"Letters", 4, "abc", 4}, TypedCase{"LettersFromZero", 0, "abc", 1},
                      TypedCase{"Negative", 3, "-2", -2}, TypedCase{"Plus", 3, "+9", 9}, TypedCase{"Zero", 3, "0", 1},
                      TypedCase{"AboveTheList", 3, "57", 57}, TypedCase{"Emptied", 5, "", 5},
                      TypedCase{"EmptiedFromZero", 0, "", 0}, TypedCase{"LargestInt", 3, "2147483647", 2147483647},
                      TypedCase{"SmallestInt", 3, "-2147483648", -2147483647 - 1},
                      // Beyond 32 bits the number is not taken.
                      TypedCase{"BeyondInt", 6, "2147483648", 6}, TypedCase{"FarBeyondInt", 6, "99999999999999", 6},
                      TypedCase{"BelowInt", 6, "-2147483649", 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComPortCommandTest, PickingAnItemSetsItsNumber) {
  RunComPort([](ComPortDialog& d) {
    d.portBox().setCurrentIndex(14);
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  EXPECT_EQ(window.state().portNumber, 15);
}

TEST_F(ComPortCommandTest, CancelAfterTypingKeepsTheNumber) {
  window.state().portNumber = 4;
  for (const auto& cancel : std::vector<std::function<void(ComPortDialog&)>>{
           [](ComPortDialog& d) { QTest::mouseClick(&d.cancelButton(), Qt::LeftButton); },
           [](ComPortDialog& d) { QTest::keyClick(d.portBox().lineEdit(), Qt::Key_Escape); },
           [](ComPortDialog& d) { d.close(); }}) {
    RunComPort([&cancel](ComPortDialog& d) {
      Type(d, "9");
      cancel(d);
    });
    EXPECT_EQ(window.state().portNumber, 4);
  }
}

TEST_F(ComPortCommandTest, TouchesNeitherTheBoardNorTheStatus) {
  window.SetStatusText("before");
  RunComPort([](ComPortDialog& d) {
    Type(d, "8");
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  EXPECT_TRUE(board.opened.empty());
  EXPECT_TRUE(statusAtOpen.empty());
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(ComPortCommandTest, NextBoardCommandOpensTheNewNumber) {
  RunComPort([](ComPortDialog& d) {
    Type(d, "-2");
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  DialogAnswerer<QuickSettingDialog> quick([](QuickSettingDialog& d) { d.reject(); });
  window.action(ID_QUICK_SETTING)->trigger();
  EXPECT_EQ(boxes, Strings{"Can not open COM-2"});
  EXPECT_EQ(quick.shown, 0);

  RunComPort([](ComPortDialog& d) {
    Type(d, "7");
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  window.action(ID_QUICK_SETTING)->trigger();
  EXPECT_EQ(board.opened, Strings{"/dev/fake7"});
  EXPECT_EQ(quick.shown, 1);
}

TEST_F(ComPortCommandTest, NewNumberReachesTheSettingsFileWhenTheWindowCloses) {
  const AppPaths paths{"VORNA", folder.File("other.ini"), folder.File("VORNAHLP.html")};
  {
    MainWindow other(paths);
    other.show();
    DialogAnswerer<ComPortDialog> answerer([](ComPortDialog& d) {
      Type(d, "14");
      QTest::mouseClick(&d.okButton(), Qt::LeftButton);
    });
    other.RunCommand(ID_COM_PORT);
    EXPECT_EQ(other.state().portNumber, 14);
  }
  MainWindow reopened(paths);
  EXPECT_EQ(reopened.state().portNumber, 14);
}

}  // namespace
}  // namespace vorna::test
