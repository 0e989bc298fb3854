#include "app/settings/app_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace vorna {
namespace {

struct PathCase {
  const char* executable;
  const char* applicationName;
  const char* settingsPath;
  const char* helpPath;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.executable; }

class ExecutablePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExecutablePathTest, DerivesNameSettingsAndHelp) {
  const PathCase& c = GetParam();
  EXPECT_EQ(ApplicationName(c.executable), c.applicationName);
  EXPECT_EQ(SettingsPathBesideExecutable(c.executable), c.settingsPath);
  EXPECT_EQ(HelpFilePath(c.executable), c.helpPath);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecutablePathTest,
    ::testing::Values(
        PathCase{"/opt/tools/VORNA.exe", "VORNA", "/opt/tools/VORNA.ini", "/opt/tools/VORNAHLP.html"},
        // Only a dot in the file name counts, not one in a folder name.
        PathCase{"/opt/my.tools/VORNA.exe", "VORNA", "/opt/my.tools/VORNA.ini", "/opt/my.tools/VORNAHLP.html"},
        PathCase{"/opt/my.tools/vorna", "vorna", "/opt/my.tools/vorna.ini", "/opt/my.tools/VORNAHLP.html"},
        PathCase{"/opt/tools/other.exe", "other", "/opt/tools/other.ini", "/opt/tools/VORNAHLP.html"},
        PathCase{"/a.b/vorna.tar.gz", "vorna.tar", "/a.b/vorna.tar.ini", "/a.b/VORNAHLP.html"},
        PathCase{"VORNA.exe", "VORNA", "VORNA.ini", "VORNAHLP.html"},
        PathCase{"/vorna", "vorna", "/vorna.ini", "/VORNAHLP.html"},
        PathCase{"/usr/local/bin/vorna", "vorna", "/usr/local/bin/vorna.ini", "/usr/local/bin/VORNAHLP.html"}));

struct HelpCandidatesCase {
  const char* executable;
  std::vector<std::string> candidates;
};

void PrintTo(const HelpCandidatesCase& c, std::ostream* os) { *os << c.executable; }

class HelpFileCandidatesTest : public ::testing::TestWithParam<HelpCandidatesCase> {};

TEST_P(HelpFileCandidatesTest, BesideTheExecutableThenTheDataFolderAboveIt) {
  EXPECT_EQ(HelpFileCandidates(GetParam().executable), GetParam().candidates);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpFileCandidatesTest,
    ::testing::Values(
        HelpCandidatesCase{"/usr/bin/vorna", {"/usr/bin/VORNAHLP.html", "/usr/share/vorna/VORNAHLP.html"}},
        // A package unpacked into another root finds its own help.
        HelpCandidatesCase{"/tmp/root/usr/bin/other.exe",
                           {"/tmp/root/usr/bin/VORNAHLP.html", "/tmp/root/usr/share/vorna/VORNAHLP.html"}},
        HelpCandidatesCase{"/opt/my.tools/vorna", {"/opt/my.tools/VORNAHLP.html", "/opt/share/vorna/VORNAHLP.html"}},
        // Above the root folder is the root folder.
        HelpCandidatesCase{"/vorna", {"/VORNAHLP.html", "/share/vorna/VORNAHLP.html"}},
        HelpCandidatesCase{"bin/vorna", {"bin/VORNAHLP.html", "share/vorna/VORNAHLP.html"}},
        HelpCandidatesCase{"vorna", {"VORNAHLP.html"}}));

struct HelpChoiceCase {
  const char* name;
  std::vector<std::string> existing;
  const char* chosen;
  std::vector<std::string> asked;
};

void PrintTo(const HelpChoiceCase& c, std::ostream* os) { *os << c.name; }

class ChooseHelpPathTest : public ::testing::TestWithParam<HelpChoiceCase> {};

TEST_P(ChooseHelpPathTest, TakesTheFirstThatExists) {
  const HelpChoiceCase& c = GetParam();
  std::vector<std::string> asked;
  const auto exists = [&](const std::string& path) {
    asked.push_back(path);
    return std::find(c.existing.begin(), c.existing.end(), path) != c.existing.end();
  };
  EXPECT_EQ(ChooseHelpPath("/usr/bin/vorna", exists), c.chosen);
  EXPECT_EQ(asked, c.asked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseHelpPathTest,
    ::testing::Values(HelpChoiceCase{"both",
                                     {"/usr/bin/VORNAHLP.html", "/usr/share/vorna/VORNAHLP.html"},
                                     "/usr/bin/VORNAHLP.html",
                                     {"/usr/bin/VORNAHLP.html"}},
                      HelpChoiceCase{"installed_only",
                                     {"/usr/share/vorna/VORNAHLP.html"},
                                     "/usr/share/vorna/VORNAHLP.html",
                                     {"/usr/bin/VORNAHLP.html", "/usr/share/vorna/VORNAHLP.html"}},
                      // Nowhere: the place beside the executable, where Help finds nothing.
                      HelpChoiceCase{"none",
                                     {},
                                     "/usr/bin/VORNAHLP.html",
                                     {"/usr/bin/VORNAHLP.html", "/usr/share/vorna/VORNAHLP.html"}}),
    [](const ::testing::TestParamInfo<HelpChoiceCase>& info) { return std::string(info.param.name); });

TEST(FolderOfTest, KeepsTheRootAndDropsTheSeparator) {
  EXPECT_EQ(FolderOf("/usr/bin/vorna"), "/usr/bin");
  EXPECT_EQ(FolderOf("/vorna"), "/");
  EXPECT_EQ(FolderOf("vorna"), "");
  EXPECT_EQ(FileNameOf("/usr/bin/vorna"), "vorna");
}

struct UserFolderCase {
  const char* xdgConfigHome;
  const char* home;
  const char* expected;
};

void PrintTo(const UserFolderCase& c, std::ostream* os) { *os << c.xdgConfigHome << " | " << c.home; }

class UserSettingsFolderTest : public ::testing::TestWithParam<UserFolderCase> {};

TEST_P(UserSettingsFolderTest, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(UserSettingsFolder(GetParam().xdgConfigHome, GetParam().home), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, UserSettingsFolderTest,
                         ::testing::Values(UserFolderCase{"/x/cfg", "/home/u", "/x/cfg/vorna"},
                                           UserFolderCase{"/x/cfg/", "/home/u", "/x/cfg/vorna"},
                                           UserFolderCase{"", "/home/u", "/home/u/.config/vorna"},
                                           UserFolderCase{"relative/cfg", "/home/u", "/home/u/.config/vorna"},
                                           UserFolderCase{"/x/cfg", "", "/x/cfg/vorna"}, UserFolderCase{"", "", ""}));

TEST(ChooseSettingsPathTest, WritableFolderKeepsTheFileBesideTheExecutable) {
  std::vector<std::string> asked;
  const auto writable = [&asked](const std::string& folder) {
    asked.push_back(folder);
    return true;
  };
  EXPECT_EQ(ChooseSettingsPath("/opt/my.tools/vorna", writable, "/x/cfg/vorna"), "/opt/my.tools/vorna.ini");
  EXPECT_EQ(asked, std::vector<std::string>{"/opt/my.tools"});
}

TEST(ChooseSettingsPathTest, InstalledCopyUsesTheUserFolder) {
  const auto readOnly = [](const std::string&) { return false; };
  EXPECT_EQ(ChooseSettingsPath("/usr/bin/vorna", readOnly, "/x/cfg/vorna"), "/x/cfg/vorna/vorna.ini");
  EXPECT_EQ(ChooseSettingsPath("/usr/bin/other.bin", readOnly, "/home/u/.config/vorna"),
            "/home/u/.config/vorna/other.ini");
  EXPECT_EQ(ChooseSettingsPath("/usr/bin/vorna", readOnly, ""), "/usr/bin/vorna.ini");
}

TEST(FolderWritableTest, TellsFoldersThatTakeFiles) {
  const test::TempFolder folder;
  std::ofstream(folder.File("plain")) << "x";
  EXPECT_TRUE(FolderWritable(folder.path().string()));
  EXPECT_FALSE(FolderWritable(folder.File("plain/below")));
  EXPECT_FALSE(FolderWritable(folder.File("missing")));
}

TEST(FileExistsTest, OnlyRegularFilesCount) {
  const test::TempFolder folder;
  std::ofstream(folder.File("plain")) << "x";
  EXPECT_TRUE(FileExists(folder.File("plain")));
  EXPECT_FALSE(FileExists(folder.path().string()));
  EXPECT_FALSE(FileExists(folder.File("missing")));
  EXPECT_FALSE(FileExists(folder.File("plain/below")));
}

}  // namespace
}  // namespace vorna
