#include "app/results/inputs.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pelorin::results {
namespace {

TEST(Inputs, PersonNames) {
    const std::string here = std::filesystem::current_path().filename().string();
    const std::pair<std::string, std::string> cases[] = {
        {"class/alice/RESULTS.TXT", "alice"},
        {"class/bob/results.txt", "bob"},
        {"/srv/club/Carol/Results.Txt", "Carol"},
        {"class/dave//RESULTS.TXT", "dave"},
        {"group/anna.TXT", "anna"},
        {"ben.results.txt", "ben.results"},
        {"notes", "notes"},
        {".hidden", ".hidden"},
        {"class/alice/RESULTS.TXT.bak", "RESULTS.TXT"},
        {"RESULTS.TXT", here},
        {"./RESULTS.TXT", here},
        {"-", "-"},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(person_name(path), name) << path;
}

}  // namespace
}  // namespace pelorin::results
