// The template dialogue; see dialogue.h. Each question is printed as one line
// and answered with one number. Answers are only compared, never
// range-checked: a yes/no answer other than 1 means no, and a values answer
// other than 2 keeps the starting values. A dialogue that cannot be finished
// (closed input, an answer that is not a number) stops at once and says which
// question was left without an answer, so no half-answered template is built.
#include "velmont/dialogue.h"

#include "velmont/answer_reader.h"

namespace velmont {
namespace {

// Thrown inside the dialogue when an answer cannot be read.
struct Unanswered {
    std::string message;
};

class Questioner {
  public:
    Questioner(std::istream& in, std::ostream& out) : reader_(in), out_(out) {}

    void say(const char* line) { out_ << line << '\n'; }

    // Prints the question line, then reads a whole-number answer.
    int32_t askChoice(const char* question) {
        say(question);
        return readChoice(question);
    }
    int32_t readChoice(const char* question) {
        out_.flush();
        int32_t answer = 0;
        check(reader_.readChoice(answer), question);
        return answer;
    }
    // "Yes" only for exactly 1.
    bool askYes(const char* question) { return askChoice(question) == 1; }

    // Prints the question line, then reads a value; `section` names the effect
    // for the message, since several effects share their prompts.
    void askValue(const char* section, const char* question, float& value) {
        say(question);
        out_.flush();
        const std::string named = *section ? std::string(section) + ": " + question : question;
        check(reader_.readValue(value), named);
    }

  private:
    void check(AnswerFault fault, const std::string& question) {
        switch (fault) {
        case AnswerFault::none:
            return;
        case AnswerFault::endOfInput:
            throw Unanswered{"input ended before the question \"" + question + "\" was answered"};
        case AnswerFault::notANumber:
            throw Unanswered{"the answer \"" + reader_.rejectedText() + "\" to \"" + question +
                             "\" is not a number"};
        case AnswerFault::outOfRange:
            throw Unanswered{"the answer \"" + reader_.rejectedText() + "\" to \"" + question +
                             "\" is too large"};
        }
    }

    AnswerReader reader_;
    std::ostream& out_;
};

constexpr int32_t kMaxTemplateChannels = 127;

void askEq(Questioner& q, const char* title, const char* freqPrompt, EqValues& v) {
    q.say(title);
    q.askValue(title + 4, freqPrompt, v.freq);
    q.askValue(title + 4, "gain? (dB)", v.gain);
    q.askValue(title + 4, "Q (freq/bandwidth)?", v.q);
}

void askCompressor(Questioner& q, const char* title, CompressorValues& v) {
    q.say(title);
    q.askValue(title + 4, "threshold?", v.thresh);
    q.askValue(title + 4, "attack (msec)?", v.attack);
    q.askValue(title + 4, "release (msec)?", v.release);
    q.askValue(title + 4, "ratio x:1?", v.ratio);
}

// Titles begin with "\n---"; the messages name the section without that.
void askEffectValues(Questioner& q, const EffectFlags& on, EffectValues& v) {
    if (on.hp) {
        const char* title = "\n---EQ: HIGH PASS (LOW CUT) FILTER:";
        q.say(title);
        q.askValue(title + 4, "cut off frequency (Hz)?", v.hpFreq);
    }
    if (on.lshelf) askEq(q, "\n---EQ: LOW SHELF ", "frequency (Hz)?", v.lshelf);
    if (on.band1) askEq(q, "\n---EQ: BAND 1 (BELL)", "center frequency (Hz)?", v.band1);
    if (on.band2) askEq(q, "\n---EQ: BAND 2 (BELL)", "center frequency (Hz)?", v.band2);
    if (on.hshelf) askEq(q, "\n---EQ: HIGH SHELF", "center frequency (Hz)?", v.hshelf);
    if (on.comp) askCompressor(q, "\n---LINEAR COMPRESSOR (PEAK SENSING)", v.comp);
    if (on.rms) askCompressor(q, "\n---LINEAR COMPRESSOR (RMS SENSING)", v.rms);
    if (on.nlc) {
        const char* title = "\n---NON-LINEAR (TRADITIONAL) COMPRESSOR (RMS SENSING)";
        q.say(title);
        q.askValue(title + 4, "threshold?", v.nlc.thresh);
        q.askValue(title + 4, "sample window?", v.nlc.window);
        q.askValue(title + 4, "ratio X:1?", v.nlc.ratio);
    }
    if (on.lim) {
        const char* title = "\n---LIMITER";
        q.say(title);
        q.askValue(title + 4, "threshold?", v.limThresh);
    }
    if (on.rev) {
        const char* title = "\n---RECURSIVE REVERB";
        q.say(title);
        q.askValue(title + 4, "reverb return level?", v.rtn.level);
        q.askValue(title + 4, "room length (ft)", v.rtn.size);
    }
    if (on.trev) {
        const char* title = "\n---DELAY TAP REVERB";
        q.say(title);
        q.askValue(title + 4, "reverb return level?", v.trtn.level);
        q.askValue(title + 4, "room length (ft)", v.trtn.size);
        q.askValue(title + 4, "number of taps", v.trtn.taps);
    }
}

void chooseEffects(Questioner& q, EffectFlags& on) {
    on.hp = q.askYes("Add high pass filter? (1=yes, 2=no)");
    on.band1 = q.askYes("Add parametric EQ band1? (1=yes, 2=no)");
    on.band2 = q.askYes("Add parametric EQ band2? (1=yes, 2=no)");
    on.hshelf = q.askYes("Add high shelf EQ? (1=yes, 2=no)");
    on.lshelf = q.askYes("Add low shelf EQ? (1=yes, 2=no)");
    on.comp = q.askYes("Add linear peak-sensitive compressor? (1=yes, 2=no)");
    on.rms = q.askYes("Add linear rms-sensitive compressor? (1=yes, 2=no)");
    on.nlc = q.askYes("Add non-linear (traditional) compressor? (1=yes, 2=no)");
    on.lim = q.askYes("Add limiter? (1=yes, 2=no)");
    on.rev = q.askYes("Add recursive reverb (traditional)? (1=yes, 2=no)");
    on.trev = q.askYes("Add discrete reverb? (1=yes, 2=no)");
}

void runQuestions(Questioner& q, DialogueOutcome& outcome) {
    TemplateSettings& s = outcome.settings;
    q.say("\n---------------------------------------------------------------");
    q.say("Velmont (v 1.03.1)");
    q.say("\n\nThis program will generate a fader file for Tarvex.");
    q.say("\nCaution: Any existing fader.txt file in this directory will be overwritten!");
    q.say("\nWhich model would you like to use?");
    q.say("1. Group effects and volumes by channel (channel strip style).");
    q.say("2. Organize by data type (example: show all compressors together).");
    q.say("3. Group a channel's effects, but keep volumes together.");
    q.say("4. Exit.");
    s.model = q.readChoice("Which model would you like to use?");
    if (s.model == 4) {
        q.say("Exiting");
        outcome.kind = DialogueOutcome::Kind::exitChosen;
        return;
    }

    s.channelCount = q.askChoice("Number of channels (1-127)?");
    // tarvex mixes at most 127 channels; a larger count would only grow the
    // template without bound (a count of 10^9 asks for gigabytes).
    if (s.channelCount > kMaxTemplateChannels)
        throw Unanswered{"the answer " + std::to_string(s.channelCount) +
                         " to \"Number of channels (1-127)?\" is more than 127 channels"};
    q.askValue("", "What should the default fader value be?", s.faderDefault);

    q.say("-- Effects --:");
    q.say("1. Add all effects");
    q.say("2. Choose which to add");
    q.say("3. Don't add effects");
    s.effectsChoice = q.readChoice("-- Effects --:");
    if (s.effectsChoice == 1) {
        s.valuesChoice = q.askChoice("Use default effect values (1)  or enter new values (2)?");
        s.on = EffectFlags{true, true, true, true, true, true, true, true, true, true, true};
    } else if (s.effectsChoice == 2) {
        chooseEffects(q, s.on);
        s.valuesChoice = q.askChoice("Use default values (1)  or enter new values (2)?");
    } else {
        s.on = EffectFlags{};
    }
    if (s.valuesChoice == 2) askEffectValues(q, s.on, s.values);
    outcome.kind = DialogueOutcome::Kind::answered;
}

} // namespace

DialogueOutcome askTemplateQuestions(std::istream& in, std::ostream& out) {
    DialogueOutcome outcome;
    Questioner questioner(in, out);
    try {
        runQuestions(questioner, outcome);
    } catch (const Unanswered& unanswered) {
        out.flush();
        outcome.kind = DialogueOutcome::Kind::inputFault;
        outcome.fault = unanswered.message;
    }
    return outcome;
}

} // namespace velmont
