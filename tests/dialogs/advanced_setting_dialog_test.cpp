#include "dialogs/advanced_setting_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/gui_test_support.h"
#include "dialog_checks.h"
#include "dialogs/dialog_units.h"
#include "model/transmitter_fields.h"

namespace vorna {
namespace {

using test::ExecWith;
using test::Items;
using test::ModalWatchdog;
using test::Selected;
using test::Strings;

// The fake board's power-on registers, decoded: PL is the index 0.
TransmitterFields FromBoard() {
  RegisterSnapshot snapshot{{0x21, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 6}};
  return DecodeFields(snapshot);
}

class AdvancedSettingDialogTest : public ::testing::Test {
 protected:
  // Shows the place the value list and the hex box share.
  static void ExpectOneValueControl(const AdvancedSettingDialog& dialog, bool hex) {
    EXPECT_EQ(dialog.valueList().isVisibleTo(&dialog), !hex);
    EXPECT_EQ(dialog.hexBox().isVisibleTo(&dialog), hex);
    EXPECT_EQ(dialog.hexLabel().isVisibleTo(&dialog), hex);
  }

  static void TypeHex(AdvancedSettingDialog& dialog, const QString& text) {
    dialog.hexBox().clear();
    QTest::keyClicks(&dialog.hexBox(), text);
  }

  QWidget owner;
};

TEST_F(AdvancedSettingDialogTest, OpensOnPeWithItsHelpAndValue) {
  TransmitterFields fields = FromBoard();
  for (const int pe : {0, 1}) {
    fields[FIELD_PE] = pe;
    AdvancedSettingDialog dialog(owner, fields);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Advanced Setting"));
    EXPECT_EQ(Selected(dialog.fieldList()), "PE");
    EXPECT_EQ(dialog.helpPane().text().toStdString(), HelpText(FIELD_PE));
    EXPECT_EQ(Items(dialog.valueList()), (Strings{"0", "1"}));
    EXPECT_EQ(dialog.valueList().currentIndex(), pe);
    ExpectOneValueControl(dialog, false);
    EXPECT_TRUE(dialog.hexBox().text().isEmpty());
    EXPECT_FALSE(dialog.restoreDefaultsBox().isChecked());
    EXPECT_EQ(dialog.restoreDefaultsBox().text(), QStringLiteral("&Restore default values."));
    EXPECT_EQ(dialog.hexLabel().text(), QStringLiteral("0x"));
  }
}

TEST_F(AdvancedSettingDialogTest, FieldListHoldsTheFourteenNamesInFieldOrder) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  EXPECT_EQ(Items(dialog.fieldList()),
            (Strings{"PE", "PDX", "MUTE", "EM", "EMS", "AG", "PLT", "SUBC", "PL", "ULD", "P", "CIA", "CIB", "CEX"}));
  EXPECT_FALSE(dialog.fieldList().isEditable());
  EXPECT_FALSE(dialog.valueList().isEditable());
}

struct FieldCase {
  FieldIndex field;
  Strings values;  // empty: the hex box instead
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << FIELD_NAMES[c.field]; }

class AdvancedFieldSelection : public AdvancedSettingDialogTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(AdvancedFieldSelection, ShowsHelpAndTheValuesOfTheField) {
  const FieldIndex field = GetParam().field;
  const bool hex = GetParam().values.empty();
  const int count = static_cast<int>(GetParam().values.size());
  // Every value a field can hold from the board, in range or not.
  for (const int value : {-2, -1, 0, 1, 2, 3}) {
    TransmitterFields fields = FromBoard();
    fields[field] = value;
    AdvancedSettingDialog dialog(owner, fields);
    dialog.fieldList().setCurrentIndex(field);
    EXPECT_EQ(dialog.helpPane().text().toStdString(), HelpText(field));
    EXPECT_EQ(Items(dialog.valueList()), GetParam().values);
    ExpectOneValueControl(dialog, hex);
    EXPECT_EQ(dialog.valueList().currentIndex(), !hex && value >= 0 && value < count ? value : -1) << value;
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, AdvancedFieldSelection,
                         ::testing::Values(FieldCase{FIELD_PE, {"0", "1"}}, FieldCase{FIELD_PDX, {"0", "1"}},
                                           FieldCase{FIELD_MUTE, {"0", "1"}}, FieldCase{FIELD_EM, {"0", "1"}},
                                           FieldCase{FIELD_EMS, {"0", "1"}}, FieldCase{FIELD_AG, {"0", "1", "2"}},
                                           FieldCase{FIELD_PLT, {"0", "1"}}, FieldCase{FIELD_SUBC, {"0", "1"}},
                                           FieldCase{FIELD_PL, {"2", "3"}}, FieldCase{FIELD_ULD, {"0", "1"}},
                                           FieldCase{FIELD_P, {}}, FieldCase{FIELD_CIA, {"0", "1", "2", "3"}},
                                           FieldCase{FIELD_CIB, {"0", "1", "2", "3"}},
                                           FieldCase{FIELD_CEX, {"0", "1", "2", "3"}}),
                         [](const auto& info) { return std::string(FIELD_NAMES[info.param.field]); });

TEST_F(AdvancedSettingDialogTest, PShowsTheHexBoxWithTheBoardValue) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  ASSERT_EQ(FromBoard()[FIELD_P], 0x2A58);
  dialog.fieldList().setCurrentIndex(FIELD_P);
  EXPECT_EQ(dialog.hexBox().text(), QStringLiteral("2a58"));
  ExpectOneValueControl(dialog, true);
  EXPECT_EQ(dialog.valueList().count(), 0);
}

TEST_F(AdvancedSettingDialogTest, PlShowsRegisterValuesAndStoresTheIndex) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.fieldList().setCurrentIndex(FIELD_PL);
  EXPECT_EQ(Selected(dialog.valueList()), "2");
  dialog.valueList().setCurrentIndex(1);
  EXPECT_EQ(Selected(dialog.valueList()), "3");
  dialog.accept();
  EXPECT_EQ(dialog.fields()[FIELD_PL], 1);
}

TEST_F(AdvancedSettingDialogTest, ValueNotOfferedStaysUnlessTheUserPicksOne) {
  TransmitterFields fields = FromBoard();
  fields[FIELD_AG] = 3;
  fields[FIELD_PL] = -2;
  AdvancedSettingDialog untouched(owner, fields);
  untouched.fieldList().setCurrentIndex(FIELD_AG);
  EXPECT_EQ(Items(untouched.valueList()), (Strings{"0", "1", "2"}));
  EXPECT_EQ(Selected(untouched.valueList()), "none");
  untouched.fieldList().setCurrentIndex(FIELD_PL);
  EXPECT_EQ(Selected(untouched.valueList()), "none");
  untouched.accept();
  EXPECT_EQ(untouched.fields(), fields);

  AdvancedSettingDialog picked(owner, fields);
  picked.fieldList().setCurrentIndex(FIELD_AG);
  picked.valueList().setCurrentIndex(2);
  picked.accept();
  EXPECT_EQ(picked.fields()[FIELD_AG], 2);
}

TEST_F(AdvancedSettingDialogTest, ValueListSetsTheSelectedFieldOnly) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.fieldList().setCurrentIndex(FIELD_MUTE);
  dialog.valueList().setCurrentIndex(1);
  dialog.fieldList().setCurrentIndex(FIELD_CIB);
  dialog.valueList().setCurrentIndex(0);
  dialog.fieldList().setCurrentIndex(FIELD_MUTE);
  EXPECT_EQ(Selected(dialog.valueList()), "1");
  dialog.accept();
  TransmitterFields expected = FromBoard();
  expected[FIELD_MUTE] = 1;
  expected[FIELD_CIB] = 0;
  EXPECT_EQ(dialog.fields(), expected);
}

TEST_F(AdvancedSettingDialogTest, KeyboardRunsTheHandlers) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.show();
  QTest::keyClick(&dialog.fieldList(), Qt::Key_Down);
  EXPECT_EQ(Selected(dialog.fieldList()), "PDX");
  EXPECT_EQ(dialog.helpPane().text().toStdString(), HelpText(FIELD_PDX));
  QTest::keyClick(&dialog.valueList(), Qt::Key_Down);
  dialog.accept();
  EXPECT_EQ(dialog.fields()[FIELD_PDX], 1);
}

struct HexCase {
  const char* typed;
  std::int32_t p;
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class AdvancedHexBox : public AdvancedSettingDialogTest, public ::testing::WithParamInterface<HexCase> {};

TEST_P(AdvancedHexBox, IsReadAsPercentXOnOk) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.fieldList().setCurrentIndex(FIELD_P);
  TypeHex(dialog, QString::fromLatin1(GetParam().typed));
  ModalWatchdog watchdog;
  EXPECT_EQ(ExecWith(dialog, [&dialog] { QTest::keyClick(&dialog.hexBox(), Qt::Key_Return); }), QDialog::Accepted);
  TransmitterFields expected = FromBoard();
  expected[FIELD_P] = GetParam().p;
  EXPECT_EQ(dialog.fields(), expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, AdvancedHexBox,
                         ::testing::Values(HexCase{"1F40", 0x1F40}, HexCase{"0x1f40", 0x1F40},
                                           HexCase{"0X1F40", 0x1F40}, HexCase{" 1f40", 0x1F40},
                                           HexCase{"1f40k", 0x1F40}, HexCase{"+1f40", 0x1F40}, HexCase{"-1", -1},
                                           HexCase{"123456789", 0x23456789}, HexCase{"ffffffff", -1}, HexCase{"0", 0},
                                           // The "0" is a digit when no hex digit follows the x.
                                           HexCase{"0x", 0},
                                           // No number: P keeps the board's value.
                                           HexCase{"g1f40", 0x2A58}, HexCase{"", 0x2A58}, HexCase{"   ", 0x2A58},
                                           HexCase{"x1", 0x2A58}, HexCase{"-", 0x2A58}));

TEST_F(AdvancedSettingDialogTest, PNeverSelectedKeepsTheBoardValue) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.fieldList().setCurrentIndex(FIELD_CEX);
  dialog.accept();
  EXPECT_EQ(dialog.fields(), FromBoard());
}

TEST_F(AdvancedSettingDialogTest, TypedPStaysWhileAnotherFieldIsShown) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.fieldList().setCurrentIndex(FIELD_P);
  TypeHex(dialog, QStringLiteral("1f40"));
  dialog.fieldList().setCurrentIndex(FIELD_ULD);
  ExpectOneValueControl(dialog, false);
  EXPECT_EQ(dialog.hexBox().text(), QStringLiteral("1f40"));
  dialog.accept();
  EXPECT_EQ(dialog.fields()[FIELD_P], 0x1F40);
}

TEST_F(AdvancedSettingDialogTest, SelectingPAgainShowsTheOldValueAndDropsTheTypedOne) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.fieldList().setCurrentIndex(FIELD_P);
  TypeHex(dialog, QStringLiteral("1f40"));
  dialog.fieldList().setCurrentIndex(FIELD_CIA);
  dialog.fieldList().setCurrentIndex(FIELD_P);
  EXPECT_EQ(dialog.hexBox().text(), QStringLiteral("2a58"));
  dialog.accept();
  EXPECT_EQ(dialog.fields()[FIELD_P], 0x2A58);
}

TEST_F(AdvancedSettingDialogTest, RestoreDefaultsReplacesEveryFieldEvenATypedP) {
  TransmitterFields fields = FromBoard();
  fields[FIELD_AG] = 3;
  AdvancedSettingDialog dialog(owner, fields);
  dialog.valueList().setCurrentIndex(0);
  dialog.fieldList().setCurrentIndex(FIELD_P);
  TypeHex(dialog, QStringLiteral("1f40"));
  QTest::mouseClick(&dialog.restoreDefaultsBox(), Qt::LeftButton);
  dialog.accept();
  EXPECT_EQ(dialog.fields(), DefaultFields());
}

using EndAction = void (*)(AdvancedSettingDialog&);

struct EndCase {
  const char* name;
  EndAction end;
  int result;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class AdvancedEnding : public AdvancedSettingDialogTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(AdvancedEnding, EndsWithOkOrCancel) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  ModalWatchdog watchdog;
  EXPECT_EQ(ExecWith(dialog, [&dialog] { GetParam().end(dialog); }), GetParam().result);
  EXPECT_FALSE(watchdog.fired());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, AdvancedEnding,
    ::testing::Values(
        EndCase{"OkButton", [](AdvancedSettingDialog& d) { QTest::mouseClick(&d.okButton(), Qt::LeftButton); },
                QDialog::Accepted},
        EndCase{"EnterInTheFieldList",
                [](AdvancedSettingDialog& d) { QTest::keyClick(&d.fieldList(), Qt::Key_Return); }, QDialog::Accepted},
        EndCase{"CancelButton", [](AdvancedSettingDialog& d) { QTest::mouseClick(&d.cancelButton(), Qt::LeftButton); },
                QDialog::Rejected},
        EndCase{"Escape", [](AdvancedSettingDialog& d) { QTest::keyClick(&d.fieldList(), Qt::Key_Escape); },
                QDialog::Rejected},
        EndCase{"CloseBox", [](AdvancedSettingDialog& d) { d.close(); }, QDialog::Rejected}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AdvancedSettingDialogTest, LaidOutFromTheTemplate) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_EQ(dialog.size(), units.ToPixels(243, 265));
  for (const auto& [list, rect] : {std::pair{&dialog.fieldList(), DluRect{8, 8, 48, 71}},
                                   std::pair{&dialog.valueList(), DluRect{31, 207, 48, 43}}}) {
    const QRect expected = units.ToPixels(rect);
    EXPECT_EQ(list->pos(), expected.topLeft());
    EXPECT_EQ(list->width(), expected.width());
    EXPECT_LT(list->height(), expected.height());
  }
  EXPECT_EQ(dialog.helpPane().geometry(), units.ToPixels({7, 25, 229, 173}));
  EXPECT_TRUE(dialog.helpPane().wordWrap());
  EXPECT_EQ(dialog.hexBox().geometry(), units.ToPixels({31, 206, 60, 14}));
  EXPECT_EQ(dialog.hexLabel().pos(), units.ToPixels({21, 209, 8, 8}).topLeft());
  EXPECT_EQ(dialog.restoreDefaultsBox().pos(), units.ToPixels({31, 223, 83, 10}).topLeft());
  EXPECT_EQ(dialog.okButton().geometry(), units.ToPixels({59, 244, 50, 14}));
  EXPECT_EQ(dialog.cancelButton().geometry(), units.ToPixels({131, 244, 50, 14}));
  EXPECT_TRUE(dialog.okButton().isDefault());
  test::ExpectTidyLayout(dialog);
  dialog.fieldList().setCurrentIndex(FIELD_P);
  test::ExpectTidyLayout(dialog);
}

TEST_F(AdvancedSettingDialogTest, EveryHelpTextFitsThePane) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  for (std::size_t field = 0; field < FIELD_COUNT; ++field) {
    dialog.fieldList().setCurrentIndex(static_cast<int>(field));
    QLabel& pane = dialog.helpPane();
    EXPECT_LE(pane.heightForWidth(pane.width()), pane.height()) << FIELD_NAMES[field];
  }
}

TEST_F(AdvancedSettingDialogTest, TabOrderFollowsTheTemplateAndFocusStartsInTheFieldList) {
  AdvancedSettingDialog dialog(owner, FromBoard());
  dialog.show();
  EXPECT_EQ(dialog.focusWidget(), &dialog.fieldList());
  EXPECT_EQ(test::TabOrder(dialog.fieldList()),
            (std::vector<const QWidget*>{&dialog.fieldList(), &dialog.valueList(), &dialog.restoreDefaultsBox(),
                                         &dialog.okButton(), &dialog.cancelButton()}));
  dialog.fieldList().setCurrentIndex(FIELD_P);
  EXPECT_EQ(test::TabOrder(dialog.fieldList()),
            (std::vector<const QWidget*>{&dialog.fieldList(), &dialog.hexBox(), &dialog.restoreDefaultsBox(),
                                         &dialog.okButton(), &dialog.cancelButton()}));
}

}  // namespace
}  // namespace vorna
