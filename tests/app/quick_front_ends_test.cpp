// One board, one set of bytes: the Quick Setting dialog and `vornactl quick`
// against the same board states, the dialog answered by picking in its lists
// what the command line gives, compared write for write.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "command_fixture.h"
#include "dialogs/quick_setting_dialog.h"
#include "model/number_text.h"
#include "model/quick_settings.h"

namespace vorna::test {
namespace {

// Lends the fixture's fake board to vornactl, which owns its transport.
class LentBoard final : public Transport {
 public:
  explicit LentBoard(FakeBoard& board) : board_(board) {}
  bool Open(const std::string& device) override { return board_.Open(device); }
  void Close() override { board_.Close(); }
  bool IsOpen() const override { return board_.IsOpen(); }
  bool Write(std::span<const std::uint8_t> bytes) override { return board_.Write(bytes); }
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override { return board_.Read(buffer); }
  std::string LastError() const override { return board_.LastError(); }

 private:
  FakeBoard& board_;
};

struct BoardState {
  int channel;
  std::uint8_t a0;
  std::uint8_t a2;
};

// What the user gives: list positions, and the frequency in tenths of a MHz.
struct Given {
  std::optional<int> tenths, power, level, preEmphasis, timeConstant;
  bool store = false;
};

std::vector<std::string> CommandLine(const Given& g) {
  std::vector<std::string> args = {"--device", "/dev/fake", "quick"};
  if (g.tenths) args.insert(args.end(), {"--freq", DecimalText(*g.tenths / 10) + "." + DecimalText(*g.tenths % 10)});
  if (g.power) args.insert(args.end(), {"--power", DecimalText(OUTPUT_POWER_MW[*g.power])});
  if (g.level) args.insert(args.end(), {"--level", DecimalText(AUDIO_LEVEL_MVRMS[*g.level])});
  if (g.preEmphasis) args.insert(args.end(), {"--preemphasis", PRE_EMPHASIS_TEXT[*g.preEmphasis]});
  if (g.timeConstant) args.insert(args.end(), {"--tc", DecimalText(TIME_CONSTANT_US[*g.timeConstant])});
  if (g.store) args.emplace_back("--store");
  return args;
}

// Picks in the dialog what `g` gives, as a user would: the MHz, then its tenth.
void Pick(QuickSettingDialog& d, const Given& g) {
  if (g.tenths) {
    d.mhzList().setCurrentIndex(*g.tenths / 10 - 87);
    const int digit = *g.tenths % 10;
    d.digitList().setCurrentIndex(d.digitList().findText(QString::number(digit)));
  }
  if (g.power) d.powerList().setCurrentIndex(*g.power);
  if (g.level) d.audioLevelList().setCurrentIndex(*g.level);
  if (g.preEmphasis) d.preEmphasisList().setCurrentIndex(*g.preEmphasis);
  if (g.timeConstant) d.timeConstantList().setCurrentIndex(*g.timeConstant);
  if (g.store) d.storeDefaultBox().setChecked(true);
}

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

class QuickFrontEnds : public CommandTest {
 protected:
  void Load(const BoardState& state) {
    board.writes.clear();
    board.registers[0] = state.a0;
    board.registers[2] = state.a2;
    board.channel = static_cast<std::uint8_t>(state.channel);
  }

  void Compare(const BoardState& state, const Given& given) {
    Load(state);
    DialogAnswerer<QuickSettingDialog> answerer([&given](QuickSettingDialog& d) {
      Pick(d, given);
      QTest::mouseClick(&d.okButton(), Qt::LeftButton);
    });
    window.action(ID_QUICK_SETTING)->trigger();
    ASSERT_EQ(answerer.shown, 1);
    const std::vector<Bytes> fromDialog = board.writes;
    const std::string summary = window.StatusText();

    Load(state);
    std::ostringstream out, err;
    cli::Environment env{out, err, false, [this] { return std::make_unique<LentBoard>(board); }};
    const int status = cli::Run(CommandLine(given), env);
    EXPECT_EQ(status, cli::EXIT_OK) << err.str();
    EXPECT_EQ(board.writes, fromDialog) << "dialog: " << HexBytes(fromDialog.at(1)) << ", "
                                        << HexBytes(fromDialog.at(2)) << ", " << HexBytes(fromDialog.at(3));
    EXPECT_EQ(out.str(), WithoutCarriageReturns(summary) + "\n");
  }
};

// Nothing given, then a few sets of given values.
std::vector<Given> GivenSets() {
  std::vector<Given> sets(7);
  sets[1].level = 1;
  sets[2].tenths = 881;
  sets[3].power = 1;
  sets[3].timeConstant = 0;
  sets[4].tenths = 875;
  sets[4].preEmphasis = 1;
  sets[5].tenths = 1080;
  sets[5].power = 0;
  sets[5].level = 2;
  sets[5].store = true;
  sets[6] = {879, 1, 0, 0, 1, false};
  return sets;
}

// Channels the lists show as they are, then every channel they cannot show
// (108.1 to 113.0); power bits, audio level and pre-emphasis vary with the
// channel so that every test mode meets in- and out-of-band frequencies.
std::vector<BoardState> BoardStates() {
  std::vector<BoardState> states;
  for (const int channel : {0, 1, 6, 13, 125, 204, 205}) states.push_back({channel, 0x21, 0x06});
  for (int channel = 206; channel <= 255; ++channel) {
    const auto a0 = static_cast<std::uint8_t>(0x01 | (channel % 4) << 6 | ((channel / 4) % 4) << 4);
    const auto a2 = static_cast<std::uint8_t>(0x04 | (channel / 16 + channel) % 4);
    states.push_back({channel, a0, a2});
  }
  // Each power bit pattern and audio level within the band.
  for (std::uint8_t pl = 0; pl < 4; ++pl)
    for (std::uint8_t ag = 0; ag < 4; ++ag) states.push_back({82, static_cast<std::uint8_t>(0x01 | ag << 6), pl});
  return states;
}

TEST_F(QuickFrontEnds, SameBoardSameGivenValuesSameBytes) {
  const std::vector<BoardState> states = BoardStates();
  const std::vector<Given> sets = GivenSets();
  for (std::size_t i = 0; i < states.size(); ++i) {
    // Every state with nothing given, and with one of the given sets in turn.
    for (const Given& given : {sets[0], sets[1 + i % (sets.size() - 1)]}) {
      SCOPED_TRACE("channel " + std::to_string(states[i].channel) + ", A0 " + HexBytes({states[i].a0}) + ", A2 " +
                   HexBytes({states[i].a2}) + ", given " + ::testing::PrintToString(CommandLine(given)));
      Compare(states[i], given);
    }
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(QuickFrontEnds, TestModeBoardAtChannel255WithLevel140) {
  // The board of the report: 113.0 MHz and a power test mode.
  Given level140;
  level140.level = 1;
  Compare({255, 0x21, 0x04}, level140);
  EXPECT_EQ(board.writes.at(1), (Bytes{0xAA, 0x03, 0x01, 0x00, 0x61}));
  EXPECT_EQ(board.writes.at(2), (Bytes{0xAA, 0x03, 0x01, 0x20, 0x05}));
  EXPECT_EQ(board.writes.at(3), (Bytes{0xAA, 0x02, 0x00, 0x00}));
}

TEST_F(QuickFrontEnds, EveryGivenSetOnTheTestModeBoard) {
  for (const Given& given : GivenSets()) {
    SCOPED_TRACE(::testing::PrintToString(CommandLine(given)));
    Compare({255, 0xF1, 0x04}, given);
  }
}

}  // namespace
}  // namespace vorna::test
