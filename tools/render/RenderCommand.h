#pragma once

#include "tools/render/CommandLine.h"

#include <atomic>
#include <cstdio>

namespace render {

// Carries out parsed options: --list, a file render or the built-in default
// render. Results go to out, the progress bar and errors to err. stop is
// polled between blocks; when it is set, nothing is left written.
// Returns an ExitStatus.
int RunRenderCommand(const Options& options, std::FILE* out, std::FILE* err,
                     const std::atomic<bool>& stop);

} // namespace render
