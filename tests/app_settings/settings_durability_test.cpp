// The settings file is never lost or torn: a writer killed at any moment,
// or one whose write fails part way, leaves the old file or the new one,
// whole.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/settings/settings_file.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

using test::TempFolder;
using Clock = std::chrono::steady_clock;
using Microseconds = std::chrono::microseconds;

constexpr const char* FILE_NAME = "vorna.ini";
// Large enough that writing it takes a while, so that kills land inside
// the write as well as between writes.
constexpr int OTHER_SECTIONS = 2000;
constexpr int MIN_KILLS = 100;
constexpr int MAX_KILLS = 5000;
constexpr int EACH_OUTCOME = 3;
constexpr int KILLS_A_ROUND = 100;
constexpr Microseconds MAX_SPREAD = std::chrono::seconds(1);
constexpr unsigned RANDOM_SEED = 20240611;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Two sets of settings of different lengths, so that a mix of both, or a
// cut, matches neither.
const std::vector<ProfileEntry> OLD_SETTINGS = {{"COM", "3"}, {"FILE", "/old/" + std::string(300, 'o') + ".hex"}};
const std::vector<ProfileEntry> NEW_SETTINGS = {{"COM", "12"}, {"FILE", "/new/p.hex"}};

// A settings file with many other sections around the one the program
// writes, as a user's hand-kept file might be.
std::string HandKeptFile() {
  std::string content = "; kept by hand\n";
  for (int i = 0; i < OTHER_SECTIONS; ++i) {
    content += "[Section" + std::to_string(i) + "]\nName=value " + std::to_string(i) + "\n\n";
    if (i == OTHER_SECTIONS / 2) content += "[SETTING]\nCOM=1\nFILE=\n\n";
  }
  return content;
}

// Leftovers of writers that were killed before they could clean up.
int RemoveTemporaryFiles(const TempFolder& folder) {
  int removed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    if (entry.path().filename() != FILE_NAME) {
      std::filesystem::remove(entry.path());
      ++removed;
    }
  }
  return removed;
}

class SettingsDurability : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(path_, HandKeptFile());
    ASSERT_TRUE(WriteProfileStrings(path_, "SETTING", OLD_SETTINGS));
    old_ = ReadFile(path_);
    ASSERT_TRUE(WriteProfileStrings(path_, "SETTING", NEW_SETTINGS));
    new_ = ReadFile(path_);
    ASSERT_TRUE(WriteProfileStrings(path_, "SETTING", OLD_SETTINGS));
    ASSERT_EQ(ReadFile(path_), old_);
    ASSERT_NE(old_.size(), new_.size());
  }

  TempFolder folder_;
  const std::string path_ = folder_.File(FILE_NAME);
  std::string old_;
  std::string new_;
};

// A writer that rewrites the file for ever, alternating the new and the
// old settings. It says on `started` when its first write begins, so that
// the parent's clock starts there and not at fork(): under a sanitizer a
// fork alone can take longer than many writes.
pid_t StartWriter(const std::string& path) {
  int started[2];
  if (::pipe(started) != 0) return -1;
  const pid_t writer = ::fork();
  if (writer == 0) {
    ::close(started[0]);
    const char go = 1;
    if (::write(started[1], &go, 1) != 1) ::_exit(2);
    ::close(started[1]);
    for (;;) {
      WriteProfileStrings(path, "SETTING", NEW_SETTINGS);
      WriteProfileStrings(path, "SETTING", OLD_SETTINGS);
    }
  }
  ::close(started[1]);
  char go = 0;
  const bool began = writer > 0 && ::read(started[0], &go, 1) == 1;
  ::close(started[0]);
  if (writer > 0 && !began) {
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    return -1;
  }
  return writer;
}

// The median of a few writes, at least a microsecond.
Microseconds OneWriteTime(const std::string& path) {
  std::vector<Microseconds> times;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    WriteProfileStrings(path, "SETTING", OLD_SETTINGS);
    times.push_back(std::chrono::duration_cast<Microseconds>(Clock::now() - start));
  }
  std::nth_element(times.begin(), times.begin() + 2, times.end());
  return std::max(times[2], Microseconds(1));
}

TEST_F(SettingsDurability, WriterKilledAtRandomMomentsLeavesTheOldOrTheNewFileWhole) {
  // The kills are spread over about two writes, counted from the moment the
  // writer starts writing. One write measured here may come out far too
  // short or too long on a loaded machine, so the spread doubles whenever a
  // round of kills has not yet shown every outcome.
  auto spread = 2 * OneWriteTime(path_);
  std::mt19937 random(RANDOM_SEED);

  // Kill until every outcome has been seen a few times: the file left old,
  // left new, and a kill inside a write (its temporary file left behind).
  // A loaded machine shifts the odds but not the outcomes, so only the
  // number of kills it takes varies, up to a bound.
  int sawOld = 0;
  int sawNew = 0;
  int killedInsideAWrite = 0;
  int kills = 0;
  const auto seenEnough = [&] {
    return kills >= MIN_KILLS && sawOld >= EACH_OUTCOME && sawNew >= EACH_OUTCOME && killedInsideAWrite >= EACH_OUTCOME;
  };
  for (; kills < MAX_KILLS && !seenEnough(); ++kills) {
    const pid_t writer = StartWriter(path_);
    ASSERT_GT(writer, 0);
    if (kills > 0 && kills % KILLS_A_ROUND == 0 && spread < MAX_SPREAD) spread *= 2;
    std::this_thread::sleep_for(std::uniform_int_distribution<Microseconds::rep>(0, spread.count())(random) *
                                Microseconds(1));
    ::kill(writer, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string content = ReadFile(path_);
    ASSERT_TRUE(content == old_ || content == new_)
        << "kill " << kills << " left a file of " << content.size() << " bytes, neither the old (" << old_.size()
        << ") nor the new one (" << new_.size() << ")";
    (content == old_ ? sawOld : sawNew) += 1;
    killedInsideAWrite += RemoveTemporaryFiles(folder_) > 0 ? 1 : 0;
  }
  RecordProperty("kills", kills);
  RecordProperty("kills_inside_a_write", killedInsideAWrite);
  // The kills hit both states and the middle of writes, or the test proved
  // nothing.
  EXPECT_GE(sawOld, EACH_OUTCOME) << "after " << kills << " kills";
  EXPECT_GE(sawNew, EACH_OUTCOME) << "after " << kills << " kills";
  EXPECT_GE(killedInsideAWrite, EACH_OUTCOME) << "after " << kills << " kills";
  // A later writer is not hindered by what the killed ones left.
  ASSERT_TRUE(WriteProfileStrings(path_, "SETTING", NEW_SETTINGS));
  EXPECT_EQ(ReadFile(path_), new_);
}

// The write fails once the temporary file reaches a size limit: at nothing,
// a byte, a quarter, a half, or one byte short of the whole. At the full
// size and beyond it succeeds.
struct Limit {
  double share;  // of the new file's size
  long bytes;    // added to that share
};

void PrintTo(const Limit& limit, std::ostream* os) { *os << limit.share << " of the size + " << limit.bytes; }

class SizeLimit : public SettingsDurability, public ::testing::WithParamInterface<Limit> {};

TEST_P(SizeLimit, CutWriteLeavesTheOldFileAndNoTemporaryFile) {
  const auto limit =
      static_cast<rlim_t>(static_cast<long>(GetParam().share * static_cast<double>(new_.size())) + GetParam().bytes);
  const bool fits = limit >= new_.size();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
    const rlimit size{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &size) != 0) ::_exit(2);
    ::_exit(WriteProfileStrings(path_, "SETTING", NEW_SETTINGS) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), fits ? 0 : 1) << "limit " << limit << " of " << new_.size() << " bytes";
  EXPECT_EQ(ReadFile(path_), fits ? new_ : old_);
  EXPECT_EQ(RemoveTemporaryFiles(folder_), 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, SizeLimit,
                         ::testing::Values(Limit{0, 0}, Limit{0, 1}, Limit{0.25, 0}, Limit{0.5, 0}, Limit{1, -1},
                                           Limit{1, 0}, Limit{2, 0}));

}  // namespace
}  // namespace vorna
