#include "typetest/question_bank.h"

#include <array>
#include <cstdint>
#include <stdexcept>

#include "textio/text_ops.h"

namespace pelorin::typetest {

const std::array<std::string_view, TYPE_COUNT + 1> TypeOrder{
    "",    "ILE", "LIE", "IEE", "EIE", "SLE", "LSE", "SEE", "ESE",
    "ILI", "LII", "IEI", "EII", "SLI", "LSI", "SEI", "ESI"};

namespace {

// Per statement: the text as shown, the 16 yes weights and the 16 no
// weights in TypeOrder. The end of the bank is the "END" item. The quirks in
// some statement texts (runs of blanks, spelling) are what users of the
// original questionnaire saw, and results compare across versions only if
// the statements stay word for word.
// clang-format off
constexpr std::string_view shipped_bank[] = {
    // 1
    "You tend to fear of being unnoticed, and to feel that nobody is interested by you.",
    "0", "0", "0", "0", "0", "0", "0", "0", "0.7", "0.7", "0.8", "0.8", "0.7", "0.7", "0.8", "0.8",
    "0.3", "0.3", "0.3", "0.3", "0.3", "0.3", "0.3", "0.3", "0", "0", "0", "0", "0", "0", "0", "0",
    // 2
    "You are not shy, but rather passive.",
    "0.1", "0", "0.1", "0", "0.1", "0", "0.1", "0", "0.9", "0.8", "0.9", "0.8", "0.9", "0.8", "0.9", "0.8",
    "0.6", "0.6", "0.6", "0.6", "0.6", "0.6", "0.6", "0.6", "0", "0.3", "0", "0.3", "0", "0.3", "0", "0.3",
    // 3
    "You often have your head in the clouds.",
    "0.2", "0.2", "0.2", "0.2", "0", "0", "0", "0", "0.8", "0.8", "0.8", "0.8", "0.3", "0.3", "0.8", "0.3",
    "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0", "0", "0", "0", "0.2", "0.2", "0.2", "0.2",
    // 4
    "You need very little to be happy.",
    "0", "0", "0", "0", "0", "0", "0", "0", "0.6", "0.6", "0.8", "0.8", "0.6", "0.6", "0.8", "0.8",
    "0.5", "0.5", "0.3", "0.3", "0.5", "0.5", "0.3", "0.3", "0", "0", "0", "0", "0", "0", "0", "0",
    // 5
    "You often lack initiative.",
    "0", "0", "0", "0", "0", "0", "0", "0", "0.8", "0.8", "0.8", "0.8", "0.8", "0.8", "0.8", "0.8",
    "0.7", "0.7", "0.7", "0.7", "0.7", "0.7", "0.7", "0.7", "0", "0", "0", "0", "0", "0", "0", "0",
    // 6
    "It's difficult for you to think without talking of your thoughts.",
    "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0", "0", "0", "0", "0", "0", "0", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5",
    // 7
    "You accept others and the outer reality as they are.",
    "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0", "0", "0.25", "0.25", "0", "0", "0.25", "0.25",
    "0", "0", "0", "0", "0", "0", "0", "0", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5",
    // 8
    "You like to have responsibilities.",
    "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0.5", "0", "0.25", "0", "0.25", "0", "0.25", "0", "0.25",
    "0", "0", "0", "0", "0", "0", "0", "0", "0.3", "0.3", "0.1", "0.1", "0.3", "0.3", "0.1", "0.1",
    // 9
    "You perceive objective reality rather than subjective reality.",
    "0.75", "0.75", "0.25", "0.25", "0.75", "0.75", "0.25", "0.25", "0.25", "0.25", "0", "0", "0.25", "0.25", "0", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 10
    "You are often unsure of your subjective feelings.",
    "0.3", "0.3", "0.2", "0.2", "0.3", "0.3", "0.2", "0.2", "0", "0", "0", "0", "0", "0", "0", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 11
    "You're very imaginative and creative, and you like to construct mental    images.",
    "0.7", "0.7", "0.7", "0.7", "0", "0", "0", "0", "0.9", "0.9", "0.9", "0.9", "0", "0", "0", "0",
    "0", "0", "0", "0", "0.9", "0.9", "0.9", "0.9", "0", "0", "0", "0", "0.7", "0.7", "0.7", "0.7",
    // 12
    "You tend to speak in the conditional rather than in the present tense.",
    "0.6", "0.6", "0.6", "0.6", "0", "0", "0", "0", "0.6", "0.6", "0.6", "0.6", "0", "0", "0", "0",
    "0", "0", "0", "0", "0.2", "0.2", "0.2", "0.2", "0", "0", "0", "0", "0.2", "0.2", "0.2", "0.2",
    // 13
    "You're idealistic, and you like to set yourself ideals.",
    "0.6", "0.6", "0.6", "0.6", "0", "0", "0", "0", "0.4", "0.4", "0.7", "0.7", "0.7", "0.7", "0.7", "0",
    "0", "0", "0", "0", "0.5", "0.5", "0.5", "0.5", "0", "0", "0", "0", "0.5", "0.5", "0.5", "0.5",
    // 14
    "You like to foresee and predict the future.",
    "0.8", "0.8", "0.8", "0.8", "0", "0", "0", "0", "0.8", "0.8", "0.8", "0.8", "0", "0", "0", "0",
    "0", "0", "0", "0", "0.35", "0.35", "0.35", "0.35", "0", "0", "0", "0", "0.35", "0.35", "0.35", "0.35",
    // 15
    "You tend to speak in generalisations.",
    "0.6", "0.6", "0.6", "0.6", "0", "0", "0", "0", "0.6", "0.6", "0.6", "0.6", "0", "0", "0", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 16
    "You feel a material, concrete, practical, and realisitic person.",
    "0", "0", "0", "0", "0.7", "0.7", "0.7", "0.7", "0", "0", "0", "0", "0.8", "0.8", "0.3", "0.3",
    "0.3", "0.3", "0.7", "0.7", "0", "0", "0", "0", "0.3", "0.3", "0.7", "0.7", "0", "0", "0", "0",
    // 17
    "You make your happiness out of simple things.",
    "0", "0", "0", "0", "0.5", "0.8", "0.5", "0.8", "0", "0", "0", "0", "0.8", "0.5", "0.8", "0.5",
    "0.2", "0.2", "0.2", "0.2", "0", "0", "0", "0", "0.2", "0.2", "0.2", "0.2", "0", "0", "0", "0",
    // 18
    "You're more practical than theoretical.",
    "0", "0", "0", "0", "0.7", "0.7", "0.7", "0.7", "0", "0", "0", "0", "0.7", "0.7", "0.7", "0.7",
    "0.3", "0.2", "0.3", "0.2", "0", "0", "0", "0", "0.6", "0.4", "0.6", "0.4", "0", "0", "0", "0",
    // 19
    "You tend to focus on details.",
    "0", "0", "0", "0", "0.5", "0.8", "0.5", "0.8", "0", "0", "0", "0", "0.5", "0.8", "0.5", "0.8",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 20
    "You're often unsure of what tomorrow will bring.",
    "0", "0", "0", "0", "0.6", "0.6", "0.6", "0.6", "0", "0", "0", "0", "0.6", "0.6", "0.6", "0.6",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 21
    "You tend to take things personnally and subjectively, rather than         objectively, as a detached observer.",
    "0", "0", "0.4", "0.4", "0", "0", "0.4", "0.4", "0", "0", "0.6", "0.6", "0", "0", "0.6", "0.6",
    "0.6", "0.6", "0", "0", "0.6", "0.6", "0", "0", "0.8", "0.8", "0", "0", "0.8", "0.8", "0", "0",
    // 22
    "You're warm and empathetic, and you want to understand people.",
    "0", "0", "0.8", "0.6", "0", "0", "0.8", "0.6", "0", "0", "0.6", "0.8", "0", "0", "0.6", "0.8",
    "0.4", "0.4", "0", "0", "0.4", "0.4", "0", "0", "0.6", "0.6", "0", "0", "0.4", "0.4", "0", "0",
    // 23
    "You feel sociable.",
    "0.3", "0.3", "0.8", "0.8", "0.3", "0.3", "0.8", "0.8", "0", "0", "0.4", "0.4", "0", "0", "0.4", "0.4",
    "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0",
    // 24
    "You're emotionally expressive.",
    "0", "0", "0.5", "0.7", "0", "0", "0.5", "0.7", "0", "0", "0.7", "0.5", "0", "0", "0.7", "0.5",
    "0.4", "0.4", "0", "0", "0.4", "0.4", "0", "0", "0.4", "0.4", "0", "0", "0.4", "0.4", "0", "0",
    // 25
    "You often find laws useless.",
    "0", "0", "0.7", "0.7", "0", "0", "0.7", "0.7", "0", "0", "0.8", "0.8", "0", "0", "0.8", "0.8",
    "0.5", "0.9", "0", "0", "0.5", "0.9", "0", "0", "0.5", "0.9", "0", "0", "0.5", "0.9", "0", "0",
    // 26
    "You're at ease with complicated problems.",
    "0.8", "0.8", "0", "0", "0.6", "0.6", "0", "0", "0.8", "0.6", "0", "0", "0.8", "0.6", "0", "0",
    "0", "0", "0.3", "0.3", "0", "0", "0.3", "0.3", "0", "0", "0.3", "0.3", "0", "0", "0.3", "0.3",
    // 27
    "You sometimes feel heartless, and guilty for hurting people.",
    "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0",
    "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5",
    // 28
    "You're more emotional than sensitive.",
    "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0",
    "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.5", "0.5",
    // 29
    "You find body language redundant, and you seldom use it.",
    "0.6", "0.6", "0", "0", "0.6", "0.6", "0", "0", "0.9", "0.9", "0", "0", "0.9", "0.9", "0", "0",
    "0", "0", "0.9", "0.9", "0", "0", "0.9", "0.9", "0", "0", "0.6", "0.6", "0", "0", "0.6", "0.6",
    // 30
    "You easily take unpopular decisions and say unpopular things.",
    "0.5", "0.5", "0", "0", "0.5", "0.5", "0", "0", "0.8", "0.8", "0", "0", "0.8", "0.8", "0", "0",
    "0", "0", "0.75", "0.75", "0", "0", "0.75", "0.75", "0", "0", "0.65", "0.65", "0", "0", "0.65", "0.65",
    // 31
    "You like flexibility, and being flexible.",
    "0.7", "0", "0.7", "0", "0.5", "0", "0.7", "0", "0.7", "0", "0.7", "0", "0.7", "0", "0.7", "0",
    "0", "0.3", "0", "0.3", "0", "0.3", "0", "0.3", "0", "0.3", "0", "0.3", "0", "0.3", "0", "0.3",
    // 32
    "You're easy-going rather than lazy.",
    "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0",
    "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5",
    // 33
    "You feel that life is a stream, and you're at ease in it.",
    "0.5", "0.25", "0.5", "0.25", "0.5", "0.25", "0.5", "0.25", "0.75", "0", "0.75", "0", "0.75", "0", "0.75", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 34
    "You relax easily.",
    "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0",
    "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5",
    // 35
    "You tend to 'plan' what you will do (not necessarily on paper).",
    "0", "0.9", "0", "0.75", "0", "0.9", "0", "0.75", "0", "0.6", "0", "0.75", "0", "0.9", "0", "0.6",
    "0.2", "0", "0.2", "0", "0.2", "0", "0.2", "0", "0.2", "0", "0.2", "0", "0.2", "0", "0.2", "0",
    // 36
    "You tend to react to whatever you disapprove of.",
    "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8",
    "0.6", "0", "0.6", "0", "0.6", "0", "0.6", "0", "0.6", "0", "0.6", "0", "0.6", "0", "0.6", "0",
    // 37
    "You pay more attention to actions and emotions than to states of mind and body.",
    "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8",
    "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0", "0.8", "0",
    // 38
    "You tend to turn aggressive in situations you dislike.",
    "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5",
    "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0", "0.5", "0",
    // 39
    "When you speak to others, you tend to seem 'interrogative', even when you don't ask questions.",
    "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0", "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 40
    "You often use question tags in your speech.",
    "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0", "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 41
    "You tend to give commands in the form of questions.",
    "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0", "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 42
    "You tend to repeat the questions you were asked.",
    "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0", "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 43
    "You often answer a question with another question.",
    "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0", "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 44
    "You like conversations that are like alternating monologues.",
    "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75", "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 45
    "You tend to seem 'declarative', even when you ask something.",
    "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75", "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 46
    "You tend to ask rhetorical questions and to answer them yourself.",
    "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75", "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 47
    "When someone interrupts you, you ask them to wait until you have finished.",
    "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75", "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 48
    "You ask questions mainly to get answers.",
    "0", "0.75", "0.75", "0", "0.75", "0", "0", "0.75", "0.75", "0", "0", "0.75", "0", "0.75", "0.75", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 49
    "You tend to be 'reserved'.",
    "0", "0", "0.6", "0.7", "0.6", "0.7", "0", "0", "0.9", "0.9", "0", "0", "0.3", "0.3", "0.8", "0.8",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 50
    "You tend to focus on problems and negative things.",
    "0", "0", "0.8", "0.8", "0.9", "0.9", "0", "0", "0.9", "0.9", "0", "0", "0", "0", "0.8", "0.8",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 51
    "You readily spot what is wrong or missing.",
    "0", "0", "0.8", "0.8", "0.9", "0.9", "0", "0", "0.9", "0.9", "0", "0", "0", "0", "0.8", "0.8",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 52
    "You deal more easily with problems than with positive situations.",
    "0", "0", "0.8", "0.8", "0.9", "0.9", "0", "0", "0.9", "0.9", "0", "0", "0", "0", "0.8", "0.8",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 53
    "You like to give and to recieve compliments.",
    "0.6", "0.6", "0", "0", "0", "0", "0.9", "0.9", "0", "0", "0.9", "0.9", "0.6", "0.6", "0", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    // 54
    "You're often unsure of what is wrong or missing in yourself.",
    "0.7", "0.7", "0", "0", "0", "0", "0.7", "0.7", "0", "0", "0.7", "0.7", "0.7", "0.7", "0", "0",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    "END",
};
// clang-format on

// A weight as the bank writes it, digits with at most one point, to the
// single that text_to_single makes of the same text: the double nearest to
// the decimal, then the single nearest to that double. The digits as a whole
// number and the power of ten are both exact doubles (at most 15 digits), so
// their quotient, rounded once, is that nearest double.
constexpr float weight_from_text(std::string_view text) {
    std::uint64_t digits = 0;
    int count = 0;
    int scale = 0;
    bool point = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9' && count < 15) {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            ++count;
            scale += point ? 1 : 0;
        } else {
            throw std::invalid_argument("a bank weight is up to 15 digits with an optional point");
        }
    }
    if (count == 0) throw std::invalid_argument("a bank weight has no digit");
    double power = 1;
    for (int i = 0; i < scale; ++i)
        power *= 10;
    return static_cast<float>(static_cast<double>(digits) / power);
}

// The bank's tables from its items; evaluated while the program is compiled
// for the shipped bank, so that a fault in it fails the build.
constexpr QuestionBank read_bank(std::span<const std::string_view> source) {
    QuestionBank bank;
    std::size_t cursor = 0;
    const auto next = [&]() -> std::string_view {
        if (cursor == source.size()) throw std::invalid_argument("the bank ends before \"END\"");
        return source[cursor++];
    };
    for (std::size_t slot = 1; slot < BANK_SLOTS; ++slot) {
        bank.statements[slot] = next();
        if (bank.statements[slot] == BANK_END) return bank;
        for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
            bank.yes[slot][t] = weight_from_text(next());
        for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
            bank.no[slot][t] = weight_from_text(next());
    }
    // Without "END" in a slot the dialogue would walk past the last one.
    throw std::invalid_argument("\"END\" does not stand within the bank's slots");
}

constexpr QuestionBank shipped_tables = read_bank(shipped_bank);

}  // namespace

bool QuestionBank::is_end(int slot) const {
    return textio::text_compare(statements[static_cast<std::size_t>(slot)], BANK_END) == 0;
}

std::span<const std::string_view> bank_source() {
    return shipped_bank;
}

void load_question_bank(QuestionBank& bank) {
    bank = shipped_tables;
}

void load_question_bank(QuestionBank& bank, std::span<const std::string_view> source) {
    bank = read_bank(source);
}

}  // namespace pelorin::typetest
