// What a run says about control-file lines it does not use as written: one row per case, the
// file that differs from a plain session, the diagnostic on standard error and the status;
// then the same with --strict (a warning stops the run before a file is written) and --check
// (which ends with the count).
#include <gtest/gtest.h>

#include "tarvex_session.h"

using namespace tarvex_test;

namespace {

constexpr const char* kTracks = "begin\n1 a.wav +\n2 b.wav +\nend\n";
constexpr const char* kFaders = "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nend\n";

struct Row {
    const char* file;       // the control file that differs from the plain session
    const char* text;       // its whole text
    const char* diagnostic; // what standard error must hold
    int status;             // exit status without --strict
};

// Two channels of one second: a mono and a stereo 16-bit track.
void plainSession(Session& s) {
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), noise(44100, 1, 3000));
    s.wav("b.wav", layout(2, SampleFormat::Pcm16), noise(88200, 2, 3000));
    s.text("tracks.txt", kTracks);
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", kFaders);
}

const Row kCatalogue[] = {
    // clang-format off
    // prefs.txt
    {"prefs.txt", "begin\nverbo\t1\noutbit\t16\nend\n", "prefs.txt:3: warning: unknown keyword 'outbit' (line ignored)", 0},
    {"prefs.txt", "begin\nverbo 1\nend\n", "prefs.txt:2: warning: fields separated by spaces instead of tabs in 'verbo 1' (line ignored)", 0},
    {"prefs.txt", "begin\nverbo\t1\nlaunch\tovers\nend\n", "prefs.txt:3: warning: 'overs' in the value of 'launch' is read as a keyword of its own too", 0},
    {"prefs.txt", "begin\tverbo\t1\nend\n", "prefs.txt:1: warning: 'verbo\\t1' after 'begin' on its line is not read", 0},
    {"prefs.txt", "begin\noutbits\t24\tend\nverbo\t1\nend\n", "prefs.txt:2: warning: 'end' after 'outbits\\t24' ends the file in mid-line (nothing after it is read)", 0},
    {"prefs.txt", "begin\nverbo\t1\noutbits\t16\noutbits\t24\nend\n", "prefs.txt:3: warning: 'outbits' is given again on line 4, which counts (this line has no effect)", 0},
    {"prefs.txt", "begin\nverbo\t1\npan\t0\npan\t3\nend\n", "prefs.txt:4: warning: 'pan' is given before, on line 3, which counts (this line has no effect)", 0},
    {"prefs.txt", "begin\nverbo\t1\noname\tx\noname\tm\nend\n", "prefs.txt:3: warning: 'oname' is given again on line 4, which counts (this line has no effect)", 0},
    {"prefs.txt", "begin\nverbo\t1\ntfields\t7\nend\n", "prefs.txt:3: warning: tfields '7' is not 1, 2 or 3 (3 used)", 0},
    {"prefs.txt", "begin\nverbo\t1\nv=percent\nv=percent\nend\n", "prefs.txt:4: warning: 'v=percent' is given before, on line 3, which counts (this line has no effect)", 0},
    {"prefs.txt", "begin\nverbo\t1\nhead\nend\n", "prefs.txt:3: warning: 'head' needs 1 tab-separated value on its line (line ignored)", 0},
    {"prefs.txt", "begin\nverbo\tone\nend\n", "prefs.txt:2: warning: verbo value 'one' is not a whole number (0 used)", 0},
    {"prefs.txt", "begin\nverbo\t1\noutbits\t20\nend\n", "prefs.txt:3: warning: outbits 20 is not 16 or 24 (24 used)", 0},
    {"prefs.txt", "begin\nverbo\t1\npre\tyes\nend\n", "prefs.txt:3: warning: pre 'yes' is not 'on' or 'off' (full render)", 0},
    {"prefs.txt", "begin\nverbo\t1\npre\nend\n", "prefs.txt:3: warning: 'pre' has no value (full render)", 0},
    {"prefs.txt", "begin\nverbo\t1\ntlist\t5\nend\n", "prefs.txt:3: warning: tlist '5' is not 0 or 1 (tlist 2 kept)", 0},
    {"prefs.txt", "begin\nverbo\t1\nxfields\t4\nend\n", "prefs.txt:3: warning: xfields '4' is not 1, 2 or 3 (3 used)", 0},
    {"prefs.txt", "begin\nverbo\t1\ndither\t9\nend\n", "prefs.txt:3: warning: dither '9' is not 0 to 8 (dither 1 kept)", 0},
    {"prefs.txt", "begin\nverbo\t1\nthreads\t99\nend\n", "prefs.txt:3: warning: threads '99' is not 0 to 64 (one worker per core used)", 0},
    {"prefs.txt", "begin\nverbo\t1\nseed\t-1\nend\n", "prefs.txt:3: warning: seed '-1' is not a whole number from 0 to 4294967295 (the dither noise is seeded from the clock)", 0},
    {"prefs.txt", "begin\nverbo\t1\nloudness\t-80\nend\n", "prefs.txt:3: warning: loudness target '-80' is not a level from -70 to 0 LUFS (no target used)", 0},
    {"prefs.txt", "begin\nverbo\t1\nmono\t6\nend\n", "prefs.txt:3: warning: mono gain '6' dB is above 0 or below -18.06 dB (-6.02 dB used)", 0},
    {"prefs.txt", "begin\nverbo\t1\nlaunch\ttrue\t-x\nend\n", "prefs.txt:3: warning: the launch command ends at the first tab: 'true' is run, '-x' is not", 0},
    {"prefs.txt", "begin\nverbo\t1\nstart\t0\t0\t500\nend\n", "prefs.txt:3: warning: 'start' only counts in a preview, and no 'pre' line asks for one (line ignored)", 0},
    {"prefs.txt", "begin\nverbo\t1\nhead\t5\nend\n", "prefs.txt:3: warning: head '5' is not between one sample and the song length 0:01.000 (no head cut)", 0},
    {"prefs.txt", "begin\nverbo\t1\nxin\t0\t0\t100\nxout\t0\t0\t50\nend\n", "prefs.txt:4: error: the render window ends up empty or outside the song of 0:01.000", 2},
    {"prefs.txt", "begin\nverbo\t1\npre\ton\nstart\t0\t5\t0\nend\n", "prefs.txt:4: error: preview start 0:05.000 is beyond the end of the song at 0:01.000", 2},
    {"prefs.txt", "begin\nverbo\t1\npre\ton\nlength\t-1\nend\n", "prefs.txt:4: error: preview length '-1' is below zero", 2},
    // tracks.txt
    {"tracks.txt", "begin 1 a.wav +\n1 a.wav +\n2 b.wav +\nend\n", "tracks.txt:1: warning: '1 a.wav +' after 'begin' on its line is not read", 0},
    {"tracks.txt", "begin\n1 a.wav\t+\n2 b.wav +\nend\n", "tracks.txt:2: warning: tab in '1 a.wav\\t+', but this list separates its fields by spaces (no tlist=tab in prefs.txt): file name read as 'a.wav\\t+', channel 1 stays off", 0},
    {"tracks.txt", "begin\n1\ta.wav\t+\n2\tb.wav\t+\nend\n", "tracks.txt: error: no track is on, so the song is empty and there is nothing to render", 2},
    {"tracks.txt", "begin\n1 a.wav +x\n2 b.wav +\nend\n", "tracks.txt:2: warning: status '+x' is not '+' or '++' (channel 1 stays off)", 0},
    {"tracks.txt", "begin\n1 a.wav\n2 b.wav +\nend\n", "tracks.txt:2: warning: no status ('+' or '++') after the file name in '1 a.wav' (channel 1 stays off)", 0},
    {"tracks.txt", "begin\n2 a.wav +\n2 b.wav +\nend\n", "tracks.txt:2: warning: label '2' on the line of channel 1 (the line's place decides the channel, not its label)", 0},
    {"tracks.txt", "begin\nend\n1 a.wav +\n", "tracks.txt:2: warning: 'end' as the first line names channel 1 (the list goes on)", 0},
    {"tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend \n", "tracks.txt:4: warning: 'end ' is not exactly 'end' (it names channel 3, the list goes on)", 0},
    {"tracks.txt", "begin\n\n", "tracks.txt: error: no line names a track", 2},
    // WAV files
    {"tracks.txt", "begin\n1 a.wav +\n2 c.wav +\nend\n", "tracks.txt:3: error: c.wav is at 48000 Hz, a.wav (channel 1) at 44100 Hz: every track must have one rate", 1},
    {"tracks.txt", "begin\n1 a.wav +\n2 none.wav +\nend\n", "tracks.txt:3: warning: none.wav cannot be used: No such file or directory (channel 2 stays silent)", 0},
    // faders.txt: effect lines
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ncomp\t1\t3\t10\t100\t4\nend\n", "faders.txt:7: warning: threshold 3 dB is above 0 dB (0 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ncomp\t1\t-10\t3000\t100\t4\nend\n", "faders.txt:7: warning: attack 3000 ms is above 2000 ms (2000 ms used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrms\t1\t-10\t10\t0.1\t4\nend\n", "faders.txt:7: warning: release 0.1 ms is below 0.226757 ms (0.226757 ms used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nnlc\t1\t-10\t100\t80\nend\n", "faders.txt:7: warning: ratio 80 is above 50 (50 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t1\t30000\nend\n", "faders.txt:7: warning: frequency 30000 Hz is above 22050 Hz (22050 Hz used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nband1\t1\t1000\t20\t1\nend\n", "faders.txt:7: warning: gain 20 dB is above 15 dB (15 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nlshelf\t1\t100\t3\t0\nend\n", "faders.txt:7: warning: Q 0 is below 0.01 (0.01 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t6\nrtn\t-6\nend\n", "faders.txt:7: warning: send level 6 dB is above 0 dB (0 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t-6\nrtn\t-200\nend\n", "faders.txt:8: warning: return level -200 dB is below -144 dB (-144 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ntrev\t1\t-6\ntrtn\t-6\t20\t20\nend\n", "faders.txt:8: warning: tap count 20 is above 11 (11 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t-6\nrtn\t-6\npos\t37\t-5\t43\nend\n", "faders.txt:9: warning: reverb position (height) -5 percent is below 0 percent (0 percent used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t-6\nrtn\t-6\nwidth\t150\nend\n", "faders.txt:9: warning: reverb width 150 percent is above 100 percent (100 percent used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t-6\nrtn\t-6\nrhp\t5\nend\n", "faders.txt:9: warning: reverb high pass 5 Hz is below 20 Hz (20 Hz used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ncomp\nend\n", "faders.txt:7: warning: 'comp' line names no channel (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t-1\t100\nend\n", "faders.txt:7: warning: channel '-1' is negative (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t200\t100\nend\n", "faders.txt:7: warning: channel '200' is beyond the last strip (submix 8 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\tG3\t100\nend\n", "faders.txt:7: warning: channel 'G3' reads as 0, not as submix 3: 'G' and its number go in fields of their own (line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\tm\t100\nend\n", "faders.txt:7: warning: channel 'm' is neither a number nor 'M' (line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t0\t100\nend\n", "faders.txt:7: warning: channel 0 is not the master, which is 'M' (line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\tG\t0\t100\nend\n", "faders.txt:7: warning: channel 'G 0' names no submix 1 to 8 (channel 127 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t130\t100\nend\n", "faders.txt:7: warning: channel 130 is past the last input channel, 127 (submix 3 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nlim\t1\nend\n", "faders.txt:7: warning: 'lim' line is missing 1 value (taken as 0)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nlim\t1\t-3\nlim\t1\t-6\nend\n", "faders.txt:7: warning: 'lim' of channel 1 is given again on line 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t-6\nrtn\t-6\nrtn\t-3\nend\n", "faders.txt:8: warning: 'rtn' is given again on line 9 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t-6\nend\n", "faders.txt:7: warning: 'rev' send has no 'rtn' line to return it (line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\tM\t-6\nend\n", "faders.txt:7: warning: 'rev M' has no 'rtn' line, so the reverb's return level is 0 and it receives silence", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrtn\t-6\nend\n", "faders.txt:7: warning: 'rtn' line has no 'rev' send to return (the reverb receives silence)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\npos\t37\t39\t43\nend\n", "faders.txt:7: warning: 'pos' line has no effect: no reverb runs", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrev\t1\t-6\nrtn\nend\n", "faders.txt:8: warning: 'rtn' line is missing 1 value (taken as 0)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\norder\thp\nend\n", "faders.txt:7: warning: order line gives no channel (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t1\t100\norder\thp\t1\nend\n", "faders.txt:8: warning: order line gives no position (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t1\t100\norder\thp\t200\t3\nend\n", "faders.txt:8: warning: channel '200' addresses no strip, 0 to 135 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\tM\t100\norder\thp\tMain\t3\nend\n", "faders.txt:8: warning: channel 'Main' is not 'M' but reads as the master", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t1\t100\norder\thp\tG\tM\t3\nend\n", "faders.txt:8: warning: channel 'G M' names no submix 1 to 8 (channel 127 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t1\t100\norder\thp\t1\t12\nend\n", "faders.txt:8: warning: order position '12' is not 1 to 11 ('hp' of channel 1 switched off)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\norder\thp\t1\t3\nend\n", "faders.txt:7: warning: channel 1 has no 'hp' in its chain (line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nhp\t1\t100\norder\thp\t1\t3\norder\thp\t1\t2\nend\n", "faders.txt:8: warning: order of 'hp' for channel 1 is given again on line 9 (line ignored)", 0},
    // faders.txt: codes and fields
    {"faders.txt", "begin\nm\nt\t0\t0\t0\ncmop\t7\t-20\t10\t150\t3\nv\t1\t0\nv\t2\t-6\nend\n", "faders.txt:4: warning: unknown code 'cmop' (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv 2 -6\nend\n", "faders.txt:5: warning: fields separated by spaces, not tabs: 'v 2 -6' (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6 3\nend\n", "faders.txt:5: warning: fields separated by spaces, not tabs: '-6 3' (read as '-63')", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nx\tv\t2\t-6\nend\n", "faders.txt:5: warning: unknown code 'x' (skipped; the line is read from its field 'v')", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\n(\tv\t2\t-6\nend\n", "faders.txt:5: warning: '(' does not switch off this line: it is read from its field 'v'", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\nend\n", "faders.txt:5: warning: this v line lacks its level (line ignored)", 0},
    {"faders.txt", "begin\nm\nsub\t1\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nend\n", "faders.txt:3: warning: this sub line lacks its channel list (it routes no channel)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6dB\nend\n", "faders.txt:5: warning: the level field of this v line is not a number: '-6dB' (read as -6)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\np\t1\t20.5\nend\n", "faders.txt:6: warning: the pan field of this p line is not a whole number: '20.5' (read as 20)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\t3\nend\n", "faders.txt:5: warning: extra field '3' after the level of this v line (ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\t0\t5\nv\t1\t0\nv\t2\t-6\nend\n", "faders.txt:3: warning: 2 extra fields from '0' after the milliseconds of this t line (ignored)", 0},
    // faders.txt: cues and routing
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t-3\nt\t0\t0\t200\nv\t1\t-6\nend\n", "faders.txt:10: warning: cue at 0:00.200 is earlier than the cue before it for channel 1 at 0:00.500 (it never plays, nor does any later cue of channel 1)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nv\t2\t-3\nend\n", "faders.txt:7: warning: cue at 0:00.000 is at the same time as the cue before it for channel 2 (it never plays, nor does any later cue of channel 2)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t2\t0\nend\n", "faders.txt:7: error: time 0:02.000 is after the end of the song at 0:01.000", 2},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t-1\t0\nend\n", "faders.txt:7: error: time -0:01.000 is before the start of the song", 2},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\nend\n", "faders.txt:7: error: t has 2 time fields where 3 are needed", 2},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ninc\t5\nend\n", "faders.txt:7: warning: inc moves the time to 0:05.000, after the end of the song at 0:01.000 (a cue there never plays)", 0},
    {"prefs.txt", "begin\nverbo\t1\ndither\t0\noutbits\t16\npan\t0\ntempo\nend\n", "faders.txt: error: no tmap line: tempo mode needs a tempo map", 2},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t-3\nrmp\t3\nend\n", "faders.txt:9: warning: ramp of 3 s for channel 1 runs past the end of the song at 0:01.000 (cut to 0.5 s)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t200\nv\t1\t-10\nrmp\t0.5\nt\t0\t0\t400\nv\t1\t-3\nend\n", "faders.txt:9: warning: ramp of 0.5 s for channel 1 is cut to 0.2 s by the next cue at 0:00.400", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrmp\t1\nend\n", "faders.txt:7: warning: ramp under the first cue of the master is not used (that cue sets the level at once)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t-3\nrmp\t-1\nend\n", "faders.txt:9: warning: ramp of -1 s is below zero (no ramp used)", 0},
    {"faders.txt", "begin\nm\nofs\t1\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nend\n", "faders.txt:3: warning: ofs follows no level line (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nshape\t2\nend\n", "faders.txt:8: warning: shape follows no level line of its cue: it changes the cue of the master at 0:00.000", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nshape\t20\nend\n", "faders.txt:7: warning: shape '20' is not 0.125 to 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nv\t200\t-6\nend\n", "faders.txt:7: warning: channel 200 is out of range (1 to 127, G 1 to 8, or M): submix 8 used", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nv\tG\t-6\t0\nend\n", "faders.txt:7: warning: submix -6 is out of range (1 to 8): channel 121 used", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\np\t5\t10\nend\n", "faders.txt:7: warning: channel 5 has no track (the line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t20\nend\n", "faders.txt:8: warning: level '20' is above +12.02 dB (+12.02 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\np\t1\t150\nend\n", "faders.txt:7: warning: pan 150 is not -100 to 100 (0 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ntrim\t2\t20\nend\n", "faders.txt:5: warning: level of channel 2 comes to +14.00 dB with its trims and scale (above +12 dB: silence used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\np\tG3\t10\nend\n", "faders.txt:7: warning: channel 'G3' is not a channel (1 to 127, G 1 to 8, or M): the master used", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nfxg\t0\t3\nend\n", "faders.txt:7: warning: channel 0 is out of range (1 to 127, G 1 to 8, or M): the master used (it counts only beside a 'fxg M' line)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\npol\t3abc\t-1\nend\n", "faders.txt:7: warning: channel '3abc' is read as 3: channel 3 used", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\npol\t1\t3\nend\n", "faders.txt:7: warning: polarity '3' is not 1 or -1 (1 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nvca\t9\t0\nend\n", "faders.txt:7: warning: VCA '9' is not 1 to 8 (the line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ntrim\t1\nend\n", "faders.txt:7: warning: this trim line lacks its dB value (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ntrim\t1\t30\nend\n", "faders.txt:7: warning: trim '30' is above +24 dB (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nfxg\t1\nend\n", "faders.txt:7: warning: this fxg line lacks its gain (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nfxg\t1\t30\nend\n", "faders.txt:7: warning: effects gain '30' is above +24 dB (0 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nscale\t-1\nend\n", "faders.txt:7: warning: scale '-1' is below 0 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nmtrim\t30\nend\n", "faders.txt:7: warning: mtrim '30' is above +24 dB (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\t1\t20\nend\n", "faders.txt:7: warning: dp is not used: with pan law 0 every mono channel is delay-panned by its p value", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\tG\t2\t10\nend\n", "faders.txt:7: warning: dp channel 'G' names no track channel (the line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\t1\t200\nend\n", "faders.txt:7: warning: delay pan '200' is not -100 to 100 (no delay pan used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\t-3\t20\nend\n", "faders.txt:7: warning: dp channel -3 is out of range (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t9\t1\nend\n", "faders.txt:7: warning: submix '9' is not 1 to 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t-18446744073709551615\t1\nend\n", "faders.txt:7: warning: submix '-18446744073709551615' is read as 1", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t1\t1\nsub\t1\t2\nend\n", "faders.txt:7: warning: sub list of submix 1 is replaced by the one on line 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t1\t1,200\nend\n", "faders.txt:7: warning: channel '200' in the list of submix 1 is out of range (1 to 127): it is left out", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsubmu\t0\nend\n", "faders.txt:7: warning: submix '0' is not 1 to 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t0\t1\nend\n", "faders.txt:7: warning: VCA '0' is not 1 to 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t-18446744073709551614\t1\nend\n", "faders.txt:7: warning: VCA '-18446744073709551614' is read as 2", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t1\t1\nVCA:\t1\t2\nend\n", "faders.txt:7: warning: VCA: list of VCA 1 is replaced by the one on line 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t1\t1,140\nend\n", "faders.txt:7: warning: channel '140' in the list of VCA 1 is out of range (0 to 136): it is left out", 0},
    // clang-format on
};

} // namespace

TEST(DiagnosticsCatalogue, EachLineNotUsedAsWrittenIsNamed) {
    for (const Row& row : kCatalogue) {
        SCOPED_TRACE(std::string(row.file) + ":\n" + row.text);
        Session s;
        plainSession(s);
        s.wav("c.wav", layout(1, SampleFormat::Pcm16, 48000), noise(4800, 3, 3000));
        s.text(row.file, row.text);
        const RunResult plain = s.runApart();
        EXPECT_EQ(plain.status, row.status) << plain.out << plain.err;
        EXPECT_NE(plain.err.find(row.diagnostic), std::string::npos) << plain.err;
        EXPECT_EQ(plain.out.find(": warning: "), std::string::npos) << plain.out;
        // One problem, one diagnostic: its line is named once.
        const std::string diagnostic = row.diagnostic;
        const std::string where = diagnostic.substr(0, diagnostic.find(' ') + 1);
        EXPECT_EQ(plain.err.find(where), plain.err.rfind(where)) << plain.err;

        // A strict check stops at a warning; an error ends it as it ends the render, counted.
        const bool warning = diagnostic.find(": warning: ") != std::string::npos;
        const RunResult check = s.runApart({"--check", "--strict"});
        EXPECT_EQ(check.status, warning ? 1 : row.status) << check.err;
        EXPECT_NE(check.err.find(warning ? " treated as errors\n" : "\n1 error, "),
                  std::string::npos)
            << check.err;
    }
}

// A line the run does not use changes nothing but standard error: the same mix, report and
// console text as without it.
TEST(DiagnosticsCatalogue, UnusedLinesChangeNothingButStandardError) {
    Session with, without;
    plainSession(with);
    plainSession(without);
    with.text(
        "faders.txt",
        "begin\nm\nCue Times\nt\t0\t0\t0\ncmop\t1\t-20\t10\t150\t3\nv\t1\t0\nv\t2\t-6\nv\tM\t0\n"
        "end\n");
    const RunResult a = with.runApart({"--seed", "1"});
    const RunResult b = without.runApart({"--seed", "1"});
    ASSERT_EQ(a.status, 0) << a.out << a.err;
    ASSERT_EQ(b.status, 0) << b.out << b.err;
    // A heading without a number is a note: only the misspelt code is named.
    EXPECT_EQ(a.err, "faders.txt:5: warning: unknown code 'cmop' (line ignored)\n");
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(readBytes(with.file("m.wav")), readBytes(without.file("m.wav")));
    auto withoutTime = [](const std::string& text) {
        return text.substr(0, text.find("Processing time"));
    };
    EXPECT_EQ(withoutTime(readText(with.file("stats_m.txt"))),
              withoutTime(readText(without.file("stats_m.txt"))));

    // --strict stops before a file is written; a check counts what it found.
    std::remove(with.file("m.wav").c_str());
    const RunResult strict = with.runApart({"--strict"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_EQ(strict.err, a.err + "1 warning, treated as errors\n");
    EXPECT_FALSE(with.exists("m.wav"));
    EXPECT_EQ(with.runApart({"--check"}).err, a.err + "0 errors, 1 warning\n");
}
