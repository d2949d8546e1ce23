// Rendering a mix to an integrated loudness (--normalize LUFS).
//
// Every pass is a whole render on a fresh session, from the fader file's text
// as the first pass read it with the master trim (`mtrim`) set to the pass's
// value; the trim scales the level entries as they are read, so nothing short
// of reading the text again gives the mix of another trim. Pass 1 renders with
// the file's own trim (0 dB without one); each later pass changes the trim by
// what the pass before it missed, held at the trim's limit of +24 dB, until a
// pass lands within 0.1 LU of the target, after four passes, or when the trim
// can move no further. The trim is written with two decimals, so the fader
// copy beside the mix names exactly the trim the mix was rendered with and
// renders the same mix without --normalize.
//
// Every pass writes its files under their temporary names; a pass that is not
// the last removes them, so only the last one puts files in place and the
// earlier files of those names stay as they were until then. A mix too quiet
// or too short to measure cannot be normalised: its first pass is kept. A
// missing faders.txt is asked for and its template written by pass 1 only.
//
// Pass 1 prints what a render prints, up to its mix; the passes after it keep
// their console output aside (it is shown only when such a pass fails), so
// the messages about the control files appear once. Each pass adds one line
// at verbosity 2; the last pass prints its file messages and report as a
// render does.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/command_line.h"
#include "session/mix_session.h"

namespace tarvex {

// Highest master trim the fader file accepts, dB.
constexpr double kMasterTrimLimit = 24.0;

// The master trim a fader file's text sets: the value of its last `mtrim` line
// that counts (one with a value, not above +24 dB), in dB; 0 without one.
double masterTrimOf(std::string_view faderFileText);

// The fader file's text with its master trim set to `dB`, written with two
// decimals: the value of the last `mtrim` line that counts is replaced and the
// rest of its line kept as written; without one, a line "mtrim\t<dB>" goes
// before the line holding "end" (at the end of the text without "end"). Line
// numbers before the changed place stay those of the file. Empty when the
// line holding "end" is the one naming the mix: no line can go before it.
std::optional<std::string> withMasterTrim(std::string_view faderFileText, double dB);

class NormalizePasses {
  public:
    explicit NormalizePasses(const RunOptions& options);
    ~NormalizePasses();
    NormalizePasses(const NormalizePasses&) = delete;
    NormalizePasses& operator=(const NormalizePasses&) = delete;

    // Calls `renderPass` once per pass, each on a fresh session, until the
    // last pass has run. A pass that ends the run (an error, a signal) ends
    // the passes with it.
    void run(const std::function<void()>& renderPass);
    // The pass under way, from 1.
    int pass() const { return pass_; }

    // The fader file's text for the pass under way: pass 1 reads the file (or
    // makes the template), the later ones take that text with their trim.
    std::string faderText(const MixSession& session, std::FILE* input);

    // Called once the mix of a pass is complete and measured. True when the
    // pass is the last one: its console is back, its file messages printed and
    // its part of the report is in `session.normalizeReport`. False when
    // another pass follows; this one's files are then to be discarded.
    bool finishPass(MixSession& session);

  private:
    class QuietConsole;

    double target_;                       // integrated loudness asked for, LUFS
    double ceiling_;                      // true peak named when the mix passes it, dBTP
    int pass_ = 0;                        // pass under way, from 1
    bool last_ = false;                   // the pass under way is the last one
    std::string fileText_;                // the fader file as pass 1 read it
    double trim_ = 0.0;                   // master trim of the pass under way, dB
    bool held_ = false;                   // that trim was held at the limit
    std::vector<double> heard_;           // integrated loudness of each pass so far, LUFS
    std::unique_ptr<QuietConsole> quiet_; // the console of a pass after the first
};

} // namespace tarvex
