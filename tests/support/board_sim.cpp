#include "support/board_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "support/unprivileged.h"

extern char** environ;

namespace vorna::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto STOP_LIMIT = 5s;
constexpr auto WAIT_POLL = 5ms;
constexpr std::size_t READ_BLOCK = 4096;
constexpr const char* CONFIG_HOME_VARIABLE = "XDG_CONFIG_HOME";
constexpr const char* SETPRIV = "/usr/bin/setpriv";

std::string MakeFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vorna-sim-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    return {};
  }
  return pattern;
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The parent's environment, with XDG_CONFIG_HOME replaced when asked.
std::vector<std::string> ChildEnvironment(const std::string& configHome) {
  std::vector<std::string> entries;
  const std::string prefix = std::string(CONFIG_HOME_VARIABLE) + "=";
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!configHome.empty() && std::string_view(*entry).starts_with(prefix)) continue;
    entries.emplace_back(*entry);
  }
  if (!configHome.empty()) entries.push_back(prefix + configHome);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts the board with stdout (and stderr, when `errPipe` is given) going
// into pipes, as the ordinary user when `asOrdinaryUser`. Returns the pid,
// or -1.
pid_t Spawn(std::vector<std::string> args, const std::string& configHome, int outPipe[2], int errPipe[2],
            bool asOrdinaryUser = false) {
  args.insert(args.begin(), VORNA_SIM_PATH);
  if (asOrdinaryUser) {
    args.insert(args.begin(), {SETPRIV, std::string("--reuid=") + UNPRIVILEGED_USER,
                               std::string("--regid=") + UNPRIVILEGED_GROUP, "--clear-groups"});
  }
  auto environment = ChildEnvironment(configHome);
  auto argv = Pointers(args);
  auto envp = Pointers(environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, outPipe[0]);
  if (errPipe != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
  }
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    ADD_FAILURE() << "posix_spawn " << argv[0] << ": " << std::strerror(error);
    return -1;
  }
  return pid;
}

// Waits for `pid` until `deadline`; nullopt when it still runs.
std::optional<int> WaitUntil(pid_t pid, Clock::time_point deadline) {
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) {
      ADD_FAILURE() << "waitpid: " << std::strerror(errno);
      return -1;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(WAIT_POLL);
  }
}

// Appends what `fd` has to `into`; false at end of file.
bool Drain(int fd, std::string& into) {
  char buffer[READ_BLOCK];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
  return n > 0 || (n < 0 && errno == EINTR);
}

}  // namespace

BoardSim::BoardSim(std::vector<std::string> args) : BoardSim(BoardSimSetup{std::move(args), {}, {}, true}) {}

BoardSim::BoardSim(BoardSimSetup setup) { Start(setup); }

void BoardSim::Start(const BoardSimSetup& setup) {
  folder_ = MakeFolder();
  if (folder_.empty()) return;
  logPath_ = folder_ + "/board.log";
  statePath_ = setup.statePath.empty() ? folder_ + "/board.state" : setup.statePath;
  programPath_ = folder_ + "/program.bin";
  std::vector<std::string> args = {"--state", statePath_, "--program-out", programPath_};
  if (setup.log) args.insert(args.end(), {"--log", logPath_});
  args.insert(args.end(), setup.args.begin(), setup.args.end());

  int outPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return;
  }
  const bool asOrdinaryUser = setup.asOrdinaryUser && RunningAsRoot();
  if (asOrdinaryUser) {
    GiveToUnprivileged(folder_);
    if (!setup.configHome.empty()) GiveToUnprivileged(setup.configHome);
  }
  pid_ = Spawn(args, setup.configHome, outPipe, nullptr, asOrdinaryUser);
  ::close(outPipe[1]);
  stdout_ = outPipe[0];
  if (pid_ < 0) return;

  // The first line of output names the device.
  const auto deadline = Clock::now() + SIM_START_LIMIT;
  std::string out;
  while (out.find('\n') == std::string::npos) {
    pollfd waiter{stdout_, POLLIN, 0};
    const int left = MillisecondsLeft(deadline);
    if (left == 0 || ::poll(&waiter, 1, left) == 0) {
      ADD_FAILURE() << "the board printed no device path within " << SIM_START_LIMIT.count() << " s";
      return;
    }
    if (!Drain(stdout_, out)) {
      ADD_FAILURE() << "the board ended before naming its device; output: " << out;
      return;
    }
  }
  device_ = out.substr(0, out.find('\n'));
}

BoardSim::~BoardSim() {
  if (pid_ > 0) Stop();
  if (stdout_ >= 0) ::close(stdout_);
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

int BoardSim::Stop(int signal) {
  if (status_) return *status_;
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  status_ = WaitUntil(pid_, Clock::now() + STOP_LIMIT);
  if (!status_) {
    ADD_FAILURE() << "the board did not end within " << STOP_LIMIT.count() << " s of signal " << signal;
    ::kill(pid_, SIGKILL);
    status_ = WaitUntil(pid_, Clock::now() + STOP_LIMIT).value_or(-1);
  }
  return *status_;
}

std::optional<int> BoardSim::WaitForExit(std::chrono::milliseconds limit) {
  if (!status_ && pid_ > 0) status_ = WaitUntil(pid_, Clock::now() + limit);
  return status_;
}

std::vector<std::string> BoardSim::logLines() const {
  std::vector<std::string> lines;
  std::ifstream file(logPath_);
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

bool BoardSim::WaitForLogLine(std::string_view line, std::chrono::milliseconds limit) const {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    for (const auto& logged : logLines()) {
      if (logged == line) return true;
    }
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(WAIT_POLL);
  }
}

std::optional<std::string> BoardSim::stateContents() const {
  std::ifstream file(statePath_, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::optional<std::vector<std::uint8_t>> BoardSim::programContents() const {
  std::ifstream file(programPath_, std::ios::binary);
  if (!file) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

SimRun RunSimToEnd(const std::vector<std::string>& args, const std::string& configHome,
                   std::chrono::milliseconds limit) {
  SimRun run;
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return run;
  }
  const pid_t pid = Spawn(args, configHome, outPipe, errPipe);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  const auto deadline = Clock::now() + limit;
  pollfd waiters[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open = pid > 0 ? 2 : 0;
  while (open > 0 && MillisecondsLeft(deadline) > 0) {
    if (::poll(waiters, 2, MillisecondsLeft(deadline)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (waiters[i].fd >= 0 && waiters[i].revents != 0 && !Drain(waiters[i].fd, *sinks[i])) {
        waiters[i].fd = -1;
        --open;
      }
    }
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  if (pid <= 0) return run;
  auto status = WaitUntil(pid, deadline);
  if (!status) {
    ADD_FAILURE() << "the board did not end within " << limit.count() << " ms";
    ::kill(pid, SIGKILL);
    status = WaitUntil(pid, Clock::now() + STOP_LIMIT);
  }
  run.status = status.value_or(-1);
  return run;
}

RawPort::RawPort(const std::string& device) {
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    ADD_FAILURE() << "open " << device << ": " << std::strerror(errno);
    return;
  }
  termios mode{};
  if (::tcgetattr(fd_, &mode) != 0) {
    ADD_FAILURE() << "tcgetattr " << device << ": " << std::strerror(errno);
    return;
  }
  ::cfmakeraw(&mode);
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &mode) != 0) ADD_FAILURE() << "tcsetattr " << device << ": " << std::strerror(errno);
}

RawPort::~RawPort() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawPort::Write(std::span<const std::uint8_t> bytes) {
  std::size_t written = 0;
  const auto deadline = Clock::now() + STOP_LIMIT;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd waiter{fd_, POLLOUT, 0};
    if (MillisecondsLeft(deadline) == 0) return false;
    ::poll(&waiter, 1, MillisecondsLeft(deadline));
  }
  return true;
}

std::vector<std::uint8_t> RawPort::Read(std::size_t count, std::chrono::milliseconds limit) {
  std::vector<std::uint8_t> bytes(count);
  std::size_t got = 0;
  const auto deadline = Clock::now() + limit;
  while (got < count) {
    const ssize_t n = ::read(fd_, bytes.data() + got, count - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    const int left = MillisecondsLeft(deadline);
    pollfd waiter{fd_, POLLIN, 0};
    if (left == 0 || ::poll(&waiter, 1, left) <= 0) break;
    // Readable yet nothing to read, or an error: the other side is gone.
    if ((waiter.revents & POLLIN) == 0) break;
  }
  bytes.resize(got);
  return bytes;
}

std::vector<std::uint8_t> RawPort::Exchange(std::span<const std::uint8_t> request, std::size_t replySize,
                                            std::chrono::milliseconds limit) {
  if (!Write(request)) {
    ADD_FAILURE() << "write to the board failed: " << std::strerror(errno);
    return {};
  }
  return Read(replySize, limit);
}

void RawPort::Discard() { ::tcflush(fd_, TCIFLUSH); }

}  // namespace vorna::test
