#pragma once
// Runs a part of a test as an ordinary user. Root passes every permission
// check, so a case about a refused permission means nothing as root (as CI
// runs): there the part runs in a child that has become nobody, and its
// failures count for the test. Run as an ordinary user, it runs in place.

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

namespace vorna::test {

constexpr const char* UNPRIVILEGED_USER = "nobody";
constexpr const char* UNPRIVILEGED_GROUP = "nogroup";
// The child's exit codes besides 0: the part failed (or returned false),
// or the child could not become the unprivileged user.
constexpr int PART_FAILED = 1;
constexpr int COULD_NOT_DROP = 2;

// Root passes every permission check.
inline bool RunningAsRoot() { return ::geteuid() == 0; }

// The user and group `part` runs as under root.
inline uid_t UnprivilegedUid() {
  const passwd* user = ::getpwnam(UNPRIVILEGED_USER);
  return user != nullptr ? user->pw_uid : static_cast<uid_t>(-1);
}
inline gid_t UnprivilegedGid() {
  const group* entry = ::getgrnam(UNPRIVILEGED_GROUP);
  return entry != nullptr ? entry->gr_gid : static_cast<gid_t>(-1);
}

// Under root, makes `path` the unprivileged user's, so that the part can
// work in a folder the test made; nothing otherwise.
inline void GiveToUnprivileged(const std::string& path) {
  if (!RunningAsRoot()) return;
  ASSERT_EQ(::chown(path.c_str(), UnprivilegedUid(), UnprivilegedGid()), 0) << path;
}

// Runs `part` in a child that has become the unprivileged user; the exit
// code it returned, or -1 when the child could not drop root or ended
// abnormally (the test then fails).
inline int ExitCodeAsUnprivileged(const std::function<int()>& part) {
  const uid_t uid = UnprivilegedUid();
  const gid_t gid = UnprivilegedGid();
  if (uid == static_cast<uid_t>(-1) || gid == static_cast<gid_t>(-1)) {
    ADD_FAILURE() << "no user " << UNPRIVILEGED_USER << " or no group " << UNPRIVILEGED_GROUP;
    return -1;
  }
  // The child's output goes after whatever the parent wrote so far.
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    ADD_FAILURE() << "fork failed";
    return -1;
  }
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0 ||
        ::geteuid() == 0) {
      ::_exit(COULD_NOT_DROP);
    }
    const int code = part();
    std::cout.flush();
    std::fflush(nullptr);
    ::_exit(code);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    ADD_FAILURE() << "the unprivileged part ended abnormally, status " << status;
    return -1;
  }
  if (WEXITSTATUS(status) == COULD_NOT_DROP) {
    ADD_FAILURE() << "could not become " << UNPRIVILEGED_USER;
    return -1;
  }
  return WEXITSTATUS(status);
}

inline void RunUnprivileged(const std::function<void()>& part) {
  if (!RunningAsRoot()) {
    part();
    return;
  }
  const int code = ExitCodeAsUnprivileged([&part] {
    part();
    return ::testing::Test::HasFailure() ? PART_FAILED : 0;
  });
  if (code < 0) return;
  EXPECT_EQ(code, 0) << "the part run as " << UNPRIVILEGED_USER << " failed (its messages above)";
}

// What `part` returned, run as the unprivileged user under root.
inline bool RunUnprivilegedFor(const std::function<bool()>& part) {
  if (!RunningAsRoot()) return part();
  return ExitCodeAsUnprivileged([&part] { return part() ? 0 : PART_FAILED; }) == 0;
}

}  // namespace vorna::test
