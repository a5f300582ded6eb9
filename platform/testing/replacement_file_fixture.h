// A fresh directory per test, holding the RESULTS.TXT to replace.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/replacement_file.h"

namespace pelorin::platform {

class ReplacementTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string read() const {
        std::ifstream in(name_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write(const std::string& bytes) const { std::ofstream(name_, std::ios::binary) << bytes; }
    long entries() const {
        const std::filesystem::directory_iterator all(dir_);
        return std::distance(begin(all), end(all));
    }
    // A replacement of name_ with `bytes` written, or nullptr.
    ReplacementFile* begin_with(const std::string& bytes) const {
        ReplacementFile* file = begin_replacement(name_);
        const bool written =
            file == nullptr || replacement_write(*file, bytes.data(), bytes.size());
        EXPECT_TRUE(written);
        return file;
    }

    const std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() /
        (std::string("pelorin-replace-") +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string name_ = (dir_ / "RESULTS.TXT").string();
};

}  // namespace pelorin::platform
