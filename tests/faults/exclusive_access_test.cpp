// One port, one program: while another process holds the port, vornactl
// reports "Can not open COM<n>" and exits 1. Holds for root too, which
// the terminal's own exclusive mode does not stop; the advisory lock does.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "faults/fault_support.h"
#include "support/board_sim.h"

extern char** environ;

namespace vorna::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int PORT = 9;
constexpr auto RUN_LIMIT = 20s;
constexpr auto POLL = 5ms;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// vornactl as a process of its own, with the test's port aliases and its
// output going to files.
class Vornactl {
 public:
  Vornactl(const ScratchFolder& folder, const std::string& name, const PortAliases& ports,
           std::vector<std::string> args)
      : out_(folder.File(name + ".out")), err_(folder.File(name + ".err")) {
    args.insert(args.begin(), VORNACTL_PATH);
    std::vector<std::string> environment;
    const std::string variable = "XDG_CONFIG_HOME=";
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!std::string_view(*entry).starts_with(variable)) environment.emplace_back(*entry);
    }
    environment.push_back(variable + ports.home());
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int error = ::posix_spawn(&pid_, VORNACTL_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
      ADD_FAILURE() << "posix_spawn " << VORNACTL_PATH << ": " << std::strerror(error);
      pid_ = -1;
    }
  }
  ~Vornactl() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Vornactl(const Vornactl&) = delete;
  Vornactl& operator=(const Vornactl&) = delete;

  // The exit status; -1 when it did not end normally within the limit.
  int Wait() {
    const auto deadline = Clock::now() + RUN_LIMIT;
    while (!status_ && pid_ > 0) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
      } else if (Clock::now() > deadline) {
        ADD_FAILURE() << "vornactl still runs after " << RUN_LIMIT.count() << " s";
        return -1;
      } else {
        std::this_thread::sleep_for(POLL);
      }
    }
    return status_ && WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1;
  }
  std::string out() const { return ReadAll(out_); }
  std::string err() const { return ReadAll(err_); }

 private:
  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

class ExclusiveAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordProperty("run_as_root", ::geteuid() == 0 ? "yes" : "no");
  }
  PortAliases ports_;
  ScratchFolder folder_;
  const std::string port_ = std::to_string(PORT);
  const std::string refused_ = "Can not open COM" + std::to_string(PORT) + "\n";
};

TEST_F(ExclusiveAccess, PortHeldByAnotherProcessIsRefusedUntilReleased) {
  BoardSim board(BoardSimSetup{{"--com", port_}, {}, ports_.home(), true});
  ASSERT_TRUE(board.ok());
  {
    const PortHolder holder(board.device());
    Vornactl second(folder_, "second", ports_, {"--port", port_, "read", "--raw"});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_EQ(second.err(), refused_);
    EXPECT_EQ(second.out(), "");
  }
  EXPECT_TRUE(BoardRequests(board).empty()) << "the refused process sent nothing";
  Vornactl after(folder_, "after", ports_, {"--port", port_, "read", "--raw"});
  EXPECT_EQ(after.Wait(), 0) << after.err();
  EXPECT_EQ(after.out(), "21 b4 06 58 2a 00 1a 00 1b 06\n");
}

TEST_F(ExclusiveAccess, SecondVornactlIsRefusedWhileTheFirstWaitsForItsReply) {
  // The board never answers, so the first process holds the port for the
  // whole read time-out of a register read.
  BoardSim board(BoardSimSetup{{"--com", port_, "--mute"}, {}, ports_.home(), true});
  ASSERT_TRUE(board.ok());
  Vornactl first(folder_, "first", ports_, {"--port", port_, "read"});
  ASSERT_TRUE(board.WaitForLogLine("<- aa 01 02", 5s)) << "the first process never asked the board";
  Vornactl second(folder_, "second", ports_, {"--port", port_, "read"});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_EQ(second.err(), refused_);
  EXPECT_EQ(first.Wait(), 1);
  EXPECT_EQ(first.err(), "Read error\n");
  EXPECT_EQ(BoardRequests(board).size(), 1u) << Join(BoardRequests(board));
}

}  // namespace
}  // namespace vorna::test
