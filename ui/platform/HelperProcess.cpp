#include "ui/platform/HelperProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ui {

namespace {

// Helpers whose HelperProcess went while they still ran.
struct Abandoned {
    std::mutex mutex;
    std::vector<pid_t> pids;
};

Abandoned& AbandonedHelpers() {
    static Abandoned list;
    return list;
}

// True once the child is gone (reaped now, or by someone else before).
bool Reap(pid_t pid, int& status) {
    int raw = 0;
    const pid_t result = waitpid(pid, &raw, WNOHANG);
    if (result == pid) {
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return true;
    }
    if (result < 0 && errno == ECHILD) {
        status = -1; // the host reaps its children itself
        return true;
    }
    return false;
}

int OpenProcessFd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#endif
    (void)pid;
    return -1;
}

} // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty())
        return "";
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    const std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

std::unique_ptr<HelperProcess> HelperProcess::Start(const std::vector<std::string>& argv,
                                                    bool captureOutput) {
    ReapAbandonedHelpers();
    if (argv.empty() || FindProgram(argv[0]).empty())
        return nullptr;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return nullptr;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureOutput)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Nothing of the host's (its sockets, its files) goes along.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    // The host may block or ignore signals; the helper starts clean.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed =
        posix_spawnp(&pid, argv[0].c_str(), &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeFds[1]);
    if (failed != 0) {
        close(pipeFds[0]);
        return nullptr;
    }
    if (!captureOutput) {
        close(pipeFds[0]);
        pipeFds[0] = -1;
    } else {
        fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    }
    return std::unique_ptr<HelperProcess>(new HelperProcess(pid, pipeFds[0]));
}

HelperProcess::HelperProcess(pid_t child, int fd)
    : pid(child), outputFd(fd), processFd(OpenProcessFd(child)) {}

HelperProcess::~HelperProcess() {
    CloseOutput();
    if (processFd >= 0)
        close(processFd);
    if (exited)
        return;
    kill(pid, SIGTERM);
    LetRun();
}

void HelperProcess::LetRun() {
    if (exited)
        return;
    int ignored = 0;
    exited = true; // as far as this object is concerned
    if (Reap(pid, ignored))
        return;
    Abandoned& list = AbandonedHelpers();
    std::lock_guard lock(list.mutex);
    list.pids.push_back(pid);
}

void HelperProcess::ReadAvailable() {
    char buffer[4096];
    while (outputFd >= 0) {
        const ssize_t n = read(outputFd, buffer, sizeof(buffer));
        if (n > 0) {
            const size_t room = kMaxOutputBytes - std::min(output.size(), kMaxOutputBytes);
            output.append(buffer, std::min(static_cast<size_t>(n), room));
            continue;
        }
        if (n == 0) {
            CloseOutput(); // the helper closed its end
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            CloseOutput();
        return;
    }
}

void HelperProcess::CloseOutput() {
    if (outputFd >= 0)
        close(outputFd);
    outputFd = -1;
}

bool HelperProcess::Poll() {
    ReadAvailable();
    if (!exited && Reap(pid, status))
        exited = true;
    if (exited && outputFd >= 0) {
        // Whatever it printed before it exited is in the pipe by now; a
        // descendant holding the pipe open does not keep the answer back.
        ReadAvailable();
        CloseOutput();
    }
    return Finished();
}

bool HelperProcess::Wait(int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Poll()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fds[2];
        nfds_t count = 0;
        if (outputFd >= 0)
            fds[count++] = pollfd{outputFd, POLLIN, 0};
        if (processFd >= 0)
            fds[count++] = pollfd{processFd, POLLIN, 0};
        // Without a process descriptor, an exit is noticed within 10 ms.
        const int slice = processFd >= 0 ? static_cast<int>(left) : std::min<int>(10, left);
        poll(fds, count, slice);
    }
    return true;
}

size_t ReapAbandonedHelpers() {
    Abandoned& list = AbandonedHelpers();
    std::lock_guard lock(list.mutex);
    std::vector<pid_t> running;
    for (pid_t pid : list.pids) {
        int ignored = 0;
        if (!Reap(pid, ignored))
            running.push_back(pid);
    }
    list.pids.swap(running);
    return list.pids.size();
}

} // namespace ui
