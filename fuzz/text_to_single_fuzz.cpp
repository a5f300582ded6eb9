// Arbitrary bank items: the conversion never fails, and the string form of
// the result reads back as the same single.
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "textio/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelorin::textio;
    const std::string_view item(reinterpret_cast<const char*>(data), size);
    const float v = text_to_single(item);
    if (std::isnan(v) || std::isinf(v)) return 0;
    const Text s = format_str_single(v);
    const Text p = format_print_single(v);
    if (s.empty() || s.size() > 16) std::abort();
    if (p != (s[0] == '-' ? s : " " + s)) std::abort();
    // Seven digits do not always identify a single; they must come within
    // one part in ten million.
    const float back = text_to_single(s);
    if (v != 0 && std::fabs(back - v) > std::fabs(v) * 1e-6f) std::abort();
    (void)format_using("Q###: ", v);
    return 0;
}
