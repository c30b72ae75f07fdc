#pragma once

#include "host/HostContext.h"
#include "host/Module.h"
#include "host/ParameterChanges.h"
#include "host/PluginInstance.h"
#include "tools/render/ParameterCatalogue.h"

#include "pluginterfaces/base/smartpointer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace render {

struct SessionFormat {
    double sampleRate = 48000.0;
    int32_t channels = 2;
    int32_t maxBlockFrames = 512;
    bool offline = false;
};

// One effect instance, loaded from a .vst3 bundle and driven by a
// single-threaded offline host: set-up, parameter and state calls and the
// process calls all come from the calling thread, one after another.
//
// Parameters set before Prepare reach the processor through a zero-frame
// process call (the VST 3 way of handing over parameters without audio);
// processing is then set up afresh, so that a setting which changes the
// latency, or a filter that glides towards its target, has settled before
// the first sample. Nothing the processor hears therefore depends on the
// block size.
class EffectSession final : public ParameterCatalogue {
public:
    // Loads the bundle and initializes its first audio effect class.
    // Null with a reason in error.
    static std::unique_ptr<EffectSession> Open(const std::string& bundlePath, std::string& error);
    ~EffectSession();
    EffectSession(const EffectSession&) = delete;
    EffectSession& operator=(const EffectSession&) = delete;

    const std::string& EffectName() const override { return catalogue->EffectName(); }
    const std::vector<ParameterInfo>& Parameters() const override {
        return catalogue->Parameters();
    }
    // The controller's own text conversions.
    std::string TextForValue(Steinberg::Vst::ParamID id, double normalized) const override {
        return catalogue->TextForValue(id, normalized);
    }
    bool ValueForText(Steinberg::Vst::ParamID id, const std::string& text,
                      double& normalized) const override {
        return catalogue->ValueForText(id, text, normalized);
    }

    // The controller's current value of a parameter.
    double NormalizedValue(Steinberg::Vst::ParamID id) const;
    // Held until Prepare; the controller is told at once.
    void SetParameter(Steinberg::Vst::ParamID id, double normalized);
    // The component's state stream; false when the effect refuses it.
    bool LoadState(const std::vector<std::uint8_t>& bytes);
    bool SaveState(std::vector<std::uint8_t>& bytes);

    // Bus layout, sample size, set-up, activation and the parameter hand-over.
    // May be called again for a new format. False with a reason in error.
    bool Prepare(const SessionFormat& format, std::string& error);
    // Clears the processor's history (filters, resamplers) as a stop and
    // restart of the transport would. False when the effect refuses.
    bool Restart();
    const SessionFormat& Format() const noexcept { return format; }
    // Read after Prepare.
    int32_t LatencySamples() const noexcept { return latencySamples; }

    // One block of Format().channels planar channels, frames at most
    // maxBlockFrames. Does not allocate. False when the effect reports an
    // error.
    bool Process(const double* const* inputs, double* const* outputs, int32_t frames) noexcept;

private:
    EffectSession() = default;
    bool SetUp(std::string& error);
    bool FlushParameters();
    void Unprepare();

    // Declared in the order of their set-up, so that the instance goes before
    // the module that made it and the module before the host context.
    Steinberg::IPtr<vst3host::HostContext> context;
    std::unique_ptr<vst3host::Module> module;
    std::unique_ptr<vst3host::PluginInstance> instance;
    std::unique_ptr<ControllerCatalogue> catalogue;

    struct PendingValue {
        Steinberg::Vst::ParamID id;
        double normalized;
    };
    std::vector<PendingValue> pending;
    vst3host::ParameterChanges changes;

    SessionFormat format;
    bool prepared = false;
    bool uses64Bit = true;
    int32_t latencySamples = 0;
    // Conversion buffers for an effect that takes only 32-bit samples.
    std::vector<float> floatStorage;
    std::vector<float*> floatInputs;
    std::vector<float*> floatOutputs;
};

} // namespace render
