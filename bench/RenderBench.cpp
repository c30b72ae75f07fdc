// Times a 10-minute stereo 48 kHz render through the plug-in, plain and
// oversampled: the plug-in alone (process calls from memory through the host
// library) next to the whole lumaro-render program on a 24-bit WAV file, so
// that the program's own overhead (file reading, conversion, writing) shows.
// Reports; asserts nothing.
//
//   lumaro-render-bench [--plugin BUNDLE] [--minutes N]

#include "tools/render/DefaultProgramme.h"
#include "tools/render/EffectSession.h"
#include "tools/render/ParameterSettings.h"
#include "tools/render/SoundFiles.h"

#include <sndfile.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef LUMARO_RENDER_PROGRAM
#error "LUMARO_RENDER_PROGRAM must name the lumaro-render executable"
#endif
#ifndef LUMARO_EQ_BUNDLE
#error "LUMARO_EQ_BUNDLE must name the default bundle"
#endif

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kBlock = 512;
// The programme repeats this often-enough loop rather than being held whole.
constexpr double kLoopSeconds = 10.0;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The colour setting applied for both paths, so that every band is active.
std::vector<std::string> Settings(const render::EffectSession& session, bool oversampled) {
    std::vector<std::string> texts;
    for (const std::string& text : render::DefaultColourSettings()) {
        render::ParameterSetting setting;
        std::string ignored;
        if (render::ParseSetting(text, setting, ignored) && session.FindParameter(setting.name))
            texts.push_back(text);
    }
    if (oversampled)
        texts.push_back("Oversampling=on");
    return texts;
}

bool PluginAlone(const std::string& bundle, bool oversampled, int64_t frames,
                 const std::vector<double>& loop, double& seconds,
                 std::vector<std::string>& texts) {
    std::string error;
    auto session = render::EffectSession::Open(bundle, error);
    if (!session) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    texts = Settings(*session, oversampled);
    for (const std::string& text : texts) {
        render::ParameterSetting setting;
        Steinberg::Vst::ParamID id = 0;
        double normalized = 0.0;
        std::string note;
        if (!render::ParseSetting(text, setting, error) ||
            !render::ResolveSetting(*session, setting, id, normalized, error, note)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        session->SetParameter(id, normalized);
    }
    render::SessionFormat format;
    format.sampleRate = kRate;
    format.channels = kChannels;
    format.maxBlockFrames = kBlock;
    if (!session->Prepare(format, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::vector<double> planar(2 * kChannels * kBlock);
    double* inputs[kChannels] = {planar.data(), planar.data() + kBlock};
    double* outputs[kChannels] = {planar.data() + 2 * kBlock, planar.data() + 3 * kBlock};
    const int64_t loopFrames = static_cast<int64_t>(loop.size() / kChannels);
    const auto started = Clock::now();
    for (int64_t start = 0; start < frames; start += kBlock) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(kBlock, frames - start));
        for (int32_t i = 0; i < count; ++i) {
            const std::size_t at = static_cast<std::size_t>((start + i) % loopFrames) * kChannels;
            inputs[0][i] = loop[at];
            inputs[1][i] = loop[at + 1];
        }
        session->Process(inputs, outputs, count);
    }
    seconds = Seconds(started);
    return true;
}

bool WriteInput(const std::string& path, int64_t frames, const std::vector<double>& loop) {
    std::string error;
    auto writer = render::SoundFileWriter::Create(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, kChannels,
                                                  kRate, error);
    if (!writer) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    const int64_t loopFrames = static_cast<int64_t>(loop.size() / kChannels);
    writer->Reserve(loopFrames);
    for (int64_t written = 0; written < frames; written += loopFrames)
        if (!writer->Write(loop.data(), std::min(loopFrames, frames - written)))
            return false;
    return writer->Commit(error);
}

double RunProgram(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{LUMARO_RENDER_PROGRAM};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // Only its timing matters here; its summary line would interleave.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = Seconds(started);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

} // namespace

int main(int argc, char** argv) {
    std::string bundle = LUMARO_EQ_BUNDLE;
    double minutes = 10.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--plugin")
            bundle = argv[i + 1];
        else if (name == "--minutes")
            minutes = std::atof(argv[i + 1]);
    }
    const int64_t frames = static_cast<int64_t>(minutes * 60.0 * kRate);
    const std::vector<double> loop = render::MakeProgramme(kRate, kLoopSeconds);

    char pattern[] = "/tmp/lumaro-render-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    const std::string input = (folder / "input.wav").string();
    const std::string output = (folder / "output.wav").string();
    std::printf("lumaro-render benchmark: %.1f min stereo %d Hz, 24-bit WAV, blocks of %d\n",
                minutes, kRate, kBlock);
    std::printf("plug-in: %s\n", bundle.c_str());
    std::fflush(stdout);
    if (!WriteInput(input, frames, loop))
        return 1;

    std::printf("%-12s %14s %14s %14s %12s\n", "path", "plug-in (s)", "program (s)", "overhead (s)",
                "realtime x");
    for (const bool oversampled : {false, true}) {
        double alone = 0.0;
        std::vector<std::string> texts;
        if (!PluginAlone(bundle, oversampled, frames, loop, alone, texts))
            return 1;
        std::vector<std::string> arguments{"--plugin", bundle, input, "-o", output};
        for (const std::string& text : texts)
            arguments.insert(arguments.end(), {"--set", text});
        const double program = RunProgram(arguments);
        std::fflush(stdout);
        std::printf("%-12s %14.2f %14.2f %14.2f %12.1f\n", oversampled ? "oversampled" : "plain",
                    alone, program, program - alone, minutes * 60.0 / program);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
