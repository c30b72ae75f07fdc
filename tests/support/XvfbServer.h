#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace testsupport {

// A private X server (Xvfb) for the tests that need one: started on a free
// display number (the server picks it and reports it), without TCP and
// without the reset that would follow the last client's exit, and stopped
// by its process id. It also dies with the test process.
class XvfbServer {
public:
    // [main] The server once it accepts connections, or null with whyNot
    // saying why not (no Xvfb installed, it did not come up in time).
    static std::unique_ptr<XvfbServer> Start(std::string& whyNot, int width = 1600,
                                             int height = 1200);
    // [main] Stops the server and waits for it.
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N"
    const std::string& Display() const noexcept { return display; }
    pid_t Pid() const noexcept { return pid; }
    // [main] False once the server has exited.
    bool IsRunning() const;

    // [main] The server of this test program, started on first use and
    // stopped at exit; null (with the reason) where none can be started.
    // Also points DISPLAY at it, for code that opens its own connection.
    static XvfbServer* Shared(std::string& whyNot);

private:
    XvfbServer(pid_t pid, std::string display) : pid(pid), display(std::move(display)) {}

    pid_t pid;
    std::string display;
};

} // namespace testsupport
