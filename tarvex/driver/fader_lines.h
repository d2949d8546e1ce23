// The fader file as read once: the body split into lines, each line as
// written (for the line check and the layout warnings) and as the readers
// take it, every space removed and split into tab-separated fields.
//
// The reader only splits text: it does no I/O, prints nothing, never ends the
// run and knows no setting. The framing is that of every control file: the
// text up to the line holding the first whole word "begin" is skipped (the
// whole text is kept without one), CR LF counts as LF and the token "end"
// closes the body for the readers. Line i of the body is file line
// firstLine() + i.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "driver/text_fields.h"

namespace tarvex {

class FaderLines {
  public:
    explicit FaderLines(std::string_view fileText);
    // The line views point into the value itself: it stays where it was made.
    FaderLines(const FaderLines&) = delete;
    FaderLines& operator=(const FaderLines&) = delete;

    // The body with every space removed, split into fields: what the readers
    // of levels, routing, tempo and effects look their codes up in.
    const KeywordText& fields() const { return fields_; }
    // The body with every space removed, as the fader copy keeps it.
    const std::string& body() const { return body_; }
    // The first line of the body that holds more than spaces, spaces removed:
    // the mix name, unless the preferences give one. "" when there is none.
    std::string_view mixNameLine() const { return mixNameLine_; }

    // The body's lines as written, spaces kept, up to the end of the text.
    std::size_t writtenCount() const { return written_.size(); }
    std::string_view written(std::size_t line) const { return written_[line]; }
    int fileLineOf(std::size_t line) const { return firstLine_ + static_cast<int>(line); }

  private:
    explicit FaderLines(FramedText framed);

    std::string writtenText_;
    std::vector<std::string_view> written_;
    int firstLine_;
    std::string body_;
    KeywordText fields_;
    std::string_view mixNameLine_;
};

} // namespace tarvex
