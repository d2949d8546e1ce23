// The SVG page of a mix: level lanes from the automation, the output's
// envelope and its overs.
#include "engine/plot_svg.h"

#include "core/text_format.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

#include "automation/level_automation.h"
#include "core/scales.h"
#include "engine/mix_views.h"

namespace tarvex {

namespace {

// Page layout, in SVG user units (pixels).
constexpr double kLeft = 170.0;       // room for the lane names
constexpr double kPlotWidth = 1200.0; // the render window
constexpr double kRight = 30.0;
constexpr double kTop = 64.0; // title and time axis
constexpr double kLaneHeight = 70.0;
constexpr double kEnvelopeHeight = 90.0;
constexpr double kGap = 14.0;
// Level scale of a lane: +12 dB at the top, -60 dB (and below) at the bottom.
constexpr double kTopdB = 12.0;
constexpr double kBottomdB = -60.0;
// Labels of one lane closer than this are left out (the marks stay).
constexpr double kLabelRoom = 34.0;
// Most labels on the time axis.
constexpr int64_t kMaxAxisLabels = 12;

std::string escaped(const std::string& raw) {
    std::string out;
    for (const char c : raw) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Control bytes are not allowed in XML text.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

bool slotAutomated(const AutomationScript& script, int slot) {
    if (slot == kMasterSlot) return script.slots.masterLevel != 0;
    if (slot > kMaxChannels) return script.slots.groupLevel[static_cast<std::size_t>(slot)] != 0;
    return true;
}

// The VCA whose gain multiplies a slot, 0 for none.
int vcaOf(const AutomationScript& script, int slot) {
    const int vca = script.routing.vcaAssign[static_cast<std::size_t>(slot)];
    return vca > 0 && vca < kVcaSlots && script.routing.vcaFlags[static_cast<std::size_t>(vca)] != 0
               ? vca
               : 0;
}

void addEntryPoints(const EntryTable& t, int slot, const PlayedEntries& played, int64_t start,
                    int64_t end, std::vector<int64_t>& at) {
    for (int32_t e = 0; e < played.end; ++e) {
        const int64_t time = t.times[t.at(e, slot)];
        const int64_t ramp = std::max<int64_t>(1, t.ramps[t.at(e, slot)]);
        const int64_t steps = std::min<int64_t>(ramp, kPointsPerRamp);
        for (int64_t j = 0; j <= steps; ++j) {
            const int64_t p = time + ramp * j / steps;
            if (p >= start && p <= end) at.push_back(p);
        }
    }
}

struct Page {
    const MixSettings& cfg;
    int64_t start;
    int64_t length;
    std::string svg;

    double x(int64_t position) const {
        if (length <= 0) return kLeft;
        return kLeft +
               static_cast<double>(position - start) * kPlotWidth / static_cast<double>(length);
    }
};

double yOf(double dB, double top) {
    const double d = std::clamp(dB, kBottomdB, kTopdB);
    return top + (kTopdB - d) / (kTopdB - kBottomdB) * kLaneHeight;
}

// Positions and labels of the time axis.
void timeAxis(Page& pg, double bottom) {
    const MixSettings& cfg = pg.cfg;
    const int64_t end = pg.start + pg.length;
    std::vector<std::pair<int64_t, std::string>> marks;
    const std::vector<TempoSection>& map = cfg.automation.tempoMap;
    if (cfg.prefs.tempoMode && !map.empty()) {
        std::vector<std::pair<int64_t, int64_t>> bars; // position, bar number
        double sectionStart = static_cast<double>(cfg.prefs.automationOffset);
        int64_t bar = 1;
        for (std::size_t k = 0; sectionStart <= static_cast<double>(end); ++k) {
            const TempoSection& sec = map[std::min(k, map.size() - 1)];
            const double barLength = sec.samplesPerBeat * sec.beatsPerBar;
            if (barLength <= 0.0) break;
            const int64_t count = k < map.size() ? sec.bars : std::numeric_limits<int64_t>::max();
            for (int64_t b = 0; b < count; ++b, ++bar) {
                const double p = sectionStart + static_cast<double>(b) * barLength;
                if (p > static_cast<double>(end)) break;
                if (p >= static_cast<double>(pg.start))
                    bars.emplace_back(static_cast<int64_t>(p), bar);
            }
            if (k >= map.size()) break;
            sectionStart += static_cast<double>(sec.length);
        }
        int64_t every = 1;
        while (static_cast<int64_t>(bars.size()) / every > kMaxAxisLabels * 2)
            every *= 2;
        for (const auto& [p, n] : bars)
            if ((n - 1) % every == 0) marks.emplace_back(p, "bar " + std::to_string(n));
    } else {
        const uint32_t rate = cfg.tracks.sampleRate == 0 ? 1 : cfg.tracks.sampleRate;
        static constexpr int64_t kSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1200, 1800};
        int64_t step = 3600;
        for (const int64_t s : kSteps)
            if (pg.length / rate / s <= kMaxAxisLabels) {
                step = s;
                break;
            }
        const int64_t stepFrames = step * rate;
        for (int64_t p = (pg.start + stepFrames - 1) / stepFrames * stepFrames; p <= end;
             p += stepFrames) {
            const int64_t seconds = p / rate;
            char label[32];
            std::snprintf(label, sizeof label, "%" PRId64 ":%02" PRId64, seconds / 60,
                          seconds % 60);
            marks.emplace_back(p, label);
        }
    }
    for (const auto& [p, label] : marks) {
        const double x = pg.x(p);
        appendf(pg.svg,
                "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#d8d8d8\"/>\n"
                "<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"middle\">%s</text>\n",
                x, kTop - 4.0, x, bottom, x, kTop - 8.0, escaped(label).c_str());
    }
}

void levelLane(Page& pg, int slot, const std::string& name, double top) {
    const AutomationScript& au = pg.cfg.automation;
    const int64_t end = pg.start + pg.length;
    std::string& svg = pg.svg;
    appendf(svg,
            "<g class=\"lane\" data-slot=\"%d\">\n"
            "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#f6f7f9\"/>\n"
            "<text x=\"8\" y=\"%.1f\" font-size=\"12\" font-weight=\"bold\">%s</text>\n",
            slot, kLeft, top, kPlotWidth, kLaneHeight, top + 16.0, escaped(name).c_str());
    for (const double dB : {0.0, -20.0, -40.0}) {
        const double y = yOf(dB, top);
        appendf(svg,
                "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\"/>\n"
                "<text x=\"%.1f\" y=\"%.1f\" font-size=\"9\" text-anchor=\"end\" "
                "fill=\"#777\">%.0f dB</text>\n",
                kLeft, y, kLeft + kPlotWidth, y, dB == 0.0 ? "#b8b8b8" : "#e2e2e2", kLeft - 4.0,
                y + 3.0, dB);
    }
    // Cue marks with their levels, where the render plays them: the slot's
    // own, then its VCA's.
    double lastLabel = -1e9;
    auto cueMarks = [&](const EntryTable& t, int s, int64_t from, const char* prefix,
                        const char* colour) {
        for (int32_t e = 0; e < playedEntries(t, s, from).end; ++e) {
            const int64_t time = t.times[t.at(e, s)];
            if (time < pg.start || time > end) continue;
            const double x = pg.x(time);
            appendf(svg,
                    "<line class=\"cue\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
                    "stroke=\"%s\" stroke-dasharray=\"3,3\"/>\n",
                    x, top, x, top + kLaneHeight, colour);
            if (x - lastLabel < kLabelRoom) continue;
            lastLabel = x;
            appendf(svg,
                    "<text class=\"cue-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"9\" "
                    "fill=\"%s\">%s%.1f</text>\n",
                    x + 2.0, top + kLaneHeight - 3.0, colour, prefix,
                    levelTodB(t.levels[t.at(e, s)]) + 0.0); // unity reads 0.0
        }
    };
    const int64_t from = playFromOf(pg.cfg, slot);
    if (slotAutomated(au, slot)) {
        cueMarks(au.volume, slot, from, "", "#4a5a9a");
        const int vca = vcaOf(au, slot);
        if (vca != 0) {
            const std::string prefix = "VCA" + std::to_string(vca) + " ";
            cueMarks(au.vca, vca, pg.start, prefix.c_str(), "#a8660a");
        }
    }
    const std::vector<LevelPoint> curve = levelCurve(au, slot, pg.start, end, from);
    svg += "<polyline class=\"level\" fill=\"none\" stroke=\"#1565c0\" stroke-width=\"1.5\" "
           "points=\"";
    double lastX = -1.0, lastY = -1.0;
    for (const LevelPoint& p : curve) {
        const double x = std::round(pg.x(p.position) * 10.0) / 10.0;
        const double y = std::round(yOf(p.dB, top) * 10.0) / 10.0;
        if (x == lastX && y == lastY) continue;
        appendf(svg, "%.1f,%.1f ", x, y);
        lastX = x;
        lastY = y;
    }
    svg += "\"/>\n</g>\n";
}

void envelopeLane(Page& pg, const PeakEnvelope& env, int32_t side, const std::string& name,
                  double top, double fullScale) {
    std::string& svg = pg.svg;
    const double mid = top + kEnvelopeHeight / 2.0;
    const double half = kEnvelopeHeight / 2.0;
    const std::size_t base = static_cast<std::size_t>(side) * PeakEnvelope::kColumns;
    int32_t overColumns = 0;
    for (int32_t c = 0; c < PeakEnvelope::kColumns; ++c)
        overColumns += env.over[base + static_cast<std::size_t>(c)];
    appendf(svg,
            "<g class=\"envelope\" data-side=\"%d\">\n"
            "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#f6f7f9\"/>\n"
            "<text x=\"8\" y=\"%.1f\" font-size=\"12\" font-weight=\"bold\">%s</text>\n"
            "<text x=\"8\" y=\"%.1f\" font-size=\"10\" fill=\"%s\">%s</text>\n"
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#b8b8b8\"/>\n",
            side, kLeft, top, kPlotWidth, kEnvelopeHeight, top + 16.0, escaped(name).c_str(),
            top + 30.0, overColumns > 0 ? "#d00000" : "#777",
            overColumns > 0 ? "overs in red" : "no overs", kLeft, mid, kLeft + kPlotWidth, mid);
    const double columnWidth = kPlotWidth / PeakEnvelope::kColumns;
    auto columnX = [&](int32_t c) { return kLeft + (c + 0.5) * columnWidth; };
    auto valueOf = [&](int32_t c, bool upper) {
        const std::size_t i = base + static_cast<std::size_t>(c);
        if (env.high[i] < env.low[i]) return 0.0; // no sample in this column
        const double v = upper ? env.high[i] : env.low[i];
        return std::clamp(v / fullScale, -1.0, 1.0);
    };
    svg += "<path class=\"peaks\" fill=\"#78909c\" stroke=\"none\" d=\"M";
    for (int32_t c = 0; c < PeakEnvelope::kColumns; ++c)
        appendf(svg, " %.1f,%.1f", columnX(c), mid - std::max(0.0, valueOf(c, true)) * half);
    for (int32_t c = PeakEnvelope::kColumns - 1; c >= 0; --c)
        appendf(svg, " %.1f,%.1f", columnX(c), mid - std::min(0.0, valueOf(c, false)) * half);
    svg += " Z\"/>\n";
    for (int32_t c = 0; c < PeakEnvelope::kColumns; ++c) {
        if (env.over[base + static_cast<std::size_t>(c)] == 0) continue;
        appendf(svg,
                "<line class=\"over\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
                "stroke=\"#d00000\" stroke-width=\"1.5\"/>\n",
                columnX(c), top, columnX(c), top + kEnvelopeHeight);
    }
    svg += "</g>\n";
}

} // namespace

std::vector<LevelPoint> levelCurve(const AutomationScript& script, int slot, int64_t start,
                                   int64_t end, int64_t playFrom) {
    const bool automated = slotAutomated(script, slot);
    const int vca = automated ? vcaOf(script, slot) : 0;
    const PlayedEntries played = playedEntries(script.volume, slot, playFrom);
    const PlayedEntries vcaPlayed = playedEntries(script.vca, vca, start);
    std::vector<int64_t> at{start, end};
    if (automated) addEntryPoints(script.volume, slot, played, start, end, at);
    if (vca != 0) addEntryPoints(script.vca, vca, vcaPlayed, start, end, at);
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());

    std::vector<LevelPoint> curve;
    curve.reserve(at.size());
    for (const int64_t p : at) {
        double dB = 0.0;
        // Before a late channel starts, the level its seek would find there.
        if (automated)
            dB = levelTodB(
                playedLevelAt(script.volume, slot,
                              p < playFrom ? playedEntries(script.volume, slot, p) : played, p));
        if (vca != 0) dB += levelTodB(playedLevelAt(script.vca, vca, vcaPlayed, p));
        curve.push_back({p, dB});
    }
    return curve;
}

std::string plotSvg(const MixSettings& cfg, const MixState& st) {
    Page pg{cfg, cfg.prefs.renderStart, cfg.prefs.renderLength, {}};
    struct Lane {
        int slot;
        std::string name;
    };
    std::vector<Lane> lanes;
    for (int c = 1; c <= cfg.tracks.channelCount; ++c) {
        if (st.trackListOn[static_cast<std::size_t>(c)] == 0) continue;
        const std::string& file = cfg.tracks.trackNames[static_cast<std::size_t>(c) - 1];
        lanes.push_back({c, "Ch " + std::to_string(c) + " " + file.substr(0, file.find('.'))});
    }
    for (int k = 1; k <= kSubmixCount; ++k)
        if (cfg.routing.busFlags[static_cast<std::size_t>(k)] != 0)
            lanes.push_back({groupSlot(k), "Sub " + std::to_string(k)});
    lanes.push_back({kMasterSlot, "Master"});
    const PeakEnvelope& env = st.views.envelope;
    const int32_t sides = cfg.output.outChannels == 2 ? 2 : 1;
    const double lanesBottom = kTop + static_cast<double>(lanes.size()) * (kLaneHeight + kGap);
    const double bottom = lanesBottom + sides * (kEnvelopeHeight + kGap);
    const double width = kLeft + kPlotWidth + kRight;
    const double height = bottom + 30.0;

    std::string& svg = pg.svg;
    appendf(svg,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
            "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\">\n"
            "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
            "<text x=\"8\" y=\"22\" font-size=\"15\" font-weight=\"bold\">%s</text>\n"
            "<text x=\"%.1f\" y=\"22\" font-size=\"11\" fill=\"#555\">levels as the automation "
            "computes them (+12 to -60 dB), cues with their dB; output peaks below</text>\n",
            width, height, width, height, escaped(cfg.fader.mixName).c_str(), kLeft);
    timeAxis(pg, bottom - kGap);
    double top = kTop;
    for (const Lane& lane : lanes) {
        levelLane(pg, lane.slot, lane.name, top);
        top += kLaneHeight + kGap;
    }
    const double fullScale = outputFullScale(cfg.output.outBits);
    if (sides == 2) {
        envelopeLane(pg, env, 0, "Out L", top, fullScale);
        envelopeLane(pg, env, 1, "Out R", top + kEnvelopeHeight + kGap, fullScale);
    } else {
        envelopeLane(pg, env, 0, "Out", top, fullScale);
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace tarvex
