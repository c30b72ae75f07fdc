#include "tools/render/EffectSession.h"

#include "tools/render/TextConversion.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <array>
#include <dlfcn.h>

namespace render {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::unique_ptr<EffectSession> EffectSession::Open(const std::string& bundlePath,
                                                   std::string& error) {
    std::unique_ptr<EffectSession> session(new EffectSession);
    vst3host::HostContext::Options options;
    options.name = "lumaro-render";
    session->context = owned(new vst3host::HostContext(options));

    std::string reason;
    session->module = vst3host::Module::Load(bundlePath, &reason);
    if (!session->module) {
        error = "cannot load the plug-in \"" + bundlePath + "\": " + reason;
        return nullptr;
    }
    // The library stays mapped until the process ends. Some of a module's
    // own dependencies are not made to be unloaded (the OpenMP runtime that
    // libsoxr pulls in leaves its start-up allocation behind on dlclose), and
    // a program that loads one module once gains nothing from unloading it.
    dlopen(session->module->LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    session->module->SetHostContext(session->context->Unknown());
    const auto effectClass = session->module->FindClass(kVstAudioEffectClass);
    if (!effectClass) {
        error = "the plug-in \"" + bundlePath + "\" offers no audio effect";
        return nullptr;
    }
    session->instance =
        vst3host::PluginInstance::Create(*session->module, effectClass->cid, &reason);
    if (!session->instance) {
        error = "cannot create \"" + effectClass->name + "\": " + reason;
        return nullptr;
    }
    if (session->instance->Initialize(session->context->Unknown()) != kResultOk) {
        error = "\"" + effectClass->name + "\" failed to initialize";
        return nullptr;
    }

    session->catalogue =
        std::make_unique<ControllerCatalogue>(session->instance->Controller(), effectClass->name);
    session->pending.reserve(session->catalogue->Parameters().size());
    return session;
}

EffectSession::~EffectSession() {
    Unprepare();
}

double EffectSession::NormalizedValue(ParamID id) const {
    IEditController* controller = instance->Controller();
    return controller ? controller->getParamNormalized(id) : 0.0;
}

void EffectSession::SetParameter(ParamID id, double normalized) {
    if (IEditController* controller = instance->Controller())
        controller->setParamNormalized(id, normalized);
    for (PendingValue& value : pending) {
        if (value.id == id) {
            value.normalized = normalized;
            return;
        }
    }
    pending.push_back({id, normalized});
}

bool EffectSession::LoadState(const std::vector<std::uint8_t>& bytes) {
    return instance->SetState(bytes) == kResultOk;
}

bool EffectSession::SaveState(std::vector<std::uint8_t>& bytes) {
    return instance->GetState(bytes) == kResultOk;
}

bool EffectSession::SetUp(std::string& error) {
    vst3host::ProcessConfig config;
    config.symbolicSampleSize = uses64Bit ? kSample64 : kSample32;
    config.sampleRate = format.sampleRate;
    config.maxBlockFrames = format.maxBlockFrames;
    config.processMode = format.offline ? kOffline : kRealtime;
    if (instance->SetupProcessing(config) != kResultOk) {
        error = "\"" + EffectName() + "\" refuses to process at " +
                std::to_string(static_cast<long long>(format.sampleRate)) + " Hz";
        return false;
    }
    if (instance->SetActive(true) != kResultOk) {
        error = "\"" + EffectName() + "\" refuses to be activated";
        return false;
    }
    prepared = true;
    instance->SetProcessing(true);
    return true;
}

void EffectSession::Unprepare() {
    if (!prepared || !instance)
        return;
    instance->SetProcessing(false);
    instance->SetActive(false);
    prepared = false;
}

bool EffectSession::FlushParameters() {
    changes.Clear();
    for (const PendingValue& value : pending)
        if (!changes.Add(value.id, 0, value.normalized))
            return false;
    pending.clear();
    // A zero-frame call still hands the buffers over; give it real ones.
    std::array<double, 2> silence{};
    std::array<double*, 2> channels{&silence[0], &silence[1]};
    std::array<float, 2> silence32{};
    std::array<float*, 2> channels32{&silence32[0], &silence32[1]};
    const tresult result = uses64Bit
                               ? instance->Process(channels.data(), format.channels,
                                                   channels.data(), format.channels, 0, &changes)
                               : instance->Process(channels32.data(), format.channels,
                                                   channels32.data(), format.channels, 0, &changes);
    changes.Clear();
    return result == kResultOk;
}

bool EffectSession::Prepare(const SessionFormat& requested, std::string& error) {
    Unprepare();
    format = requested;
    if (format.channels < 1 || format.channels > 2) {
        error = "only mono and stereo audio can be processed";
        return false;
    }
    IAudioProcessor* processor = instance->Processor();
    SpeakerArrangement arrangement = format.channels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
    SpeakerArrangement outputArrangement = arrangement;
    if (processor->setBusArrangements(&arrangement, 1, &outputArrangement, 1) != kResultOk) {
        error = "\"" + EffectName() + "\" does not take " +
                (format.channels == 1 ? std::string("mono") : std::string("stereo")) + " audio";
        return false;
    }
    uses64Bit = processor->canProcessSampleSize(kSample64) == kResultTrue;
    if (!uses64Bit && processor->canProcessSampleSize(kSample32) != kResultTrue) {
        error = "\"" + EffectName() + "\" takes neither 32-bit nor 64-bit samples";
        return false;
    }
    if (!SetUp(error))
        return false;
    if (!pending.empty()) {
        if (!FlushParameters()) {
            error = "\"" + EffectName() + "\" refused the parameter settings";
            return false;
        }
        Unprepare();
        if (!SetUp(error))
            return false;
    }
    // Deferred reports (a latency change, for one) arrive on the run loop.
    context->RunLoop().FireAllOnce();
    latencySamples = static_cast<int32_t>(processor->getLatencySamples());

    const std::size_t channels = static_cast<std::size_t>(format.channels);
    const std::size_t frames = static_cast<std::size_t>(format.maxBlockFrames);
    floatStorage.assign(uses64Bit ? 0 : 2 * channels * frames, 0.0f);
    floatInputs.assign(channels, nullptr);
    floatOutputs.assign(channels, nullptr);
    if (!uses64Bit) {
        for (std::size_t c = 0; c < channels; ++c) {
            floatInputs[c] = floatStorage.data() + c * frames;
            floatOutputs[c] = floatStorage.data() + (channels + c) * frames;
        }
    }
    return true;
}

bool EffectSession::Restart() {
    if (!prepared)
        return false;
    Unprepare();
    std::string ignored;
    if (!SetUp(ignored))
        return false;
    context->RunLoop().FireAllOnce();
    latencySamples = static_cast<int32_t>(instance->Processor()->getLatencySamples());
    return true;
}

bool EffectSession::Process(const double* const* inputs, double* const* outputs,
                            int32_t frames) noexcept {
    if (!prepared || frames < 0 || frames > format.maxBlockFrames)
        return false;
    if (uses64Bit)
        return instance->Process(const_cast<double* const*>(inputs), format.channels, outputs,
                                 format.channels, frames) == kResultOk;

    const std::size_t channels = static_cast<std::size_t>(format.channels);
    for (std::size_t c = 0; c < channels; ++c)
        for (int32_t i = 0; i < frames; ++i)
            floatInputs[c][i] = static_cast<float>(inputs[c][i]);
    const tresult result = instance->Process(floatInputs.data(), format.channels,
                                             floatOutputs.data(), format.channels, frames);
    for (std::size_t c = 0; c < channels; ++c)
        for (int32_t i = 0; i < frames; ++i)
            outputs[c][i] = floatOutputs[c][i];
    return result == kResultOk;
}

} // namespace render
