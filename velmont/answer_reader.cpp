// Answer reading for the dialogue; see answer_reader.h. Numbers are collected
// character by character so that nothing past the number is consumed, then
// converted with the C library's decimal conversions.
#include "velmont/answer_reader.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velmont {
namespace {

// A rejected answer is quoted in the message up to this many characters.
constexpr size_t kRejectedQuoteLength = 40;

bool isSpace(int c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool AnswerReader::skipSpace() {
    while (true) {
        const int c = in_.peek();
        if (c == std::char_traits<char>::eof()) return false;
        if (!isSpace(c)) return true;
        in_.get();
    }
}

void AnswerReader::takeChar(std::string& into) {
    into += static_cast<char>(in_.get());
}

bool AnswerReader::takeDigits(std::string& into) {
    bool any = false;
    while (isDigit(in_.peek())) {
        takeChar(into);
        any = true;
    }
    return any;
}

// Keeps what was taken plus the rest of the word, for the message.
AnswerFault AnswerReader::reject(std::string taken) {
    while (taken.size() < kRejectedQuoteLength) {
        const int c = in_.peek();
        if (c == std::char_traits<char>::eof() || isSpace(c)) break;
        takeChar(taken);
    }
    // Quoted in a message: control bytes (a NUL would cut the message short)
    // are shown as \xNN.
    rejected_.clear();
    for (const char c : taken) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            rejected_ += "\\x";
            rejected_ += kHex[byte >> 4];
            rejected_ += kHex[byte & 0xF];
        } else {
            rejected_ += c;
        }
    }
    return AnswerFault::notANumber;
}

AnswerFault AnswerReader::readChoice(int32_t& choice) {
    if (!skipSpace()) return AnswerFault::endOfInput;
    std::string text;
    if (in_.peek() == '+' || in_.peek() == '-') takeChar(text);
    if (!takeDigits(text)) return reject(text);
    errno = 0;
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || number > std::numeric_limits<int32_t>::max() ||
        number < std::numeric_limits<int32_t>::min()) {
        rejected_ = text;
        return AnswerFault::outOfRange;
    }
    choice = static_cast<int32_t>(number);
    return AnswerFault::none;
}

AnswerFault AnswerReader::readValue(float& value) {
    if (!skipSpace()) return AnswerFault::endOfInput;
    std::string text;
    if (in_.peek() == '+' || in_.peek() == '-') takeChar(text);
    bool digits = takeDigits(text);
    if (in_.peek() == '.') {
        takeChar(text);
        digits = takeDigits(text) || digits;
    }
    if (!digits) return reject(text);
    if (in_.peek() == 'e' || in_.peek() == 'E') {
        takeChar(text);
        if (in_.peek() == '+' || in_.peek() == '-') takeChar(text);
        // An exponent mark must be followed by digits, or the answer is garbled.
        if (!takeDigits(text)) return reject(text);
    }
    const float number = std::strtof(text.c_str(), nullptr);
    if (!std::isfinite(number)) {
        rejected_ = text;
        return AnswerFault::outOfRange;
    }
    value = number;
    return AnswerFault::none;
}

} // namespace velmont
