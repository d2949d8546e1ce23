// Command-line options of velmont. Values are read as the dialogue reads its
// answers, so "--level -6.5" gives the template that typing -6.5 gives.
#include "velmont/program_options.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "velmont/answer_reader.h"

namespace velmont {

namespace {

enum Setting : int32_t { kModel, kChannels, kLevel, kEffects, kValues, kOutput, kForce };

const toolset::OptionRow kOptions[] = {
    toolset::kHelpRow,
    toolset::kVersionRow,
    {'\0', "model", "1|2|3", "layout: 1 channel strips, 2 by data type, 3 effects by channel",
     kModel},
    {'\0', "channels", "N", "number of channels, 1 to 127 (needed)", kChannels},
    {'\0', "level", "DB", "default fader value (default 0)", kLevel},
    {'\0', "effects", "LIST", "effect groups: all, none (the default) or e.g. hp,band1,comp,lim",
     kEffects},
    {'\0', "values", "default", "the starting effect values (the only choice here)", kValues},
    {'o', "output", "FILE", "the template's file (default faders.txt)", kOutput},
    {'\0', "force", nullptr, "replace an existing file", kForce},
};

constexpr int32_t kMaxChannels = 127;

// The effect groups a LIST may name, as the dialogue asks for them.
struct EffectName {
    const char* name;
    bool EffectFlags::*flag;
};
const EffectName kEffectNames[] = {
    {"hp", &EffectFlags::hp},         {"band1", &EffectFlags::band1},
    {"band2", &EffectFlags::band2},   {"hshelf", &EffectFlags::hshelf},
    {"lshelf", &EffectFlags::lshelf}, {"comp", &EffectFlags::comp},
    {"rms", &EffectFlags::rms},       {"nlc", &EffectFlags::nlc},
    {"lim", &EffectFlags::lim},       {"rev", &EffectFlags::rev},
    {"trev", &EffectFlags::trev},
};

// The whole value read as the dialogue reads a choice or a value, with
// nothing before or after the number.
bool startsAtOnce(const std::string& text) {
    return !text.empty() && !std::isspace(static_cast<unsigned char>(text[0]));
}
bool readWhole(const std::string& text, int32_t& choice) {
    std::istringstream in(text);
    return startsAtOnce(text) && AnswerReader(in).readChoice(choice) == AnswerFault::none &&
           in.peek() == EOF;
}
bool readWhole(const std::string& text, float& value) {
    std::istringstream in(text);
    return startsAtOnce(text) && AnswerReader(in).readValue(value) == AnswerFault::none &&
           in.peek() == EOF;
}

bool readEffects(const std::string& text, TemplateSettings& settings) {
    if (text == "all" || text == "none") {
        settings.effectsChoice = text == "all" ? 1 : 3;
        settings.on = text == "all" ? EffectFlags{true, true, true, true, true, true,
                                                  true, true, true, true, true}
                                    : EffectFlags{};
        return true;
    }
    settings.effectsChoice = 2;
    settings.on = EffectFlags{};
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string name = text.substr(start, comma - start);
        const EffectName* found = nullptr;
        for (const EffectName& effect : kEffectNames)
            if (name == effect.name) found = &effect;
        if (found == nullptr) return false;
        settings.on.*(found->flag) = true;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

void refuse(CommandLine& line, const std::string& why) {
    line.reading.action = toolset::OptionReading::Action::usageError;
    line.reading.error = why;
}

void readAnswers(CommandLine& line) {
    TemplateSettings& settings = line.settings;
    settings.model = 1;
    settings.valuesChoice = 1;
    bool haveChannels = false;
    for (const toolset::GivenSetting& given : line.reading.settings) {
        line.answered = true;
        const std::string& value = given.value;
        switch (given.sets) {
        case kModel:
            if (!readWhole(value, settings.model) || settings.model < 1 || settings.model > 3)
                return refuse(line, "--model '" + value + "' is not 1, 2 or 3");
            break;
        case kChannels:
            if (!readWhole(value, settings.channelCount) || settings.channelCount < 1 ||
                settings.channelCount > kMaxChannels)
                return refuse(line, "--channels '" + value + "' is not a number from 1 to 127");
            haveChannels = true;
            break;
        case kLevel:
            if (!readWhole(value, settings.faderDefault))
                return refuse(line, "--level '" + value + "' is not a number");
            break;
        case kEffects:
            if (!readEffects(value, settings))
                return refuse(line, "--effects '" + value +
                                        "' is not all, none or a list of hp, band1, band2, "
                                        "hshelf, lshelf, comp, rms, nlc, lim, rev, trev");
            break;
        case kValues:
            if (value != "default")
                return refuse(line, "--values '" + value +
                                        "': only the starting values can be chosen here; the "
                                        "dialogue asks for others");
            break;
        case kOutput:
            line.output = value;
            break;
        case kForce:
            line.force = true;
            break;
        }
    }
    if (line.answered && !haveChannels)
        refuse(line, "--channels is needed when the answers are given as options");
}

} // namespace

CommandLine parseProgramOptions(const std::vector<std::string>& args) {
    CommandLine line;
    line.reading = toolset::readOptions(kOptions, args);
    if (line.reading.action == toolset::OptionReading::Action::run) readAnswers(line);
    return line;
}

std::string usageText() {
    return "Usage: velmont [options]\n"
           "Asks a few questions and writes a starting faders.txt in the working directory.\n"
           "With answer options (--channels and any of --model, --level, --effects, --values) "
           "nothing is asked.\n\n"
           "Options:\n" +
           toolset::optionHelpLines(kOptions) + "  --                  end of the options\n" +
           "\nExample:\n"
           "  velmont --model 3 --channels 8 --level -6 --effects hp,comp,lim -o song.txt\n";
}

std::string versionText() {
    return "velmont 1.03.1\n"; // as the dialogue's banner says
}

} // namespace velmont
