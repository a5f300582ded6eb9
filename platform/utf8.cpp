#include "platform/utf8.h"

namespace pelorin::platform {

std::optional<Utf8Lead> utf8_lead(std::uint8_t byte) {
    Utf8Lead lead;
    if (byte >= 0xC2 && byte <= 0xDF) {
        lead.length = 2;
        lead.bits = byte & 0x1Fu;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        lead.length = 3;
        lead.bits = byte & 0x0Fu;
        if (byte == 0xE0) lead.low = 0xA0;
        if (byte == 0xED) lead.high = 0x9F;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        lead.length = 4;
        lead.bits = byte & 0x07u;
        if (byte == 0xF0) lead.low = 0x90;
        if (byte == 0xF4) lead.high = 0x8F;
    } else {
        return std::nullopt;
    }
    return lead;
}

}  // namespace pelorin::platform
