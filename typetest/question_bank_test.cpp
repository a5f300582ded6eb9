#include "typetest/question_bank.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "textio/number_text.h"

namespace pelorin::typetest {
namespace {

class ShippedBank : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { load_question_bank(bank()); }
    static QuestionBank& bank() {
        static QuestionBank b;
        return b;
    }
    static const WeightRow& yes(int i) { return bank().yes[static_cast<std::size_t>(i)]; }
    static const WeightRow& no(int i) { return bank().no[static_cast<std::size_t>(i)]; }
};

TEST_F(ShippedBank, FiftyFourStatementsThenTheTerminator) {
    for (int i = 1; i <= 54; ++i) {
        EXPECT_FALSE(bank().is_end(i)) << i;
        EXPECT_FALSE(bank().statements[static_cast<std::size_t>(i)].empty()) << i;
    }
    EXPECT_TRUE(bank().is_end(55));
    for (int t = 1; t <= TYPE_COUNT; ++t) {
        EXPECT_EQ(yes(55)[static_cast<std::size_t>(t)], 0.0f);
        EXPECT_EQ(no(55)[static_cast<std::size_t>(t)], 0.0f);
    }
    for (int i = 56; i < BANK_SLOTS; ++i)
        EXPECT_TRUE(bank().statements[static_cast<std::size_t>(i)].empty());
}

TEST_F(ShippedBank, TheQuotedStatementsWordForWord) {
    const std::vector<std::pair<int, std::string>> quoted = {
        {1, "You tend to fear of being unnoticed, and to feel that nobody is interested by you."},
        {6, "It's difficult for you to think without talking of your thoughts."},
        {11, "You're very imaginative and creative, and you like to construct mental    images."},
        {16, "You feel a material, concrete, practical, and realisitic person."},
        {21,
         "You tend to take things personnally and subjectively, rather than         "
         "objectively, as a detached observer."},
        {26, "You're at ease with complicated problems."},
        {31, "You like flexibility, and being flexible."},
        {35, "You tend to 'plan' what you will do (not necessarily on paper)."},
        {39,
         "When you speak to others, you tend to seem 'interrogative', even when you don't ask "
         "questions."},
        {44, "You like conversations that are like alternating monologues."},
        {49, "You tend to be 'reserved'."},
        {53, "You like to give and to recieve compliments."}};
    for (const auto& [i, text] : quoted)
        EXPECT_EQ(bank().statements[static_cast<std::size_t>(i)], text);
}

TEST_F(ShippedBank, StatementOneWeights) {
    for (std::size_t t = 1; t <= 8; ++t) {
        EXPECT_EQ(yes(1)[t], 0.0f);
        EXPECT_EQ(no(1)[t], 0.3f);
    }
    for (std::size_t t : {9, 10, 13, 14})
        EXPECT_EQ(yes(1)[t], 0.7f);
    for (std::size_t t : {11, 12, 15, 16})
        EXPECT_EQ(yes(1)[t], 0.8f);
    for (std::size_t t = 9; t <= 16; ++t)
        EXPECT_EQ(no(1)[t], 0.0f);
    // Held as the nearest single, not as the decimal.
    EXPECT_NE(static_cast<double>(yes(1)[9]), 0.7);
}

TEST_F(ShippedBank, WeightsStayWithinTheShippedValues) {
    const std::set<float> allowed = {0.0f, 0.1f, 0.2f,  0.25f, 0.3f,  0.35f, 0.4f,
                                     0.5f, 0.6f, 0.65f, 0.7f,  0.75f, 0.8f,  0.9f};
    for (int i = 1; i <= 54; ++i)
        for (std::size_t t = 1; t <= TYPE_COUNT; ++t) {
            EXPECT_TRUE(allowed.count(yes(i)[t])) << i << "/" << t;
            EXPECT_TRUE(allowed.count(no(i)[t])) << i << "/" << t;
        }
}

TEST_F(ShippedBank, StatementsWhoseNoChangesNothing) {
    std::set<int> zero_no = {9, 10, 15, 19, 20, 33};
    for (int i = 39; i <= 54; ++i)
        zero_no.insert(i);
    for (int i = 1; i <= 54; ++i) {
        float total = 0;
        for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
            total += no(i)[t];
        EXPECT_EQ(total == 0.0f, zero_no.count(i) == 1) << i;
    }
    // 39 to 48: eight types at 0.75 each.
    for (int i = 39; i <= 48; ++i) {
        int n = 0;
        for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
            n += yes(i)[t] == 0.75f ? 1 : 0;
        EXPECT_EQ(n, 8) << i;
    }
}

TEST_F(ShippedBank, EachWeightIsBitForBitTheSingleOfItsText) {
    const auto source = bank_source();
    const std::size_t items = 33;  // per statement: its text, 16 yes and 16 no weights
    ASSERT_EQ(source.size(), 54 * items + 1) << "then \"END\"";
    for (std::size_t k = 0; k + 1 < source.size(); ++k) {
        const int i = static_cast<int>(k / items) + 1;
        const std::size_t item = k % items;
        if (item == 0) continue;  // the statement
        const float weight = item <= 16 ? yes(i)[item] : no(i)[item - 16];
        EXPECT_EQ(std::bit_cast<std::uint32_t>(weight),
                  std::bit_cast<std::uint32_t>(textio::text_to_single(source[k])))
            << "statement " << i << ", item " << item << ": " << source[k];
    }
}

TEST(LoadQuestionBank, EndIsTheWholeTextInItsCase) {
    std::vector<std::string_view> source = {"ENDING"};
    for (int k = 0; k < 32; ++k)
        source.push_back("0.5");
    source.push_back("end");
    for (int k = 0; k < 32; ++k)
        source.push_back(k < 16 ? "1" : "2.");
    source.push_back("END");
    QuestionBank bank;
    load_question_bank(bank, source);
    EXPECT_FALSE(bank.is_end(1));
    EXPECT_FALSE(bank.is_end(2));
    EXPECT_TRUE(bank.is_end(3));
    EXPECT_EQ(bank.yes[1][16], 0.5f);
    EXPECT_EQ(bank.no[2][1], 2.0f);
}

TEST(LoadQuestionBank, RefusesWhatTheDialogueCouldWalkPastOrMisread) {
    std::vector<std::string_view> source;
    for (int i = 0; i < 255; ++i) {
        source.push_back("statement");
        source.insert(source.end(), 32, "0.1");
    }
    source.push_back("END");
    QuestionBank bank;
    EXPECT_THROW(load_question_bank(bank, source), std::invalid_argument) << "no slot for END";
    source.erase(source.begin(), source.begin() + 33);
    load_question_bank(bank, source);
    EXPECT_TRUE(bank.is_end(255)) << "the last slot";
    for (const char* weight :
         {"", ".", "0.1.2", " 0.5", "-0.5", "1e2", "&H2", "1234567890123456"}) {
        source[1] = weight;
        EXPECT_THROW(load_question_bank(bank, source), std::invalid_argument) << weight;
    }
    source.resize(2);
    EXPECT_THROW(load_question_bank(bank, source), std::invalid_argument) << "cut short";
}

}  // namespace
}  // namespace pelorin::typetest
