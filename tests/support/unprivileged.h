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
// The child's exit codes besides 0.
constexpr int PART_FAILED = 1;
constexpr int COULD_NOT_DROP = 2;

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
  if (::geteuid() != 0) return;
  ASSERT_EQ(::chown(path.c_str(), UnprivilegedUid(), UnprivilegedGid()), 0) << path;
}

inline void RunUnprivileged(const std::function<void()>& part) {
  if (::geteuid() != 0) {
    part();
    return;
  }
  const uid_t uid = UnprivilegedUid();
  const gid_t gid = UnprivilegedGid();
  ASSERT_NE(uid, static_cast<uid_t>(-1)) << "no user " << UNPRIVILEGED_USER;
  ASSERT_NE(gid, static_cast<gid_t>(-1)) << "no group " << UNPRIVILEGED_GROUP;
  // The child's output goes after whatever the parent wrote so far.
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0 ||
        ::geteuid() == 0) {
      ::_exit(COULD_NOT_DROP);
    }
    part();
    std::cout.flush();
    std::fflush(nullptr);
    ::_exit(::testing::Test::HasFailure() ? PART_FAILED : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the unprivileged part ended abnormally, status " << status;
  ASSERT_NE(WEXITSTATUS(status), COULD_NOT_DROP) << "could not become " << UNPRIVILEGED_USER;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the part run as " << UNPRIVILEGED_USER << " failed (its messages above)";
}

}  // namespace vorna::test
