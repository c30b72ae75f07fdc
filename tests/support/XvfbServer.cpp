#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

namespace testsupport {

namespace {

constexpr const char* kXvfb = "Xvfb";
constexpr int kStartTimeoutMs = 10000;

bool ExecutableOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string paths = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= paths.size()) {
        size_t end = paths.find(':', start);
        if (end == std::string::npos)
            end = paths.size();
        const std::string candidate = paths.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::unique_ptr<XvfbServer> XvfbServer::Start(std::string& whyNot, int width, int height) {
    if (!ExecutableOnPath(kXvfb)) {
        whyNot = "Xvfb is not installed (scripts/install-deps installs it)";
        return nullptr;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        whyNot = "cannot create a pipe for Xvfb";
        return nullptr;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        whyNot = "cannot fork for Xvfb";
        return nullptr;
    }
    if (child == 0) {
        // The server goes when the test program goes, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        const int writeFd = dup(fds[1]); // without close-on-exec
        const std::string fdText = std::to_string(writeFd);
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        execlp(kXvfb, kXvfb, "-displayfd", fdText.c_str(), "-noreset", "-nolisten", "tcp",
               "-screen", "0", screen.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);

    // Xvfb writes the display number it chose once it accepts connections.
    std::string number;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd readable{fds[0], POLLIN, 0};
        if (poll(&readable, 1, 100) <= 0)
            continue;
        char buffer[32];
        const ssize_t got = read(fds[0], buffer, sizeof(buffer));
        if (got <= 0)
            break;
        number.append(buffer, static_cast<size_t>(got));
        if (number.find('\n') != std::string::npos)
            break;
    }
    close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' '))
        number.pop_back();
    if (number.empty()) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        whyNot = "Xvfb did not start";
        return nullptr;
    }
    return std::unique_ptr<XvfbServer>(new XvfbServer(child, ":" + number));
}

XvfbServer::~XvfbServer() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

bool XvfbServer::IsRunning() const {
    return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0;
}

XvfbServer* XvfbServer::Shared(std::string& whyNot) {
    static std::string reason;
    static std::unique_ptr<XvfbServer> server = [] {
        auto started = Start(reason);
        if (started)
            setenv("DISPLAY", started->Display().c_str(), 1);
        return started;
    }();
    whyNot = reason;
    return server.get();
}

} // namespace testsupport
