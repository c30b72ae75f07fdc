#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// [any] The full path of a program found through PATH, or empty.
std::string FindProgram(const std::string& name);

// A desktop helper (zenity, kdialog, xdg-open) run as a child process whose
// printed answer the window collects without ever blocking on it: Poll
// reads what is there, Wait waits with a bound. The helper reads nothing,
// its errors go nowhere, and it inherits no descriptor of the host's.
// [ui]
class HelperProcess {
public:
    // Output beyond this many bytes is dropped.
    static constexpr size_t kMaxOutputBytes = 1u << 20;

    // argv[0] is looked up in PATH. Null, at once, when it cannot be started.
    // Without captureOutput what it prints goes nowhere.
    static std::unique_ptr<HelperProcess> Start(const std::vector<std::string>& argv,
                                                bool captureOutput = true);
    // Asks a helper still running to end (SIGTERM); it is reaped later
    // (ReapAbandonedHelpers), never waited for here.
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Lets a helper that is still running go on without us (a browser that
    // xdg-open started and waits for); it is reaped later.
    void LetRun();
    // Takes in what the helper printed so far and notes its exit; true once
    // it has exited and everything it printed is in.
    bool Poll();
    // Polls until finished or timeoutMs passed; true when finished.
    bool Wait(int32_t timeoutMs);
    bool Finished() const noexcept { return exited && outputFd < 0; }
    // The exit status, -1 when it was killed or the status was lost (a host
    // that reaps every child itself).
    int ExitStatus() const noexcept { return status; }
    const std::string& Output() const noexcept { return output; }
    // Descriptors a wait can poll: the output pipe and the process (a
    // pidfd); -1 where there is none.
    int OutputFd() const noexcept { return outputFd; }
    int ProcessFd() const noexcept { return processFd; }
    pid_t Pid() const noexcept { return pid; }

private:
    HelperProcess(pid_t pid, int outputFd);
    void ReadAvailable();
    void CloseOutput();

    pid_t pid;
    int outputFd;
    int processFd = -1;
    bool exited = false;
    int status = -1;
    std::string output;
};

// [any] Reaps helpers that were left running when their HelperProcess
// went, without waiting; returns how many are still running.
size_t ReapAbandonedHelpers();

} // namespace ui
