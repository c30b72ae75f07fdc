#pragma once

// Running lumaro-render as a user would, and the sound files it reads and
// writes, for the renderer tests.
#include <sndfile.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace render_test {

struct RunResult {
    int exitStatus = -1; // the exit code, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs the program with the arguments; stdin is /dev/null.
RunResult RunRender(const std::vector<std::string>& arguments);

// Starts the program without waiting; Wait collects it.
struct RunningRender {
    int pid = -1;
    std::filesystem::path outFile;
    std::filesystem::path errFile;
};
RunningRender StartRender(const std::vector<std::string>& arguments,
                          const std::filesystem::path& scratch);
RunResult Wait(const RunningRender& running);

// A fresh folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::filesystem::path Path(const std::string& name) const { return folder / name; }
    const std::filesystem::path& Folder() const { return folder; }
    // Names of the files in the folder, sorted (hidden ones included).
    std::vector<std::string> Names() const;

private:
    std::filesystem::path folder;
};

// A sound file's header and its samples, interleaved. PCM files are read as
// integers at their own width (a 16-bit sample is -32768..32767), float
// files as their values.
struct Sound {
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    std::vector<int64_t> pcm;
    std::vector<double> values;
    int64_t Frames() const {
        return static_cast<int64_t>((pcm.empty() ? values.size() : pcm.size()) /
                                    static_cast<std::size_t>(channels));
    }
};

int BitsOf(int format);

// pcm for integer formats (at the format's width), values for float ones.
void WriteSound(const std::filesystem::path& path, const Sound& sound);
Sound ReadSound(const std::filesystem::path& path);

// Interleaved samples with a different, deterministic pattern in each
// channel: a sine, a sawtooth and noise, scaled to +-amplitude of full
// scale and rounded to multiples of step at the given width.
std::vector<int64_t> PatternPcm(int64_t frames, int channels, int bits, double amplitude,
                                int64_t step);
std::vector<double> PatternValues(int64_t frames, int channels, double amplitude);

std::string ReadText(const std::filesystem::path& path);

} // namespace render_test
