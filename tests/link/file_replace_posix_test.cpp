// A file whose name is as long as a name may be is replaced: the new file
// written beside it keeps within the same limit.

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
    test::TempFolder folder;
    const std::string name(255, 'n');
    for (const char* content : {"first", "second"})
      ASSERT_EQ(ReplaceFileAtomically(folder.File(name), content, {rule, Durability::kRenamed}), std::error_code());
    EXPECT_EQ(ReadWholeFile(folder.File(name)), "second");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{name});
  }
}

}  // namespace
}  // namespace vorna
