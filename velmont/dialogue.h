// The question-and-answer dialogue that settles a template: layout model,
// channel count, default fader value, effect groups and, on request, the value
// of every effect parameter. Questions go to one stream and answers come from
// another, so the dialogue runs the same on the console and in tests.
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "velmont/template_settings.h"

namespace velmont {

struct DialogueOutcome {
    enum class Kind {
        answered,   // every question was answered; settings are complete
        exitChosen, // the user chose "Exit" at the first question
        inputFault, // the input ended or an answer was not a number
    };
    Kind kind = Kind::answered;
    TemplateSettings settings; // complete only when answered
    std::string fault;         // what went wrong, when inputFault
};

DialogueOutcome askTemplateQuestions(std::istream& in, std::ostream& out);

} // namespace velmont
