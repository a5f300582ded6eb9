#include "textio/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "textio/number_text_internal.h"

namespace pelorin::textio {
namespace {

// ---- text to single -------------------------------------------------------

bool is_c_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// "&H1F", "&O17", "&B101": every character after the prefix counts as a
// digit without validation, and the number wraps in 32-bit two's complement.
float radix_to_single(std::string_view digits, unsigned base) {
    std::uint32_t value = 0;
    for (char ch : digits) {
        int digit = static_cast<unsigned char>(ch) - 48;
        if (base == 16 && digit > 9) {
            digit = static_cast<unsigned char>(ch) - 55;
            if (digit > 16) digit = static_cast<unsigned char>(ch) - 87;
        }
        value = value * base + static_cast<std::uint32_t>(digit);
    }
    return static_cast<float>(static_cast<std::int32_t>(value));
}

unsigned radix_base(char letter) {
    switch (letter) {
        case 'B':
        case 'b':
            return 2;
        case 'H':
        case 'h':
            return 16;
        case 'O':
        case 'o':
            return 8;
        default:
            return 0;
    }
}

// Length of the longest prefix of the shape digits [. digits] [e [sign] digits],
// with at least one digit in the mantissa; 0 when there is none.
std::size_t decimal_prefix(std::string_view s) {
    std::size_t i = 0;
    std::size_t mantissa_digits = 0;
    while (i < s.size() && is_digit(s[i]))
        ++i, ++mantissa_digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && is_digit(s[i]))
            ++i, ++mantissa_digits;
    }
    if (mantissa_digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && is_digit(s[j])) {
            while (j < s.size() && is_digit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

// The double nearest to the decimal value of the longest leading number,
// for any number of digits. The C runtime's decimal reading rounds exactly
// (too large gives infinity, too small zero) and, as the program never
// changes its locale, reads the point as '.'; floating std::from_chars is
// missing from some standard libraries still in use (libc++ before 20).
double decimal_to_double(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && is_c_space(s[i]))
        ++i;
    const std::size_t sign = i < s.size() && (s[i] == '+' || s[i] == '-') ? 1 : 0;
    const std::size_t digits = decimal_prefix(s.substr(i + sign));
    if (digits == 0) return 0.0;
    try {
        // Only the checked shape reaches strtod: no "inf", "nan" or hex forms.
        const std::string number(s.substr(i, sign + digits));
        return std::strtod(number.c_str(), nullptr);
    } catch (const std::bad_alloc&) {
        return 0.0;
    }
}

// ---- single to text -------------------------------------------------------

struct Digits {
    char d[7];     // 7 significant digits
    int exponent;  // decimal exponent of the first digit
};

// The C runtime's "%.6e" rounds exactly to 7 significant digits ("d.dddddde+x");
// the digits are taken by kind, not by place, so the locale's point cannot
// matter. Floating std::to_chars is not available on every system in use.
Digits seven_digits(double magnitude) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6e", magnitude);
    Digits out{};
    const char* p = buf;
    for (int n = 0; n < 7; ++p)
        if (is_digit(*p)) out.d[n++] = *p;
    while (*p != 'e')
        ++p;
    out.exponent = std::atoi(p + 1);
    return out;
}

void strip_fraction_zeros(Text& s) {
    if (s.find('.') == Text::npos) return;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
}

Text decimal_form(const Digits& g) {
    Text s;
    if (g.exponent < 0) {
        s = "0.";
        s.append(g.d, 7);
    } else {
        s.append(g.d, static_cast<std::size_t>(g.exponent) + 1);
        s.push_back('.');
        s.append(g.d + g.exponent + 1, static_cast<std::size_t>(6 - g.exponent));
    }
    strip_fraction_zeros(s);
    return s;
}

// Outside the decimal range: mantissa, 'e', sign and at least two exponent digits.
Text exponent_form(const Digits& g) {
    Text s(1, g.d[0]);
    s.push_back('.');
    s.append(g.d + 1, 6);
    strip_fraction_zeros(s);
    char tail[16];
    std::snprintf(tail, sizeof tail, "e%c%02d", g.exponent < 0 ? '-' : '+', std::abs(g.exponent));
    return s + tail;
}

// ---- pattern print --------------------------------------------------------

struct PatternState {
    Text pattern;
    std::size_t next = 0;  // index of the next unread pattern character
    std::size_t left = 0;  // pattern characters not yet read
};

PatternState pattern_state;

char take_pattern_char() {
    --pattern_state.left;
    return pattern_state.pattern[pattern_state.next++];
}

// Copies literal characters up to the next numeric field or the end; an
// underscore takes the character after it literally.
void copy_literal(Text& out) {
    while (pattern_state.left > 0 && pattern_state.pattern[pattern_state.next] != '#') {
        const char c = take_pattern_char();
        if (c == '_' && pattern_state.left > 0) {
            out.push_back(take_pattern_char());
        } else {
            out.push_back(c);
        }
    }
}

int read_field_width() {
    int width = 0;
    while (pattern_state.left > 0 && pattern_state.pattern[pattern_state.next] == '#') {
        take_pattern_char();
        ++width;
    }
    return width;
}

// Nudges a single's widened value past the representation error a single
// carries, so that whole numbers and halves round as their decimals would.
double single_bias(double d) {
    if (d == 0) return d;
    const int e = static_cast<int>(std::floor(std::log10(std::fabs(d))));
    return d + (e >= 0 ? std::pow(10.0, -(e + 8)) : std::pow(10.0, e - 6));
}

}  // namespace

Text rounded_number_field(float v, int width) {
    const double d = single_bias(static_cast<double>(v));
    const double m = std::fabs(d);
    const int k = m == 0 ? 0 : static_cast<int>(std::floor(std::log10(m))) + 1;
    double whole = std::floor(m);
    const auto fraction = static_cast<std::int64_t>((m - whole) * 1e15);
    if (fraction > 500'000'000'000'000) whole += 1;
    // Without a sign code the minus sign takes one of the field's positions.
    const int used = k + (d < 0 ? 1 : 0);
    const int excess = used > width ? used - width : 0;
    if (excess > 0) whole = std::trunc(whole / std::pow(10.0, excess));
    char digits[48];
    std::snprintf(digits, sizeof digits, "%s%.0f", d < 0 ? "-" : "", whole);
    Text out(digits);
    if (static_cast<int>(out.size()) < width)
        out.insert(0, static_cast<std::size_t>(width) - out.size(), ' ');
    if (excess > 0) {
        char marker[16];
        std::snprintf(marker, sizeof marker, "%%e%+d", excess);
        out += marker;
    }
    return out;
}

namespace {

// A whole number from 0 that fits the field, as the statement numbers are:
// its digits, right-aligned. The general path gives these the same bytes
// (the bias stays in the fraction, which rounds down), but costs logarithms,
// powers and a printf for every statement shown.
bool small_whole_number_field(float v, int width, Text& out) {
    if (!(v >= 0 && v < 16777216.0f)) return false;  // NaN too; the rest fits 32 bits
    const auto n = static_cast<std::uint32_t>(v);
    if (static_cast<float>(n) != v) return false;
    char digits[10];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    const auto count = static_cast<int>(end - digits);
    if (count > width) return false;
    out.append(static_cast<std::size_t>(width - count), ' ');
    out.append(digits, end);
    return true;
}

}  // namespace

float text_to_single(std::string_view item) {
    std::size_t i = 0;
    while (i < item.size() && item[i] == ' ')
        ++i;
    const std::string_view rest = item.substr(i);
    if (rest.size() >= 2 && rest[0] == '&') {
        const unsigned base = radix_base(rest[1]);
        if (base != 0) return radix_to_single(rest.substr(2), base);
    }
    return static_cast<float>(decimal_to_double(rest));
}

Text format_single_digits(float v) {
    try {
        const double d = static_cast<double>(v);
        if (std::isnan(d)) return "nan";
        if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
        if (d == 0) return "0";
        const Digits g = seven_digits(std::fabs(d));
        Text s = (g.exponent >= -1 && g.exponent <= 6) ? decimal_form(g) : exponent_form(g);
        if (d < 0) s.insert(0, 1, '-');
        return s;
    } catch (const std::bad_alloc&) {
        return Text{};
    }
}

Text format_str_single(float v) {
    return format_single_digits(v);
}

Text format_print_single(float v) {
    Text s = format_single_digits(v);
    if (!s.empty() && s[0] != '-') {
        try {
            s.insert(0, 1, ' ');
        } catch (const std::bad_alloc&) {
            return Text{};
        }
    }
    return s;
}

void pattern_begin(std::string_view pattern) {
    try {
        pattern_state.pattern.assign(pattern);
    } catch (const std::bad_alloc&) {
        pattern_state.pattern.clear();
    }
    pattern_state.next = 0;
    pattern_state.left = pattern_state.pattern.size();
}

Text pattern_value(float v) {
    Text out;
    try {
        if (pattern_state.left == 0) {
            pattern_state.next = 0;
            pattern_state.left = pattern_state.pattern.size();
        }
        copy_literal(out);
        const int width = read_field_width();
        if (width > 0 && !small_whole_number_field(v, width, out))
            out += rounded_number_field(v, width);
        copy_literal(out);
    } catch (const std::bad_alloc&) {
        out.clear();
    }
    return out;
}

Text pattern_end() {
    Text out;
    try {
        copy_literal(out);
    } catch (const std::bad_alloc&) {
        out.clear();
    }
    reset_pattern_state();
    return out;
}

Text format_using(std::string_view pattern, float v) {
    pattern_begin(pattern);
    Text result = pattern_value(v);
    result += pattern_end();
    return result;
}

void reset_pattern_state() {
    pattern_state = PatternState{};
}

}  // namespace pelorin::textio
