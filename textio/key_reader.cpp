// Interim: replaced by the key reader.
#include "textio/key_reader.h"
namespace pelorin::textio {
bool key_available() { return false; }
std::optional<int> key_read() { return std::nullopt; }
void key_poll_events() {}
std::optional<int> translate_key(std::uint8_t, std::uint16_t, std::uint16_t, std::uint32_t) {
    return std::nullopt;
}
void reset_key_reader() {}
}  // namespace pelorin::textio
