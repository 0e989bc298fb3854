// The board profile file: its text, everything it accepts, every problem
// it rejects with its line, reading and replacing files, and the diff.

#include "commands/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/transmitter_fields.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;

const std::string DEFAULT_TEXT =
    "vorna-profile 1\n"
    "# FM transmitter board settings: one FIELD = VALUE a line, each name once.\n"
    "# Lines starting with # or ; are comments. P is hexadecimal after 0x, the\n"
    "# others decimal; PL is the register value (2 is 1 mW, 3 is 2 mW).\n"
    "# CHANNEL counts 0.1 MHz steps above 87.5 MHz: 108 is 98.3 MHz.\n"
    "PE = 1\nPDX = 0\nMUTE = 0\nEM = 0\nEMS = 1\nAG = 0\nPLT = 0\nSUBC = 0\nPL = 2\nULD = 1\n"
    "P = 0x2a58\nCIA = 1\nCIB = 3\nCEX = 3\nCHANNEL = 6\n";

BoardProfile Profile(std::array<std::int32_t, FIELD_COUNT> fields, FrequencyChannel channel) {
  BoardProfile p;
  p.fields.values = fields;
  p.channel = channel;
  return p;
}

const BoardProfile DEFAULTS = Profile({1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0x2A58, 1, 3, 3}, 6);

// A complete profile body after the first line, with `replace` put in place
// of the line starting with its name (or appended when none does).
std::string Body(const std::string& replace = {}, const std::string& name = {}) {
  std::string text = "vorna-profile 1\n";
  for (const char* line : {"PE = 1", "PDX = 0", "MUTE = 0", "EM = 0", "EMS = 1", "AG = 0", "PLT = 0", "SUBC = 0",
                           "PL = 2", "ULD = 1", "P = 0x2a58", "CIA = 1", "CIB = 3", "CEX = 3", "CHANNEL = 6"}) {
    const std::string l = line;
    if (!name.empty() && l.rfind(name + " ", 0) == 0) {
      text += replace + "\n";
    } else {
      text += l + "\n";
    }
  }
  if (name.empty() && !replace.empty()) text += replace + "\n";
  return text;
}

TEST(ProfileText, DefaultsReadAsDocumented) { EXPECT_EQ(FormatProfile(DEFAULTS), DEFAULT_TEXT); }

TEST(ProfileText, SnapshotGivesTheDecodedFieldsAndTheChannel) {
  EXPECT_EQ(ProfileFromSnapshot(PowerOnSnapshot()), DEFAULTS);
}

struct RoundTripRow {
  const char* name;
  BoardProfile profile;
};

class ProfileRoundTrip : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(ProfileRoundTrip, ParsingTheTextGivesTheProfileBack) {
  const ProfileParse parse = ParseProfile(FormatProfile(GetParam().profile));
  EXPECT_TRUE(parse.problems.empty()) << parse.problems.front().what;
  ASSERT_TRUE(parse.profile);
  EXPECT_EQ(*parse.profile, GetParam().profile);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ProfileRoundTrip,
    ::testing::Values(RoundTripRow{"defaults", DEFAULTS},
                      // PL -2 is register value 0: the lowest test mode.
                      RoundTripRow{"lowest", Profile({0, 0, 0, 0, 0, 0, 0, 0, -2, 0, 0, 0, 0, 0}, 0)},
                      RoundTripRow{"highest", Profile({1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 0x3FFF, 3, 3, 3}, 255)},
                      RoundTripRow{"test modes", Profile({1, 0, 0, 0, 1, 3, 0, 0, -1, 1, 0x100, 1, 3, 3}, 206)}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (c == ' ') c = '_';
      return name;
    });

struct AcceptedRow {
  const char* name;
  std::string text;
};

class ProfileAccepted : public ::testing::TestWithParam<AcceptedRow> {};

TEST_P(ProfileAccepted, ReadsAsTheDefaults) {
  const ProfileParse parse = ParseProfile(GetParam().text);
  ASSERT_TRUE(parse.problems.empty()) << parse.problems.front().line << ": " << parse.problems.front().what;
  ASSERT_TRUE(parse.profile);
  EXPECT_EQ(*parse.profile, DEFAULTS);
}

std::string Crlf(std::string text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string Reversed() {
  return "vorna-profile 1\nCHANNEL=6\nCEX=3\nCIB=3\nCIA=1\nP=0x2A58\nULD=1\nPL=2\nSUBC=0\nPLT=0\nAG=0\nEMS=1\nEM=0\n"
         "MUTE=0\nPDX=0\nPE=1";
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ProfileAccepted,
    ::testing::Values(AcceptedRow{"as_written", DEFAULT_TEXT}, AcceptedRow{"crlf", Crlf(DEFAULT_TEXT)},
                      AcceptedRow{"bom", "\xEF\xBB\xBF" + DEFAULT_TEXT},
                      AcceptedRow{"any_order_no_final_line_end_no_blanks", Reversed()},
                      AcceptedRow{"comments_and_blank_lines", Body("; a comment\n\n   # another\n\t")},
                      AcceptedRow{"lower_case_names", Body("p = 0x2a58", "P")},
                      AcceptedRow{"p_upper_case_prefix", Body("P = 0X2A58", "P")},
                      AcceptedRow{"p_decimal", Body("P = 10840", "P")},
                      AcceptedRow{"blanks_around", Body("  \tCHANNEL\t=   6  ", "CHANNEL")},
                      AcceptedRow{"first_line_trailing_blank", "vorna-profile 1  " + Body().substr(15)}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadRow {
  const char* name;
  std::string text;
  std::size_t line;
  std::string what;
};

class ProfileRejected : public ::testing::TestWithParam<BadRow> {};

TEST_P(ProfileRejected, OneProblemAtItsLine) {
  const ProfileParse parse = ParseProfile(GetParam().text);
  EXPECT_FALSE(parse.profile);
  ASSERT_EQ(parse.problems.size(), 1u);
  EXPECT_EQ(parse.problems[0].line, GetParam().line);
  EXPECT_EQ(parse.problems[0].what, GetParam().what);
}

const std::string NOT_A_PROFILE = "not a board profile: the first line must read \"vorna-profile 1\"";

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileRejected,
    ::testing::Values(
        BadRow{"empty", "", 1, NOT_A_PROFILE}, BadRow{"json", "{\"PE\": 1}\n", 1, NOT_A_PROFILE},
        BadRow{"settings_file", "[SETTING]\nCOM=1\n", 1, NOT_A_PROFILE},
        BadRow{"first_line_late", "\n" + Body(), 1, NOT_A_PROFILE},
        BadRow{"version_zero", "vorna-profile 0\n", 1, NOT_A_PROFILE},
        BadRow{"newer_version", "vorna-profile 2\nFUTURE = 1\n", 1,
               "profile version 2 is newer than this program reads (1)"},
        BadRow{"unknown_field", Body("FREQ = 98.3"), 17, "unknown field \"FREQ\""},
        BadRow{"repeated_field", Body("pe = 1"), 17, "PE given again (first on line 2)"},
        BadRow{"missing_field", Body("", "CEX"), 16, "missing CEX"},
        BadRow{"no_equals", Body("CEX 3"), 17, "expected FIELD = VALUE, found \"CEX 3\""},
        BadRow{"no_value", Body("CEX =", "CEX"), 15, "CEX has no value"},
        BadRow{"no_name", Body("= 3"), 17, "unknown field \"\""},
        BadRow{"fraction", Body("PE = 1.0", "PE"), 2, "PE: \"1.0\" is not a decimal number"},
        BadRow{"plus_sign", Body("PE = +1", "PE"), 2, "PE: \"+1\" is not a decimal number"},
        BadRow{"hex_where_decimal", Body("CHANNEL = 0x6", "CHANNEL"), 16, "CHANNEL: \"0x6\" is not a decimal number"},
        BadRow{"inline_comment", Body("AG = 0 # quiet", "AG"), 7, "AG: \"0 # quiet\" is not a decimal number"},
        BadRow{"p_bad_digit", Body("P = 0x2g58", "P"), 12,
               "P: \"0x2g58\" is not a number (0x and hexadecimal digits, or decimal digits)"},
        BadRow{"p_prefix_only", Body("P = 0x", "P"), 12,
               "P: \"0x\" is not a number (0x and hexadecimal digits, or decimal digits)"},
        BadRow{"pe_above", Body("PE = 2", "PE"), 2, "PE = 2 is out of range (0 to 1)"},
        BadRow{"pe_below", Body("PE = -1", "PE"), 2, "PE = -1 is out of range (0 to 1)"},
        BadRow{"pe_minus_zero", Body("PE = -0", "PE"), 2, "PE = -0 is out of range (0 to 1)"},
        BadRow{"p_hex_minus_zero", Body("P = 0x-0", "P"), 12,
               "P: \"0x-0\" is not a number (0x and hexadecimal digits, or decimal digits)"},
        BadRow{"ag_above", Body("AG = 4", "AG"), 7, "AG = 4 is out of range (0 to 3)"},
        BadRow{"pl_above", Body("PL = 4", "PL"), 10, "PL = 4 is out of range (0 to 3)"},
        BadRow{"cex_above", Body("CEX = 4", "CEX"), 15, "CEX = 4 is out of range (0 to 3)"},
        BadRow{"p_above", Body("P = 0x4000", "P"), 12, "P = 0x4000 is out of range (0x0 to 0x3fff)"},
        BadRow{"p_decimal_above", Body("P = 16384", "P"), 12, "P = 16384 is out of range (0x0 to 0x3fff)"},
        BadRow{"channel_above", Body("CHANNEL = 256", "CHANNEL"), 16, "CHANNEL = 256 is out of range (0 to 255)"},
        BadRow{"beyond_64_bits", Body("CHANNEL = 99999999999999999999", "CHANNEL"), 16,
               "CHANNEL = 99999999999999999999 is out of range (0 to 255)"},
        BadRow{"too_large", Body(std::string(PROFILE_MAX_SIZE, '#')), 17,
               "larger than 65536 bytes: not a board profile"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileRejected, EveryProblemIsReportedInLineOrderWithTheMissingNamesLast) {
  const std::string text = "vorna-profile 1\nPE = 3\nFOO = 1\nPE = 1\n\nP = 0x4000\nCEX\n";
  const ProfileParse parse = ParseProfile(text);
  EXPECT_FALSE(parse.profile);
  std::vector<std::string> seen;
  for (const auto& p : parse.problems) seen.push_back(std::to_string(p.line) + ": " + p.what);
  EXPECT_EQ(seen,
            (std::vector<std::string>{
                "2: PE = 3 is out of range (0 to 1)", "3: unknown field \"FOO\"", "4: PE given again (first on line 2)",
                "6: P = 0x4000 is out of range (0x0 to 0x3fff)", "7: expected FIELD = VALUE, found \"CEX\"",
                "7: missing PDX, MUTE, EM, EMS, AG, PLT, SUBC, PL, ULD, CIA, CIB, CEX, CHANNEL"}));
}

TEST(ProfileRejected, ProblemsNameTheFileAndLine) {
  EXPECT_EQ(FormatProfileProblem("a/b.vprof", {12, "P is missing"}), "a/b.vprof:12: P is missing");
  EXPECT_EQ(FormatProfileProblem("b.vprof", {0, "cannot be read"}), "b.vprof: cannot be read");
  // What they quote of the file, and its name, reach no terminal raw.
  EXPECT_EQ(FormatProfileProblem("b\a.vprof", {2, "unknown field \"\x1b[2J\""}),
            "b\\x07.vprof:2: unknown field \"\\x1b[2J\"");
}

TEST(ProfileFile, WrittenFileReadsBack) {
  TempFolder folder;
  const std::string path = folder.File("board.vprof");
  const BoardProfile profile = Profile({0, 1, 1, 1, 0, 3, 1, 1, -2, 0, 0x3FFF, 0, 2, 1}, 255);
  ASSERT_TRUE(WriteProfileFile(path, profile));
  const ProfileParse parse = ReadProfileFile(path);
  ASSERT_TRUE(parse.profile);
  EXPECT_EQ(*parse.profile, profile);
}

TEST(ProfileFile, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
  TempFolder folder;
  const std::string path = folder.File("board.vprof");
  std::ofstream(path) << "old contents that are longer than the new profile will ever be" << std::string(1000, '.');
  ASSERT_TRUE(WriteProfileFile(path, DEFAULTS));
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), DEFAULT_TEXT);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()), fs::directory_iterator()), 1);
}

TEST(ProfileFile, AFolderInTheWayIsNotReplaced) {
  TempFolder folder;
  const std::string path = folder.File("taken");
  fs::create_directory(path);
  std::ofstream(path + "/inside") << "kept";
  EXPECT_FALSE(WriteProfileFile(path, DEFAULTS));
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_TRUE(fs::exists(path + "/inside"));
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()), fs::directory_iterator()), 1);
}

TEST(ProfileFile, UnreadableFilesGiveTheReasonWithoutALine) {
  TempFolder folder;
  const ProfileParse missing = ReadProfileFile(folder.File("none.vprof"));
  ASSERT_EQ(missing.problems.size(), 1u);
  EXPECT_EQ(missing.problems[0].line, 0u);
  EXPECT_EQ(missing.problems[0].what, "cannot be read: No such file or directory");
  const ProfileParse folderRead = ReadProfileFile(folder.File(""));
  ASSERT_EQ(folderRead.problems.size(), 1u);
  EXPECT_EQ(folderRead.problems[0].what, "cannot be read: Is a directory");
}

TEST(ProfileFile, AHugeFileIsRejectedWithoutReadingItWhole) {
  TempFolder folder;
  const std::string path = folder.File("huge.vprof");
  {
    std::ofstream out(path, std::ios::binary);
    out << "vorna-profile 1\n";
    const std::string line(1023, 'x');
    for (int i = 0; i < 4096; ++i) out << line << '\n';  // 4 MiB
  }
  const ProfileParse parse = ReadProfileFile(path);
  ASSERT_EQ(parse.problems.size(), 1u);
  EXPECT_EQ(parse.problems[0].line, 65u);  // line 65 holds byte 65537
  EXPECT_EQ(parse.problems[0].what, "larger than 65536 bytes: not a board profile");
}

TEST(ProfileDump, ShowsTheRegisterValueOfPlAndTheChannelWithItsFrequency) {
  EXPECT_EQ(FormatProfileDump(Profile({1, 0, 0, 0, 1, 3, 0, 0, 1, 1, 0x1F40, 1, 3, 3}, 108)),
            " PE = 1\r\n PDX = 0\r\n MUTE = 0\r\n EM = 0\r\n EMS = 1\r\n AG = 3\r\n PLT = 0\r\n SUBC = 0\r\n"
            " PL = 3\r\n ULD = 1\r\n P = 1f40H\r\n CIA = 1\r\n CIB = 3\r\n CEX = 3\r\n CHANNEL = 108 (98.3 MHz)");
}

TEST(ProfileDump, ChannelFrequencies) {
  struct Row {
    FrequencyChannel channel;
    const char* text;
    double mhz;
  };
  for (const Row& row : {Row{0, "87.5", 87.5}, Row{6, "88.1", 88.1}, Row{108, "98.3", 98.3}, Row{205, "108.0", 108.0},
                         Row{255, "113.0", 113.0}}) {
    EXPECT_EQ(ChannelFrequencyText(row.channel), row.text);
    EXPECT_EQ(ChannelFrequencyMhz(row.channel), row.mhz) << row.text;
  }
}

TEST(ProfileDiff, NamesEachDifferenceWithBothValuesInFileOrder) {
  EXPECT_TRUE(DiffProfiles(DEFAULTS, DEFAULTS).empty());
  BoardProfile file = DEFAULTS;
  file.fields[FIELD_PE] = 0;
  file.fields[FIELD_PL] = 1;
  file.fields[FIELD_P] = 0x100;
  file.channel = 205;
  const auto differences = DiffProfiles(DEFAULTS, file);
  ASSERT_EQ(differences.size(), 4u);
  const auto row = [](const ProfileDifference& d) {
    return std::string(d.name) + " " + d.boardValue + " " + d.fileValue;
  };
  EXPECT_EQ(row(differences[0]), "PE 1 0");
  EXPECT_EQ(row(differences[1]), "PL 2 3");
  EXPECT_EQ(row(differences[2]), "P 0x2a58 0x100");
  EXPECT_EQ(row(differences[3]), "CHANNEL 6 205");
}

}  // namespace
}  // namespace vorna::test
