// Damaged and unusual control files for the three programs, one row each:
// what is written where, and the decided outcome (exit status and the parts
// of the message, which names the file and, where there is one, the line).
// No row may crash, hang or leave the program running.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

enum class Program { tarvex, quorrin, velmont };

struct Row {
    const char* name;
    Program program;
    std::function<void(const TempDir&)> damage; // changes the good session
    std::string stdinText;
    int status;
    std::vector<std::string> printed; // each must appear in the output
};

std::string repeat(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

// A good session: one mono track, its list, quiet preferences and a fader file.
void goodSession(const TempDir& dir) {
    std::vector<double> samples(2000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<double>(static_cast<int>(i % 50) - 25) / 64.0;
    WavLayout l;
    l.channels = 1;
    ASSERT_TRUE(writeFileBytes(dir.file("in.wav"), makeWavBytes(l, samples)));
    writeText(dir.file("tracks.txt"), "begin\n1 in.wav +\nend\n");
    writeText(dir.file("prefs.txt"), "begin\nverbo\t1\ndither\t0\nend\n");
    writeText(dir.file("faders.txt"), "begin\nmix\nt\t0\t0\t0\nv\t1\t0\nend\n");
}

std::function<void(const TempDir&)> file(const std::string& name, const std::string& text) {
    return [=](const TempDir& d) { writeText(d.file(name), text); };
}
std::function<void(const TempDir&)> directory(const std::string& name) {
    return [=](const TempDir& d) {
        fs::remove(d.file(name));
        fs::create_directory(d.file(name));
    };
}
std::function<void(const TempDir&)> fifo(const std::string& name) {
    return [=](const TempDir& d) {
        fs::remove(d.file(name));
        ASSERT_EQ(::mkfifo(d.file(name).c_str(), 0600), 0);
    };
}
// A file of one line repeated to about `megabytes` MB (100: past tarvex's
// limit for a control file), made at test time.
std::function<void(const TempDir&)> huge(const std::string& name, const std::string& head,
                                         const std::string& line, std::size_t megabytes = 100) {
    return [=](const TempDir& d) {
        std::FILE* f = std::fopen(d.file(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(head.c_str(), f);
        const std::string block = repeat(line, (1u << 20) / line.size());
        for (std::size_t done = 0; done < megabytes * 1024 * 1024; done += block.size())
            ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), f), block.size());
        std::fclose(f);
    };
}

const std::string kFaderHead = "begin\nmix\nt\t0\t0\t0\n";
const std::string k400 = repeat("9", 400);
const std::string kMix = "Created the file: mix.wav";

std::vector<Row> rows() {
    const Program T = Program::tarvex, Q = Program::quorrin, V = Program::velmont;
    // clang-format off
    return {
        // tarvex: the track list
        {"empty track list", T, file("tracks.txt", ""), "", 2, {"tracks.txt names no track"}},
        {"track list of only begin", T, file("tracks.txt", "begin"), "", 2, {"tracks.txt names no track"}},
        {"track list without end", T, file("tracks.txt", "begin\n1 in.wav +\n"), "", 0, {kMix}},
        {"track list with CRLF", T, file("tracks.txt", "begin\r\n1 in.wav +\r\nend\r\n"), "", 0, {kMix}},
        {"track list with a byte-order mark", T, file("tracks.txt", "\xEF\xBB\xBF" "begin\n1 in.wav +\nend\n"), "", 0, {kMix}},
        {"track list line of 1 MB", T, file("tracks.txt", "begin\n1 " + repeat("a", 1 << 20) + ".wav +\nend\n"), "", 2, {"tracks.txt line 2 is longer than 255 characters"}},
        {"track list with huge and negative labels", T, file("tracks.txt", "begin\n-5 in.wav +\n99999999999 gone.wav +\nend\n"), "", 0, {"Cannot find file in track list called gone.wav", kMix}},
        {"track list is a directory", T, directory("tracks.txt"), "", 2, {"tracks.txt cannot be read: Is a directory"}},
        {"track list is a FIFO", T, fifo("tracks.txt"), "", 2, {"tracks.txt names no track"}},
        {"track list of 100 MB", T, huge("tracks.txt", "begin\n", "1 in.wav +\n"), "", 2, {"tracks.txt is 10", "a control file may hold at most"}},
        // tarvex: the preferences
        {"preferences with non-numbers", T, file("prefs.txt", "begin\nverbo\t1\noutbits\tx\ndither\tlots\nmono\tquiet\nend\n"), "", 0, {kMix}},
        {"preferences with NUL bytes", T, file("prefs.txt", std::string("begin\nverbo\t1\0\0\ndither\t0\nend\n", 29)), "", 0, {kMix}},
        {"preferences line of 1 MB", T, file("prefs.txt", "begin\nverbo\t1\nlaunch\t" + repeat("y", 1 << 20) + "x\nend\n"), "", 0, {kMix}},
        {"preferences is a directory", T, directory("prefs.txt"), "", 2, {"prefs.txt cannot be read: Is a directory"}},
        {"preview start of 400 digits", T, file("prefs.txt", "begin\nverbo\t1\npre\ton\nstart\t0\t" + k400 + "\t0\nend\n"), "", 2, {"Preview start time in preferences file exceeds song length"}},
        // tarvex: the fader file
        {"empty fader file", T, file("faders.txt", ""), "", 2, {"faders.txt has no mix name"}},
        {"fader file of only begin", T, file("faders.txt", "begin\n"), "", 2, {"faders.txt has no mix name"}},
        {"fader file without end", T, file("faders.txt", kFaderHead + "v\t1\t0\n"), "", 0, {kMix}},
        {"fader file with CRLF", T, file("faders.txt", "begin\r\nmix\r\nt\t0\t0\t0\r\nv\t1\t0\r\nend\r\n"), "", 0, {kMix}},
        {"fader file with a byte-order mark", T, file("faders.txt", "\xEF\xBB\xBF" + kFaderHead + "v\t1\t0\nend\n"), "", 0, {kMix}},
        {"fader file with NUL bytes", T, file("faders.txt", kFaderHead + std::string("v\t1\t0\0\0junk\n", 12) + "end\n"), "", 0, {kMix}},
        {"fader file line of 1 MB", T, file("faders.txt", kFaderHead + "v\t1\t0\n" + repeat("x", 1 << 20) + "\nend\n"), "", 0, {kMix}},
        {"fader file of 100 MB", T, huge("faders.txt", kFaderHead, "v\t1\t0\n"), "", 2, {"faders.txt is 10", "a control file may hold at most"}},
        {"fader level nan", T, file("faders.txt", kFaderHead + "v\t1\tnan\nend\n"), "", 0, {"fader 1 (entry 1) is not a number; set to silence", kMix}},
        {"fader levels inf and -inf", T, file("faders.txt", kFaderHead + "v\t1\tinf\nt\t0\t0\t10\nv\t1\t-inf\nend\n"), "", 0, {"fader 1 (entry 1) set above 12.02 dB", kMix}},
        {"cue time inf", T, file("faders.txt", "begin\nmix\nt\t0\tinf\t0\nv\t1\t0\nend\n"), "", 2, {"Time entry 1 exceeds song length"}},
        {"numbers of 400 digits", T, file("faders.txt", kFaderHead + "v\t1\t" + k400 + "\np\t1\t" + k400 + "\nend\n"), "", 0, {"set above 12.02 dB", "Pan on channel 1 appears to be set wrong", kMix}},
        {"negative channels", T, file("faders.txt", kFaderHead + "v\t-5\t0\nv\t1\t0\nhp\t-3\t100\nend\n"), "", 0, {"Channel number out of range", "faders.txt line 6: the channel of this hp line is negative", kMix}},
        {"huge channel", T, file("faders.txt", kFaderHead + "v\t99999999999\t0\nv\t1\t0\nend\n"), "", 0, {"Channel number out of range", kMix}},
        {"missing time fields", T, file("faders.txt", "begin\nmix\nt\t0\nv\t1\nend\n"), "", 2, {"faders.txt line 3: a t line needs 3 time fields"}},
        {"extra fields", T, file("faders.txt", "begin\nmix\nt\t0\t0\t0\t7\t8\nv\t1\t0\t5\t5\nend\n"), "", 0, {kMix}},
        {"fader file is a directory", T, directory("faders.txt"), "", 2, {"faders.txt cannot be read: Is a directory"}},
        {"fader file is a FIFO", T, fifo("faders.txt"), "", 2, {"faders.txt has no mix name"}},
        // quorrin: the file it loads
        {"quorrin: empty file", Q, file("faders.txt", ""), "x\n", 0, {"Entries:"}},
        {"quorrin: only begin", Q, file("faders.txt", "begin"), "x\n", 0, {"Entries:"}},
        {"quorrin: CRLF and byte-order mark", Q, file("faders.txt", "\xEF\xBB\xBF" "begin\r\nmix\r\nt\t0\t0\t0\r\nv\t1\t-6\r\n"), "ps x\n", 0, {"ch 1:  1", "begin\nmix\n\n\nt\t0\t0\t0\nv\t1\t-6.00\n"}},
        {"quorrin: NUL bytes", Q, file("faders.txt", std::string("mix\nt\t0\t0\t0\nv\t1\t-6\0\0\n", 22)), "x\n", 0, {"ch 1:  1"}},
        {"quorrin: nan, inf and 400 digits", Q, file("faders.txt", "mix\nt\t0\t0\tnan\nv\t1\tinf\nv\t2\t" + k400 + "\nv\t3\t-3\n"), "x\n", 0, {"faders.txt line"}},
        {"quorrin: negative and huge channels", Q, file("faders.txt", "mix\nt\t0\t0\t0\nv\t-1\t0\nv\t99999999999\t0\n"), "x\n", 0, {"faders.txt line 3", "faders.txt line 4"}},
        {"quorrin: line of 1 MB", Q, file("faders.txt", "mix\nv\t1\t" + repeat("1", 1 << 20) + "\n"), "x\n", 0, {"faders.txt line 2"}},
        {"quorrin: file of 24 MB", Q, huge("faders.txt", "mix\n", "t\t0\t0\t0\n", 24), "x\n", 0, {"Entries:"}},
        {"quorrin: a directory", Q, directory("faders.txt"), "", 1, {"faders.txt could not be read: Is a directory"}},
        {"quorrin: a FIFO", Q, fifo("faders.txt"), "x\n", 0, {"Entries:"}},
        // velmont: its answers
        {"velmont: no answers", V, nullptr, "", 2, {"faders.txt was not changed"}},
        {"velmont: nan and inf", V, nullptr, "1\n2\nnan\n", 2, {"nan", "faders.txt was not changed"}},
        {"velmont: 400 digits", V, nullptr, "1\n" + k400 + "\n", 2, {"faders.txt was not changed"}},
        {"velmont: NUL byte", V, nullptr, std::string("1\n\0\n", 4), 2, {"\\x00", "faders.txt was not changed"}},
        {"velmont: negative channel count", V, nullptr, "1\n-3\n-6\n1\n1\n", 0, {"The fader file has been created!"}},
    };
    // clang-format on
}

RunResult run(const Row& row, const TempDir& dir) {
    const char* exe = row.program == Program::tarvex    ? TARVEX_EXE
                      : row.program == Program::quorrin ? QUORRIN_EXE
                                                        : VELMONT_EXE;
    RunOptions options;
    options.stdinText = row.stdinText;
    options.timeoutSeconds = 60;
    return runProgram(exe, {}, dir.path().string(), options);
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class ControlFiles : public testing::TestWithParam<Row> {};

TEST_P(ControlFiles, DamagedFileGivesItsDecidedOutcome) {
    const Row& row = GetParam();
    TempDir dir;
    goodSession(dir);
    if (row.damage) row.damage(dir);
    const RunResult r = run(row, dir);
    const std::string shown = r.out.size() > 2000 ? r.out.substr(0, 2000) + "..." : r.out;
    EXPECT_EQ(r.status, row.status) << shown;
    for (const std::string& part : row.printed)
        EXPECT_NE(r.out.find(part), std::string::npos) << "missing \"" << part << "\" in:\n"
                                                       << shown;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ControlFiles, testing::ValuesIn(rows()),
                         [](const testing::TestParamInfo<Row>& info) {
                             std::string n;
                             for (char c : std::string(info.param.name))
                                 n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return n;
                         });

} // namespace
