#include "platform/posix/terminal_options.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string_view>

namespace pelorin::platform {

TerminalOptions TerminalOptions::from_environment() {
    TerminalOptions options;
    const char* term = std::getenv("TERM");
    options.term = term != nullptr ? term : "";
    read_locale(options, std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
    return options;
}

namespace {

// Languages written in Cyrillic, whose console code page is 866.
constexpr std::string_view cyrillic_languages[] = {"ru", "uk", "be", "bg", "mk",
                                                   "kk", "ky", "tg", "tt", "mn"};

std::string lower_letters_and_digits(std::string_view s) {
    std::string kept;
    for (const char c : s) {
        if (c >= 'A' && c <= 'Z') kept += static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) kept += c;
    }
    return kept;
}

// The encoding of an installed locale that names none ("en_US").
bool installed_locale_is_utf8(const std::string& name) {
    // A locale object of its own, so the program's locale stays "C".
    const locale_t named = ::newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (named == static_cast<locale_t>(nullptr)) return false;
    const char* codeset = ::nl_langinfo_l(CODESET, named);
    const bool utf8 = codeset != nullptr && lower_letters_and_digits(codeset) == "utf8";
    ::freelocale(named);
    return utf8;
}

}  // namespace

void read_locale(TerminalOptions& options, const char* lc_all, const char* lc_ctype,
                 const char* lang) {
    std::string name = "C";
    for (const char* set : {lc_all, lc_ctype, lang}) {
        if (set != nullptr && *set != '\0') {
            name = set;
            break;
        }
    }
    // language[_territory][.codeset][@modifier]
    const std::size_t at = name.find('@');
    const std::string_view without_modifier = std::string_view(name).substr(0, at);
    const std::size_t dot = without_modifier.find('.');
    if (name == "C" || name == "POSIX") {
        // Current runtimes take the plain C locale for UTF-8 (glibc's C.UTF-8,
        // Python's coercion): a terminal left in it, as containers and env -i
        // leave it, is all but always a UTF-8 one.
        options.utf8 = true;
    } else if (dot != std::string_view::npos) {
        options.utf8 = lower_letters_and_digits(without_modifier.substr(dot + 1)) == "utf8";
    } else {
        options.utf8 = installed_locale_is_utf8(name);
    }
    const std::string_view language =
        without_modifier.substr(0, without_modifier.find_first_of("_."));
    const bool latin_script = at != std::string::npos && name.substr(at) == "@latin";
    options.code_page = CodePage::cp437;
    for (const std::string_view cyrillic : cyrillic_languages)
        if (language == cyrillic && !latin_script) options.code_page = CodePage::cp866;
}

}  // namespace pelorin::platform
