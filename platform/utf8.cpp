#include "platform/utf8.h"

namespace pelorin::platform {

bool Utf8Decoder::start(std::uint8_t lead) {
    low_ = 0x80;
    high_ = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        left_ = 1;
        code_point_ = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        left_ = 2;
        code_point_ = lead & 0x0Fu;
        if (lead == 0xE0) low_ = 0xA0;   // below: overlong
        if (lead == 0xED) high_ = 0x9F;  // above: surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        left_ = 3;
        code_point_ = lead & 0x07u;
        if (lead == 0xF0) low_ = 0x90;   // below: overlong
        if (lead == 0xF4) high_ = 0x8F;  // above: beyond U+10FFFF
    } else {
        left_ = 0;
        return false;
    }
    return true;
}

Utf8Decoder::Step Utf8Decoder::next(std::uint8_t byte) {
    if (left_ == 0 || byte < low_ || byte > high_) return Step::invalid;
    code_point_ = (code_point_ << 6) | (byte & 0x3Fu);
    low_ = 0x80;
    high_ = 0xBF;
    return --left_ == 0 ? Step::done : Step::more;
}

std::optional<Utf8Character> decode_utf8(std::string_view s) {
    if (s.empty()) return std::nullopt;
    const auto lead = static_cast<std::uint8_t>(s[0]);
    if (lead < 0x80) return Utf8Character{lead, 1};
    Utf8Decoder decoder;
    if (!decoder.start(lead)) return std::nullopt;
    for (std::size_t i = 1; i < s.size(); ++i) {
        switch (decoder.next(static_cast<std::uint8_t>(s[i]))) {
            case Utf8Decoder::Step::more:
                continue;
            case Utf8Decoder::Step::done:
                return Utf8Character{decoder.code_point(), i + 1};
            case Utf8Decoder::Step::invalid:
                return std::nullopt;
        }
    }
    return std::nullopt;  // cut short
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace pelorin::platform
