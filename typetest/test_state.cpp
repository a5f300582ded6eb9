#include "typetest/test_state.h"

namespace pelorin::typetest {

bool answer_is(const textio::Text& answer, std::string_view word) {
    return textio::text_compare(textio::text_upper(answer), word) == 0;
}

}  // namespace pelorin::typetest
