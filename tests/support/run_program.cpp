// Child process runner: clone, chdir, limits and execv in the child; in the parent one poll loop
// that writes standard input and reads the output pipes (one, or two when standard error is
// kept apart) until the program has closed them all.
// SIGPIPE is blocked in the calling thread while input is written, so a program that exits
// without reading its input cannot kill the test process; the pending signal is discarded.
#include "run_program.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kExecFailedStatus = 127;

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Writes a message to standard error from the child between fork and exec, where only
// async-signal-safe calls are allowed.
void childFail(const char* what, const std::string& name) {
    const char* reason = std::strerror(errno);
    auto put = [](const char* s) {
        size_t n = std::strlen(s);
        while (n > 0) {
            const ssize_t w = ::write(2, s, n);
            if (w <= 0) return;
            s += w;
            n -= static_cast<size_t>(w);
        }
    };
    put(what);
    put(name.c_str());
    put(": ");
    put(reason);
    put("\n");
    ::_exit(kExecFailedStatus);
}

// Blocks SIGPIPE in this thread for the lifetime of the object; a SIGPIPE raised meanwhile by
// our own writes is consumed before the old mask comes back.
class SigpipeBlock {
  public:
    SigpipeBlock() {
        sigemptyset(&pipeSet_);
        sigaddset(&pipeSet_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeSet_, &oldMask_);
    }
    ~SigpipeBlock() {
        if (!wasPending_) {
            // A SIGPIPE from our writes is pending while blocked; sigwait takes it off.
            sigset_t pending;
            sigemptyset(&pending);
            int taken = 0;
            if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1)
                sigwait(&pipeSet_, &taken);
        }
        pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

  private:
    sigset_t pipeSet_;
    sigset_t oldMask_;
    bool wasPending_ = false;
};

// Makes a pipe whose ends close on exec; on failure closes `alsoClose` and throws.
void makePipe(int (&ends)[2], std::initializer_list<int> alsoClose) {
    if (::pipe2(ends, O_CLOEXEC) == 0) return;
    const int saved = errno;
    for (int fd : alsoClose)
        if (fd >= 0) ::close(fd);
    throw std::runtime_error(std::string("pipe: ") + std::strerror(saved));
}

// One output pipe of the program and the text it has delivered so far.
struct Capture {
    int fd;
    std::string* text;
};

} // namespace

RunResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, const std::string& stdinText, bool closeStdin,
                     int timeoutSeconds) {
    RunOptions options;
    options.stdinText = stdinText;
    options.closeStdin = closeStdin;
    options.timeoutSeconds = timeoutSeconds;
    return runProgram(exe, args, cwd, options);
}

RunResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, const RunOptions& options) {
    // argv and the limit are built before fork: the child must not allocate.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    rlimit sizeLimit{};
    if (options.fileSizeLimit) {
        sizeLimit.rlim_cur = static_cast<rlim_t>(*options.fileSizeLimit);
        sizeLimit.rlim_max = sizeLimit.rlim_cur;
    }

    int inPipe[2];
    int outPipe[2];
    int errPipe[2] = {-1, -1};
    makePipe(inPipe, {});
    makePipe(outPipe, {inPipe[0], inPipe[1]});
    if (options.separateStderr) makePipe(errPipe, {inPipe[0], inPipe[1], outPipe[0], outPipe[1]});
    const int childErr = options.separateStderr ? errPipe[1] : outPipe[1];

    SigpipeBlock sigpipeBlock;
    // A plain clone system call rather than fork(): the child only sets up its
    // descriptors, directory and limits and execs, which needs none of fork()'s
    // library bookkeeping, and qemu-arm (which runs the ARM build of the tests)
    // loses the thread pointer in the child of a library fork() on some hosts.
    const auto pid = static_cast<pid_t>(::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0));
    if (pid < 0) {
        const int saved = errno;
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            if (fd >= 0) ::close(fd);
        throw std::runtime_error(std::string("fork: ") + std::strerror(saved));
    }
    if (pid == 0) {
        // The child starts with the parent's mask; give the program the ordinary default.
        sigset_t none;
        sigemptyset(&none);
        pthread_sigmask(SIG_SETMASK, &none, nullptr);
        if (::dup2(inPipe[0], 0) < 0 || ::dup2(outPipe[1], 1) < 0 || ::dup2(childErr, 2) < 0)
            ::_exit(kExecFailedStatus);
        if (::chdir(cwd.c_str()) != 0) childFail("cannot enter working directory ", cwd);
        if (options.fileSizeLimit) {
            // An ignored signal stays ignored across exec.
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 ||
                ::setrlimit(RLIMIT_FSIZE, &sizeLimit) != 0)
                childFail("cannot limit the file size for ", exe);
        }
        ::execv(exe.c_str(), argv.data());
        childFail("cannot run ", exe);
    }

    ::close(inPipe[0]);
    ::close(outPipe[1]);
    if (errPipe[1] >= 0) ::close(errPipe[1]);
    int inFd = inPipe[1];
    ::fcntl(inFd, F_SETFL, ::fcntl(inFd, F_GETFL) | O_NONBLOCK);

    RunResult result;
    Capture captures[2] = {{outPipe[0], &result.out}, {errPipe[0], &result.err}};
    const std::string& input = options.stdinText;
    size_t written = 0;
    if (input.empty() && options.closeStdin) closeFd(inFd);

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    bool timedOut = false;
    char buffer[65536];
    while (captures[0].fd >= 0 || captures[1].fd >= 0) {
        // Slots 0 and 1 follow the captures (a closed one has fd -1, which poll skips); slot 2
        // is standard input while there is text left to feed.
        pollfd fds[3];
        for (int i = 0; i < 2; ++i)
            fds[i] = {captures[i].fd, POLLIN, 0};
        const bool feeding = inFd >= 0 && written < input.size();
        fds[2] = {feeding ? inFd : -1, POLLOUT, 0};

        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        const int ready =
            ::poll(fds, 3, static_cast<int>(std::min<int64_t>(left.count(), int64_t{1000})));
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (captures[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(captures[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                captures[i].text->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                closeFd(captures[i].fd); // end of output: the program and its children closed it
            }
        }
        if (feeding && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = ::write(inFd, input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<size_t>(n);
                if (written == input.size() && options.closeStdin) closeFd(inFd);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                closeFd(inFd); // the program stopped reading (EPIPE): drop the rest
            }
        }
    }

    if (timedOut) {
        ::kill(pid, SIGKILL);
        result.out +=
            "\n[runProgram: killed after " + std::to_string(options.timeoutSeconds) + " s]\n";
    }
    for (Capture& c : captures)
        closeFd(c.fd);
    closeFd(inFd);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
    }
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.status = 128 + WTERMSIG(status);
    }
    return result;
}
