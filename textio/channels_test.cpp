#include "textio/channels.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/testing/memory_console.h"
#include "textio/console_output.h"
#include "textio/print.h"
#include "textio/testing/start_afresh.h"

namespace pelorin::textio {
namespace {

class Channels : public ::testing::Test {
  protected:
    void SetUp() override {
        console_.set_output_redirected(true);
        start_afresh(&console_);
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("pelorin-channels-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "RESULTS.TXT").string();
    }
    void TearDown() override {
        close_all_files();
        start_afresh();
        std::filesystem::remove_all(dir_);
    }
    std::string file() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    int entries() const {
        const std::filesystem::directory_iterator all(dir_);
        return static_cast<int>(std::distance(begin(all), end(all)));
    }

    platform::MemoryConsole console_{80, 25};
    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(Channels, LinesEndInCrLfAndReachTheFileAtTheClose) {
    ASSERT_EQ(results_file_open(path_, 1), STATUS_OK);
    const Channel& ch = channel_table.records[1];
    EXPECT_EQ(ch.ops, &FileDeviceOps);
    EXPECT_NE(ch.stream, nullptr);
    results_file_print(1, "first");
    results_file_print(1, "");
    results_file_print(1, "a\nb");
    EXPECT_FALSE(std::filesystem::exists(path_)) << "the file takes its name at the close";
    EXPECT_EQ(results_file_close(1), STATUS_OK);
    EXPECT_EQ(file(), "first\r\n\r\na\nb\r\n") << "a line feed in the text gets no carriage return";
    EXPECT_EQ(channel_table.records[1].ops, nullptr);
    EXPECT_EQ(console_.output(), "") << "file lines never reach the console";
}

TEST_F(Channels, ALongerExistingFileIsReplacedWholeAtTheClose) {
    std::ofstream(path_, std::ios::binary) << std::string(10000, 'x');
    ASSERT_EQ(results_file_open(path_, 1), STATUS_OK);
    results_file_print(1, "new");
    EXPECT_EQ(file(), std::string(10000, 'x')) << "the old file stays until the close";
    (void)results_file_close(1);
    EXPECT_EQ(file(), "new\r\n");
    EXPECT_EQ(entries(), 1) << "nothing is left beside it";
}

TEST_F(Channels, AFailedOpenLeavesTheChannelClosedAndDropsEverything) {
    std::filesystem::create_directory(path_);  // a directory cannot be opened as a file
    EXPECT_EQ(results_file_open(path_, 1), STATUS_FILE_NOT_FOUND);
    EXPECT_EQ(channel_table.records[1].ops, nullptr);
    EXPECT_EQ(channel_table.records[1].stream, nullptr);
    results_file_print(1, "dropped");
    EXPECT_EQ(channel_write(channel_record(1), "x", 1), STATUS_BAD_CALL);
    EXPECT_EQ(results_file_close(1), STATUS_BAD_CALL);
    EXPECT_TRUE(std::filesystem::is_directory(path_));
    EXPECT_TRUE(channel_table.close_all_registered) << "registered at the first open attempt";
}

TEST_F(Channels, PrintsOutsideTheOpenWindowWriteNothing) {
    results_file_print(1, "before");
    EXPECT_FALSE(std::filesystem::exists(path_));
    ASSERT_EQ(results_file_open(path_, 1), STATUS_OK);
    EXPECT_EQ(results_file_open(path_, 1), STATUS_BAD_CALL) << "already open";
    results_file_print(1, "kept");
    (void)results_file_close(1);
    results_file_print(1, "after");
    EXPECT_EQ(file(), "kept\r\n");
    EXPECT_EQ(results_file_open(path_, 0), STATUS_BAD_CALL);
    EXPECT_EQ(results_file_open(path_, 255), STATUS_BAD_CALL);
    EXPECT_EQ(results_file_close(255), STATUS_BAD_CALL);
    EXPECT_EQ(results_file_close(-1), STATUS_BAD_CALL);
    EXPECT_EQ(channel_write(channel_record(300), "x", 1), STATUS_BAD_CALL);
}

TEST_F(Channels, CloseAllFilesDropsTheFilesLeftOpen) {
    // An exit step that finds a file open: its writer never finished it.
    const std::string second = (dir_ / "OTHER.TXT").string();
    std::ofstream(path_, std::ios::binary) << "old";
    ASSERT_EQ(results_file_open(path_, 1), STATUS_OK);
    ASSERT_EQ(results_file_open(second, 254), STATUS_OK);
    results_file_print(1, "one");
    results_file_print(254, "two");
    close_all_files();
    EXPECT_EQ(file(), "old");
    EXPECT_FALSE(std::filesystem::exists(second));
    EXPECT_EQ(entries(), 1);
    EXPECT_FALSE(channel_table.close_all_registered);
    EXPECT_EQ(channel_table.records[254].ops, nullptr);
    ASSERT_EQ(results_file_open(path_, 1), STATUS_OK);
    results_file_print(1, "kept");
    EXPECT_EQ(results_file_close(0), STATUS_OK) << "channel 0 closes every file channel";
    EXPECT_EQ(channel_table.records[1].ops, nullptr);
    EXPECT_EQ(file(), "kept\r\n");
}

TEST_F(Channels, AWriteLeavesThePushBackStoreAlone) {
    ASSERT_EQ(results_file_open(path_, 1), STATUS_OK);
    Channel* ch = channel_record(1);
    ch->read_back_count = 2;
    EXPECT_EQ(channel_write(ch, "abc", 3), STATUS_OK);
    EXPECT_EQ(ch->read_back_count, 2u);
}

TEST_F(Channels, ConsolePrintsAreSeparateWrites) {
    console_.set_write_limit(1);  // a device that takes one byte per call
    console_print("Q  1: ", false);
    console_print("text", true);
    console_newline();
    print_text(CONSOLE_CHANNEL, "", 0);
    console_print_chars(" 16.6", true);
    print_chars(CONSOLE_CHANNEL, nullptr, PRINT_NEWLINE_TOO);
    print_text(CONSOLE_CHANNEL, "zone", PRINT_ZONE);
    EXPECT_EQ(console_.output(), "Q  1: text\r\n\r\n 16.6\r\n\r\nzone");
}

}  // namespace
}  // namespace pelorin::textio
