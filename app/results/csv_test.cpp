#include "app/results/csv.h"

#include <gtest/gtest.h>

namespace pelorin::results {
namespace {

TEST(Csv, FieldsThatSpreadsheetsOpenAsTheVeryText) {
    const std::pair<std::string, std::string> cases[] = {
        // Kept as they are: texts, and numbers a spreadsheet shows as written.
        {"", ""},
        {"ILE", "ILE"},
        {"80", "80"},
        {"16.6", "16.6"},
        {"0.25", "0.25"},
        {"r01", "r01"},
        {"ILE (80)", "ILE (80)"},
        {"ninety, or so", "\"ninety, or so\""},
        {"I\"L\"E", "\"I\"\"L\"\"E\""},
        {"\xd0\x9b\xd0\x98\xd0\x98 2", "\xd0\x9b\xd0\x98\xd0\x98 2"},
        // Changed by a spreadsheet, so written as a formula giving the text.
        {"007", "\"=\"\"007\"\"\""},
        {"80.50", "\"=\"\"80.50\"\"\""},
        {"1234567890123456", "\"=\"\"1234567890123456\"\"\""},  // beyond 15 digits
        {"100 %", "\"=\"\"100 %\"\"\""},
        {"1/2", "\"=\"\"1/2\"\"\""},
        {"12:30", "\"=\"\"12:30\"\"\""},
        {"Mar 5", "\"=\"\"Mar 5\"\"\""},
        {"5-march", "\"=\"\"5-march\"\"\""},
        {"1e5", "\"=\"\"1e5\"\"\""},
        {"=1+1", "\"=\"\"=1+1\"\"\""},
        {"-3", "\"=\"\"-3\"\"\""},
        {"@SUM(A1)", "\"=\"\"@SUM(A1)\"\"\""},
        {"true", "\"=\"\"true\"\"\""},
        {" 7", "\"=\"\" 7\"\"\""},
        {"0\"1", "\"=\"\"0\"\"\"\"1\"\"\""},
        // A formula's text has at most 255 characters a piece.
        {std::string(256, '0'), "\"=\"\"" + std::string(255, '0') + "\"\"&\"\"0\"\"\""},
    };
    for (const auto& [text, field] : cases)
        EXPECT_EQ(csv_field(text), field) << text;
}

}  // namespace
}  // namespace pelorin::results
