#include "platform/posix/terminal_keyboard.h"

namespace pelorin::platform {
namespace {

std::uint64_t clock_value(std::int64_t now_ms) {
    return now_ms < 0 ? 0 : static_cast<std::uint64_t>(now_ms);
}

}  // namespace

void TerminalKeyboard::take(const DecodedKeys& keys) {
    for (const KeyEvent& e : keys)
        events_.push_back(e);
}

void TerminalKeyboard::feed(std::string_view bytes, std::int64_t now_ms) {
    for (const char b : bytes)
        take(decoder_.feed(static_cast<std::uint8_t>(b), clock_value(now_ms)));
}

void TerminalKeyboard::tick(std::int64_t now_ms) {
    take(decoder_.tick(clock_value(now_ms)));
}

std::optional<std::int64_t> TerminalKeyboard::deadline() const {
    const std::optional<std::uint64_t> d = decoder_.deadline();
    if (!d) return std::nullopt;
    return static_cast<std::int64_t>(*d);
}

}  // namespace pelorin::platform
