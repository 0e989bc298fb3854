// vornactl image's output file: replaced only once whole, refused when it is
// the input or not a regular file, standard output on "-"; the warning for
// hex files whose lines end in CR alone, from image and download -v; and the
// content check's problems, from image (--strict) and download (--force).

#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "run_vornactl.h"
#include "support/board_sim.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// 16 data bytes at 0x2000: an image of 0x2010 bytes.
const std::string SMALL_HEX = ":10200000000102030405060708090A0B0C0D0E0F58\n:00000001FF\n";
// One byte at 0x20000: an image of 0x20010 bytes, more than a 64 KiB disk holds.
const std::string LARGE_HEX = ":020000040002F8\n:0100000042BD\n:00000001FF\n";

// ---------------------------------------------------------------------------
// Outputs that are refused before anything is read or written

struct RefusedOutput {
  const char* name;
  // Makes the output path in the folder, beside input.hex.
  std::function<std::string(const test::TempFolder&)> make;
  std::string reason;
};

void PrintTo(const RefusedOutput& row, std::ostream* os) { *os << row.name; }

class ImageRefusesOutput : public testing::TestWithParam<RefusedOutput> {};

TEST_P(ImageRefusesOutput, ExitOneWithTheReasonAndNothingChanged) {
  test::TempFolder folder;
  const fs::path input = folder / "input.hex";
  Put(input, SMALL_HEX);
  const std::string output = GetParam().make(folder);
  const auto before = Names(folder.path());
  // Open for reading first, so that a FIFO cannot block the writer.
  const int reader = ::open(output.c_str(), O_RDONLY | O_NONBLOCK);

  const auto r = Vornactl({"image", input.string(), "-o", output});
  if (reader >= 0) ::close(reader);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vornactl: cannot write " + output + ": " + GetParam().reason + "\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Contents(input), SMALL_HEX);
  EXPECT_EQ(Names(folder.path()), before) << "no file left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ImageRefusesOutput,
    testing::Values(RefusedOutput{"InputItself", [](const test::TempFolder& f) { return (f / "input.hex").string(); },
                                  "it is the input file"},
                    RefusedOutput{"InputByAnotherPath",
                                  [](const test::TempFolder& f) { return (f.path() / "." / "input.hex").string(); },
                                  "it is the input file"},
                    RefusedOutput{"HardLinkToInput",
                                  [](const test::TempFolder& f) {
                                    fs::create_hard_link(f / "input.hex", f / "link.hex");
                                    return (f / "link.hex").string();
                                  },
                                  "it is the input file"},
                    RefusedOutput{"SymlinkToInput",
                                  [](const test::TempFolder& f) {
                                    fs::create_symlink("input.hex", f / "alias.bin");
                                    return (f / "alias.bin").string();
                                  },
                                  "it is the input file"},
                    RefusedOutput{"Fifo",
                                  [](const test::TempFolder& f) {
                                    const fs::path fifo = f / "pipe.bin";
                                    if (::mkfifo(fifo.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo";
                                    return fifo.string();
                                  },
                                  "not a regular file"},
                    RefusedOutput{"Directory",
                                  [](const test::TempFolder& f) {
                                    fs::create_directory(f / "sub");
                                    return (f / "sub").string();
                                  },
                                  "not a regular file"},
                    RefusedOutput{"CharacterDevice",
                                  [](const test::TempFolder& f) {
                                    // Never aim a write at /dev/null unless it is the device.
                                    if (!fs::is_character_file("/dev/null")) {
                                      ADD_FAILURE() << "/dev/null is not a character device on this machine";
                                      return (f / "instead.bin").string();
                                    }
                                    return std::string("/dev/null");
                                  },
                                  "not a regular file"},
                    RefusedOutput{"DanglingSymlink",
                                  [](const test::TempFolder& f) {
                                    fs::create_symlink("nowhere/out.bin", f / "dangling.bin");
                                    return (f / "dangling.bin").string();
                                  },
                                  "No such file or directory"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Writing

TEST(VornactlImage, ReplacesAnExistingOutputKeepingItsMode) {
  test::TempFolder folder;
  Put(folder / "input.hex", SMALL_HEX);
  const fs::path out = folder / "out.bin";
  Put(out, "old contents");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto r = Vornactl({"image", (folder / "input.hex").string(), "-o", out.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "0x0000200F\n");
  const std::string image = Contents(out);
  ASSERT_EQ(image.size(), 0x2010u);
  EXPECT_EQ(image[0x2001], 1);
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"input.hex", "out.bin"}));
}

// A read-only output stays as it is, although its folder would allow the
// rename. Root may write any file, so the command runs as nobody under root.
TEST(VornactlImage, ReadOnlyOutputIsLeftAlone) {
  test::TempFolder folder;
  Put(folder / "input.hex", SMALL_HEX);
  const fs::path out = folder / "out.bin";
  Put(out, "read-only");
  fs::permissions(out, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::string prefix;
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    for (const fs::path& p : {folder.path(), folder / "input.hex", out}) {
      ASSERT_EQ(::chown(p.c_str(), nobody->pw_uid, nobody->pw_gid), 0) << p;
    }
    prefix = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
  }
  const fs::path err = fs::temp_directory_path() / ("vorna-image-err-" + std::to_string(::getpid()));
  const std::string command = prefix + VORNACTL_PATH + " image " + (folder / "input.hex").string() + " -o " +
                              out.string() + " >/dev/null 2>" + err.string();
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << command;
  EXPECT_EQ(Contents(err), "vornactl: cannot write " + out.string() + ": Permission denied\n");
  fs::remove(err);
  EXPECT_EQ(Contents(out), "read-only");
  EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"input.hex", "out.bin"}));
}

TEST(VornactlImage, SymlinkedOutputReplacesItsTarget) {
  test::TempFolder folder;
  Put(folder / "input.hex", SMALL_HEX);
  Put(folder / "target.bin", "old");
  fs::create_symlink("target.bin", folder / "link.bin");
  const auto r = Vornactl({"image", (folder / "input.hex").string(), "-o", (folder / "link.bin").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(folder / "link.bin"));
  EXPECT_EQ(Contents(folder / "target.bin").size(), 0x2010u);
}

// A link another user planted in a shared, sticky folder (/tmp) is not
// followed, as save follows none: it could lead root's write anywhere.
TEST(VornactlImage, AnotherUsersSymlinkIsNotFollowed) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "another user's link needs root to make";
  test::TempFolder folder;
  fs::permissions(folder.path(), fs::perms::all | fs::perms::sticky_bit);
  Put(folder / "input.hex", SMALL_HEX);
  Put(folder / "victim.bin", "kept");
  const fs::path planted = folder / "planted.bin";
  fs::create_symlink("victim.bin", planted);
  ASSERT_EQ(::lchown(planted.c_str(), test::UnprivilegedUid(), test::UnprivilegedGid()), 0);
  const auto r = Vornactl({"image", (folder / "input.hex").string(), "-o", planted.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vornactl: cannot write " + planted.string() + ": Permission denied\n");
  EXPECT_TRUE(Contents(folder / "victim.bin") == "kept") << "the link's target was written";
  EXPECT_TRUE(fs::is_symlink(planted));
}

// Runs the test in another working folder, and returns to the old one.
class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& path) : previous_(fs::current_path()) { fs::current_path(path); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  ~WorkingFolder() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

TEST(VornactlImage, DashWritesTheImageToStandardOutput) {
  test::TempFolder folder;
  Put(folder / "input.hex", SMALL_HEX);
  const WorkingFolder working(folder.path());
  const auto r = Vornactl({"image", "input.hex", "-o", "-"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "0x0000200F\n") << "the top address goes to stderr";
  ASSERT_EQ(r.out.size(), 0x2010u);
  EXPECT_EQ(static_cast<unsigned char>(r.out[0]), 0xFF);
  EXPECT_EQ(r.out[0x200F], 15);
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"input.hex"}) << "no file named -";
}

// Runs vornactl image in a child whose output folder fills up after 64 KiB:
// a 64 KiB tmpfs where the child may mount one, else a file-size limit.
// Reports what the child saw, line by line: status, stderr, the output's
// contents and the folder's names.
std::string ImageOnAFullDisk(const test::TempFolder& folder, std::string& expectedReason) {
  const fs::path disk = folder / "disk";
  fs::create_directory(disk);
  int ends[2];
  if (::pipe(ends) != 0) return "pipe failed";
  const bool mayMount = ::geteuid() == 0;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ends[0]);
    const bool mounted = mayMount && ::unshare(CLONE_NEWNS) == 0 &&
                         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                         ::mount("vorna-test", disk.c_str(), "tmpfs", 0, "size=64k") == 0;
    Put(disk / "out.bin", "the old image");
    if (!mounted) {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{64 * 1024, 64 * 1024};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    const auto r = Vornactl({"image", (folder / "input.hex").string(), "-o", (disk / "out.bin").string()});
    std::string report = (mounted ? "tmpfs\n" : "rlimit\n") + std::to_string(r.status) + "\n" + r.err +
                         Contents(disk / "out.bin") + "\n";
    for (const auto& name : Names(disk)) report += name + "\n";
    const auto written = ::write(ends[1], report.data(), report.size());
    ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
  }
  ::close(ends[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
  ::close(ends[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const std::string how = report.substr(0, report.find('\n'));
  expectedReason = how == "tmpfs" ? "No space left on device" : "File too large";
  return report.substr(report.find('\n') + 1);
}

TEST(VornactlImage, FullDiskKeepsTheOldOutputAndSaysWhy) {
  test::TempFolder folder;
  Put(folder / "input.hex", LARGE_HEX);
  std::string reason;
  const std::string report = ImageOnAFullDisk(folder, reason);
  RecordProperty("disk", reason);
  EXPECT_EQ(report,
            "1\nwarning: line 2: data at 0x20000 lies outside 0x2000\u20130x3FFF and will not be sent\n"
            "vornactl: cannot write " +
                (folder / "disk" / "out.bin").string() + ": " + reason + "\nthe old image\nout.bin\n");
}

// ---------------------------------------------------------------------------
// Files whose lines end in CR alone

const std::string CR_ONLY_HEX =
    ":10200000000102030405060708090A0B0C0D0E0F58\r:10201000101112131415161718191A1B1C1D1E1F48\r"
    ":10202000202122232425262728292A2B2C2D2E2F58\r:10203000303132333435363738393A3B3C3D3E3F48\r"
    ":00000001FF\r";
const std::string CR_ONLY_WARNING =
    "warning: the hex file has no LF line ends (its lines end in CR alone); 1 record was read\n";
const std::string CR_ONLY_PROBLEM =
    "warning: line 1: the file ends without an end record (its lines end in CR alone, which the reader takes as one "
    "line)\n";

TEST(VornactlImage, CrOnlyFileLoadsWithAWarningOnStderr) {
  test::TempFolder folder;
  Put(folder / "cr.hex", CR_ONLY_HEX);
  const auto r = Vornactl({"image", (folder / "cr.hex").string(), "-o", (folder / "out.bin").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, CR_ONLY_WARNING + CR_ONLY_PROBLEM);
  EXPECT_EQ(r.out, "0x0000200F\n") << "16 of the 64 bytes, as before";
}

TEST(VornactlDownload, CrOnlyFileSucceedsAndVerboseSaysWhatWasRead) {
  test::TempFolder folder;
  Put(folder / "cr.hex", CR_ONLY_HEX);
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  // Its end record is not read: only --force sends it.
  auto r = Vornactl({"--device", sim.device(), "download", "--force", (folder / "cr.hex").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Download success\n");
  EXPECT_EQ(r.err, CR_ONLY_PROBLEM);
  r = Vornactl({"--device", sim.device(), "-v", "download", "--force", (folder / "cr.hex").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Download success\n");
  EXPECT_EQ(r.err.find(CR_ONLY_WARNING), 0u) << "before the trace of the transfer:\n" << r.err;
}

// ---------------------------------------------------------------------------
// Problems the content check finds, and why a file is invalid

// One record with a wrong checksum, and a file with no data in the window:
// download refuses unless forced, image warns and refuses when strict, an
// invalid file says why. What each subcommand takes precedes FILE (and OUT).
TEST(VornactlContentCheck, RefusesOrWarnsAsAsked) {
  const std::string damaged = ":10200000000102030405060708090A0B0C0D0E0F68\n:00000001FF\n";
  const std::string warning = "warning: line 1: checksum 0x68 does not match the record's bytes, which give 0x58\n";
  const std::string refused =
      "vornactl: the hex file has problems (--force downloads it anyway):\n" + warning.substr(9);
  const std::string strict = "vornactl: the hex file has problems; nothing written (--strict)\n";
  const std::string invalid =
      "Hex file is invalid\n  (no data at 0x2000\u20130x3FFF; the file's data lies at 0x0000)\n";
  const struct {
    std::vector<std::string> args;
    std::string hex;
    int status;
    std::string out, err;
  } runs[] = {
      {{"download"}, damaged, 1, "", refused + "Download cancelled\n"},
      {{"download", "--force"}, damaged, 0, "Download success\n", warning},
      {{"image"}, damaged, 0, "0x0000200F\n", warning},
      {{"image", "--strict"}, damaged, 1, "", warning + strict},
      {{"download"}, ":0100000001FE\n:00000001FF\n", 1, "", invalid},
  };
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  for (const auto& run : runs) {
    test::TempFolder folder;
    Put(folder / "in.hex", run.hex);
    std::vector<std::string> args = {"--device", sim.device()};
    args.insert(args.end(), run.args.begin(), run.args.end());
    args.push_back((folder / "in.hex").string());
    const bool image = run.args[0] == "image";
    if (image) args.insert(args.end(), {"-o", (folder / "out.bin").string()});
    SCOPED_TRACE(testing::PrintToString(args));
    const auto r = Vornactl(args);
    EXPECT_EQ(r.status, run.status);
    EXPECT_EQ(r.out, run.out);
    EXPECT_EQ(r.err, run.err);
    EXPECT_EQ(fs::exists(folder / "out.bin"), image && run.status == 0);
  }
}

}  // namespace
}  // namespace vorna::test
