// Outputs that cannot be written, for every file the three programs write: a
// full device (the output name is a link to /dev/full), a file-size limit
// that cuts a write part-way, and a read-only folder. Each must end with a
// message that names the file and gives the system's reason, a non-zero exit
// status, and no WAV file whose header claims more data than it holds and no
// temporary file left behind. A render stopped by a signal or a kill, or by a
// failed write, leaves the files of the render before it as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

enum class Program { tarvex, velmont, quorrin };
enum class Fault { fullDevice, sizeLimit, readOnlyFolder };

const char* const kFull = "No space left on device";
const char* const kTooLarge = "File too large";
const char* const kDenied = "Permission denied";

// One mono track of 2000 frames: its mix is 4044 bytes at 16 bits mono and
// 12044 bytes at 24 bits stereo, as is the tap file (always 24-bit stereo).
void session(const TempDir& dir, const std::string& prefs, const std::string& faderLines,
             std::size_t frames = 2000) {
    std::vector<double> samples(frames);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<double>(static_cast<int>(i % 50) - 25) / 64.0;
    WavLayout l;
    l.channels = 1;
    ASSERT_TRUE(writeFileBytes(dir.file("in.wav"), makeWavBytes(l, samples)));
    writeText(dir.file("tracks.txt"), "begin\n1 in.wav +\nend\n");
    if (!prefs.empty())
        writeText(dir.file("prefs.txt"), "begin\nverbo\t1\ndither\t0\n" + prefs + "end\n");
    if (!faderLines.empty())
        writeText(dir.file("faders.txt"),
                  "begin\nmix\nt\t0\t0\t0\nv\t1\t0\n" + faderLines + "end\n");
}

const std::string kMono16 = "mono\t0\noutbits\t16\n";
const std::string kTap = "mono\t0\noutbits\t16\ntap\trev\n";
const std::string kTapLines = "rtn\t-3\t40\nrev\t1\t-6\n";
const std::string kFaders = "begin\nmix\n\nt\t0\t0\t1\nv\t1\t-3\nend\n";

struct Row {
    const char* name;
    Program program;
    Fault fault;
    std::function<void(const TempDir&)> setUp;
    const char* output;            // the file that fails
    std::optional<uint64_t> limit; // file-size limit for the size-limit rows
    std::string stdinText;
    int status;
    const char* reason;
};

std::function<void(const TempDir&)> tarvexSession(const std::string& prefs,
                                                  const std::string& faderLines = "") {
    return [=](const TempDir& d) { session(d, prefs, faderLines.empty() ? "\n" : faderLines); };
}

std::function<void(const TempDir&)> withoutPrefs() {
    return [](const TempDir& d) {
        session(d, kMono16, "\n");
        fs::remove(d.file("prefs.txt"));
    };
}

std::function<void(const TempDir&)> withoutFaders() {
    return [](const TempDir& d) { session(d, kMono16, ""); };
}

std::function<void(const TempDir&)> quorrinInput() {
    return [](const TempDir& d) { writeText(d.file("faders.txt"), kFaders); };
}

std::function<void(const TempDir&)> nothing() {
    return [](const TempDir&) {};
}

RunResult run(const Row& row, const TempDir& dir) {
    RunOptions options;
    options.stdinText = row.stdinText;
    options.fileSizeLimit = row.limit;
    options.timeoutSeconds = 60;
    switch (row.program) {
    case Program::tarvex:
        return runProgram(TARVEX_EXE, {}, dir.path(), options);
    case Program::velmont:
        return runProgram(VELMONT_EXE, {}, dir.path(), options);
    case Program::quorrin:
        return runProgram(QUORRIN_EXE, {}, dir.path(), options);
    }
    return {};
}

// Every WAV file left holds the data its header claims; no temporary file is
// left. Links (to /dev/full) are not files of the run.
void expectNothingClaimsMore(const TempDir& dir, const std::string& where) {
    for (const std::string& name : listDirectory(dir.path())) {
        const fs::path p = dir.path() / name;
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << where << ": " << name << " was left";
        EXPECT_EQ(name.find(".partial"), std::string::npos) << where << ": " << name << " was left";
        if (fs::is_symlink(p) || p.extension() != ".wav") continue;
        const std::vector<uint8_t> bytes = readBytes(p.string());
        if (bytes.size() < 44) continue; // no header that could claim anything
        EXPECT_GE(bytes.size() - 44, readLe32(bytes, 40)) << where << ": " << name;
        EXPECT_EQ(readLe32(bytes, 4), readLe32(bytes, 40) + 36) << where << ": " << name;
    }
}

const char* const kQuorrinSave = "pf out.txt o x\n";
const char* const kVelmontAnswers = "1\n2\n-6\n1\n1\n";

std::vector<Row> rows() {
    const uint64_t k = 1024;
    // One row per file and fault: what fails, the limit, the answers typed, the status.
    // clang-format off
    std::vector<Row> r = {
        // Full device: the output name is a link to /dev/full.
        {"mix", Program::tarvex, Fault::fullDevice, tarvexSession(kMono16), "mix.wav", {}, "", 1, kFull},
        {"preview", Program::tarvex, Fault::fullDevice, tarvexSession(kMono16 + "pre\ton\n"), "preview.wav", {}, "", 1, kFull},
        {"tap file", Program::tarvex, Fault::fullDevice, tarvexSession(kTap, kTapLines), "revTap.wav", {}, "", 1, kFull},
        {"report", Program::tarvex, Fault::fullDevice, tarvexSession(kMono16), "stats_mix.txt", {}, "", 1, kFull},
        {"fader copy", Program::tarvex, Fault::fullDevice, tarvexSession(kMono16), "faders_mix.txt", {}, "", 1, kFull},
        {"stem", Program::tarvex, Fault::fullDevice, tarvexSession(kMono16 + "stems\n"), "mix_direct.wav", {}, "", 1, kFull},
        {"velmont template", Program::velmont, Fault::fullDevice, nothing(), "faders.txt", {}, kVelmontAnswers, 2, kFull},
        {"quorrin save", Program::quorrin, Fault::fullDevice, quorrinInput(), "out.txt", {}, kQuorrinSave, 1, kFull},
        // A file-size limit cuts the write part-way (the mix is 4044 bytes, the tap file 12044).
        {"mix", Program::tarvex, Fault::sizeLimit, tarvexSession(kMono16), "mix.wav", 2 * k, "", 1, kTooLarge},
        {"preview", Program::tarvex, Fault::sizeLimit, tarvexSession(kMono16 + "pre\ton\n"), "preview.wav", 2 * k, "", 1, kTooLarge},
        {"tap file", Program::tarvex, Fault::sizeLimit, tarvexSession(kTap, kTapLines), "revTap.wav", 8 * k, "", 1, kTooLarge},
        {"mix header", Program::tarvex, Fault::sizeLimit, tarvexSession(kMono16), "mix.wav", 20, "", 1, kTooLarge},
        {"created prefs.txt", Program::tarvex, Fault::sizeLimit, withoutPrefs(), "prefs.txt", 20, "", 1, kTooLarge},
        {"faders.txt template", Program::tarvex, Fault::sizeLimit, withoutFaders(), "faders.txt", 20, "-6\n", 1, kTooLarge},
        {"velmont template", Program::velmont, Fault::sizeLimit, nothing(), "faders.txt", 64, kVelmontAnswers, 2, kTooLarge},
        {"quorrin save", Program::quorrin, Fault::sizeLimit, quorrinInput(), "out.txt", 8, "pf out.txt x\n", 1, kTooLarge},
        // A folder nobody may write in.
        {"mix", Program::tarvex, Fault::readOnlyFolder, tarvexSession(kMono16), "mix.wav", {}, "", 1, kDenied},
        {"created prefs.txt", Program::tarvex, Fault::readOnlyFolder, withoutPrefs(), "prefs.txt", {}, "", 1, kDenied},
        {"faders.txt template", Program::tarvex, Fault::readOnlyFolder, withoutFaders(), "faders.txt", {}, "-6\n", 1, kDenied},
        {"velmont template", Program::velmont, Fault::readOnlyFolder, nothing(), "faders.txt", {}, kVelmontAnswers, 2, kDenied},
        {"quorrin save", Program::quorrin, Fault::readOnlyFolder, quorrinInput(), "out.txt", {}, "pf out.txt x\n", 1, kDenied},
    };
    // clang-format on
    return r;
}

std::string nameOf(const Row& row) {
    const char* fault = row.fault == Fault::fullDevice  ? "full device"
                        : row.fault == Fault::sizeLimit ? "size limit"
                                                        : "read-only folder";
    return std::string(row.name) + " (" + fault + ")";
}

void checkRow(const Row& row) {
    const std::string where = nameOf(row);
    TempDir dir;
    row.setUp(dir);
    if (row.fault == Fault::fullDevice) fs::create_symlink("/dev/full", dir.file(row.output));
    if (row.fault == Fault::readOnlyFolder) fs::permissions(dir.path(), fs::perms(0555));
    const RunResult result = run(row, dir);
    if (row.fault == Fault::readOnlyFolder) fs::permissions(dir.path(), fs::perms(0755));

    EXPECT_EQ(result.status, row.status) << where << "\n" << result.out;
    // One line names the file and gives the reason.
    bool named = false;
    for (const std::string& line : linesContaining(result.out, row.reason))
        named = named || line.find(row.output) != std::string::npos;
    EXPECT_TRUE(named) << where << "\n" << result.out;
    // What a cut write left is gone, whether removed or never put in place.
    if (row.fault == Fault::sizeLimit) {
        EXPECT_FALSE(fs::exists(dir.file(row.output))) << where << "\n" << result.out;
    }
    expectNothingClaimsMore(dir, where);
}

TEST(WriteFailures, FullDeviceAndSizeLimitReportTheFileAndTheReason) {
    for (const Row& row : rows())
        if (row.fault != Fault::readOnlyFolder) checkRow(row);
}

TEST(WriteFailures, ReadOnlyFolderReportsTheFileAndTheReason) {
    // Permission bits do not stop root, and a read-only mount needs privileges
    // a test must not ask for.
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, which writes into a folder regardless of its "
                        "permission bits";
    for (const Row& row : rows())
        if (row.fault == Fault::readOnlyFolder) checkRow(row);
}

// Runs tarvex with TARVEX_TEST_PAUSE_AT=`pause`, sends `signal` once it waits
// there, and returns its status (128 + n when a signal ended it) and output.
RunResult renderStoppedAt(const TempDir& dir, const std::string& pause, int signal) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {-1, "no pipe", ""};
    std::vector<std::string> env{"TARVEX_TEST_PAUSE_AT=" + pause};
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = TARVEX_EXE, plot = "--plot", svg = "mix.svg";
    char* argv[] = {exe.data(), plot.data(), svg.data(), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        if (::chdir(dir.path().c_str()) == 0) ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    RunResult r;
    char chunk[4096];
    bool sent = false;
    for (ssize_t got; (got = ::read(pipeFds[0], chunk, sizeof chunk)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        r.out.append(chunk, static_cast<std::size_t>(got));
        if (!sent && r.out.find("Waiting for a signal") != std::string::npos)
            sent = ::kill(pid, signal) == 0;
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    return r;
}

// A render stopped at any point, by a signal, a kill or a failed write,
// leaves every file of the earlier render byte for byte and no temporary
// file; after a kill the next render removes the leftovers and writes what an
// uninterrupted one writes. The track spans five blocks (0 to 4) of the mix.
// The stem of the direct channel is one more output written the same way.
TEST(WriteFailures, StoppedRenderLeavesTheEarlierFilesOrTheNewOnes) {
    const std::size_t kFrames = 4 * 131072 + 3000;
    const std::vector<std::string> outputs{"mix.wav", "mix.svg", "stats_mix.txt", "faders_mix.txt",
                                           "mix_direct.wav"};
    // The earlier render is 3 dB quieter than the new one; both write a stem.
    const auto render = [&](const TempDir& d, const char* level) {
        session(d, kMono16 + "stems\n", "\n", kFrames);
        writeText(d.file("faders.txt"),
                  std::string("begin\nmix\nt\t0\t0\t0\nv\t1\t") + level + "\nend\n");
    };
    TempDir earlierRender, fresh;
    render(earlierRender, "-6");
    ASSERT_EQ(runProgram(TARVEX_EXE, {"--plot", "mix.svg"}, earlierRender.path()).status, 0);
    render(fresh, "-3");
    ASSERT_EQ(runProgram(TARVEX_EXE, {}, fresh.path()).status, 0);
    const std::vector<uint8_t> newMix = readBytes(fresh.file("mix.wav"));
    struct Stop {
        const char* pause; // where the render waits for the signal, or the fault
        int signal;
        int status;
        const char* said;
    };
    const Stop stops[] = {
        {"fader file", SIGTERM, 143, "Stopped by SIGTERM: no file was replaced."},
        {"files", SIGINT, 130, "Stopped by SIGINT: no file was replaced."},
        {"headers", SIGHUP, 129, "Stopped by SIGHUP: no file was replaced."},
        {"0", SIGTERM, 143, "Stopped by SIGTERM"},
        {"1", SIGTERM, 143, "Stopped by SIGTERM"},
        {"2", SIGTERM, 143, "Stopped by SIGTERM"},
        {"4", SIGTERM, 143, "Stopped by SIGTERM"},
        {"mix", SIGTERM, 143, "Stopped by SIGTERM"},
        {"reports", SIGTERM, 143, "Stopped by SIGTERM"},
        {"headers", SIGKILL, 137, ""},
        {"2", SIGKILL, 137, ""},
        {"reports", SIGKILL, 137, ""},
        {"mix cut by a size limit", 0, 1,
         "The mix file mix.wav was not finished; the partial file was removed."},
        {"report on a full device", 0, 1, "Could not write stats_mix.txt: No space left on device"},
    };
    for (const Stop& stop : stops) {
        const std::string where = std::string(stop.pause) + " " + std::to_string(stop.signal);
        TempDir dir;
        render(dir, "-3");
        for (const std::string& name : outputs)
            fs::copy_file(earlierRender.file(name), dir.file(name));
        const std::string fault = stop.pause;
        if (fault == "report on a full device") {
            fs::remove(dir.file("stats_mix.txt"));
            fs::create_symlink("/dev/full", dir.file("stats_mix.txt"));
        }
        std::vector<std::vector<uint8_t>> earlier;
        for (const std::string& name : outputs)
            earlier.push_back(fs::is_symlink(dir.file(name)) ? std::vector<uint8_t>()
                                                             : readBytes(dir.file(name)));
        ASSERT_FALSE(earlier[0] == newMix);
        RunOptions limited;
        if (fault == "mix cut by a size limit") limited.fileSizeLimit = newMix.size() - 1;
        const RunResult r =
            stop.signal != 0 ? renderStoppedAt(dir, stop.pause, stop.signal)
                             : runProgram(TARVEX_EXE, {"--plot", "mix.svg"}, dir.path(), limited);
        EXPECT_EQ(r.status, stop.status) << where << "\n" << r.out;
        EXPECT_NE(r.out.find(stop.said), std::string::npos) << where << "\n" << r.out;
        for (std::size_t k = 0; k < outputs.size(); ++k)
            if (!earlier[k].empty()) {
                EXPECT_TRUE(readBytes(dir.file(outputs[k])) == earlier[k])
                    << where << " " << outputs[k];
            }
        if (stop.signal != SIGKILL) {
            expectNothingClaimsMore(dir, where);
            continue;
        }
        EXPECT_TRUE(fs::exists(dir.file(".mix.wav.partial"))) << where;
        const RunResult next = runProgram(TARVEX_EXE, {"--plot", "mix.svg"}, dir.path());
        EXPECT_EQ(next.status, 0) << where << "\n" << next.out;
        EXPECT_NE(next.out.find("Removed .mix.wav.partial left by an interrupted render."),
                  std::string::npos)
            << where << "\n"
            << next.out;
        EXPECT_NE(next.out.find("Removed .mix_direct.wav.partial"), std::string::npos) << where;
        EXPECT_TRUE(readBytes(dir.file("mix.wav")) == newMix) << where;
        expectNothingClaimsMore(dir, where);
    }
}

// Under a plain shell `ulimit -f` the signal is not ignored by anyone else:
// the program itself must turn it into a reported write failure.
TEST(WriteFailures, ShellFileSizeLimitDoesNotKillTheRender) {
    TempDir dir;
    session(dir, kMono16, "\n");
    // dash counts `ulimit -f` in 512-byte blocks: 4 blocks cut the 4044-byte mix.
    const RunResult r =
        runProgram("/bin/sh", {"-c", std::string("ulimit -f 4; exec ") + TARVEX_EXE}, dir.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find(kTooLarge), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir.file("mix.wav")));
}

// A failed save leaves no cut-off fader file; a later good save makes the
// session a success again.
TEST(WriteFailures, QuorrinStatusFollowsTheLastSave) {
    TempDir dir;
    writeText(dir.file("faders.txt"), kFaders);
    fs::create_symlink("/dev/full", dir.file("full.txt"));
    const RunResult failed = runProgram(QUORRIN_EXE, {}, dir.path(), "pf full.txt o x\n");
    EXPECT_EQ(failed.status, 1) << failed.out;
    const RunResult mended =
        runProgram(QUORRIN_EXE, {}, dir.path(), "pf full.txt o pf good.txt x\n");
    EXPECT_EQ(mended.status, 0) << mended.out;
    EXPECT_NE(readText(dir.file("good.txt")).find("v\t1\t-3"), std::string::npos);
}

} // namespace
