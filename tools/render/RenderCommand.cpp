#include "tools/render/RenderCommand.h"

#include "tools/render/DefaultProgramme.h"
#include "tools/render/EffectSession.h"
#include "tools/render/ParameterSettings.h"
#include "tools/render/SoundFiles.h"
#include "tools/render/StreamRenderer.h"

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <unistd.h>

namespace render {

namespace {

constexpr double kDefaultSeconds = 6.0;
// Files shorter than this finish before a bar would be worth reading.
constexpr double kProgressMinimumSeconds = 5.0;
// A state is a few hundred bytes; anything far larger is not one.
constexpr std::uintmax_t kMaxStateFileBytes = 1 << 20;
constexpr double kProbeFrequenciesHz[] = {50.0, 100.0, 1000.0, 5000.0, 12000.0};

// An error with the exit status it maps to.
struct Failure {
    int status;
    std::string message;
};

class Command {
public:
    Command(const Options& options, std::FILE* out, std::FILE* err, const std::atomic<bool>& stop)
        : options(options), out(out), err(err), stop(stop) {}

    int Run();

private:
    int Fail(int status, const std::string& message) {
        std::fprintf(err, "lumaro-render: error: %s\n", message.c_str());
        return status;
    }
    bool OpenSession(Failure& failure);
    bool ApplyStateAndSettings(bool colourDefault, Failure& failure);
    bool Prepare(double rateHz, int32_t channels, Failure& failure);
    bool CaptureState(std::vector<std::uint8_t>& state, Failure& failure);
    bool WriteStateFile(const std::vector<std::uint8_t>& state, Failure& failure);
    int RenderFile();
    int RenderDefault();
    int Interrupted() {
        std::fprintf(err, "lumaro-render: interrupted; nothing was written\n");
        return kExitInterrupted;
    }
    int RenderFailure(RenderResult::Outcome outcome, const std::string& input,
                      const std::string& output);
    void PrintSummary(const std::string& input, const std::string& output, int format,
                      double rateHz, int32_t channels, const RenderResult& result, double seconds);

    const Options& options;
    std::FILE* out;
    std::FILE* err;
    const std::atomic<bool>& stop;
    std::unique_ptr<EffectSession> session;
};

bool Command::OpenSession(Failure& failure) {
    std::string error;
    session = EffectSession::Open(options.pluginPath, error);
    if (!session)
        failure = {kExitPlugin, error};
    return static_cast<bool>(session);
}

bool Command::ApplyStateAndSettings(bool colourDefault, Failure& failure) {
    if (!options.stateFile.empty()) {
        std::error_code code;
        const std::uintmax_t size = std::filesystem::file_size(options.stateFile, code);
        std::ifstream file(options.stateFile, std::ios::binary);
        if (code || !file) {
            failure = {kExitInput, "cannot read the state file \"" + options.stateFile + "\""};
            return false;
        }
        if (size > kMaxStateFileBytes) {
            failure = {kExitInput, "\"" + options.stateFile + "\" is too large to be a state"};
            return false;
        }
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                              std::istreambuf_iterator<char>());
        if (!session->LoadState(bytes)) {
            failure = {kExitPlugin, "\"" + session->EffectName() + "\" refuses the state in \"" +
                                        options.stateFile + "\""};
            return false;
        }
    }

    std::vector<std::string> texts;
    if (colourDefault) {
        // Only an effect with every parameter of the coloured setting gets it
        // (another bundle given with --plugin renders at its own defaults).
        bool known = true;
        for (const std::string& text : DefaultColourSettings()) {
            ParameterSetting setting;
            std::string ignored;
            known = known && ParseSetting(text, setting, ignored) &&
                    session->FindParameter(setting.name);
        }
        if (known)
            texts = DefaultColourSettings();
    }
    texts.insert(texts.end(), options.settings.begin(), options.settings.end());

    for (const std::string& text : texts) {
        ParameterSetting setting;
        Steinberg::Vst::ParamID id = 0;
        double normalized = 0.0;
        std::string error;
        std::string note;
        if (!ParseSetting(text, setting, error) ||
            !ResolveSetting(*session, setting, id, normalized, error, note)) {
            failure = {kExitUsage, error};
            return false;
        }
        if (!note.empty())
            std::fprintf(err, "lumaro-render: note: %s\n", note.c_str());
        session->SetParameter(id, normalized);
    }
    return true;
}

bool Command::Prepare(double rateHz, int32_t channels, Failure& failure) {
    SessionFormat format;
    format.sampleRate = rateHz;
    format.channels = channels;
    format.maxBlockFrames = options.blockFrames;
    format.offline = options.offline;
    std::string error;
    if (!session->Prepare(format, error)) {
        failure = {kExitPlugin, error};
        return false;
    }
    return true;
}

bool Command::CaptureState(std::vector<std::uint8_t>& state, Failure& failure) {
    if (options.saveStateFile.empty())
        return true;
    if (!session->SaveState(state)) {
        failure = {kExitPlugin, "\"" + session->EffectName() + "\" gives no state to save"};
        return false;
    }
    return true;
}

bool Command::WriteStateFile(const std::vector<std::uint8_t>& state, Failure& failure) {
    if (options.saveStateFile.empty())
        return true;
    const std::string temporary =
        options.saveStateFile + ".partial-" + std::to_string(static_cast<long long>(getpid()));
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(state.data()),
                   static_cast<std::streamsize>(state.size()));
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            failure = {kExitOutput,
                       "cannot write the state file \"" + options.saveStateFile + "\""};
            return false;
        }
    }
    if (std::rename(temporary.c_str(), options.saveStateFile.c_str()) != 0) {
        std::remove(temporary.c_str());
        failure = {kExitOutput, "cannot write the state file \"" + options.saveStateFile + "\""};
        return false;
    }
    return true;
}

int Command::RenderFailure(RenderResult::Outcome outcome, const std::string& input,
                           const std::string& output) {
    switch (outcome) {
    case RenderResult::Outcome::Interrupted:
        return Interrupted();
    case RenderResult::Outcome::ReadFailed:
        return Fail(kExitInput, "reading \"" + input + "\" failed part way");
    case RenderResult::Outcome::WriteFailed:
        return Fail(kExitOutput, "writing \"" + output + "\" failed (disk full?)");
    case RenderResult::Outcome::ProcessFailed:
    case RenderResult::Outcome::Done:
        break;
    }
    return Fail(kExitFailed, "\"" + session->EffectName() + "\" failed while processing");
}

void Command::PrintSummary(const std::string& input, const std::string& output, int format,
                           double rateHz, int32_t channels, const RenderResult& result,
                           double seconds) {
    const double audioSeconds = static_cast<double>(result.frames) / rateHz;
    std::fprintf(out,
                 "rendered \"%s\" -> \"%s\": %.2f s %s %.0f Hz, %s, latency %d samples "
                 "compensated, %.2f s (%.0fx real time)\n",
                 input.c_str(), output.c_str(), audioSeconds, channels == 1 ? "mono" : "stereo",
                 rateHz, DescribeFormat(format).c_str(), result.latencySamples, seconds,
                 seconds > 0.0 ? audioSeconds / seconds : 0.0);
}

int Command::RenderFile() {
    std::string error;
    auto reader = SoundFileReader::Open(options.input, error);
    if (!reader)
        return Fail(kExitInput, error);
    const SoundFormat& input = reader->Format();
    if (input.channels < 1 || input.channels > 2)
        return Fail(kExitInput, "\"" + options.input + "\" has " + std::to_string(input.channels) +
                                    " channels; only mono and stereo files can be rendered");
    const std::string output =
        options.output.empty() ? DefaultOutputFor(options.input) : options.output;
    std::error_code code;
    if (std::filesystem::exists(output, code) &&
        std::filesystem::equivalent(options.input, output, code))
        return Fail(kExitUsage, "the output would overwrite the input \"" + options.input + "\"");
    const int format =
        ChooseOutputFormat(input.format, input.channels, output, options.asFloat, error);
    if (!format)
        return Fail(kExitUsage, error);

    Failure failure;
    std::vector<std::uint8_t> state;
    if (!OpenSession(failure) || !ApplyStateAndSettings(false, failure) ||
        !Prepare(input.sampleRate, input.channels, failure) || !CaptureState(state, failure))
        return Fail(failure.status, failure.message);

    auto writer = SoundFileWriter::Create(output, format, input.channels, input.sampleRate, error);
    if (!writer)
        return Fail(kExitOutput, error);
    StreamRenderer renderer(*session);
    const bool showProgress =
        isatty(fileno(err)) && static_cast<double>(input.frames) >
                                   kProgressMinimumSeconds * static_cast<double>(input.sampleRate);
    ProgressBar progress(err, showProgress, input.frames);
    const auto started = std::chrono::steady_clock::now();
    const RenderResult result = renderer.Render(*reader, *writer, &stop, &progress);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    progress.Finish();
    if (result.outcome != RenderResult::Outcome::Done)
        return RenderFailure(result.outcome, options.input, output);
    if (stop.load())
        return Interrupted();
    if (!writer->Commit(error))
        return Fail(kExitOutput, error);
    if (!WriteStateFile(state, failure))
        return Fail(failure.status, failure.message);
    PrintSummary(options.input, output, format, input.sampleRate, input.channels, result, seconds);
    return kExitOk;
}

int Command::RenderDefault() {
    const std::filesystem::path folder(options.outputFolder);
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (!std::filesystem::is_directory(folder, code))
        return Fail(kExitOutput, "cannot create the output folder \"" + folder.string() + "\"");
    const std::string dryPath = (folder / "programme-dry.wav").string();
    const std::string wetPath = (folder / "programme-eq.wav").string();
    const int format = SF_FORMAT_WAV | (options.asFloat ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
    constexpr int32_t channels = 2;
    const double rateHz = options.rateHz;

    Failure failure;
    std::vector<std::uint8_t> state;
    if (!OpenSession(failure) || !ApplyStateAndSettings(options.stateFile.empty(), failure) ||
        !Prepare(rateHz, channels, failure) || !CaptureState(state, failure))
        return Fail(failure.status, failure.message);

    std::string error;
    std::vector<double> programme = MakeProgramme(options.rateHz, kDefaultSeconds);
    if (const int bits = PcmBitsOf(format)) {
        // The processed file is the render of the dry file as stored.
        const double scale = std::ldexp(1.0, bits - 1);
        for (double& sample : programme)
            sample = std::round(sample * scale) / scale;
    }
    auto dry = SoundFileWriter::Create(dryPath, format, channels, options.rateHz, error);
    if (!dry)
        return Fail(kExitOutput, error);
    const int64_t programmeFrames = static_cast<int64_t>(programme.size() / channels);
    dry->Reserve(programmeFrames);
    if (!dry->Write(programme.data(), programmeFrames))
        return Fail(kExitOutput, "writing \"" + dryPath + "\" failed (disk full?)");
    auto wet = SoundFileWriter::Create(wetPath, format, channels, options.rateHz, error);
    if (!wet)
        return Fail(kExitOutput, error);

    MemorySource source(programme, channels);
    StreamRenderer renderer(*session);
    const auto started = std::chrono::steady_clock::now();
    const RenderResult result = renderer.Render(source, *wet, &stop);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (result.outcome != RenderResult::Outcome::Done)
        return RenderFailure(result.outcome, "built-in programme", wetPath);

    double gainsDb[std::size(kProbeFrequenciesHz)];
    for (std::size_t i = 0; i < std::size(kProbeFrequenciesHz); ++i)
        gainsDb[i] = MeasureGainDb(*session, kProbeFrequenciesHz[i]);
    if (stop.load())
        return Interrupted();
    if (!dry->Commit(error) || !wet->Commit(error))
        return Fail(kExitOutput, error);
    if (!WriteStateFile(state, failure))
        return Fail(failure.status, failure.message);

    std::fprintf(out, "Lumaro render of the built-in programme (%.0f s, stereo, %.0f Hz)\n",
                 kDefaultSeconds, rateHz);
    std::fprintf(out, "  plug-in   %s (%s)\n", session->EffectName().c_str(),
                 options.pluginPath.c_str());
    std::string settings;
    for (const ParameterInfo& parameter : session->Parameters()) {
        using Steinberg::Vst::ParameterInfo;
        if (parameter.flags & (ParameterInfo::kIsProgramChange | ParameterInfo::kIsBypass))
            continue;
        settings += (settings.empty() ? "" : ", ") + parameter.title + " " +
                    session->TextForValue(parameter.id, session->NormalizedValue(parameter.id)) +
                    (parameter.units.empty() ? "" : " " + parameter.units);
    }
    std::fprintf(out, "  settings  %s\n", settings.c_str());
    std::fprintf(out, "  dry       %s\n  processed %s\n", dryPath.c_str(), wetPath.c_str());
    std::fprintf(out, "  level in  peak %6.1f dBFS   RMS %6.1f dBFS\n", result.input.PeakDb(),
                 result.input.RmsDb());
    std::fprintf(out, "  level out peak %6.1f dBFS   RMS %6.1f dBFS\n", result.output.PeakDb(),
                 result.output.RmsDb());
    std::fprintf(out, "  latency   %d samples (compensated)\n", result.latencySamples);
    std::fprintf(out, "  measured gain (sine at %.0f dBFS):\n", LevelMeter::ToDb(kProbeAmplitude));
    for (std::size_t i = 0; i < std::size(kProbeFrequenciesHz); ++i)
        std::fprintf(out, "    %7.0f Hz  %+6.2f dB\n", kProbeFrequenciesHz[i], gainsDb[i]);
    PrintSummary("built-in programme", wetPath, format, rateHz, channels, result, seconds);
    return kExitOk;
}

int Command::Run() {
    if (options.list) {
        Failure failure;
        if (!OpenSession(failure))
            return Fail(failure.status, failure.message);
        std::fputs(DescribeParameters(*session).c_str(), out);
        return kExitOk;
    }
    return options.input.empty() ? RenderDefault() : RenderFile();
}

} // namespace

int RunRenderCommand(const Options& options, std::FILE* out, std::FILE* err,
                     const std::atomic<bool>& stop) {
    return Command(options, out, err, stop).Run();
}

} // namespace render
