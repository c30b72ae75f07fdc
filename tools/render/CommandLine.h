#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render {

// Exit statuses, one per kind of failure, so that scripts can tell them apart.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,        // the effect failed while processing
    kExitUsage = 2,         // bad option, parameter name or value text
    kExitInput = 3,         // input or state file missing, unreadable or unsupported
    kExitPlugin = 4,        // bundle does not load, or refuses the format or state
    kExitOutput = 5,        // output cannot be written
    kExitInterrupted = 130, // SIGINT or SIGTERM; nothing written
};

struct Options {
    std::string input;        // empty: the built-in default render
    std::string output;       // empty: derived from the input
    std::string outputFolder; // default render only
    std::string pluginPath;   // empty: the first pluginBundleName in pluginFolders
    std::string pluginBundleName;
    std::vector<std::string> pluginFolders;
    std::string stateFile;     // --state
    std::string saveStateFile; // --save-state
    std::vector<std::string> settings;
    bool list = false;
    bool offline = false;
    bool asFloat = false;
    bool help = false;
    int32_t blockFrames = 512;
    int32_t rateHz = 48000;
    bool rateGiven = false;
};

inline constexpr int32_t kMaxBlockFrames = 65536;
inline constexpr int32_t kMinRateHz = 8000;
inline constexpr int32_t kMaxRateHz = 768000;

// options arrives filled with the defaults. False with a reason in error.
bool ParseCommandLine(int argc, const char* const* argv, Options& options, std::string& error);

std::string UsageText(const Options& defaults);

// "song.wav" -> "song-eq.wav", beside the input.
std::string DefaultOutputFor(const std::string& input);

} // namespace render
