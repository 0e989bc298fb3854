// Replacing a file whose name is as long as a name may be: the new file
// written beside it must fit the same limit.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/file_io.h"
#include "link/file_replace.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

TEST(ReplaceFileAtomically, NamesUpToTheLimitAreReplacedWithNothingLeftBeside) {
  for (const ReplaceRule rule : {ReplaceRule::kOwnFilesOnly, ReplaceRule::kKeepOwner}) {
    for (const std::size_t length : {250u, 255u}) {
      SCOPED_TRACE(std::to_string(length) + (rule == ReplaceRule::kKeepOwner ? " kept owner" : " own files"));
      test::TempFolder folder;
      const std::string name(length, 'n');
      for (const char* content : {"first", "second"})
        ASSERT_EQ(ReplaceFileAtomically(folder.File(name), content, {rule, Durability::kRenamed}), std::error_code());
      EXPECT_EQ(ReadWholeFile(folder.File(name)), "second");
      EXPECT_EQ(folder.Names(), std::vector<std::string>{name});
    }
  }
}

}  // namespace
}  // namespace vorna
