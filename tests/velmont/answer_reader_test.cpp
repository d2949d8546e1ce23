// Answer reading: numbers as a console user types them, and the faults that
// must stop the dialogue instead of leaving a value unset.
#include "velmont/answer_reader.h"

#include <gtest/gtest.h>
#include <sstream>

namespace velmont {
namespace {

TEST(AnswerReader, AChoiceStopsAtTheDecimalPointWhichThenFailsTheNextAnswer) {
    std::istringstream in("1.5\n2\n");
    AnswerReader reader(in);
    int32_t choice = 0;
    ASSERT_EQ(reader.readChoice(choice), AnswerFault::none);
    EXPECT_EQ(choice, 1);
    EXPECT_EQ(reader.readChoice(choice), AnswerFault::notANumber);
    EXPECT_EQ(reader.rejectedText(), ".5");
}

TEST(AnswerReader, RejectsTextThatIsNotANumberOrDoesNotFit) {
    struct Case {
        const char* input;
        bool asChoice;
        AnswerFault fault;
        const char* rejected;
    };
    const Case cases[] = {
        {"yes\n", true, AnswerFault::notANumber, "yes"},
        {"-\n", true, AnswerFault::notANumber, "-"},
        {"abc\n", false, AnswerFault::notANumber, "abc"},
        {".\n", false, AnswerFault::notANumber, "."},
        {"3e\n", false, AnswerFault::notANumber, "3e"},
        {"4294967296\n", true, AnswerFault::outOfRange, "4294967296"},
        {"1e99\n", false, AnswerFault::outOfRange, "1e99"},
        {"   \n\t", true, AnswerFault::endOfInput, ""},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        AnswerReader reader(in);
        int32_t choice = 7;
        float value = 7;
        const AnswerFault fault = c.asChoice ? reader.readChoice(choice) : reader.readValue(value);
        EXPECT_EQ(fault, c.fault) << c.input;
        EXPECT_EQ(reader.rejectedText(), c.rejected) << c.input;
        EXPECT_EQ(choice, 7) << "a failed read must not change the answer";
        EXPECT_EQ(value, 7.0f) << "a failed read must not change the answer";
    }
}

} // namespace
} // namespace velmont
