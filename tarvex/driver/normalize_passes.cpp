// The passes of --normalize and the master trim they write; see
// normalize_passes.h.
#include "driver/normalize_passes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "automation/level_tables.h"
#include "core/console.h"
#include "core/text_format.h"
#include "driver/fader_file.h"
#include "driver/fader_lines.h"
#include "driver/stop_signals.h"
#include "driver/text_fields.h"

namespace tarvex {

namespace {

constexpr int kMaxPasses = 4;
// How far from the target a pass may land and be the last one, LU.
constexpr double kTolerance = 0.1;

// The last `mtrim` of the text that counts, as the level reader takes it.
std::optional<KeywordHit> countingTrim(const FaderLines& fader) {
    const KeywordText& text = fader.fields();
    std::optional<KeywordHit> last;
    for (const KeywordHit& hit : text.find("mtrim"))
        if (text.valueCount(hit) > 0 && !(parseDouble(text.value(hit, 0)) > kMasterTrimLimit))
            last = hit;
    return last;
}

// A trim as the fader file holds it: two decimals, never "-0.00".
std::string trimText(double dB) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", std::round(dB * 100.0) / 100.0 + 0.0);
    return text;
}

// The body line holding the token "end", if any.
std::optional<std::size_t> endLineOf(const FaderLines& fader) {
    for (std::size_t i = 0; i < fader.writtenCount(); ++i) {
        std::string line(fader.written(i));
        std::erase(line, ' ');
        for (std::size_t start = 0; start <= line.size();) {
            const std::size_t tab = std::min(line.find('\t', start), line.size());
            if (std::string_view(line).substr(start, tab - start) == "end") return i;
            start = tab + 1;
        }
    }
    return std::nullopt;
}

// The first body line that holds more than spaces: the one naming the mix.
std::optional<std::size_t> nameLineOf(const FaderLines& fader) {
    for (std::size_t i = 0; i < fader.writtenCount(); ++i)
        if (fader.written(i).find_first_not_of(' ') != std::string_view::npos) return i;
    return std::nullopt;
}

// How far the trim may still rise, dB, before one of the channel level
// entries it scales passes the highest level the reader accepts (about
// +12 dB; a louder entry is silenced). Held 0.005 dB short of it.
double trimRoomOf(const MixSession& s) {
    const EntryTable& t = s.settings.automation.volume;
    int64_t loudest = 0;
    for (int slot = 1; slot <= kMaxChannels; ++slot)
        for (int32_t n = 0; n < t.count[static_cast<std::size_t>(slot)]; ++n)
            loudest = std::max(loudest, std::abs(static_cast<int64_t>(t.levels[t.at(n, slot)])));
    if (loudest == 0) return kMasterTrimLimit * 4.0;
    return 20.0 * std::log10(static_cast<double>(kMaxLevel) / static_cast<double>(loudest)) - 0.005;
}

} // namespace

double masterTrimOf(std::string_view faderFileText) {
    const FaderLines fader(faderFileText);
    const std::optional<KeywordHit> hit = countingTrim(fader);
    return hit ? parseDouble(fader.fields().value(*hit, 0)) : 0.0;
}

std::optional<std::string> withMasterTrim(std::string_view faderFileText, double dB) {
    const FaderLines fader(faderFileText);
    const std::string value = trimText(dB);
    std::string out(faderFileText);
    const std::vector<std::string_view> lines = pointToLines(faderFileText);
    // Offset in the text of the file line of a body line, and that line
    // without the carriage return the reader drops.
    const auto lineOf = [&](std::size_t bodyLine, std::size_t& offset) {
        const auto index = static_cast<std::size_t>(fader.fileLineOf(bodyLine) - 1);
        std::string_view line = lines[index];
        offset = static_cast<std::size_t>(line.data() - faderFileText.data());
        if (!line.empty() && line.back() == '\r' && index + 1 < lines.size()) line.remove_suffix(1);
        return line;
    };

    if (const std::optional<KeywordHit> hit = countingTrim(fader)) {
        std::size_t offset = 0;
        const std::string_view line = lineOf(hit->line, offset);
        // The reader's fields are the tab-separated parts that hold more than
        // spaces (a byte-order mark before the first line is not one).
        std::size_t start = offset == 0 && line.starts_with("\xEF\xBB\xBF") ? 3 : 0;
        for (std::size_t field = 0; start <= line.size();) {
            const std::size_t tab = std::min(line.find('\t', start), line.size());
            const std::string_view part = line.substr(start, tab - start);
            const std::size_t first = part.find_first_not_of(' ');
            if (first != std::string_view::npos && field++ == hit->field + 1) {
                const std::size_t last = part.find_last_not_of(' ');
                out.replace(offset + start + first, last + 1 - first, value);
                return out;
            }
            start = tab + 1;
        }
        return std::nullopt; // not reached: the reader found the value on this line
    }
    const std::optional<std::size_t> end = endLineOf(fader);
    if (!end) {
        if (!out.empty() && out.back() != '\n') out += '\n';
        return out + "mtrim\t" + value + "\n";
    }
    if (*end == nameLineOf(fader)) return std::nullopt;
    std::size_t offset = 0;
    const std::string_view line = lineOf(*end, offset);
    const bool crlf =
        line.size() < lines[static_cast<std::size_t>(fader.fileLineOf(*end) - 1)].size();
    out.insert(offset, "mtrim\t" + value + (crlf ? "\r\n" : "\n"));
    return out;
}

// The console of a pass after the first: standard output and standard error
// go to temporary files for the length of the pass, and come back when it
// ends; what the pass said is shown only when it failed. The streams are
// flushed before each switch, so nothing buffered changes sides.
class NormalizePasses::QuietConsole {
  public:
    QuietConsole() {
        std::fflush(stdout);
        std::fflush(stderr);
        for (int k = 0; k < 2; ++k) {
            kept_[k] = std::tmpfile();
            saved_[k] = kept_[k] != nullptr ? ::dup(kStreams[k]) : -1;
            if (saved_[k] >= 0 && ::dup2(::fileno(kept_[k]), kStreams[k]) < 0) {
                ::close(saved_[k]);
                saved_[k] = -1;
            }
        }
    }
    ~QuietConsole() { restore(false); }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

    // Puts the streams back; with `show`, writes what the pass said to them.
    void restore(bool show) {
        std::fflush(stdout);
        std::fflush(stderr);
        for (int k = 0; k < 2; ++k) {
            if (saved_[k] >= 0) {
                ::dup2(saved_[k], kStreams[k]);
                ::close(saved_[k]);
                saved_[k] = -1;
            }
            if (kept_[k] == nullptr) continue;
            if (show) {
                std::rewind(kept_[k]);
                char buffer[4096];
                std::size_t n = 0;
                std::FILE* to = k == 0 ? stdout : stderr;
                while ((n = std::fread(buffer, 1, sizeof buffer, kept_[k])) > 0)
                    std::fwrite(buffer, 1, n, to);
                std::fflush(to);
            }
            std::fclose(kept_[k]);
            kept_[k] = nullptr;
        }
    }

  private:
    static constexpr int kStreams[2] = {STDOUT_FILENO, STDERR_FILENO};
    std::FILE* kept_[2] = {nullptr, nullptr}; // what the pass wrote to each stream
    int saved_[2] = {-1, -1};                 // the streams as they were
};

NormalizePasses::NormalizePasses(const RunOptions& options)
    : target_(options.normalizeTarget), ceiling_(options.ceiling) {}

NormalizePasses::~NormalizePasses() = default;

void NormalizePasses::run(const std::function<void()>& renderPass) {
    for (pass_ = 1; !last_ && pass_ <= kMaxPasses; ++pass_) {
        if (pass_ > 1) quiet_ = std::make_unique<QuietConsole>();
        try {
            renderPass();
        } catch (const SignalStop&) {
            quiet_.reset();
            throw;
        } catch (...) {
            if (quiet_) quiet_->restore(true);
            quiet_.reset();
            throw;
        }
        quiet_.reset();
        if (last_) break;
    }
}

std::string NormalizePasses::faderText(const MixSession& s, std::FILE* input) {
    if (pass_ > 1) return *withMasterTrim(fileText_, trim_);
    fileText_ = readFaderFile(s, input);
    trim_ = masterTrimOf(fileText_);
    return fileText_;
}

bool NormalizePasses::finishPass(MixSession& s) {
    quiet_.reset();
    const LoudnessResult& r = s.state.views.loudnessResult;
    const double heard = r.integrated;
    heard_.push_back(heard);
    const int32_t verbosity = s.settings.prefs.verbosity;
    if (verbosity >= 2) warn("Normalize pass %d: %.2f LUFS, mtrim %+.2f dB\n", pass_, heard, trim_);

    const bool measured = std::isfinite(heard);
    last_ = !measured || std::fabs(heard - target_) <= kTolerance || pass_ == kMaxPasses;
    if (!last_) {
        double next = trim_ + (target_ - heard);
        const double limit =
            std::min(kMasterTrimLimit, std::floor((trim_ + trimRoomOf(s)) * 100.0) / 100.0);
        const bool held = next > limit;
        if (held) next = limit;
        // A trim the text cannot take, or one that would render this mix
        // again, ends the passes here.
        if (!withMasterTrim(fileText_, next) || trimText(next) == trimText(trim_)) {
            last_ = true;
            held_ = held_ || held;
        } else {
            trim_ = parseDouble(trimText(next));
            held_ = held;
            return false;
        }
    }

    std::string& report = s.normalizeReport;
    const std::string& mix = s.settings.fader.outputPath;
    std::fflush(stdout);
    if (!measured) {
        appendf(report,
                "\nNormalize\t%.1f LUFS: the mix is too quiet or too short to measure; "
                "kept as pass %d rendered it with mtrim %+.2f dB\n",
                target_, pass_, trim_);
        std::fprintf(stderr,
                     "%s is too quiet or too short to measure its loudness: it was not "
                     "normalised.\n",
                     mix.c_str());
    } else {
        const bool reached = std::fabs(heard - target_) <= kTolerance;
        appendf(report, "\nNormalize\t%.1f LUFS %s %d pass%s:", target_,
                reached ? "in" : "not reached in", pass_, pass_ == 1 ? "" : "es");
        for (std::size_t k = 0; k < heard_.size(); ++k)
            appendf(report, "%s %.2f", k == 0 ? "" : ",", heard_[k]);
        appendf(report, " LUFS (mtrim %+.2f dB%s)\n", trim_,
                !held_                      ? ""
                : trim_ == kMasterTrimLimit ? ", held at its limit of +24 dB"
                                            : ", held where a channel level reaches +12 dB");
        if (!reached)
            std::fprintf(stderr, "%s reached %.2f LUFS, not the %.1f LUFS asked for.\n",
                         mix.c_str(), heard, target_);
        const double peak = std::max(r.truePeakL, r.truePeakR);
        if (peak > ceiling_) {
            appendf(report, "True peak\t%.2f dBTP is above the ceiling of %.1f dBTP\n", peak,
                    ceiling_);
            std::fprintf(stderr,
                         "The true peak of %s is %.2f dBTP, above the ceiling of %.1f dBTP.\n",
                         mix.c_str(), peak, ceiling_);
        }
    }
    std::fflush(stderr);
    // The messages the mix loop leaves to the last pass.
    if (verbosity > 0 && !s.settings.prefs.plotPath.empty())
        warn("Wrote the plot %s\n", s.settings.prefs.plotPath.c_str());
    if (verbosity > 0) warn("\nDone!  Created the file: %s\n\n", mix.c_str());
    return true;
}

} // namespace tarvex
