#include "app/settings/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

using test::TempFolder;

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// `lines` as a file this program creates holds them: each line ends as the
// platform's text files do.
std::string NewFileText(std::string_view lines) {
  std::string text;
  for (const char c : lines) {
    if (c == '\n') {
      text += NEW_FILE_LINE_END;
    } else {
      text += c;
    }
  }
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

class SettingsFileTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.File("vorna.ini");
};

TEST_F(SettingsFileTest, MissingFileGivesTheDefaults) {
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 1);
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", ""), "");
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", "fallback"), "fallback");
}

struct IntCase {
  const char* line;
  int expected;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << c.line; }

class ProfileIntTest : public SettingsFileTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(ProfileIntTest, ReadsLikeThePlatform) {
  WriteFile(ini_, std::string("[SETTING]\n") + GetParam().line + "\n");
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Values, ProfileIntTest,
                         ::testing::Values(IntCase{"COM=5", 5}, IntCase{"COM= 12", 12}, IntCase{"COM =  12  ", 12},
                                           IntCase{"COM=abc", 0}, IntCase{"COM=-5", 0}, IntCase{"COM=-0", 0},
                                           IntCase{"COM=+7", 7}, IntCase{"COM=12abc", 12}, IntCase{"COM=0", 0},
                                           IntCase{"COM=", 1}, IntCase{"COM=   ", 1}, IntCase{"COM=\"9\"", 9},
                                           IntCase{"COM=2147483647", 2147483647}, IntCase{"COM=2147483648", 0},
                                           IntCase{"COM=99999999999999999999", 0}, IntCase{"com=3", 3},
                                           IntCase{"  Com  =4", 4}, IntCase{"COM", 1}, IntCase{";COM=6", 1},
                                           IntCase{"#COM=6", 1}, IntCase{"COMX=6", 1}));

struct StringCase {
  const char* line;
  const char* expected;
};

void PrintTo(const StringCase& c, std::ostream* os) { *os << c.line; }

class ProfileStringTest : public SettingsFileTest, public ::testing::WithParamInterface<StringCase> {};

TEST_P(ProfileStringTest, ReadsLikeThePlatform) {
  WriteFile(ini_, std::string("[SETTING]\n") + GetParam().line + "\n");
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", "<default>"), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Values, ProfileStringTest,
                         ::testing::Values(StringCase{"FILE=C:\\work\\prog.hex", "C:\\work\\prog.hex"},
                                           StringCase{"FILE = /home/me/my prog.hex  ", "/home/me/my prog.hex"},
                                           StringCase{"FILE=\"/quoted path/p.hex\"", "/quoted path/p.hex"},
                                           StringCase{"FILE='single'", "single"}, StringCase{"FILE=\"\"a\"\"", "\"a\""},
                                           StringCase{"FILE=\"half", "\"half"}, StringCase{"FILE=\"mixed'", "\"mixed'"},
                                           StringCase{"FILE=\"", "\""}, StringCase{"FILE=a=b;c#d", "a=b;c#d"},
                                           StringCase{"FILE=", ""}, StringCase{"FILE", "<default>"},
                                           StringCase{"file=lower", "lower"},
                                           StringCase{"; FILE=comment", "<default>"}));

TEST_F(SettingsFileTest, ReadsCrLfFiles) {
  WriteFile(ini_, "[SETTING]\r\nCOM=4\r\nFILE=C:\\a\\b.hex\r\n");
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 4);
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", ""), "C:\\a\\b.hex");
}

TEST_F(SettingsFileTest, SkipsAByteOrderMark) {
  WriteFile(ini_, "\xEF\xBB\xBF[SETTING]\nCOM=8\n");
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 8);
}

TEST_F(SettingsFileTest, SectionNamesMatchWithoutCaseAndBlanks) {
  WriteFile(ini_, "  [ setting ]  \nCOM=2\n");
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 2);
}

TEST_F(SettingsFileTest, KeysOfOtherSectionsAreNotSeen) {
  WriteFile(ini_, "COM=5\n[OTHER]\nCOM=9\nFILE=other.hex\n[SETTING]\nCOM=3\n[LATER]\nFILE=later.hex\n");
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 3);
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", ""), "");
}

TEST_F(SettingsFileTest, FirstOfDuplicateKeysWins) {
  WriteFile(ini_, "[SETTING]\nCOM=3\n[SETTING]\nCOM=4\nCOM=5\n");
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 3);
  ASSERT_TRUE(WriteProfileString(ini_, "SETTING", "COM", "6"));
  EXPECT_EQ(ReadFile(ini_), "[SETTING]\nCOM=6\n[SETTING]\nCOM=4\nCOM=5\n");
}

TEST_F(SettingsFileTest, LongValueIsCutToTheBuffer) {
  const std::string longPath = "/" + std::string(4999, 'p');
  WriteFile(ini_, "[SETTING]\nFILE=" + longPath + "\n");
  const std::string read = ReadProfileString(ini_, "SETTING", "FILE", "");
  EXPECT_EQ(read.size(), PROFILE_STRING_CAPACITY - 1);
  EXPECT_EQ(read, longPath.substr(0, 4095));
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", "", 1), "");
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", "", 0), "");
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "NONE", "defaults", 4), "def");
}

TEST_F(SettingsFileTest, FirstWriteCreatesTheFile) {
  ASSERT_TRUE(WriteProfileStrings(ini_, "SETTING", {{"COM", "1"}, {"FILE", ""}}));
  EXPECT_EQ(ReadFile(ini_), NewFileText("[SETTING]\nCOM=1\nFILE=\n"));
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 7), 1);
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", "x"), "");
}

TEST_F(SettingsFileTest, WriteKeepsEverythingElse) {
  WriteFile(ini_,
            "; written by hand\r\n"
            "[Window]\r\n"
            "Left = 10\r\n"
            "\r\n"
            "[setting]\r\n"
            "com = 5\r\n"
            "Colour=blue ; not a comment\r\n"
            "\r\n"
            "# the next section\r\n"
            "[Other]\r\n"
            "FILE=keep.hex");
  ASSERT_TRUE(WriteProfileStrings(ini_, "SETTING", {{"COM", "7"}, {"FILE", "/new/p.hex"}}));
  EXPECT_EQ(ReadFile(ini_),
            "; written by hand\r\n"
            "[Window]\r\n"
            "Left = 10\r\n"
            "\r\n"
            "[setting]\r\n"
            "COM=7\r\n"
            "Colour=blue ; not a comment\r\n"
            "FILE=/new/p.hex\r\n"
            "\r\n"
            "# the next section\r\n"
            "[Other]\r\n"
            "FILE=keep.hex");
}

TEST_F(SettingsFileTest, NewSectionGoesAtTheEnd) {
  WriteFile(ini_, "[Other]\nA=1\n");
  ASSERT_TRUE(WriteProfileString(ini_, "SETTING", "COM", "3"));
  EXPECT_EQ(ReadFile(ini_), "[Other]\nA=1\n\n[SETTING]\nCOM=3\n");
}

TEST_F(SettingsFileTest, ByteOrderMarkIsKept) {
  WriteFile(ini_, "\xEF\xBB\xBF[SETTING]\nCOM=8\n");
  ASSERT_TRUE(WriteProfileString(ini_, "SETTING", "COM", "9"));
  EXPECT_EQ(ReadFile(ini_), "\xEF\xBB\xBF[SETTING]\nCOM=9\n");
}

class RoundTripTest : public SettingsFileTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(RoundTripTest, ValueReadsBackAsWritten) {
  ASSERT_TRUE(WriteProfileString(ini_, "SETTING", "FILE", GetParam()));
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", "<default>"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Values, RoundTripTest,
                         ::testing::Values("C:\\Program Files\\vorna\\prog.hex", "/home/me/a \"quoted\" name.hex",
                                           "\"/fully quoted.hex\"", "'single'", "\"\"", "\"", " leading blank",
                                           "trailing blank ", "\ttab", "a=b;c#d", "[not a section]", ""));

TEST_F(SettingsFileTest, LongestReadableValueReadsBack) {
  const std::string longest(PROFILE_STRING_CAPACITY - 1, 'x');
  ASSERT_TRUE(WriteProfileString(ini_, "SETTING", "FILE", longest));
  EXPECT_EQ(ReadProfileString(ini_, "SETTING", "FILE", ""), longest);
}

TEST_F(SettingsFileTest, QuotesOnlyWhereTheReaderWouldChangeTheValue) {
  ASSERT_TRUE(WriteProfileStrings(ini_, "SETTING", {{"A", "C:\\a \"b\"\\c"}, {"B", "'x'"}, {"C", " x"}}));
  EXPECT_EQ(ReadFile(ini_), NewFileText("[SETTING]\nA=C:\\a \"b\"\\c\nB=\"'x'\"\nC=\" x\"\n"));
}

TEST_F(SettingsFileTest, LineBreaksAreRefusedAndNothingIsWritten) {
  WriteFile(ini_, "[SETTING]\nFILE=old\n");
  EXPECT_FALSE(WriteProfileString(ini_, "SETTING", "FILE", "a\nb"));
  EXPECT_FALSE(WriteProfileString(ini_, "SETTING", "FILE", "a\rb"));
  EXPECT_FALSE(WriteProfileString(ini_, "SETTING", "KEY=", "x"));
  EXPECT_FALSE(WriteProfileString(ini_, "SET]", "FILE", "x"));
  EXPECT_FALSE(WriteProfileStrings(ini_, "SET]", {{"COM", "2"}, {"FILE", "x"}}));
  EXPECT_EQ(ReadFile(ini_), "[SETTING]\nFILE=old\n");
}

// A value the file cannot hold is left out, with its old value kept, and
// costs no other key: the port number is saved whatever the file path.
struct LeftOutCase {
  const char* name;
  std::vector<ProfileEntry> entries;
  const char* expected;
};

void PrintTo(const LeftOutCase& c, std::ostream* os) { *os << c.name; }

class LeftOutTest : public SettingsFileTest, public ::testing::WithParamInterface<LeftOutCase> {};

TEST_P(LeftOutTest, OnlyTheEntryTheFileCannotHoldIsLeftOut) {
  WriteFile(ini_, "[SETTING]\r\nCOM=1\r\nFILE=old.hex\r\n");
  EXPECT_FALSE(WriteProfileStrings(ini_, "SETTING", GetParam().entries));
  EXPECT_EQ(ReadFile(ini_), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LeftOutTest,
    ::testing::Values(
        LeftOutCase{"LineFeedInFile",
                    {{"COM", "12"}, {"FILE", "/home/me/a\nb.hex"}},
                    "[SETTING]\r\nCOM=12\r\nFILE=old.hex\r\n"},
        LeftOutCase{
            "CarriageReturnInFile", {{"COM", "-3"}, {"FILE", "a\rb.hex"}}, "[SETTING]\r\nCOM=-3\r\nFILE=old.hex\r\n"},
        LeftOutCase{
            "LineEndAtTheEndOfFile", {{"COM", "2"}, {"FILE", "p.hex\r\n"}}, "[SETTING]\r\nCOM=2\r\nFILE=old.hex\r\n"},
        LeftOutCase{"FirstEntryLeftOut", {{"FILE", "\n"}, {"COM", "5"}}, "[SETTING]\r\nCOM=5\r\nFILE=old.hex\r\n"},
        LeftOutCase{"BadKeyName", {{"K=Y", "1"}, {"COM", "6"}}, "[SETTING]\r\nCOM=6\r\nFILE=old.hex\r\n"},
        LeftOutCase{"EveryEntryLeftOut", {{"COM", "\n"}, {"FILE", "\r"}}, "[SETTING]\r\nCOM=1\r\nFILE=old.hex\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The in-memory edit says what it did, which the file writer turns into
// "write or not" and "true or false".
struct EditCase {
  const char* name;
  const char* section;
  std::vector<ProfileEntry> entries;
  ProfileEdit outcome;
  const char* content;
};

void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class ProfileEditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(ProfileEditTest, ReportsWhatWasSet) {
  std::string content = "[SETTING]\nCOM=1\n";
  EXPECT_EQ(SetProfileStringsIn(content, GetParam().section, GetParam().entries), GetParam().outcome);
  EXPECT_EQ(content, GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ProfileEditTest,
    ::testing::Values(
        EditCase{"Complete",
                 "SETTING",
                 {{"COM", "4"}, {"FILE", "a.hex"}},
                 ProfileEdit::Complete,
                 "[SETTING]\nCOM=4\nFILE=a.hex\n"},
        EditCase{"Partial", "SETTING", {{"COM", "4"}, {"FILE", "a\nb"}}, ProfileEdit::Partial, "[SETTING]\nCOM=4\n"},
        EditCase{"EveryEntryLeftOut", "SETTING", {{"COM", "\r"}}, ProfileEdit::None, "[SETTING]\nCOM=1\n"},
        EditCase{"NoEntries", "SETTING", {}, ProfileEdit::None, "[SETTING]\nCOM=1\n"},
        EditCase{"BlankSection", " ", {{"COM", "4"}}, ProfileEdit::None, "[SETTING]\nCOM=1\n"},
        EditCase{"BracketInSection", "A]B", {{"COM", "4"}}, ProfileEdit::None, "[SETTING]\nCOM=1\n"},
        EditCase{
            "NewSection", "OTHER", {{"K", " v "}}, ProfileEdit::Complete, "[SETTING]\nCOM=1\n\n[OTHER]\nK=\" v \"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, PortIsSavedInANewFileWhenThePathIsLeftOut) {
  EXPECT_FALSE(WriteProfileStrings(ini_, "SETTING", {{"COM", "4"}, {"FILE", "a\nb"}}));
  EXPECT_EQ(ReadFile(ini_), NewFileText("[SETTING]\nCOM=4\n"));
}

TEST_F(SettingsFileTest, MissingFoldersAreCreated) {
  const std::string nested = folder_.File("config/vorna/vorna.ini");
  ASSERT_TRUE(WriteProfileString(nested, "SETTING", "COM", "2"));
  EXPECT_EQ(ReadProfileInt(nested, "SETTING", "COM", 1), 2);
}

TEST_F(SettingsFileTest, PlaceUnderAFileFailsSilently) {
  WriteFile(folder_.File("plain"), "x");
  const std::string impossible = folder_.File("plain/vorna.ini");
  EXPECT_FALSE(WriteProfileStrings(impossible, "SETTING", {{"COM", "1"}, {"FILE", ""}}));
  EXPECT_EQ(ReadProfileInt(impossible, "SETTING", "COM", 1), 1);
  EXPECT_EQ(ReadFile(folder_.File("plain")), "x");
}

TEST_F(SettingsFileTest, UnreadableFileIsNotReplaced) {
  fs::create_directory(ini_);  // a folder where the file should be
  EXPECT_FALSE(WriteProfileString(ini_, "SETTING", "COM", "4"));
  EXPECT_TRUE(fs::is_directory(ini_));
}

}  // namespace
}  // namespace vorna
