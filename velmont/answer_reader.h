// Reads the dialogue's answers from a text stream the way a console user types
// them: leading white space (new lines included) is skipped, then the longest
// stretch that reads as a number is taken and the rest stays for the next
// answer, so several answers may share one line. A closed input or text that
// does not start with a number is reported to the caller, never guessed at.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace velmont {

enum class AnswerFault {
    none,       // the answer was read
    endOfInput, // the input ended before an answer was given
    notANumber, // the answer does not start with a number
    outOfRange, // a number too large for its kind
};

class AnswerReader {
  public:
    explicit AnswerReader(std::istream& in) : in_(in) {}

    // A whole-number choice ("%d"): optional sign, then digits.
    AnswerFault readChoice(int32_t& choice);
    // A value ("%f"): optional sign, digits with an optional decimal point and
    // an optional exponent.
    AnswerFault readValue(float& value);
    // The text that could not be read, for the message after a fault.
    const std::string& rejectedText() const { return rejected_; }

  private:
    bool skipSpace();
    bool takeDigits(std::string& into);
    void takeChar(std::string& into);
    AnswerFault reject(std::string taken);

    std::istream& in_;
    std::string rejected_;
};

} // namespace velmont
