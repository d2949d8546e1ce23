// Template text builder. Each fader-file line kind has one writer that formats
// it and appends it to the text; the column headers and section titles that
// precede a group of value lines have their own writers. Every effect line
// except the two reverb sends starts with a parenthesis, which keeps it inert
// in the mixer until the user removes it. The shelf lines carry no closing
// parenthesis and band 2 prints its frequency with one decimal: mix scripts
// written from earlier templates look that way, so the template keeps it.
#include "velmont/template_text.h"

#include <array>

#include "common/text_format.h"

namespace velmont {
namespace {

using toolset::appendf;

double d(float value) {
    return static_cast<double>(value);
}
int ch(int32_t channel) {
    return static_cast<int>(channel);
}

// Value lines.
void wrtHshelf(std::string& t, int32_t c, const EqValues& v) {
    appendf(t, "(hshelf\t%i\t%.0f\t%.1f\t%.1f\n", ch(c), d(v.freq), d(v.gain), d(v.q));
}
void wrtLshelf(std::string& t, int32_t c, const EqValues& v) {
    appendf(t, "(lshelf\t%i\t%.0f\t%.1f\t%.1f\n", ch(c), d(v.freq), d(v.gain), d(v.q));
}
void wrtBand1(std::string& t, int32_t c, const EqValues& v) {
    appendf(t, "(band1)\t%i\t%.0f\t%.1f\t%.1f\n", ch(c), d(v.freq), d(v.gain), d(v.q));
}
void wrtBand2(std::string& t, int32_t c, const EqValues& v) {
    appendf(t, "(band2)\t%i\t%.1f\t%.1f\t%.1f\n", ch(c), d(v.freq), d(v.gain), d(v.q));
}
void wrtHp(std::string& t, int32_t c, float freq) {
    appendf(t, "(hp)\t%i\t%.0f\n", ch(c), d(freq));
}
void wrtLim(std::string& t, int32_t c, float thresh) {
    appendf(t, "(lim)\t%i\t%.1f\n", ch(c), d(thresh));
}
void wrtNlc(std::string& t, int32_t c, const NlcValues& v) {
    appendf(t, "(nlc)\t%i\t%.0f\t%.0f\t%.1f\n", ch(c), d(v.thresh), d(v.window), d(v.ratio));
}
void wrtComp(std::string& t, int32_t c, const CompressorValues& v) {
    appendf(t, "(comp)\t%i\t%.1f\t%.0f\t%.0f\t%.1f\n", ch(c), d(v.thresh), d(v.attack),
            d(v.release), d(v.ratio));
}
void wrtRms(std::string& t, int32_t c, const CompressorValues& v) {
    appendf(t, "(rms)\t%i\t%.1f\t%.0f\t%.0f\t%.1f\n", ch(c), d(v.thresh), d(v.attack), d(v.release),
            d(v.ratio));
}
void wrtRev(std::string& t, int32_t c, float level) {
    appendf(t, "rev\t%i\t%.1f\n", ch(c), d(level));
}
void wrtTrev(std::string& t, int32_t c, float level) {
    appendf(t, "trev\t%i\t%.1f\n", ch(c), d(level));
}
void wrtRtn(std::string& t, const ReturnValues& v) {
    appendf(t, "(rtn)\t%.1f\t%.0f\n", d(v.level), d(v.size));
}
void wrtTrtn(std::string& t, const TapReturnValues& v) {
    appendf(t, "(trtn)\t%.1f\t%.0f\t%.0f\n", d(v.level), d(v.size), d(v.taps));
}
void wrtPan(std::string& t, int32_t c, float pan) {
    appendf(t, "p\t%i\t%.0f\n", ch(c), d(pan));
}
void wrtVol(std::string& t, int32_t c, float level) {
    appendf(t, "v\t%i\t%.1f\n", ch(c), d(level));
}
void wrtTime(std::string& t) {
    t += "t\t0\t0\t0\n";
}

// Column headers. "thesh" in the RMS header is how existing mix scripts spell it.
void wrtTxtHshelf(std::string& t) {
    t += "code\tchan\tfreq\tgain\tQ\n";
}
void wrtTxtLshelf(std::string& t) {
    t += "code\tchan\tfreq\tgain\tQ\n";
}
void wrtTxtBand1(std::string& t) {
    t += "code\tchan\tfreq\tgain\tQ\n";
}
void wrtTxtBand2(std::string& t) {
    t += "code\tchan\tfreq\tgain\tQ\n";
}
void wrtTxtHp(std::string& t) {
    t += "code\tchan\tfreq\n";
}
void wrtTxtLim(std::string& t) {
    t += "code\tchan\tthresh\n";
}
void wrtTxtNlc(std::string& t) {
    t += "code\tchan\tthresh\twindow\tratio\n";
}
void wrtTxtComp(std::string& t) {
    t += "code\tchan\tthresh\tatt\trel\tratio\n";
}
void wrtTxtRms(std::string& t) {
    t += "code\tchan\tthesh\tatt\trel\tratio\n";
}
void wrtTxtRev(std::string& t) {
    t += "code\tchan\tlevel\n";
}
void wrtTxtTrev(std::string& t) {
    t += "code\tchan\tlevel\n";
}
void wrtTxtRtn(std::string& t) {
    t += "code\tlevel\tsize\n";
}
void wrtTxtTrtn(std::string& t) {
    t += "code\tlevel\tsize\ttaps\n";
}
void wrtTxtPan(std::string& t) {
    appendf(t, "code\tchan\t%%\n");
}
void wrtTxtTime(std::string& t) {
    t += "code\tmin\tsec\tmsec\n";
}

// The per-channel effect kinds, in the order they appear within a channel and
// across groups.
enum class StripEffect { hshelf, band1, band2, lshelf, hp, nlc, rms, comp, lim, rev, trev };

constexpr std::array<StripEffect, 11> kStripOrder = {
    StripEffect::hshelf, StripEffect::band1, StripEffect::band2, StripEffect::lshelf,
    StripEffect::hp,     StripEffect::nlc,   StripEffect::rms,   StripEffect::comp,
    StripEffect::lim,    StripEffect::rev,   StripEffect::trev};

bool isOn(const EffectFlags& on, StripEffect kind) {
    switch (kind) {
    case StripEffect::hshelf:
        return on.hshelf;
    case StripEffect::band1:
        return on.band1;
    case StripEffect::band2:
        return on.band2;
    case StripEffect::lshelf:
        return on.lshelf;
    case StripEffect::hp:
        return on.hp;
    case StripEffect::nlc:
        return on.nlc;
    case StripEffect::rms:
        return on.rms;
    case StripEffect::comp:
        return on.comp;
    case StripEffect::lim:
        return on.lim;
    case StripEffect::rev:
        return on.rev;
    case StripEffect::trev:
        return on.trev;
    }
    return false;
}

// Section title and column header of one effect group.
void writeGroupHead(std::string& t, StripEffect kind) {
    switch (kind) {
    case StripEffect::hshelf:
        t += "\nHigh Shelf\n";
        wrtTxtHshelf(t);
        break;
    case StripEffect::band1:
        t += "\nEQ Band 1\n";
        wrtTxtBand1(t);
        break;
    case StripEffect::band2:
        t += "\nEQ Band 2\n";
        wrtTxtBand2(t);
        break;
    case StripEffect::lshelf:
        t += "\nLow Shelf\n";
        wrtTxtLshelf(t);
        break;
    case StripEffect::hp:
        t += "\nHigh Pass Filter\n";
        wrtTxtHp(t);
        break;
    case StripEffect::nlc:
        t += "\nNon-Linear Compressor\n";
        wrtTxtNlc(t);
        break;
    case StripEffect::rms:
        t += "\nLinear RMS Compressor\n";
        wrtTxtRms(t);
        break;
    case StripEffect::comp:
        t += "\nLinear Peak Compressor\n";
        wrtTxtComp(t);
        break;
    case StripEffect::lim:
        t += "\nLimiter\n";
        wrtTxtLim(t);
        break;
    case StripEffect::rev:
        t += "\nReverb Send\n";
        wrtTxtRev(t);
        break;
    case StripEffect::trev:
        t += "\nDiscrete Reverb Send\n";
        wrtTxtTrev(t);
        break;
    }
}

// One value line of an effect group for one channel.
void writeStripLine(std::string& t, StripEffect kind, int32_t c, const EffectValues& v) {
    switch (kind) {
    case StripEffect::hshelf:
        wrtHshelf(t, c, v.hshelf);
        break;
    case StripEffect::band1:
        wrtBand1(t, c, v.band1);
        break;
    case StripEffect::band2:
        wrtBand2(t, c, v.band2);
        break;
    case StripEffect::lshelf:
        wrtLshelf(t, c, v.lshelf);
        break;
    case StripEffect::hp:
        wrtHp(t, c, v.hpFreq);
        break;
    case StripEffect::nlc:
        wrtNlc(t, c, v.nlc);
        break;
    case StripEffect::rms:
        wrtRms(t, c, v.rms);
        break;
    case StripEffect::comp:
        wrtComp(t, c, v.comp);
        break;
    case StripEffect::lim:
        wrtLim(t, c, v.limThresh);
        break;
    case StripEffect::rev:
        wrtRev(t, c, kSendLevel);
        break;
    case StripEffect::trev:
        wrtTrev(t, c, kSendLevel);
        break;
    }
}

// Every enabled effect group of one channel, one value line each.
void writeChannelEffects(std::string& t, int32_t channel, const TemplateSettings& s) {
    for (StripEffect kind : kStripOrder) {
        if (!isOn(s.on, kind)) continue;
        writeGroupHead(t, kind);
        writeStripLine(t, kind, channel, s.values);
    }
}

// Pan and cue sections with all channels together (models 2 and 3).
void writePanAndCues(std::string& t, const TemplateSettings& s) {
    t += "\nPan\n";
    wrtTxtPan(t);
    for (int32_t n = 1; n <= s.channelCount; ++n)
        wrtPan(t, n, 0);
    t += "\nCue Times and Fader Levels\n";
    wrtTxtTime(t);
    wrtTime(t);
    for (int32_t n = 1; n <= s.channelCount; ++n)
        wrtVol(t, n, s.faderDefault);
}

// Model 1: each channel carries its effects, pan, cue time and level.
void writeChannelStrips(std::string& t, const TemplateSettings& s) {
    for (int32_t n = 1; n <= s.channelCount; ++n) {
        appendf(t, "\n-- Channel %i --\n", ch(n));
        writeChannelEffects(t, n, s);
        t += "\nPan\n";
        wrtTxtPan(t);
        wrtPan(t, n, 0);
        t += "\nCue Times and Fader Levels\n";
        wrtTxtTime(t);
        wrtTime(t);
        wrtVol(t, n, s.faderDefault);
        t += "\n";
    }
}

// Model 2: one group per effect kind running over all channels.
void writeByDataType(std::string& t, const TemplateSettings& s) {
    for (StripEffect kind : kStripOrder) {
        if (!isOn(s.on, kind)) continue;
        writeGroupHead(t, kind);
        for (int32_t n = 1; n <= s.channelCount; ++n)
            writeStripLine(t, kind, n, s.values);
    }
    writePanAndCues(t, s);
}

// Model 3: effects by channel, then pan and levels of all channels together.
void writeEffectsByChannel(std::string& t, const TemplateSettings& s) {
    for (int32_t n = 1; n <= s.channelCount; ++n) {
        if (s.effectsChoice != 3) appendf(t, "\n--Channel %i --\n", ch(n));
        writeChannelEffects(t, n, s);
    }
    t += "\n--------------------------\n";
    writePanAndCues(t, s);
}

} // namespace

std::string buildTemplateText(const TemplateSettings& settings) {
    std::string text = "MixFilename\n";
    switch (settings.model) {
    case 1:
        writeChannelStrips(text, settings);
        break;
    case 2:
        writeByDataType(text, settings);
        break;
    case 3:
        writeEffectsByChannel(text, settings);
        break;
    default:
        break;
    }
    if (settings.on.rev) {
        text += "\nRecursive Reverb Return\n";
        wrtTxtRtn(text);
        wrtRtn(text, settings.values.rtn);
    }
    if (settings.on.trev) {
        text += "\nDiscrete Reverb Return\n";
        wrtTxtTrtn(text);
        wrtTrtn(text, settings.values.trtn);
    }
    text += "\nend\n";
    return text;
}

} // namespace velmont
