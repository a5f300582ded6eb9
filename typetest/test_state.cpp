#include "typetest/test_state.h"

namespace pelorin::typetest {

bool answer_is(const textio::Text& answer, std::string_view word) {
    return textio::text_upper_equals(answer, word);
}

}  // namespace pelorin::typetest
