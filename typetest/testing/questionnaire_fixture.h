// Runs the questionnaire in-process: standard input and output redirected to
// strings through a memory console, and a fresh temporary working directory
// for RESULTS.TXT.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "platform/testing/memory_console.h"
#include "textio/answer_input.h"
#include "textio/channels.h"
#include "textio/testing/start_afresh.h"

namespace pelorin::typetest {

class QuestionnaireTest : public ::testing::Test {
  protected:
    void SetUp() override {
        console_.set_output_redirected(true);
        console_.set_input_redirected(true);
        textio::start_afresh(&console_);
        old_dir_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("pelorin-test-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        textio::close_all_files();
        std::filesystem::current_path(old_dir_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        textio::start_afresh();
    }

    void feed(std::string bytes) {
        input_ = std::move(bytes);
        at_ = 0;
        textio::set_stdin_source(textio::StdinSource{&QuestionnaireTest::read_byte, this});
    }
    static int read_byte(void* self) {
        auto* t = static_cast<QuestionnaireTest*>(self);
        if (t->at_ >= t->input_.size()) return -1;
        return static_cast<unsigned char>(t->input_[t->at_++]);
    }

    const std::string& transcript() const { return console_.output(); }

    static bool results_exist() { return std::filesystem::exists("RESULTS.TXT"); }
    static std::string results() {
        std::ifstream in("RESULTS.TXT", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    platform::MemoryConsole console_{80, 25};
    std::filesystem::path old_dir_;
    std::filesystem::path dir_;
    std::string input_;
    std::size_t at_ = 0;
};

// n answers of `a`, each on its own line.
inline std::string answers(int n, const std::string& a) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += a + "\n";
    return s;
}

}  // namespace pelorin::typetest
