// lumaro-render: renders audio files, or built-in programme material,
// through the Lumaro EQ VST 3 bundle. See UsageText for the options.

#include "tools/render/BundleSearch.h"
#include "tools/render/CommandLine.h"
#include "tools/render/RenderCommand.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifndef LUMARO_RENDER_BUILD_TREE
#error "LUMARO_RENDER_BUILD_TREE must name the build tree the program was built in"
#endif
#ifndef LUMARO_RENDER_BUNDLE_NAME
#error "LUMARO_RENDER_BUNDLE_NAME must name the bundle looked for (\"Lumaro EQ.vst3\")"
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

// The built-in render writes into the build tree while it exists (so that
// `make run` leaves its files there), else into the working folder.
std::string DefaultOutputFolder() {
    std::error_code ignored;
    if (std::filesystem::is_directory(LUMARO_RENDER_BUILD_TREE, ignored))
        return (std::filesystem::path(LUMARO_RENDER_BUILD_TREE) / "render-output").string();
    return "lumaro-render-output";
}

int main(int argc, char** argv) {
    render::Options options;
    options.pluginBundleName = LUMARO_RENDER_BUNDLE_NAME;
    options.pluginFolders =
        render::DefaultBundleFolders(LUMARO_RENDER_BUILD_TREE, std::getenv("HOME"));
    options.outputFolder = DefaultOutputFolder();
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
    if (options.pluginPath.empty()) {
        options.pluginPath =
            render::FindBundle(options.pluginFolders, options.pluginBundleName, error);
        if (options.pluginPath.empty()) {
            std::fprintf(stderr, "lumaro-render: error: %s\n", error.c_str());
            return render::kExitPlugin;
        }
    }
    InstallStopHandlers();
    return render::RunRenderCommand(options, stdout, stderr, stopRequested);
}
