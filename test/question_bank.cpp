// Interim: filled in with the bank.
#include "test/question_bank.h"
namespace pelorin::typetest {
const std::array<std::string_view, TYPE_COUNT + 1> TypeOrder{};
bool QuestionBank::is_end(int) const { return true; }
std::span<const std::string_view> bank_source() { return {}; }
void load_question_bank(QuestionBank&) {}
void load_question_bank(QuestionBank&, std::span<const std::string_view>) {}
}  // namespace pelorin::typetest
