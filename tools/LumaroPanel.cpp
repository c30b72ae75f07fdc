// lumaro-panel: a picture of the Lumaro EQ editor as a PNG, drawn by the
// editor's own classes off-screen (no host, no X server), at a zoom and a
// setting given the way lumaro-render takes them.

#include "tools/panel/OffscreenPanel.h"
#include "tools/render/CommandLine.h"
#include "tools/render/ParameterCatalogue.h"
#include "tools/render/ParameterSettings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct PanelOptions {
    std::string output = "lumaro-panel.png";
    float zoom = 1.0f;
    std::string stateFile;
    std::vector<std::string> settings;
    bool list = false;
    bool help = false;
};

constexpr float kMinZoom = 0.5f;
constexpr float kMaxZoom = 4.0f;
// A state is a few hundred bytes; anything far larger is not one.
constexpr std::streamsize kMaxStateBytes = 1 << 20;

const char* UsageText() {
    return "Usage: lumaro-panel [options]\n"
           "Draws the Lumaro EQ editor into a PNG, as it appears when it opens.\n"
           "  -o, --output FILE      the picture (default lumaro-panel.png)\n"
           "  --zoom Z               the editor's zoom, 0.5 to 4 (default 1)\n"
           "  --set \"NAME=VALUE\"     a parameter as its display shows it (repeatable)\n"
           "  --state FILE           a saved state, loaded before the settings\n"
           "  --list                 every parameter, its range, default and values\n"
           "  -h, --help             this text\n";
}

bool ParseZoom(const char* text, float& zoom) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value < kMinZoom ||
        value > kMaxZoom)
        return false;
    zoom = static_cast<float>(value);
    return true;
}

bool ParseOptions(int argc, char** argv, PanelOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "-o" || arg == "--output") {
            const char* v = value("--output");
            if (v == nullptr)
                return false;
            options.output = v;
        } else if (arg == "--zoom") {
            const char* v = value("--zoom");
            if (v == nullptr)
                return false;
            if (!ParseZoom(v, options.zoom)) {
                error = "--zoom takes a number from 0.5 to 4, not \"" + std::string(v) + "\"";
                return false;
            }
        } else if (arg == "--set") {
            const char* v = value("--set");
            if (v == nullptr)
                return false;
            options.settings.emplace_back(v);
        } else if (arg == "--state") {
            const char* v = value("--state");
            if (v == nullptr)
                return false;
            options.stateFile = v;
        } else {
            error = "unknown option \"" + arg + "\" (--help lists them)";
            return false;
        }
    }
    return true;
}

bool ReadState(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad() && static_cast<std::streamsize>(bytes.size()) <= kMaxStateBytes;
}

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "lumaro-panel: %s\n", message.c_str());
    return status;
}

} // namespace

int main(int argc, char** argv) {
    PanelOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error))
        return Fail(render::kExitUsage, error);
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return render::kExitOk;
    }

    offscreen::OffscreenPanel panel(options.zoom);
    const render::ControllerCatalogue catalogue(&panel.Controller(), "Lumaro EQ");
    if (options.list) {
        std::fputs(render::DescribeParameters(catalogue).c_str(), stdout);
        return render::kExitOk;
    }
    if (!options.stateFile.empty()) {
        std::vector<uint8_t> state;
        if (!ReadState(options.stateFile, state))
            return Fail(render::kExitInput,
                        "cannot read the state file \"" + options.stateFile + "\"");
        if (!panel.LoadState(state))
            return Fail(render::kExitPlugin,
                        "Lumaro EQ refuses the state in \"" + options.stateFile + "\"");
    }
    for (const std::string& text : options.settings) {
        render::ParameterSetting setting;
        Steinberg::Vst::ParamID id = 0;
        double normalized = 0.0;
        std::string note;
        if (!render::ParseSetting(text, setting, error) ||
            !render::ResolveSetting(catalogue, setting, id, normalized, error, note))
            return Fail(render::kExitUsage, error);
        if (!note.empty())
            std::fprintf(stderr, "lumaro-panel: note: %s\n", note.c_str());
        panel.Controller().setParamNormalized(id, normalized);
    }

    ui::IEditorOffscreen* editor = panel.Editor();
    if (editor == nullptr)
        return Fail(render::kExitFailed, "the editor could not be made");
    editor->DrawAll();
    // Written beside the output and renamed when complete: a failure leaves
    // nothing, or the previous picture, behind.
    const std::string temporary =
        options.output + ".tmp-" + std::to_string(static_cast<long>(getpid()));
    if (!editor->WritePng(temporary) ||
        std::rename(temporary.c_str(), options.output.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Fail(render::kExitOutput, "cannot write \"" + options.output + "\"");
    }
    const ui::FrameBufferView frame = editor->FrameBuffer();
    std::printf("%s: %d x %d pixels at zoom %g\n", options.output.c_str(), frame.width,
                frame.height, static_cast<double>(options.zoom));
    return render::kExitOk;
}
