#include "platform/replacement_file.h"

#include "platform/testing/replacement_file_fixture.h"

namespace pelorin::platform {
namespace {

// (The whole-program tests end, fail and race replacements; this is what
// they cannot reach: two of one process at once, and an abandoned one.)
TEST_F(ReplacementTest, TwoAtOnceEachWriteBesideTheOldFileUntilFinished) {
    write("old");
    ReplacementFile* first = begin_with("first");
    ReplacementFile* second = begin_with("second");
    ReplacementFile* dropped = begin_with("dropped");
    ASSERT_TRUE(first != nullptr && second != nullptr && dropped != nullptr);
    EXPECT_EQ(entries(), 4);
    abandon_replacement(dropped);
    EXPECT_TRUE(finish_replacement(second));
    EXPECT_EQ(read(), "second");
    EXPECT_TRUE(finish_replacement(first));
    EXPECT_EQ(read(), "first") << "the last to finish wins";
    EXPECT_EQ(entries(), 1);
}

}  // namespace
}  // namespace pelorin::platform
