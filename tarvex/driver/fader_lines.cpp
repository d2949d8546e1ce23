// Splitting the fader file; see fader_lines.h.
#include "driver/fader_lines.h"

#include <string>
#include <utility>

namespace tarvex {

namespace {

std::string withoutSpaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

} // namespace

FaderLines::FaderLines(std::string_view fileText)
    : FaderLines(frameAfterBegin(dropCarriageReturns(fileText))) {}

FaderLines::FaderLines(FramedText framed)
    : writtenText_(std::move(framed.text)), written_(pointToLines(writtenText_)),
      firstLine_(framed.firstLine), body_(withoutSpaces(writtenText_)),
      fields_(body_, framed.firstLine) {
    for (std::string_view line : pointToLines(body_))
        if (!line.empty()) {
            mixNameLine_ = line;
            break;
        }
}

} // namespace tarvex
