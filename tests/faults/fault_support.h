#pragma once
// Helpers of the fault tests: a scratch folder, the port-alias folder the
// boards publish their numbers in, another program's hold on a port, what
// the board and this process hold afterwards, and vornactl run as a
// process of its own (as an ordinary user when the tests run as root).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_posix.h"
#include "support/board_sim.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

extern char** environ;

namespace vorna::test {

// A configuration folder of the test's own, in which boards started with
// --com publish their port numbers; the link finds them there once
// Activate() pointed XDG_CONFIG_HOME at it.
class PortAliases {
 public:
  PortAliases() {
    if (const char* old = std::getenv(VARIABLE)) saved_ = old;
  }
  ~PortAliases() {
    if (saved_) {
      ::setenv(VARIABLE, saved_->c_str(), 1);
    } else {
      ::unsetenv(VARIABLE);
    }
  }
  PortAliases(const PortAliases&) = delete;
  PortAliases& operator=(const PortAliases&) = delete;

  void Activate() const { ::setenv(VARIABLE, home().c_str(), 1); }
  std::string home() const { return folder_.path().string(); }
  std::string AliasFolder() const { return home() + "/vorna/ports"; }

 private:
  static constexpr const char* VARIABLE = "XDG_CONFIG_HOME";
  TempFolder folder_;
  std::optional<std::string> saved_;
};

// Another program's exclusive hold on a port, for as long as it lives.
class PortHolder {
 public:
  explicit PortHolder(const std::string& device) {
    if (!transport_.Open(device)) throw std::runtime_error("cannot hold " + device + ": " + transport_.LastError());
  }

 private:
  PosixSerialTransport transport_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Who runs vornactl: the test's own user, or an ordinary user. Root passes
// checks an ordinary user fails (a terminal's exclusive flag, file modes),
// so the cases a user meets run as nobody when the tests run as root; run
// as an ordinary user, they run as that user.
enum class RunAs { kTestUser, kOrdinaryUser };

// Lets an ordinary user reach `path` (a scratch folder, a device).
inline void OpenToOrdinaryUser(const std::string& path) {
  if (!RunningAsRoot()) return;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + path);
  const mode_t open = S_ISDIR(info.st_mode) ? 0755 : 0666;
  if (::chmod(path.c_str(), (info.st_mode & 07777) | open) != 0) throw std::runtime_error("cannot chmod " + path);
}

// vornactl as a process of its own, with the test's port aliases and its
// output going to files.
class Vornactl {
 public:
  Vornactl(const TempFolder& folder, const std::string& name, const PortAliases& ports, std::vector<std::string> args,
           RunAs runAs = RunAs::kTestUser)
      : out_(folder.File(name + ".out")), err_(folder.File(name + ".err")) {
    args.insert(args.begin(), VORNACTL_PATH);
    const bool dropToNobody = runAs == RunAs::kOrdinaryUser && RunningAsRoot();
    if (dropToNobody) {
      args.insert(args.begin(), {SETPRIV, std::string("--reuid=") + UNPRIVILEGED_USER,
                                 std::string("--regid=") + UNPRIVILEGED_GROUP, "--clear-groups"});
    }
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
    // The signals the tests send act as they would from a shell, whatever
    // the test runner ignores or blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error = ::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
      ADD_FAILURE() << "posix_spawn " << argv[0] << ": " << std::strerror(error);
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

  void Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
  }
  // The wait status; nullopt when it still runs after the limit.
  std::optional<int> WaitStatus() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + RUN_LIMIT;
    while (!status_ && pid_ > 0) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
      } else if (Clock::now() > deadline) {
        ADD_FAILURE() << "vornactl still runs after " << RUN_LIMIT.count() << " s";
        return std::nullopt;
      } else {
        std::this_thread::sleep_for(POLL);
      }
    }
    return status_;
  }
  // The exit status; -1 when it did not end normally within the limit.
  int Wait() {
    const auto status = WaitStatus();
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
  }
  std::string out() const { return ReadAll(out_); }
  std::string err() const { return ReadAll(err_); }

 private:
  static constexpr const char* SETPRIV = "/usr/bin/setpriv";
  static constexpr std::chrono::seconds RUN_LIMIT{20};
  static constexpr std::chrono::milliseconds POLL{5};

  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The descriptors this process has open.
inline std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// The requests the board received, as logged ("aa 01 02").
inline std::vector<std::string> BoardRequests(const BoardSim& board) {
  std::vector<std::string> requests;
  for (const auto& line : board.logLines()) {
    if (line.rfind("<- ", 0) == 0) requests.push_back(line.substr(3));
  }
  return requests;
}

inline std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

}  // namespace vorna::test
