#include "equalizer/LumaroEQ.h"

#include "equalizer/ModuleResources.h"
#include "equalizer/Parameters.h"
#include "equalizer/editor/DisplayScalePreference.h"
#include "equalizer/editor/PanelLayout.h"
#include "plugin/AudioThread.h"
#include "plugin/DenormalGuard.h"
#include "plugin/IParam.h"

#include <algorithm>
#include <cmath>

namespace equalizer {

namespace {
constexpr int32_t kEditorWidth = 664;
constexpr int32_t kEditorHeight = 215;
} // namespace

plugin::PlugConfig LumaroEQ::Config() {
    plugin::PlugConfig c;
    c.paramCount = equalizer::ParamCount;
    c.presetCount = 1;
    c.channelIOString = "1-1 2-2";
    c.pluginName = "Lumaro EQ";
    c.productName = "Lumaro EQ";
    c.manufacturerName = "Corvane Audio";
    c.vendorVersion = 0x00040006;
    c.uniqueId = plugin::FourCharCode("2l87");
    c.manufacturerId = plugin::FourCharCode("Cvan");
    c.latency = 0;
    c.midiIn = c.midiOut = c.mpe = false;
    c.stateChunks = false;
    c.plugType = 0;
    c.hasEditor = true;
    c.editorWidth = kEditorWidth;
    c.editorHeight = kEditorHeight;
    // The editor scales between a third and three times its size.
    c.minWidth = kEditorWidth / 3;
    c.maxWidth = kEditorWidth * 3;
    c.minHeight = kEditorHeight / 3;
    c.maxHeight = kEditorHeight * 3;
    c.hostResize = false;
    c.bundleId = "";
    c.appGroupId = "";
    return c;
}

LumaroEQ::LumaroEQ() : plugin::vst3::IPluginVST3(Config()) {
    DefineParameters();
    processor.InitOversampling(ParamAt(Oversampling)->CurrentValue() >= 0.5);
    processor.ApplyParameter(Gain, ParamAt(Gain)->CurrentValue());
    InstallEditor();
}

LumaroEQ::~LumaroEQ() {
    // A tick reaches the processor, which goes before the bases could stop
    // the timer.
    StopIdleTimer();
}

void LumaroEQ::InstallEditor() {
    SetMakeGraphicsFunction(
        [this] { return MakePanelWindow(*this, ZoomToOpenAt(), ModuleResources()); });
    SetLayoutFunction([](ui::IEditorCore* g) {
        if (g != nullptr)
            LayoutPanel(*g, VersionText(Config().vendorVersion));
    });
}

std::optional<float> LumaroEQ::RememberedZoom() const {
    float zoom = 0.0f;
    if (!rememberDisplayScale || !ReadDisplayScale(kDisplayScaleName, zoom))
        return std::nullopt;
    return std::clamp(zoom, kMinStoredDisplayScale, kMaxStoredDisplayScale);
}

float LumaroEQ::ZoomToOpenAt() const {
    return RememberedZoom().value_or(kDefaultDisplayScale);
}

void LumaroEQ::OnEditorOpened() {
    plugin::vst3::IPluginVST3::OnEditorOpened();
    // Without a readable preference the editor keeps the size it opened at
    // (this instance's last one, when it had an editor before) rather than
    // falling back to 100 % on every opening.
    if (Graphics() != nullptr) {
        if (const std::optional<float> zoom = RememberedZoom())
            RestoreDisplayScale(*Graphics(), *zoom);
    }
}

void LumaroEQ::OnEditorClosed() {
    plugin::vst3::IPluginVST3::OnEditorClosed();
    if (Graphics() != nullptr && rememberDisplayScale)
        WriteDisplayScale(kDisplayScaleName, Graphics()->DrawScale());
}

Steinberg::IPlugView* PLUGIN_API LumaroEQ::createView(Steinberg::FIDString name) {
    if (Graphics() == nullptr && HasUI()) {
        // The size the editor will open at, as OpenWindow and OnEditorOpened
        // will make it: this instance's last size, the stored zoom winning,
        // times the host's screen factor when it gave one.
        const int32_t width = SavedWidth() > 0 ? SavedWidth() : Config().editorWidth;
        const int32_t height = SavedHeight() > 0 ? SavedHeight() : Config().editorHeight;
        const float zoom =
            RememberedZoom().value_or(SavedScale() > 0.0f ? SavedScale() : kDefaultDisplayScale);
        const double factor = HostScreenScale() > 0.0f ? HostScreenScale() : 1.0;
        const auto pixels = [&](int32_t logical) {
            return static_cast<int32_t>(factor * std::trunc(static_cast<double>(logical) * zoom));
        };
        editorWidth = pixels(width);
        editorHeight = pixels(height);
    }
    return plugin::vst3::IPluginVST3::createView(name);
}

void LumaroEQ::DefineParameters() {
    using plugin::IParam;
    IParam* p = ParamAt(HPF);
    p->ConfigureEnum("HPF", 0, 6);
    for (auto [value, text] : {std::pair{0, "Off"},
                               {1, "30 Hz"},
                               {2, "50 Hz"},
                               {3, "80 Hz"},
                               {4, "160 Hz"},
                               {5, "300 Hz"}})
        p->AddValueText(value, text);

    p = ParamAt(LoShelfFreq);
    p->ConfigureEnum("LoShelf Freq", 0, 4);
    for (auto [value, text] : {std::pair{0, "35 Hz"}, {1, "60 Hz"}, {2, "110 Hz"}, {3, "220 Hz"}})
        p->AddValueText(value, text);

    ParamAt(LoShelfLevel)->ConfigureDouble("LoShelf Level", 0.0, -20.0, 20.0, 0.1, "dB");

    p = ParamAt(MF1Freq);
    p->ConfigureEnum("MF 1 Freq", 2, 6);
    for (auto [value, text] : {std::pair{0, "150 Hz"},
                               {1, "180 Hz"},
                               {2, "240 Hz"},
                               {3, "400 Hz"},
                               {4, "820 Hz"},
                               {5, "1200 Hz"}})
        p->AddValueText(value, text);

    ParamAt(MFLevel1)->ConfigureDouble("MF Level 1", 0.0, -20.0, 20.0, 0.1, "dB");

    p = ParamAt(MF2Freq);
    p->ConfigureEnum("MF 2 Freq", 3, 7);
    for (auto [value, text] : {std::pair{0, "220 Hz"},
                               {1, "315 Hz"},
                               {2, "640 Hz"},
                               {3, "2500 Hz"},
                               {4, "3150 Hz"},
                               {5, "6000 Hz"},
                               {6, "8000 Hz"}})
        p->AddValueText(value, text);

    ParamAt(MFLevel2)->ConfigureDouble("MF Level 2", 0.0, -20.0, 20.0, 0.1, "dB");
    ParamAt(HiShelfLevel)->ConfigureDouble("HiShelf Level", 0.0, -20.0, 20.0, 0.1, "dB");
    // Asymmetric on purpose: −20 dB to +10 dB.
    ParamAt(Gain)->ConfigureDouble("Gain", 0.0, -20.0, 10.0, 0.1, "dB");
    ParamAt(Oversampling)
        ->ConfigureBool("Oversampling", false, "", plugin::IParam::NotAutomatable, "", "off", "on");
}

void LumaroEQ::OnParamChange(int32_t paramIdx) {
    if (paramIdx < 0 || paramIdx >= equalizer::ParamCount) {
        return;
    }
    if (plugin::IsAudioThread()) {
        processor.ApplyParameter(paramIdx, ParamAt(paramIdx)->CurrentValue());
    } else {
        markedParameters.fetch_or(1u << paramIdx, std::memory_order_release);
    }
}

void LumaroEQ::ApplyMarkedParameters() {
    uint32_t marked = markedParameters.exchange(0, std::memory_order_acquire);
    for (int index = 0; marked != 0; ++index, marked >>= 1) {
        if (marked & 1u) {
            processor.ApplyParameter(index, ParamAt(index)->CurrentValue());
        }
    }
}

void LumaroEQ::RenderBlock(const double* const* inputs, double* const* outputs, int32_t frames) {
    plugin::DenormalGuard denormals;
    ApplyMarkedParameters();
    BlockChannels channels;
    channels.count = CountConnectedChannels(plugin::BusDirection::Output);
    for (int ch = 0; ch < maxChannels; ++ch) {
        channels.inputConnected[ch] = IsChannelConnected(plugin::BusDirection::Input, ch);
        channels.outputConnected[ch] = IsChannelConnected(plugin::BusDirection::Output, ch);
    }
    processor.Render(inputs, outputs, frames, channels);
}

void LumaroEQ::OnProcessingReset() {
    ApplyMarkedParameters();
    processor.ApplyParameter(Gain, ParamAt(Gain)->CurrentValue());
    const int previouslyReported = processor.ReportedLatency();
    const int latency = processor.Reset(SampleRate(), BlockSize(), IsRenderingOffline());
    // Room in the bypass delay line for the latency a switch may report
    // later, while processing runs.
    ReserveLatency(processor.OversamplerLatency());
    if (latency != previouslyReported || latency != Latency()) {
        ChangeLatency(latency);
    }
}

void LumaroEQ::OnIdleTimer() {
    plugin::vst3::IPluginVST3::OnIdleTimer();
    int latency = 0;
    if (processor.ClaimLatencyChange(latency)) {
        ChangeLatency(latency);
    }
}

} // namespace equalizer
