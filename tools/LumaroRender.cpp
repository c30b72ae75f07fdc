// lumaro-render: renders audio files, or built-in programme material,
// through the Lumaro EQ VST 3 bundle. See UsageText for the options.

#include "tools/render/CommandLine.h"
#include "tools/render/RenderCommand.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#ifndef LUMARO_RENDER_DEFAULT_PLUGIN
#error "LUMARO_RENDER_DEFAULT_PLUGIN must name the default .vst3 bundle"
#endif
#ifndef LUMARO_RENDER_DEFAULT_OUTPUT_FOLDER
#error "LUMARO_RENDER_DEFAULT_OUTPUT_FOLDER must name the default output folder"
#endif

namespace {

// Set by SIGINT or SIGTERM; the renderer polls it between blocks and then
// removes what it had started writing. Lock-free, so safe in a handler.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void RequestStop(int) {
    stopRequested.store(true);
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    render::Options options;
    options.pluginPath = LUMARO_RENDER_DEFAULT_PLUGIN;
    options.outputFolder = LUMARO_RENDER_DEFAULT_OUTPUT_FOLDER;
    const render::Options defaults = options;

    std::string error;
    if (!render::ParseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "lumaro-render: error: %s\n", error.c_str());
        return render::kExitUsage;
    }
    if (options.help) {
        std::fputs(render::UsageText(defaults).c_str(), stdout);
        return render::kExitOk;
    }
    InstallStopHandlers();
    return render::RunRenderCommand(options, stdout, stderr, stopRequested);
}
