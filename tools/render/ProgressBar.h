#pragma once

#include <cstdint>
#include <cstdio>

namespace render {

// A one-line bar redrawn in place on a terminal, at most once per percent,
// so that a long render costs a hundred short writes. Silent when disabled.
class ProgressBar {
public:
    ProgressBar(std::FILE* stream, bool enabled, int64_t total) noexcept
        : stream(stream), enabled(enabled && total > 0), total(total) {}
    ~ProgressBar() { Finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(int64_t done) noexcept;
    // Clears the line.
    void Finish() noexcept;

private:
    std::FILE* stream;
    bool enabled;
    int64_t total;
    int lastPercent = -1;
};

} // namespace render
