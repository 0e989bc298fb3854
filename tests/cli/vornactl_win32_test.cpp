// vornactl on Windows, in-process: the port listing from the system's list,
// the image output's rules with Windows paths, a port that is not there, and
// a board reached as COM<n> when VORNA_TEST_COM_PORT names one (as
// scripts/cross-tests maps the virtual board into wine).

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Vornactl(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false, {}};
  const int status = cli::Run(args, env);
  return {status, out.str(), err.str()};
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// 16 data bytes at 0x2000: an image of 0x2010 bytes.
const std::string SMALL_HEX = ":10200000000102030405060708090A0B0C0D0E0F58\n:00000001FF\n";

TEST(VornactlWin32Ports, ListsTheSystemsPortsOrSaysThereAreNone) {
  const Outcome r = Vornactl({"ports"});
  EXPECT_EQ(r.status, 0) << r.err;
  if (r.out.empty()) {
    EXPECT_EQ(r.err, "vornactl: no serial ports found\n");
  } else {
    EXPECT_EQ(r.out.rfind("COM", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("DEVICE"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\\\\.\\"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
  }
}

TEST(VornactlWin32Ports, JsonNamesEachPortAsItIsOpenedAndTriesNoHold) {
  const Outcome r = Vornactl({"ports", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json ports = nlohmann::json::parse(r.out);
  ASSERT_TRUE(ports.is_array());
  for (const auto& port : ports) {
    EXPECT_EQ(port.at("device").get<std::string>().rfind("\\\\.\\", 0), 0u) << port;
    EXPECT_TRUE(port.at("held").is_null()) << port;
    EXPECT_TRUE(port.at("vendor_id").is_null()) << port;
  }
  const Outcome verbose = Vornactl({"-v", "ports", "--json"});
  EXPECT_EQ(verbose.out, r.out);
  std::size_t notTried = 0;
  for (std::size_t at = verbose.err.find("hold not tried"); at != std::string::npos;
       at = verbose.err.find("hold not tried", at + 1))
    ++notTried;
  EXPECT_EQ(notTried, ports.size()) << verbose.err;
}

TEST(VornactlWin32, MissingPortReportsTheMessage) {
  const Outcome r = Vornactl({"--port", "250", "read"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can not open COM250\n");
  EXPECT_EQ(r.out, "");
}

TEST(VornactlWin32Image, WritesTheImageToABackslashPath) {
  const TempFolder folder;
  const std::string input = folder.path().string() + "\\input.hex";
  const std::string output = folder.path().string() + "\\out.bin";
  Put(input, SMALL_HEX);
  const Outcome r = Vornactl({"image", input, "-o", output});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string image = Contents(output);
  ASSERT_EQ(image.size(), 0x2010u);
  EXPECT_EQ(image[0x2000], '\x00');
  EXPECT_EQ(image[0x200F], '\x0F');
  EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"input.hex", "out.bin"}));
}

TEST(VornactlWin32Image, ReadOnlyOutputIsLeftAlone) {
  const TempFolder folder;
  Put(folder / "input.hex", SMALL_HEX);
  const fs::path out = folder / "out.bin";
  Put(out, "read-only");
  fs::permissions(out, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const Outcome r = Vornactl({"image", (folder / "input.hex").string(), "-o", out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vornactl: cannot write " + out.string() + ": Permission denied\n");
  EXPECT_EQ(Contents(out), "read-only");
  EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"input.hex", "out.bin"}));
  fs::permissions(out, fs::perms::owner_write, fs::perm_options::add);
}

// The board that VORNA_TEST_COM_PORT names, reached by its port number.
TEST(VornactlWin32Board, ReadsTheBoardByItsPortNumber) {
  const char* number = std::getenv("VORNA_TEST_COM_PORT");
  if (number == nullptr || number[0] == '\0') GTEST_SKIP() << "no board: set VORNA_TEST_COM_PORT to its COM number";
  const Outcome r = Vornactl({"--port", number, "read", "--raw"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.size(), std::string("21 b4 06 58 2a 00 1a 00 1b 06\n").size()) << r.out;
}

}  // namespace
}  // namespace vorna::test
