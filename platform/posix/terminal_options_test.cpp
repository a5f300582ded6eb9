// Where the terminal's name, encoding and code page come from: the
// environment, read the same way by both programs.
#include "platform/posix/terminal_options.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace pelorin::platform {
namespace {

class EnvironmentVariable {
  public:
    explicit EnvironmentVariable(const char* name) : name_(name) {
        const char* value = std::getenv(name);
        had_ = value != nullptr;
        if (had_) old_ = value;
    }
    ~EnvironmentVariable() {
        if (had_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    void set(const char* value) { ::setenv(name_, value, 1); }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST(TerminalLocale, EncodingAndCodePageComeFromTheLocaleName) {
    const struct {
        const char* lc_all;
        const char* lc_ctype;
        const char* lang;
        bool utf8;
        CodePage page;
    } cases[] = {
        {"C.UTF-8", nullptr, nullptr, true, CodePage::cp437},
        {nullptr, nullptr, "fr_FR.UTF-8", true, CodePage::cp437},  // not installed here
        {nullptr, nullptr, "de_DE.utf8@euro", true, CodePage::cp437},
        {"", "", "ru_RU.UTF-8", true, CodePage::cp866},
        {nullptr, "uk_UA.KOI8-U", "en_GB.UTF-8", false, CodePage::cp866},  // LC_CTYPE first
        {"bg_BG", nullptr, nullptr, false, CodePage::cp866},
        {nullptr, nullptr, "sr_RS.UTF-8@latin", true, CodePage::cp437},
        {"en_US.ISO-8859-1", nullptr, "ru_RU.UTF-8", false, CodePage::cp437},
        {"C", nullptr, nullptr, true, CodePage::cp437},  // taken for UTF-8, as runtimes do
        {nullptr, nullptr, "POSIX", true, CodePage::cp437},
        {nullptr, nullptr, nullptr, true, CodePage::cp437},
    };
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    for (const auto& c : cases) {
        TerminalOptions options;
        read_locale(options, c.lc_all, c.lc_ctype, c.lang);
        SCOPED_TRACE(std::string(c.lc_all ? c.lc_all : "-") + " " +
                     (c.lc_ctype ? c.lc_ctype : "-") + " " + (c.lang ? c.lang : "-"));
        EXPECT_EQ(options.utf8, c.utf8);
        EXPECT_EQ(options.code_page, c.page);
    }
    EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before);
    EnvironmentVariable all("LC_ALL");
    all.set("C.UTF-8");
    EXPECT_TRUE(TerminalOptions::from_environment().utf8);
}

TEST(TerminalLocale, TerminalNameComesFromTheEnvironment) {
    EnvironmentVariable term("TERM");
    term.set("vt220");
    EXPECT_EQ(TerminalOptions::from_environment().term, "vt220");
    ::unsetenv("TERM");
    EXPECT_EQ(TerminalOptions::from_environment().term, "");
}

}  // namespace
}  // namespace pelorin::platform
