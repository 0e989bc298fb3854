#include "dialogs/quick_setting_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "app/gui_test_support.h"
#include "dialog_checks.h"
#include "dialogs/dialog_units.h"
#include "model/number_text.h"
#include "model/quick_settings.h"

namespace vorna {
namespace {

using test::ExecWith;
using test::Items;
using test::ModalWatchdog;
using test::Selected;
using test::Strings;

// A frequency as the board reports it.
QuickSettings OnChannel(int channel) {
  QuickSettings settings;
  settings.frequency = ChannelToFrequency(static_cast<FrequencyChannel>(channel));
  settings.powerIndex = 1;
  settings.audioLevelIndex = 2;
  settings.preEmphasisIndex = 0;
  settings.timeConstantIndex = 1;
  return settings;
}

QuickSettings AtFrequency(double frequency) {
  QuickSettings settings = OnChannel(0);
  settings.frequency = frequency;
  return settings;
}

const Strings FROM_5 = {"5", "6", "7", "8", "9"};
const Strings FROM_0 = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
const Strings ONLY_0 = {"0"};

int MhzIndex(int mhz) { return mhz - 87; }

class QuickSettingDialogTest : public ::testing::Test {
 protected:
  QWidget owner;
};

// --- Opening -------------------------------------------------------------

struct OpeningCase {
  int channel;
  const char* mhz;
  Strings digits;
  const char* digit;
};

void PrintTo(const OpeningCase& c, std::ostream* os) { *os << "channel " << c.channel; }

class QuickOpening : public QuickSettingDialogTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(QuickOpening, ShowsTheBoardFrequencyInTheTwoLists) {
  QuickSettingDialog dialog(owner, OnChannel(GetParam().channel));
  EXPECT_EQ(Selected(dialog.mhzList()), GetParam().mhz);
  EXPECT_EQ(Items(dialog.digitList()), GetParam().digits);
  EXPECT_EQ(Selected(dialog.digitList()), GetParam().digit);
}

INSTANTIATE_TEST_SUITE_P(Channels, QuickOpening,
                         ::testing::Values(OpeningCase{0, "87", FROM_5, "5"}, OpeningCase{1, "87", FROM_5, "6"},
                                           OpeningCase{4, "87", FROM_5, "9"}, OpeningCase{5, "88", FROM_0, "0"},
                                           OpeningCase{13, "88", FROM_0, "8"}, OpeningCase{125, "100", FROM_0, "0"},
                                           OpeningCase{204, "107", FROM_0, "9"}, OpeningCase{205, "108", ONLY_0, "0"},
                                           // Beyond the band: 108.1 has no tenth in the list, 113.0 no MHz.
                                           OpeningCase{206, "108", ONLY_0, "none"},
                                           OpeningCase{214, "108", ONLY_0, "none"},
                                           OpeningCase{215, "none", FROM_0, "0"},
                                           OpeningCase{255, "none", FROM_0, "0"}));

TEST_F(QuickSettingDialogTest, EveryChannelOpensOnItsOwnMhzAndTenth) {
  for (int channel = 0; channel <= MAX_CHANNEL; ++channel) {
    QuickSettingDialog dialog(owner, OnChannel(channel));
    EXPECT_EQ(Selected(dialog.mhzList()) + "." + Selected(dialog.digitList()),
              FixedText(ChannelToFrequency(static_cast<FrequencyChannel>(channel)), 1))
        << channel;
  }
}

TEST_F(QuickSettingDialogTest, ListsHoldTheTemplateItemsInOrder) {
  QuickSettingDialog dialog(owner, OnChannel(0));
  Strings mhz;
  for (int m = 87; m <= 108; ++m) mhz.push_back(std::to_string(m));
  EXPECT_EQ(Items(dialog.mhzList()), mhz);
  EXPECT_EQ(Items(dialog.powerList()), (Strings{"1", "2"}));
  EXPECT_EQ(Items(dialog.audioLevelList()), (Strings{"100", "140", "200"}));
  EXPECT_EQ(Items(dialog.preEmphasisList()), (Strings{"On", "Off"}));
  EXPECT_EQ(Items(dialog.timeConstantList()), (Strings{"50", "75"}));
  for (const QComboBox* list : {&dialog.mhzList(), &dialog.digitList(), &dialog.powerList(), &dialog.audioLevelList(),
                                &dialog.preEmphasisList(), &dialog.timeConstantList()}) {
    EXPECT_FALSE(list->isEditable());
  }
}

struct IndexCase {
  int index;
  int shown;  // -1: no item selected
};

void PrintTo(const IndexCase& c, std::ostream* os) { *os << "index " << c.index; }

class QuickIndexLoading : public QuickSettingDialogTest, public ::testing::WithParamInterface<IndexCase> {};

// An index the board gives that is no position of the list (power test
// modes -2 and -1, audio level 3) leaves the list without a selection, and
// such a list hands back -1.
TEST_P(QuickIndexLoading, SelectsTheIndexOrNothing) {
  QuickSettings fromBoard = OnChannel(0);
  fromBoard.powerIndex = GetParam().index;
  fromBoard.audioLevelIndex = GetParam().index;
  fromBoard.preEmphasisIndex = GetParam().index;
  fromBoard.timeConstantIndex = GetParam().index;
  QuickSettingDialog dialog(owner, fromBoard);
  const int audioShown = GetParam().index >= 0 && GetParam().index < 3 ? GetParam().index : -1;
  EXPECT_EQ(dialog.powerList().currentIndex(), GetParam().shown);
  EXPECT_EQ(dialog.audioLevelList().currentIndex(), audioShown);
  EXPECT_EQ(dialog.preEmphasisList().currentIndex(), GetParam().shown);
  EXPECT_EQ(dialog.timeConstantList().currentIndex(), GetParam().shown);
  dialog.accept();
  EXPECT_EQ(dialog.settings().powerIndex, GetParam().shown);
  EXPECT_EQ(dialog.settings().audioLevelIndex, audioShown);
  EXPECT_EQ(dialog.settings().preEmphasisIndex, GetParam().shown);
  EXPECT_EQ(dialog.settings().timeConstantIndex, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Indices, QuickIndexLoading,
                         ::testing::Values(IndexCase{-2, -1}, IndexCase{-1, -1}, IndexCase{0, 0}, IndexCase{1, 1},
                                           IndexCase{2, -1}, IndexCase{3, -1}));

TEST_F(QuickSettingDialogTest, StoreBoxStartsUntickedEvenWhenAskedOtherwise) {
  QuickSettings fromBoard = OnChannel(6);
  fromBoard.storeAsDefault = true;
  QuickSettingDialog dialog(owner, fromBoard);
  EXPECT_FALSE(dialog.storeDefaultBox().isChecked());
  EXPECT_EQ(dialog.storeDefaultBox().text(), QStringLiteral("&Set as default values"));
  dialog.accept();
  EXPECT_FALSE(dialog.settings().storeAsDefault);

  QuickSettingDialog ticked(owner, OnChannel(6));
  QTest::mouseClick(&ticked.storeDefaultBox(), Qt::LeftButton);
  ticked.accept();
  EXPECT_TRUE(ticked.settings().storeAsDefault);
}

// --- The MHz list's handler ----------------------------------------------

struct MhzChange {
  const char* name;
  double start;
  int pickDigit;  // a tenth the user picks first, -1 for none
  std::vector<int> mhzChoices;
  Strings digits;
  const char* digit;
};

void PrintTo(const MhzChange& c, std::ostream* os) { *os << c.name; }

class QuickMhzHandler : public QuickSettingDialogTest, public ::testing::WithParamInterface<MhzChange> {};

TEST_P(QuickMhzHandler, KeepsTheTenthWhereTheNewMhzAllowsIt) {
  QuickSettingDialog dialog(owner, AtFrequency(GetParam().start));
  if (GetParam().pickDigit >= 0) dialog.digitList().setCurrentIndex(GetParam().pickDigit);
  for (const int mhz : GetParam().mhzChoices) dialog.mhzList().setCurrentIndex(MhzIndex(mhz));
  EXPECT_EQ(Items(dialog.digitList()), GetParam().digits);
  EXPECT_EQ(Selected(dialog.digitList()), GetParam().digit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuickMhzHandler,
    ::testing::Values(MhzChange{"From95Point7To87", 0.1 * 7 + 95, -1, {87}, FROM_5, "7"},
                      MhzChange{"From95Point2To87", 0.1 * 2 + 95, -1, {87}, FROM_5, "5"},
                      MhzChange{"From95Point5To87", 0.1 * 5 + 95, -1, {87}, FROM_5, "5"},
                      MhzChange{"From87Point8To100", 0.1 * 8 + 87, -1, {100}, FROM_0, "8"},
                      MhzChange{"From87Point5To100", 0.1 * 5 + 87, -1, {100}, FROM_0, "5"},
                      MhzChange{"From95Point3To108", 0.1 * 3 + 95, -1, {108}, ONLY_0, "0"},
                      MhzChange{"From95Point3To108AndBack", 0.1 * 3 + 95, -1, {108, 95}, FROM_0, "0"},
                      MhzChange{"From95Point3To101", 0.1 * 3 + 95, -1, {101}, FROM_0, "3"},
                      MhzChange{"From88Point1To107To88", 0.1 * 1 + 88, -1, {107, 88}, FROM_0, "1"},
                      MhzChange{"From87Point6To108To87", 0.1 * 6 + 87, -1, {108, 87}, FROM_5, "5"},
                      MhzChange{"From87Point9To108To100", 0.1 * 9 + 87, -1, {108, 100}, FROM_0, "0"},
                      MhzChange{"From108To87", 108.0, -1, {87}, FROM_5, "5"},
                      // The tenth the user picked counts, not the one the dialog opened with.
                      MhzChange{"PickedTenthGoesTo87", 0.1 * 1 + 95, 9, {87}, FROM_5, "9"},
                      MhzChange{"PickedTenthComesFrom87", 0.1 * 5 + 87, 3, {99}, FROM_0, "8"},
                      // 108.1: "108" with no tenth selected; leaving 108 keeps none.
                      MhzChange{"From108Point1To95", 0.1 * 206 + 87.5, -1, {95}, FROM_0, "none"},
                      // 113.0: no MHz selected, so the previous MHz is 113.
                      MhzChange{"From113To100", 113.0, -1, {100}, FROM_0, "0"},
                      MhzChange{"From113To87", 113.0, -1, {87}, FROM_5, "5"},
                      MhzChange{"From113To108", 113.0, -1, {108}, ONLY_0, "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuickSettingDialogTest, KeyboardChangesRunTheHandlerToo) {
  QuickSettingDialog dialog(owner, AtFrequency(0.1 * 7 + 88));
  dialog.show();
  dialog.mhzList().setFocus();
  QTest::keyClick(&dialog.mhzList(), Qt::Key_Up);
  EXPECT_EQ(Selected(dialog.mhzList()), "87");
  EXPECT_EQ(Items(dialog.digitList()), FROM_5);
  EXPECT_EQ(Selected(dialog.digitList()), "7");
  QTest::keyClick(&dialog.mhzList(), Qt::Key_Down);
  EXPECT_EQ(Items(dialog.digitList()), FROM_0);
  EXPECT_EQ(Selected(dialog.digitList()), "7");
}

// --- OK ------------------------------------------------------------------

struct OkCase {
  const char* name;
  double start;
  int mhz;    // 0: left as it opened
  int digit;  // digit list index to pick, -1: left as it is
  double frequency;
};

void PrintTo(const OkCase& c, std::ostream* os) { *os << c.name; }

class QuickOk : public QuickSettingDialogTest, public ::testing::WithParamInterface<OkCase> {};

TEST_P(QuickOk, FormsTheFrequencyFromTheLists) {
  QuickSettingDialog dialog(owner, AtFrequency(GetParam().start));
  if (GetParam().mhz != 0) dialog.mhzList().setCurrentIndex(MhzIndex(GetParam().mhz));
  if (GetParam().digit >= 0) dialog.digitList().setCurrentIndex(GetParam().digit);
  ModalWatchdog watchdog;
  const int result = ExecWith(dialog, [&dialog] { QTest::mouseClick(&dialog.okButton(), Qt::LeftButton); });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.settings().frequency, GetParam().frequency);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuickOk,
    ::testing::Values(OkCase{"Pick87Point9", 0.1 * 2 + 95, 87, 4, 9 * 0.1 + 87},
                      OkCase{"Pick108Point0", 0.1 * 2 + 95, 108, -1, 0 * 0.1 + 108},
                      OkCase{"Pick100Point3", 0.1 * 5 + 87, 100, 3, 3 * 0.1 + 100},
                      OkCase{"Untouched88Point1", 0.1 * 6 + 87.5, 0, -1, 1 * 0.1 + 88},
                      // 108.1 from the board: no tenth selected counts as "0".
                      OkCase{"Untouched108Point1", 0.1 * 206 + 87.5, 0, -1, 108.0},
                      // 113.0 from the board: no MHz selected gives 86.x, which the command clamps.
                      OkCase{"Untouched113", 0.1 * 255 + 87.5, 0, -1, 86.0},
                      OkCase{"NoMhzWithTenth7", 0.1 * 255 + 87.5, 0, 7, 7 * 0.1 + 86}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuickSettingDialogTest, EveryChannelComesBackUnchangedOnOk) {
  for (int channel = 0; channel <= MAX_CHANNEL; ++channel) {
    QuickSettingDialog dialog(owner, OnChannel(channel));
    dialog.accept();
    EXPECT_EQ(FrequencyToChannel(ClampFrequency(dialog.settings().frequency)), channel);
  }
}

TEST_F(QuickSettingDialogTest, OkHandsBackTheFourChoices) {
  QuickSettingDialog dialog(owner, OnChannel(6));
  dialog.powerList().setCurrentIndex(0);
  dialog.audioLevelList().setCurrentIndex(1);
  dialog.preEmphasisList().setCurrentIndex(1);
  dialog.timeConstantList().setCurrentIndex(0);
  dialog.accept();
  EXPECT_EQ(dialog.settings().powerIndex, 0);
  EXPECT_EQ(dialog.settings().audioLevelIndex, 1);
  EXPECT_EQ(dialog.settings().preEmphasisIndex, 1);
  EXPECT_EQ(dialog.settings().timeConstantIndex, 0);
}

// --- Ending --------------------------------------------------------------

using EndAction = void (*)(QuickSettingDialog&);

struct EndCase {
  const char* name;
  EndAction end;
  int result;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class QuickEnding : public QuickSettingDialogTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(QuickEnding, EndsWithOkOrCancel) {
  QuickSettingDialog dialog(owner, OnChannel(6));
  ModalWatchdog watchdog;
  const int result = ExecWith(dialog, [&dialog] { GetParam().end(dialog); });
  EXPECT_EQ(result, GetParam().result);
  EXPECT_FALSE(watchdog.fired());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, QuickEnding,
    ::testing::Values(
        EndCase{"OkButton", [](QuickSettingDialog& d) { QTest::mouseClick(&d.okButton(), Qt::LeftButton); },
                QDialog::Accepted},
        EndCase{"EnterInTheMhzList", [](QuickSettingDialog& d) { QTest::keyClick(&d.mhzList(), Qt::Key_Return); },
                QDialog::Accepted},
        EndCase{"CancelButton", [](QuickSettingDialog& d) { QTest::mouseClick(&d.cancelButton(), Qt::LeftButton); },
                QDialog::Rejected},
        EndCase{"Escape", [](QuickSettingDialog& d) { QTest::keyClick(&d.mhzList(), Qt::Key_Escape); },
                QDialog::Rejected},
        EndCase{"CloseBox", [](QuickSettingDialog& d) { d.close(); }, QDialog::Rejected}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Layout --------------------------------------------------------------

TEST_F(QuickSettingDialogTest, LaidOutFromTheTemplate) {
  QuickSettingDialog dialog(owner, OnChannel(6));
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quick Setting"));
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_EQ(dialog.size(), units.ToPixels(143, 219));
  struct Placed {
    const QWidget* widget;
    DluRect rect;
  };
  // Lists keep their closed height; the template's height includes the
  // dropped-down part.
  for (const Placed& p :
       {Placed{&dialog.mhzList(), {14, 22, 34, 47}}, Placed{&dialog.digitList(), {61, 22, 34, 45}},
        Placed{&dialog.powerList(), {14, 54, 34, 44}}, Placed{&dialog.audioLevelList(), {14, 86, 34, 43}},
        Placed{&dialog.preEmphasisList(), {14, 116, 34, 43}}, Placed{&dialog.timeConstantList(), {14, 146, 34, 42}}}) {
    const QRect expected = units.ToPixels(p.rect);
    EXPECT_EQ(p.widget->geometry().topLeft(), expected.topLeft());
    EXPECT_EQ(p.widget->width(), expected.width());
    EXPECT_LT(p.widget->height(), expected.height());
  }
  EXPECT_EQ(dialog.okButton().geometry(), units.ToPixels({25, 198, 36, 14}));
  EXPECT_EQ(dialog.cancelButton().geometry(), units.ToPixels({78, 198, 36, 14}));
  EXPECT_EQ(dialog.storeDefaultBox().pos(), units.ToPixels({14, 169, 90, 10}).topLeft());
  EXPECT_EQ(dialog.storeDefaultBox().height(), units.ToPixelsY(10));
  EXPECT_EQ(dialog.okButton().text(), QStringLiteral("OK"));
  EXPECT_TRUE(dialog.okButton().isDefault());
  EXPECT_EQ(dialog.cancelButton().text(), QStringLiteral("Cancel"));
  // The MHz list drops down over a few of its 22 items, with a scroll bar.
  EXPECT_GT(dialog.mhzList().maxVisibleItems(), 1);
  EXPECT_LT(dialog.mhzList().maxVisibleItems(), 22);
}

TEST_F(QuickSettingDialogTest, StaticTextsAreWhereTheTemplatePutsThem) {
  QuickSettingDialog dialog(owner, OnChannel(6));
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  struct Text {
    const char* text;
    DluRect rect;
  };
  const Text texts[] = {{"Transmission Freq.", {14, 9, 56, 8}},
                        {".", {52, 26, 8, 8}},
                        {"MHz", {98, 26, 22, 8}},
                        {"Output Power", {14, 42, 40, 8}},
                        {"mW", {52, 58, 20, 8}},
                        {"Audio Input Level", {14, 74, 52, 8}},
                        {"mVrms", {52, 90, 35, 8}},
                        {"Pre-emphasis", {14, 105, 54, 8}},
                        {"Pre-emphasis Time Constant", {14, 134, 87, 8}},
                        {"uSec", {52, 150, 29, 8}}};
  const QList<QLabel*> labels = dialog.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(labels.size(), static_cast<qsizetype>(std::size(texts)));
  for (const Text& t : texts) {
    const auto found = std::find_if(labels.begin(), labels.end(), [&t](const QLabel* l) {
      return QString(l->text()).remove(QLatin1Char('&')) == QString::fromLatin1(t.text);
    });
    ASSERT_NE(found, labels.end()) << t.text;
    // A text this font draws wider than the template allowed grows to the right.
    const QRect expected = units.ToPixels(t.rect);
    EXPECT_EQ((*found)->pos(), expected.topLeft()) << t.text;
    EXPECT_EQ((*found)->height(), expected.height()) << t.text;
    EXPECT_GE((*found)->width(), expected.width()) << t.text;
  }
  test::ExpectTidyLayout(dialog);
}

TEST_F(QuickSettingDialogTest, TabOrderIsTheTemplateOrderAndFocusStartsInTheMhzList) {
  QuickSettingDialog dialog(owner, OnChannel(6));
  dialog.show();
  EXPECT_EQ(dialog.focusWidget(), &dialog.mhzList());
  const std::vector<const QWidget*> expected = {
      &dialog.mhzList(),        &dialog.digitList(),       &dialog.powerList(),
      &dialog.audioLevelList(), &dialog.preEmphasisList(), &dialog.timeConstantList(),
      &dialog.okButton(),       &dialog.cancelButton(),    &dialog.storeDefaultBox()};
  EXPECT_EQ(test::TabOrder(dialog.mhzList()), expected);
}

}  // namespace
}  // namespace vorna
