// vornactl save, load and diff, and the JSON output, against virtual
// boards: a board's settings carried to another board byte for byte, bad
// files refused before anything is sent, diff's exit statuses, and JSON read
// back field by field.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/vornactl.h"
#include "commands/profile.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"
#include "run_vornactl.h"
#include "support/board_sim.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Snapshot = std::array<std::uint8_t, REGISTER_SNAPSHOT_SIZE>;

std::string RawText(const Snapshot& bytes) {
  std::string text;
  for (const auto b : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", b);
    text += (text.empty() ? "" : " ") + std::string(hex);
  }
  return text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A board that powers up holding `bytes`, from a state file of its own.
BoardSimSetup StartingWith(const test::TempFolder& files, const std::string& name, const Snapshot& bytes) {
  return BoardSimSetup{{}, files.Write(name + ".state", "# test board\n" + RawText(bytes) + "\n"), {}, true};
}

const Snapshot DEFAULT_STATE = PowerOnSnapshot().bytes;

struct BoardStateRow {
  const char* name;
  Snapshot bytes;
};

class ProfileRoundTrip : public ::testing::TestWithParam<BoardStateRow> {};

// Every byte the fields and the channel cover takes its place on the second
// board; A5 and A7 are never written, so both boards start with the same.
TEST_P(ProfileRoundTrip, SavedFromOneBoardAndLoadedIntoAnotherGivesTheSameSnapshot) {
  test::TempFolder files;
  BoardSim from(StartingWith(files, "from", GetParam().bytes));
  Snapshot other = {0x00, 0xB4, 0x02, 0x11, 0x22, 0x00, 0x08, 0x00, 0x18, 0x64};
  other[SNAPSHOT_A5] = GetParam().bytes[SNAPSHOT_A5];
  other[SNAPSHOT_A7] = GetParam().bytes[SNAPSHOT_A7];
  BoardSim to(StartingWith(files, "to", other));
  ASSERT_TRUE(from.ok() && to.ok());
  const std::string path = files.File("board.vprof");

  const auto saved = OnBoard(from, {"save", path});
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.out, "");
  EXPECT_EQ(Requests(from), Strings{"aa 01 02"});

  const auto loaded = OnBoard(to, {"load", path});
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  EXPECT_EQ(loaded.err, "");
  EXPECT_EQ(OnBoard(to, {"read", "--raw"}).out, RawText(GetParam().bytes) + "\n");
  EXPECT_EQ(OnBoard(to, {"diff", path}).status, 0);
  EXPECT_EQ(to.stateContents(), "# test board\n" + RawText(other) + "\n") << "nothing stored without --store";
}

INSTANTIATE_TEST_SUITE_P(
    BoardStates, ProfileRoundTrip,
    ::testing::Values(BoardStateRow{"defaults", DEFAULT_STATE},
                      // Every field at its lowest: PL's register value 0 is a test mode.
                      BoardStateRow{"lowest", {0x00, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x18, 0x00}},
                      // Every field at its highest, AG 3 (test mode) and channel 255,
                      // beyond 108.0 MHz; A5 and A7 as the board may hold them.
                      BoardStateRow{"highest", {0xF7, 0xFC, 0x07, 0xFF, 0x3F, 0x5A, 0x1E, 0xA5, 0x1B, 0xFF}},
                      BoardStateRow{"test_modes", {0xC1, 0xB4, 0x05, 0x00, 0x01, 0x00, 0x1A, 0x00, 0x1B, 0xCE}},
                      BoardStateRow{"highest_frequency", {0x31, 0xBC, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1A, 0xCD}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileLoad, TheSameFileSendsTheSameBytesEachTimeAndStoresOnlyWithStore) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  std::string text = FormatProfile(ProfileFromSnapshot(RegisterSnapshot{DEFAULT_STATE}));
  text.replace(text.find("CHANNEL = 6"), 11, "CHANNEL = 108");
  const std::string path = files.Write("b.vprof", text);
  const auto first = OnBoard(sim, {"load", path});
  const Strings once = Requests(sim);
  const auto second = OnBoard(sim, {"load", path});
  const Strings twice = Requests(sim);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(second.out, first.out);
  const Strings expected = {"aa 03 01 e0 05", "aa 03 01 00 21", "aa 03 01 10 b4", "aa 03 01 20 06", "aa 03 01 30 58",
                            "aa 03 01 40 2a", "aa 03 01 60 1a", "aa 03 01 80 1b", "aa 02 00 6c"};
  EXPECT_EQ(once, expected);
  ASSERT_EQ(twice.size(), 2 * once.size());
  EXPECT_EQ(Strings(twice.begin() + static_cast<std::ptrdiff_t>(once.size()), twice.end()), once);
  EXPECT_EQ(first.out,
            " PE = 1\n PDX = 0\n MUTE = 0\n EM = 0\n EMS = 1\n AG = 0\n PLT = 0\n SUBC = 0\n PL = 2\n ULD = 1\n"
            " P = 2a58H\n CIA = 1\n CIB = 3\n CEX = 3\n CHANNEL = 108 (98.3 MHz)\n");
  EXPECT_FALSE(sim.stateContents().has_value());

  const auto stored = OnBoard(sim, {"load", "--store", path});
  EXPECT_EQ(stored.status, 0) << stored.err;
  EXPECT_EQ(Requests(sim).back(), "aa 01 03");
  ASSERT_TRUE(sim.WaitForLogLine("# defaults stored in " + sim.statePath()));
  EXPECT_NE(sim.stateContents()->find("21 b4 06 58 2a 00 1a 00 1b 6c"), std::string::npos);
}

struct BadFileRow {
  const char* name;
  std::string text;
  std::string err;  // after "FILE:"
};

class ProfileLoadRefused : public ::testing::TestWithParam<BadFileRow> {};

std::string Valid() { return FormatProfile(ProfileFromSnapshot(RegisterSnapshot{DEFAULT_STATE})); }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

TEST_P(ProfileLoadRefused, ExitTwoWithTheLineAndNothingSent) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const std::string path = files.Write("bad.vprof", GetParam().text);
  for (const auto& args : {Strings{"load", path}, Strings{"load", "--store", "--json", path}}) {
    const auto r = OnBoard(sim, args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, path + ":" + GetParam().err + "\n");
  }
  const auto diff = OnBoard(sim, {"diff", path});
  EXPECT_EQ(diff.status, 2);
  EXPECT_EQ(diff.err, path + ":" + GetParam().err + "\n");
  EXPECT_TRUE(Requests(sim).empty()) << "the board was sent " << Requests(sim).front();
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileLoadRefused,
    ::testing::Values(BadFileRow{"not_a_profile", "PE = 1\n",
                                 "1: not a board profile: the first line must read \"vorna-profile 1\""},
                      BadFileRow{"unknown_field", Valid() + "FREQ = 98.3\n", "21: unknown field \"FREQ\""},
                      BadFileRow{"repeated_field", Valid() + "CEX = 0\n", "21: CEX given again (first on line 19)"},
                      BadFileRow{"missing_field", Replaced(Valid(), "ULD = 1\n", ""), "19: missing ULD"},
                      BadFileRow{"out_of_range", Replaced(Valid(), "P = 0x2a58", "P = 0x4000"),
                                 "16: P = 0x4000 is out of range (0x0 to 0x3fff)"},
                      BadFileRow{"too_large", Valid() + std::string(PROFILE_MAX_SIZE, ';'),
                                 "21: larger than 65536 bytes: not a board profile"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileLoad, AMissingFileIsRefusedWithNothingSent) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"load", files.File("none.vprof")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, files.File("none.vprof") + ": cannot be read: No such file or directory\n");
  EXPECT_TRUE(Requests(sim).empty());
}

TEST(ProfileLoad, EveryProblemIsPrintedOnItsOwnLine) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const std::string path =
      files.Write("bad.vprof", Replaced(Replaced(Valid(), "PE = 1", "PE = 2"), "CIB = 3", "CIB = x"));
  const auto r = OnBoard(sim, {"load", path});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, path + ":6: PE = 2 is out of range (0 to 1)\n" + path + ":18: CIB: \"x\" is not a decimal number\n");
}

TEST(ProfileDiff, ExitZeroWhenSameOneWhenDifferentTwoOnTrouble) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const std::string path = files.File("b.vprof");
  ASSERT_EQ(OnBoard(sim, {"save", path}).status, 0);
  const auto same = OnBoard(sim, {"diff", path});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "");
  EXPECT_EQ(same.err, "");

  files.Write("b.vprof", Replaced(Replaced(ReadText(path), "PE = 1", "PE = 0"), "CHANNEL = 6", "CHANNEL = 108"));
  const auto different = OnBoard(sim, {"diff", path});
  EXPECT_EQ(different.status, 1);
  EXPECT_EQ(different.out, "PE: board 1, file 0\nCHANNEL: board 6, file 108\n");
  EXPECT_EQ(different.err, "");
  EXPECT_EQ(Requests(sim), (Strings{"aa 01 02", "aa 01 02", "aa 01 02"})) << "diff only reads";
}

TEST(ProfileDiff, ABoardThatDoesNotAnswerIsTroubleNotADifference) {
  test::TempFolder files;
  BoardSim sim({"--mute"});
  ASSERT_TRUE(sim.ok());
  const std::string path = files.Write("b.vprof", Valid());
  const auto r = OnBoard(sim, {"diff", path});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");
}

TEST(ProfileSave, ReplacesTheFileOnlyWhenTheBoardWasRead) {
  test::TempFolder files;
  const std::string path = files.Write("b.vprof", "previous\n");
  {
    BoardSim silent({"--mute"});
    ASSERT_TRUE(silent.ok());
    EXPECT_EQ(OnBoard(silent, {"save", path}).status, 1);
    EXPECT_EQ(ReadText(path), "previous\n");
  }
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  EXPECT_EQ(OnBoard(sim, {"save", path}).status, 0);
  EXPECT_EQ(ReadText(path), Valid());
}

TEST(ProfileSave, AFileThatCannotBeWrittenIsReportedWithExitOne) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const std::string folder = files.File("");
  const auto r = OnBoard(sim, {"save", folder});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can not write " + folder + "\n");
}

// Ordered, to see the fields in the order the dump has them.
using json = nlohmann::ordered_json;

// The JSON document for the board's `bytes`, checked field by field against
// the model's own decoding.
void ExpectBoardJson(const json& j, const Snapshot& bytes) {
  ASSERT_TRUE(j.is_object());
  ASSERT_EQ(j.at("snapshot").size(), REGISTER_SNAPSHOT_SIZE);
  for (std::size_t i = 0; i < REGISTER_SNAPSHOT_SIZE; ++i) EXPECT_EQ(j["snapshot"][i].get<int>(), bytes[i]) << i;
  const TransmitterFields fields = DecodeFields(RegisterSnapshot{bytes});
  ASSERT_EQ(j.at("fields").size(), FIELD_COUNT);
  std::size_t i = 0;
  for (const auto& [name, value] : j["fields"].items()) {
    EXPECT_EQ(name, FIELD_NAMES[i]);
    EXPECT_EQ(value.get<int>(), RegisterValue(i, fields[i])) << name;
    ++i;
  }
  EXPECT_EQ(j.at("channel").get<int>(), bytes[SNAPSHOT_CHANNEL]);
  const json& quick = j.at("quick");
  EXPECT_EQ(quick.at("frequency_mhz").get<double>(), (875 + bytes[SNAPSHOT_CHANNEL]) / 10.0);
}

TEST(ProfileJson, ReadJsonIsOneObjectWithTheBoardsValues) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"read", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.out.back(), '\n');
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one line";
  const json j = json::parse(r.out);
  ExpectBoardJson(j, DEFAULT_STATE);
  EXPECT_EQ(j["quick"]["frequency_mhz"].get<double>(), 88.1);
  EXPECT_EQ(j["quick"]["power_mw"], 1);
  EXPECT_EQ(j["quick"]["audio_level_mvrms"], 100);
  EXPECT_EQ(j["quick"]["pre_emphasis"], "On");
  EXPECT_EQ(j["quick"]["time_constant_us"], 75);
  EXPECT_EQ(r.out.find("88.1") != std::string::npos, true) << "printed as the summary shows it: " << r.out;
}

TEST(ProfileJson, QuickValuesOutsideTheirTablesAreNull) {
  test::TempFolder files;
  constexpr Snapshot testModes = {0xD1, 0xB4, 0x01, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 0xCD};
  BoardSim sim(StartingWith(files, "board", testModes));
  ASSERT_TRUE(sim.ok());
  const json j = json::parse(OnBoard(sim, {"read", "--json"}).out);
  ExpectBoardJson(j, testModes);
  EXPECT_EQ(j["fields"]["AG"], 3);
  EXPECT_EQ(j["fields"]["PL"], 1);
  EXPECT_TRUE(j["quick"]["power_mw"].is_null());
  EXPECT_TRUE(j["quick"]["audio_level_mvrms"].is_null());
  EXPECT_EQ(j["quick"]["pre_emphasis"], "Off");
  EXPECT_EQ(j["quick"]["time_constant_us"], 50);
  EXPECT_EQ(j["quick"]["frequency_mhz"].get<double>(), 108.0);
}

TEST(ProfileJson, SaveLoadAndDiffReportWhatTheyDid) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const std::string path = files.File("b.vprof");
  const json saved = json::parse(OnBoard(sim, {"save", "--json", path}).out);
  ExpectBoardJson(saved, DEFAULT_STATE);
  EXPECT_EQ(saved["file"], path);

  files.Write("b.vprof", Replaced(ReadText(path), "MUTE = 0", "MUTE = 1"));
  const auto diffRun = OnBoard(sim, {"diff", "--json", path});
  EXPECT_EQ(diffRun.status, 1);
  const json diff = json::parse(diffRun.out);
  EXPECT_EQ(diff["differences"], json::parse(R"([{"field":"MUTE","board":0,"file":1}])"));
  ExpectBoardJson(diff["board"], DEFAULT_STATE);

  const auto loadRun = OnBoard(sim, {"load", "--json", path});
  EXPECT_EQ(loadRun.status, 0) << loadRun.err;
  const json load = json::parse(loadRun.out);
  EXPECT_EQ(load["fields"]["MUTE"], 1);
  EXPECT_EQ(load["fields"]["PL"], 2);
  EXPECT_EQ(load["fields"]["P"], 0x2A58);
  EXPECT_EQ(load["channel"], 6);
  EXPECT_EQ(load["stored"], false);
  EXPECT_EQ(load["file"], path);
  EXPECT_EQ(OnBoard(sim, {"diff", path}).status, 0);
}

TEST(ProfileJson, DiffGivesNumbersForEveryKindOfValue) {
  test::TempFolder files;
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const std::string path =
      files.Write("b.vprof", Replaced(Replaced(Replaced(Valid(), "PL = 2", "PL = 3"), "P = 0x2a58", "P = 0x100"),
                                      "CHANNEL = 6", "CHANNEL = 205"));
  const json diff = json::parse(OnBoard(sim, {"diff", "--json", path}).out);
  EXPECT_EQ(diff["differences"], json::parse(R"([{"field":"PL","board":2,"file":3},
                                                 {"field":"P","board":10840,"file":256},
                                                 {"field":"CHANNEL","board":6,"file":205}])"));
}

TEST(ProfileJson, RawAndJsonExcludeEachOther) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"read", "--raw", "--json"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Requests(sim).empty());
}

TEST(ProfileJson, AFailedReadPrintsNoJson) {
  BoardSim sim({"--short-registers", "4"});
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"read", "--json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");
}

}  // namespace
}  // namespace vorna::test
