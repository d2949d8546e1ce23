// Which stems a render writes, and their names.
#include "driver/stem_plan.h"

namespace tarvex {

namespace {

// The mix path less its ".wav", then "_", the suffix and ".wav".
std::string stemPathOf(const std::string& mixPath, const std::string& suffix) {
    const std::string kWav = ".wav";
    const bool wav =
        mixPath.size() >= kWav.size() && mixPath.compare(mixPath.size() - 4, 4, kWav) == 0;
    return (wav ? mixPath.substr(0, mixPath.size() - 4) : mixPath) + "_" + suffix + kWav;
}

bool fedByAPlayingChannel(const MixSettings& s, int bus) {
    for (int c = 1; c <= s.tracks.channelCount; ++c)
        if (s.tracks.channelOn[static_cast<std::size_t>(c)] != 0 &&
            s.routing.route[static_cast<std::size_t>(c)][static_cast<std::size_t>(bus)] != 0)
            return true;
    return false;
}

} // namespace

bool reverbIsMasterInsert(const EffectSettings& fx) {
    return fx.revInsert != 0 || fx.trevInsert != 0;
}

std::string stemSuffixOf(const StemFile& stem) {
    switch (stem.source) {
    case StemSource::submix:
        return "sub" + std::to_string(stem.submix);
    case StemSource::direct:
        return "direct";
    case StemSource::room:
        return "room";
    case StemSource::taps:
        return "taps";
    }
    return "stem";
}

std::string stemContentOf(const StemFile& stem) {
    switch (stem.source) {
    case StemSource::submix:
        return "submix " + std::to_string(stem.submix) + " after its fader, VCA and effects";
    case StemSource::direct:
        return "the channels that reach the master without a submix";
    case StemSource::room:
        return "the room reverb's return";
    case StemSource::taps:
        return "the tap reverb's return";
    }
    return {};
}

std::vector<StemFile> planStems(const MixSettings& s) {
    std::vector<StemFile> stems;
    if (!s.prefs.stemsOn) return stems;
    for (int k = 1; k <= kSubmixCount; ++k)
        if (s.routing.busFlags[static_cast<std::size_t>(k)] != 0 && fedByAPlayingChannel(s, k))
            stems.push_back({StemSource::submix, k, {}});
    if (s.routing.busFlags[0] != 0 && fedByAPlayingChannel(s, 0))
        stems.push_back({StemSource::direct, 0, {}});
    // In send mode a reverb returns into the master when its return line is
    // there; as soon as either reverb is a master insert, neither does.
    if (!reverbIsMasterInsert(s.fx)) {
        if (s.fx.rtnOn != 0) stems.push_back({StemSource::room, 0, {}});
        if (s.fx.trtnOn != 0) stems.push_back({StemSource::taps, 0, {}});
    }
    for (StemFile& stem : stems)
        stem.path = stemPathOf(s.fader.outputPath, stemSuffixOf(stem));
    return stems;
}

} // namespace tarvex
