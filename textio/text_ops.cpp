#include "textio/text_ops.h"

#include <algorithm>
#include <new>

namespace pelorin::textio {

namespace {

// Exactly a to z: the program never changes the C runtime's locale, so bytes
// 128 to 255 are never letters.
char upper_byte(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

Text text_upper(std::string_view text) {
    try {
        Text result(text);
        for (char& c : result)
            c = upper_byte(c);
        return result;
    } catch (const std::bad_alloc&) {
        return Text{};
    }
}

bool text_upper_equals(std::string_view text, std::string_view word) {
    return text.size() == word.size() &&
           std::equal(text.begin(), text.end(), word.begin(),
                      [](char t, char w) { return upper_byte(t) == w; });
}

int text_compare(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

Text text_left(std::string_view text, long n) {
    if (n <= 0) return Text{};
    try {
        return Text(text.substr(0, static_cast<std::size_t>(n)));
    } catch (const std::bad_alloc&) {
        return Text{};
    }
}

Text text_concat(std::string_view a, std::string_view b) {
    try {
        Text result;
        result.reserve(a.size() + b.size());
        result.append(a);
        result.append(b);
        return result;
    } catch (const std::bad_alloc&) {
        return Text{};
    }
}

void text_append(Text& variable, std::string_view tail) {
    try {
        variable.append(tail);
    } catch (const std::bad_alloc&) {
        // The variable keeps its earlier content.
    }
}

void text_assign(Text& variable, Text value) {
    if (value.empty()) {
        text_clear(variable);
        return;
    }
    variable = std::move(value);
}

void text_clear(Text& variable) {
    Text().swap(variable);
}

}  // namespace pelorin::textio
