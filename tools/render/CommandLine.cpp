#include "tools/render/CommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace render {

namespace {

bool ParseInt(const std::string& text, int32_t low, int32_t high, int32_t& value) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

std::string FolderList(const std::vector<std::string>& folders) {
    std::string list;
    for (const std::string& folder : folders)
        list += "\n                            " + folder;
    return list;
}

} // namespace

bool ParseCommandLine(int argc, const char* const* argv, Options& options, std::string& error) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        // Options that take a value accept "--name value" and "--name=value".
        std::string name = argument;
        std::string value;
        bool hasInlineValue = false;
        if (argument.rfind("--", 0) == 0) {
            const std::size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                name = argument.substr(0, equals);
                value = argument.substr(equals + 1);
                hasInlineValue = true;
            }
        }
        auto takeValue = [&](std::string& into) {
            if (hasInlineValue) {
                into = value;
                return true;
            }
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        auto noValue = [&]() {
            if (hasInlineValue)
                error = name + " takes no value";
            return !hasInlineValue;
        };

        std::string text;
        if (name == "-h" || name == "--help") {
            if (!noValue())
                return false;
            options.help = true;
        } else if (name == "--list") {
            if (!noValue())
                return false;
            options.list = true;
        } else if (name == "--offline") {
            if (!noValue())
                return false;
            options.offline = true;
        } else if (name == "--float") {
            if (!noValue())
                return false;
            options.asFloat = true;
        } else if (name == "--set") {
            if (!takeValue(text))
                return false;
            options.settings.push_back(text);
        } else if (name == "-o" || name == "--output") {
            if (!takeValue(options.output))
                return false;
        } else if (name == "--output-folder") {
            if (!takeValue(options.outputFolder))
                return false;
        } else if (name == "--plugin") {
            if (!takeValue(options.pluginPath))
                return false;
        } else if (name == "--state") {
            if (!takeValue(options.stateFile))
                return false;
        } else if (name == "--save-state") {
            if (!takeValue(options.saveStateFile))
                return false;
        } else if (name == "--block") {
            if (!takeValue(text))
                return false;
            if (!ParseInt(text, 1, kMaxBlockFrames, options.blockFrames)) {
                error = "--block takes a whole number of frames from 1 to " +
                        std::to_string(kMaxBlockFrames) + ", not \"" + text + "\"";
                return false;
            }
        } else if (name == "--rate") {
            if (!takeValue(text))
                return false;
            if (!ParseInt(text, kMinRateHz, kMaxRateHz, options.rateHz)) {
                error = "--rate takes a sample rate in Hz from " + std::to_string(kMinRateHz) +
                        " to " + std::to_string(kMaxRateHz) + ", not \"" + text + "\"";
                return false;
            }
            options.rateGiven = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            error = "unknown option \"" + argument + "\" (--help lists them)";
            return false;
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() > 1) {
        error = "one input file at a time (use -o to name the output)";
        return false;
    }
    if (!positional.empty())
        options.input = positional.front();
    if (!options.input.empty() && options.rateGiven) {
        error = "--rate sets the rate of the built-in signal; a file keeps its own rate";
        return false;
    }
    if (options.input.empty() && !options.output.empty()) {
        error = "-o names the output of an input file; the built-in render writes into "
                "--output-folder";
        return false;
    }
    return true;
}

std::string DefaultOutputFor(const std::string& input) {
    const std::filesystem::path path(input);
    std::filesystem::path output = path;
    output.replace_filename(path.stem().string() + "-eq" + path.extension().string());
    return output.string();
}

std::string UsageText(const Options& defaults) {
    return "usage: lumaro-render [options] [INPUT]\n"
           "\n"
           "Renders a WAV, AIFF or FLAC file (mono or stereo) through the Lumaro EQ\n"
           "VST 3 plug-in. The output has the input's format and length and lines up\n"
           "with it sample for sample (the plug-in's latency is compensated).\n"
           "Without INPUT, renders built-in programme material at a coloured setting\n"
           "into the output folder, next to the dry signal, and reports levels and\n"
           "the measured gain at five frequencies.\n"
           "\n"
           "options:\n"
           "  -o, --output FILE       output file (default: INPUT-eq with INPUT's extension;\n"
           "                          the extension .wav, .aif(f) or .flac picks the type)\n"
           "  --set \"NAME=VALUE\"      set a parameter as its display shows it, e.g.\n"
           "                          --set \"HPF=80 Hz\" --set \"MF Level 1=6\" (repeatable)\n"
           "  --list                  list the parameters with their ranges and values\n"
           "  --state FILE            load a state saved by --save-state (or a host)\n"
           "  --save-state FILE       save the plug-in's state after the settings\n"
           "  --offline               render in the offline process mode\n"
           "  --float                 write 32-bit float samples\n"
           "  --block N               frames per process call (default " +
           std::to_string(defaults.blockFrames) +
           ")\n"
           "  --rate HZ               sample rate of the built-in signal (default " +
           std::to_string(defaults.rateHz) +
           ")\n"
           "  --output-folder DIR     where the built-in render writes\n"
           "                          (default " +
           defaults.outputFolder +
           ")\n"
           "  --plugin PATH           the .vst3 bundle to load (default: the first\n"
           "                          " +
           (defaults.pluginPath.empty() ? defaults.pluginBundleName : defaults.pluginPath) +
           (defaults.pluginPath.empty() ? " in" + FolderList(defaults.pluginFolders) : "") +
           ")\n"
           "  -h, --help              this text\n"
           "\n"
           "exit status: 0 done, 1 processing failed, 2 bad option or setting,\n"
           "3 input unusable, 4 plug-in unusable, 5 output not written, 130 interrupted.\n";
}

} // namespace render
