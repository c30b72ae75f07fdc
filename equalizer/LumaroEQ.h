#pragma once

#include "equalizer/EqualizerProcessor.h"
#include "plugin/PlugConfig.h"
#include "plugin/vst3/IPluginVST3.h"

#include <atomic>
#include <cstdint>

namespace equalizer {

// The plug-in object a host creates: identity, the ten parameters, and the
// hooks that connect the framework to the equalizer's processor.
//
// Parameter hand-over: OnParamChange runs on the audio thread for host
// automation (applied at once, as the glide expects) and on the UI thread for
// editor edits, initialisation and state restores. The DSP state is plain
// memory owned by the audio thread, so a UI-thread change only marks its
// parameter; the audio thread applies the marked parameters' current values
// through the same mapping at the start of its next block (or the next
// processing reset, whichever comes first). Wait-free either way.
class LumaroEQ : public plugin::vst3::IPluginVST3 {
public:
    static plugin::PlugConfig Config();

    // [ui]
    LumaroEQ();
    // [ui] Stops the idle timer first.
    ~LumaroEQ() override;

    using plugin::vst3::IPluginVST3::OnParamChange;
    // [audio or ui] See the class comment.
    void OnParamChange(int32_t paramIdx) override;
    // [timer thread, under the idle-tick lock] Reports a latency change made
    // on the audio thread.
    void OnIdleTimer() override;
    // [audio] wait-free, no allocation, no lock.
    void RenderBlock(const double* const* inputs, double* const* outputs, int32_t frames) override;
    // [ui, processing stopped] Allocates.
    void OnProcessingReset() override;

    // [any] For tests and tools.
    const EqualizerProcessor& Processor() const { return processor; }

private:
    void DefineParameters();
    // [audio, or processing stopped]
    void ApplyMarkedParameters();

    EqualizerProcessor processor;
    // Bit i set: parameter i changed on a non-audio thread and waits to be
    // applied by the audio thread.
    std::atomic<uint32_t> markedParameters{0};
};

} // namespace equalizer
