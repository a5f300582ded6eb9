#include "app/results/spool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelorin::results {
namespace {

// Records of many lengths under keys that repeat, so that equal keys meet
// across the parts written to the temporary file.
std::vector<std::pair<std::string, std::string>> records(std::size_t n) {
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t i = 0; i < n; ++i)
        out.emplace_back(std::string(1, static_cast<char>('a' + (i * 7) % 5)),
                         std::to_string(i) + std::string(i % 300, 'x'));
    return out;
}

TEST(Spool, SortedByKeyAndInOrderAmongEqualKeysWithinAnyBudget) {
    const auto all = records(2000);
    std::vector<std::pair<std::string, std::string>> want(all);
    std::stable_sort(want.begin(), want.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // In memory; in parts of about 40 records; one record per part.
    for (const std::size_t budget :
         {std::size_t{SPOOL_BUDGET}, std::size_t{8000}, std::size_t{1}}) {
        Spool spool(budget);
        for (const auto& [key, value] : all)
            spool.add(key, value);
        EXPECT_EQ(spool.size(), all.size());
        std::vector<std::string> got;
        spool.drain([&](std::string_view value) { got.emplace_back(value); });
        ASSERT_EQ(got.size(), want.size()) << budget;
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], want[i].second) << budget << ' ' << i;
    }
}

TEST(Spool, RecordsOfFieldsComeBackWhole) {
    const std::string long_field(300, 'y');  // a length of two bytes
    const std::string record = packed({"", "alice", long_field, std::string_view("a\0b", 3)});
    const std::vector<std::string_view> fields = unpacked(record);
    ASSERT_EQ(fields.size(), 4U);
    EXPECT_EQ(fields[0], "");
    EXPECT_EQ(fields[1], "alice");
    EXPECT_EQ(fields[2], long_field);
    EXPECT_EQ(fields[3], std::string_view("a\0b", 3));
}

}  // namespace
}  // namespace pelorin::results
