// What only Windows has: the read-only and hidden attributes.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/testing/replacement_file_fixture.h"

namespace pelorin::platform {
namespace {

TEST_F(ReplacementTest, AReadOnlyFileKeepsItsContent) {
    write("old");
    ASSERT_TRUE(SetFileAttributesA(name_.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(begin_replacement(name_), nullptr);
    EXPECT_EQ(read(), "old");
    (void)SetFileAttributesA(name_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ReplacementTest, TheOldFilesAttributesPassToTheNewOne) {
    write("old");
    ASSERT_TRUE(SetFileAttributesA(name_.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(finish_replacement(begin_with("new")));
    EXPECT_EQ(read(), "new");
    EXPECT_NE(GetFileAttributesA(name_.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

}  // namespace
}  // namespace pelorin::platform
