// Key codes as the key reader's tests write them.
#pragma once

namespace pelorin::textio {

// The code of an extended key with code byte b: b * 256 + 255.
constexpr int extended_key(int code_byte) {
    return code_byte * 256 + 255;
}

}  // namespace pelorin::textio
