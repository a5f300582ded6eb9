// A fresh directory per test, with the RESULTS.TXT path in it, for the
// tests of replacement files on every system.
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
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("pelorin-replace-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        name_ = (dir_ / "RESULTS.TXT").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static std::string read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void write(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // The names in the directory.
    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            found.insert(entry.path().filename().string());
        return found;
    }
    // Starts a replacement and writes `bytes` into it.
    ReplacementFile* begin_with(const std::string& bytes) {
        ReplacementFile* file = begin_replacement(name_);
        if (file != nullptr) std::fputs(bytes.c_str(), replacement_stream(*file));
        return file;
    }

    std::filesystem::path dir_;
    std::string name_;
};

}  // namespace pelorin::platform
