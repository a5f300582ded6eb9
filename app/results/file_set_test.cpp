#include "app/results/file_set.h"

#include <gtest/gtest.h>

namespace pelorin::results {
namespace {

TEST(FileSet, EachFileOnceWhateverItsNumbersAndHowMany) {
    FileSet set;
    const std::pair<platform::FileIdentity, bool> cases[] = {
        {{1, 0}, true},          {{1, 0}, false},  // number 0 is a file too
        {{1, ~0ULL}, true},      {{1, ~0ULL}, false},
        {{2, 0}, true},          {{2, ~0ULL}, true},  // the same number on another device
        {{1, 1ULL << 40}, true},
    };
    for (const auto& [file, added] : cases)
        EXPECT_EQ(set.insert(file), added) << file.device << ' ' << file.number;
    // Past several growths of the table, consecutive numbers as file systems give them.
    for (std::uint64_t n = 1; n <= 20'000; ++n)
        ASSERT_TRUE(set.insert({3, n})) << n;
    for (std::uint64_t n = 1; n <= 20'000; ++n)
        ASSERT_TRUE(set.contains({3, n}) && !set.insert({3, n})) << n;
    EXPECT_FALSE(set.contains({3, 20'001}));
    EXPECT_FALSE(set.contains({4, 1}));
}

}  // namespace
}  // namespace pelorin::results
