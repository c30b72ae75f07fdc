#pragma once

// A small plug-in with an editor of its own, for the editor window's tests
// and benchmarks until the equalizer's panel exists: the equalizer's size
// and limits (664 x 215, a third to three times that), its background and
// oversampling button images, and a knob that paints its value as a grey
// level, so that a test can tell the value from the pixels.

#include "plugin/IParam.h"
#include "plugin/vst3/IPluginVST3.h"
#include "ui/BitmapControls.h"
#include "ui/KnobControlBase.h"
#include "ui/SwitchControls.h"
#include "ui/platform/IEditorWindow.h"
#include "ui/platform/ResourceTable.h"

#include <algorithm>
#include <cmath>

extern const ui::ResourceTable editor_test_resource_table __attribute__((visibility("hidden")));

namespace editor_test {

inline constexpr int32_t kGain = 0;   // double, -20..10 dB, default 0
inline constexpr int32_t kSwitch = 1; // bool
inline constexpr int32_t kParamCount = 2;
inline constexpr int32_t kWidth = 664;
inline constexpr int32_t kHeight = 215;
// The knob, logical units.
inline constexpr ui::IRectangle kKnobRect{100.0f, 60.0f, 160.0f, 120.0f};
inline constexpr float kSwitchX = 400.0f;
inline constexpr float kSwitchY = 80.0f;

// [any] The grey level the knob paints for a position.
inline int32_t GreyFor(double normalized) {
    return static_cast<int32_t>(std::lround(std::clamp(normalized, 0.0, 1.0) * 255.0));
}

class GreyKnob final : public ui::IKnobControlBase {
public:
    GreyKnob() : IKnobControlBase(kKnobRect, kGain) {}
    void Draw(ui::IEditorCore& g) override {
        const int32_t grey = GreyFor(GetValue());
        g.FillRect(ui::IColour{255, grey, grey, grey}, rect);
    }
};

struct Options {
    bool hasEditor = true;
    bool hostResize = false;
    bool images = true; // the background and button images (decoded on open)
};

class EditorTestPlugin : public plugin::vst3::IPluginVST3 {
public:
    static plugin::PlugConfig Config(const Options& options) {
        plugin::PlugConfig c;
        c.paramCount = kParamCount;
        c.presetCount = 0;
        c.channelIOString = "1-1 2-2";
        c.pluginName = "Editor Test";
        c.productName = "Editor Test";
        c.manufacturerName = "Corvane Audio";
        c.vendorVersion = 0x00010000;
        c.uniqueId = plugin::FourCharCode("eTst");
        c.manufacturerId = plugin::FourCharCode("Cvan");
        c.hasEditor = options.hasEditor;
        c.editorWidth = kWidth;
        c.editorHeight = kHeight;
        c.minWidth = kWidth / 3;
        c.maxWidth = kWidth * 3;
        c.minHeight = kHeight / 3;
        c.maxHeight = kHeight * 3;
        c.hostResize = options.hostResize;
        return c;
    }

    explicit EditorTestPlugin(Options options = {})
        : IPluginVST3(Config(options)), images(options.images) {
        ParamAt(kGain)->ConfigureDouble("Gain", 0.0, -20.0, 10.0, 0.1, "dB");
        ParamAt(kSwitch)->ConfigureBool("Switch", false);
        SetMakeGraphicsFunction([this] {
            auto* window = new ui::IEditorWindow(*this, kWidth, kHeight, 60, 1.0f);
            window->SetModuleInstance(&editor_test_resource_table);
            return window;
        });
        SetLayoutFunction([this](ui::IEditorCore* g) { Layout(*g); });
    }

    void RenderBlock(const double* const* inputs, double* const* outputs, int32_t frames) override {
        for (int32_t c = 0; c < ChannelCount(plugin::BusDirection::Output); ++c)
            std::copy(inputs[c], inputs[c] + frames, outputs[c]);
    }

    // The window the editor runs in while open.
    ui::IEditorWindow* Window() const { return dynamic_cast<ui::IEditorWindow*>(Graphics()); }

private:
    void Layout(ui::IEditorCore& g) {
        if (images) {
            g.AttachControl(
                std::make_unique<ui::IBitmapControl>(0.0f, 0.0f, g.LoadBitmap("LEQ_back.png")));
            g.AttachControl(std::make_unique<ui::IBSwitchControl>(
                kSwitchX, kSwitchY, g.LoadBitmap("LEQ_OS.png", 2), kSwitch));
        } else {
            struct Plain final : ui::IControl {
                Plain() : IControl(ui::IRectangle(0, 0, kWidth, kHeight)) {}
                void Draw(ui::IEditorCore& g) override {
                    g.FillRect(ui::IColour{255, 40, 60, 80}, rect);
                }
            };
            g.AttachControl(std::make_unique<Plain>());
        }
        g.AttachControl(std::make_unique<GreyKnob>());
    }

    bool images;
};

} // namespace editor_test
