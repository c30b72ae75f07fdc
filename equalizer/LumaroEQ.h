#pragma once

#include "equalizer/EqualizerProcessor.h"
#include "plugin/PlugConfig.h"
#include "plugin/vst3/IPluginVST3.h"

#include <atomic>
#include <cstdint>
#include <optional>

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

    // [ui] Every parameter pushed to the new editor, then the zoom last
    // stored by any instance, if there is one and it differs.
    void OnEditorOpened() override;
    // [ui] Stores the editor's zoom for the next opening.
    void OnEditorClosed() override;
    // [ui] The size the view is about to open at (the stored zoom) is the
    // size the host reads before it is attached.
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;
    // [ui] Off (for an editor drawn off-screen, say): the zoom is neither
    // read from nor written to the user's preference.
    void SetRememberDisplayScale(bool remember) { rememberDisplayScale = remember; }

    // [any] For tests and tools.
    const EqualizerProcessor& Processor() const { return processor; }

private:
    void DefineParameters();
    void InstallEditor();
    // [ui] The zoom last stored by any instance, limited to [0.5, 4].
    std::optional<float> RememberedZoom() const;
    float ZoomToOpenAt() const;
    // [audio, or processing stopped]
    void ApplyMarkedParameters();

    EqualizerProcessor processor;
    // Bit i set: parameter i changed on a non-audio thread and waits to be
    // applied by the audio thread.
    std::atomic<uint32_t> markedParameters{0};
    bool rememberDisplayScale = true;
};

} // namespace equalizer
