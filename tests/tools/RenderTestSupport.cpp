#include "RenderTestSupport.h"

#include "tools/render/SoundFiles.h"

#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <numbers>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#ifndef LUMARO_RENDER_PROGRAM
#error "LUMARO_RENDER_PROGRAM must name the lumaro-render executable"
#endif

namespace render_test {

namespace {

void Redirect(const std::filesystem::path& path, int fd) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file >= 0) {
        dup2(file, fd);
        close(file);
    }
}

} // namespace

RunningRender StartRender(const std::vector<std::string>& arguments,
                          const std::filesystem::path& scratch) {
    static int counter = 0;
    RunningRender running;
    const std::string stem = "run" + std::to_string(++counter);
    running.outFile = scratch / (stem + ".stdout");
    running.errFile = scratch / (stem + ".stderr");
    std::vector<std::string> all{LUMARO_RENDER_PROGRAM};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    running.pid = fork();
    if (running.pid == 0) {
        const int nullInput = open("/dev/null", O_RDONLY);
        dup2(nullInput, 0);
        Redirect(running.outFile, 1);
        Redirect(running.errFile, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return running;
}

RunResult Wait(const RunningRender& running) {
    RunResult result;
    int status = 0;
    if (running.pid > 0 && waitpid(running.pid, &status, 0) == running.pid) {
        if (WIFEXITED(status))
            result.exitStatus = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            result.exitStatus = 128 + WTERMSIG(status);
    }
    result.out = ReadText(running.outFile);
    result.err = ReadText(running.errFile);
    std::filesystem::remove(running.outFile);
    std::filesystem::remove(running.errFile);
    return result;
}

RunResult RunRender(const std::vector<std::string>& arguments) {
    static const std::filesystem::path logs = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumaro-render-logs-XXXXXX").string();
        return std::filesystem::path(mkdtemp(pattern.data()));
    }();
    return Wait(StartRender(arguments, logs));
}

ScratchFolder::ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lumaro-render-test-XXXXXX").string();
    folder = mkdtemp(pattern.data());
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::vector<std::string> ScratchFolder::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int BitsOf(int format) {
    return render::PcmBitsOf(format);
}

void WriteSound(const std::filesystem::path& path, const Sound& sound) {
    SF_INFO info{};
    info.format = sound.format;
    info.channels = sound.channels;
    info.samplerate = sound.sampleRate;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    if (const int bits = BitsOf(sound.format)) {
        // libsndfile takes integers left-justified in 32 bits.
        std::vector<int> justified(sound.pcm.size());
        for (std::size_t i = 0; i < sound.pcm.size(); ++i)
            justified[i] = static_cast<int>(sound.pcm[i] * (int64_t{1} << (32 - bits)));
        EXPECT_EQ(sf_writef_int(file, justified.data(), sound.Frames()), sound.Frames());
    } else {
        EXPECT_EQ(sf_writef_double(file, sound.values.data(), sound.Frames()), sound.Frames());
    }
    sf_close(file);
}

Sound ReadSound(const std::filesystem::path& path) {
    Sound sound;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (!file)
        return sound;
    sound.format = info.format;
    sound.channels = info.channels;
    sound.sampleRate = info.samplerate;
    const std::size_t samples = static_cast<std::size_t>(info.frames * info.channels);
    if (const int bits = BitsOf(info.format)) {
        std::vector<int> justified(samples);
        EXPECT_EQ(sf_readf_int(file, justified.data(), info.frames), info.frames);
        sound.pcm.resize(samples);
        for (std::size_t i = 0; i < samples; ++i)
            sound.pcm[i] = justified[i] >> (32 - bits);
    } else {
        sound.values.resize(samples);
        EXPECT_EQ(sf_readf_double(file, sound.values.data(), info.frames), info.frames);
    }
    sf_close(file);
    return sound;
}

std::vector<int64_t> PatternPcm(int64_t frames, int channels, int bits, double amplitude,
                                int64_t step) {
    const std::vector<double> values = PatternValues(frames, channels, amplitude);
    const double scale = std::ldexp(1.0, bits - 1);
    std::vector<int64_t> pcm(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        pcm[i] = static_cast<int64_t>(std::llround(values[i] * scale / static_cast<double>(step))) *
                 step;
    return pcm;
}

std::vector<double> PatternValues(int64_t frames, int channels, double amplitude) {
    std::vector<double> values(static_cast<std::size_t>(frames * channels));
    uint32_t noise = 987654321u;
    for (int64_t n = 0; n < frames; ++n) {
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double t = static_cast<double>(n);
            double x = 0.0;
            if (c == 0)
                x = 0.7 * std::sin(2.0 * std::numbers::pi * t / 97.0) +
                    0.3 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
            else
                x = 2.0 * std::fmod(t / 61.0, 1.0) - 1.0;
            values[static_cast<std::size_t>(n * channels + c)] = amplitude * x;
        }
    }
    return values;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace render_test
