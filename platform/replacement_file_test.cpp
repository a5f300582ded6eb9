#include "platform/replacement_file.h"

#include "platform/replacement_file_fixture_for_tests.h"

namespace pelorin::platform {
namespace {

using Names = std::set<std::string>;

TEST_F(ReplacementTest, TheNewFileTakesTheNameOnlyWhenFinished) {
    write(name_, std::string(10000, 'o'));
    ReplacementFile* file = begin_with("new\r\n");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(read(name_), std::string(10000, 'o')) << "the old file is untouched meanwhile";
    EXPECT_EQ(names().size(), 2u) << "the new one is written beside it";
    EXPECT_TRUE(finish_replacement(file));
    EXPECT_EQ(read(name_), "new\r\n");
    EXPECT_EQ(names(), Names{"RESULTS.TXT"});
}

TEST_F(ReplacementTest, NoFileYetGetsOne) {
    ReplacementFile* file = begin_with("first");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(finish_replacement(file));
    EXPECT_EQ(read(name_), "first");
}

TEST_F(ReplacementTest, AnAbandonedFileLeavesTheOldOne) {
    write(name_, "old");
    ReplacementFile* file = begin_with(std::string(20000, 'n'));
    ASSERT_NE(file, nullptr);
    abandon_replacement(file);
    EXPECT_EQ(read(name_), "old");
    EXPECT_EQ(names(), Names{"RESULTS.TXT"});
}

TEST_F(ReplacementTest, ADirectoryInTheWayIsLeftAlone) {
    std::filesystem::create_directory(name_);
    EXPECT_EQ(begin_replacement(name_), nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(name_));
    EXPECT_EQ(names(), Names{"RESULTS.TXT"});
}

TEST_F(ReplacementTest, TemporaryNamesInUseAreSkipped) {
    // Two replacements at once take two temporaries.
    ReplacementFile* first = begin_with("first");
    ReplacementFile* second = begin_with("second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(names().size(), 2u);
    EXPECT_TRUE(finish_replacement(second));
    EXPECT_TRUE(finish_replacement(first));
    EXPECT_EQ(read(name_), "first") << "the last to finish wins";
    EXPECT_EQ(names(), Names{"RESULTS.TXT"});
}

}  // namespace
}  // namespace pelorin::platform
