// A fresh directory per test, holding the RESULTS.TXT to replace.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
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

    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            found.insert(entry.path().filename().string());
        return found;
    }
    // A replacement of name_ with `bytes` written, or nullptr.
    ReplacementFile* begin_with(const std::string& bytes) {
        ReplacementFile* file = begin_replacement(name_);
        if (file != nullptr) std::fputs(bytes.c_str(), replacement_stream(*file));
        return file;
    }

    const std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() /
        ("pelorin-replace-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    const std::string name_ = (dir_ / "RESULTS.TXT").string();
};

}  // namespace pelorin::platform
