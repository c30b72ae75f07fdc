#pragma once

// Tests against a real X server: the program's private Xvfb, a host window
// on a connection of the test's own, and helpers to read the server back.

#include "XvfbServer.h"
#include "host/X11HostWindow.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace x11test {

class X11Fixture : public testing::Test {
protected:
    static constexpr uint16_t kHostWidth = 1400;
    static constexpr uint16_t kHostHeight = 900;

    void SetUp() override {
        std::string whyNot;
        server = testsupport::XvfbServer::Shared(whyNot);
        if (server == nullptr)
            GTEST_SKIP() << "no X server: " << whyNot;
        host = vst3host::X11HostWindow::Open(server->Display(), kHostWidth, kHostHeight, whyNot);
        ASSERT_TRUE(host) << whyNot;
    }

    const std::string& Display() const { return server->Display(); }

    testsupport::XvfbServer* server = nullptr;
    std::unique_ptr<vst3host::X11HostWindow> host;
};

// Shared-memory segments this process created that still exist.
inline int OwnSharedMemorySegments() {
    std::ifstream list("/proc/sysvipc/shm");
    std::string line;
    std::getline(list, line); // header: key shmid perms size cpid lpid ...
    int count = 0;
    const long self = static_cast<long>(getpid());
    while (std::getline(list, line)) {
        long key = 0, id = 0, cpid = 0;
        unsigned long perms = 0;
        unsigned long size = 0;
        if (std::sscanf(line.c_str(), "%ld %ld %lo %lu %ld", &key, &id, &perms, &size, &cpid) ==
                5 &&
            cpid == self)
            ++count;
    }
    return count;
}

// Open descriptors of this process.
inline int OpenDescriptors() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (fcntl(fd, F_GETFD) != -1)
            ++count;
    return count;
}

} // namespace x11test
