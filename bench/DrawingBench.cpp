// The editor's drawing on the CPU: the whole panel per zoom, one knob's
// repaint, and decoding the module's images.

#include "OffscreenEditor.h"
#include "PanelScene.h"

#include "equalizer/ModuleResources.h"

#include <benchmark/benchmark.h>

namespace {

using drawtest::OffscreenEditor;

struct Panel {
    ui::IGraphicalEditorDelegate delegate{0};
    OffscreenEditor editor;
    explicit Panel(float zoom) : editor(delegate, equalizer::ModuleResources(), zoom) {
        delegate.SetLayoutFunction([](ui::IEditorCore* core) { drawtest::AttachPanel(*core); });
        editor.OpenWindow(nullptr);
    }
};

// Background, nine knob frames, the button and the version text: a full
// repaint, as after a resize.
void BM_DrawWholePanel(benchmark::State& state) {
    Panel panel(static_cast<float>(state.range(0)));
    if (panel.editor.NControls() != 12) {
        state.SkipWithError("the panel could not be built");
        return;
    }
    const std::vector<ui::IRectangle> all{{0, 0, 664, 215}};
    for (auto _ : state) {
        panel.editor.Draw(all);
    }
    state.counters["pixels"] = panel.editor.FrameBuffer().width * panel.editor.FrameBuffer().height;
}
BENCHMARK(BM_DrawWholePanel)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

// One gain knob turned: its padded rectangle is redrawn (the background
// under it, then the frame), clipped.
void BM_DrawOneKnob(benchmark::State& state) {
    Panel panel(static_cast<float>(state.range(0)));
    const auto& knob = artwork::layout::kMid1Gain;
    const float x = static_cast<float>(knob.topLeft.x), y = static_cast<float>(knob.topLeft.y);
    const std::vector<ui::IRectangle> dirty{ui::IRectangle(x, y, x + 47, y + 47).GetPadded(0.75f)};
    for (auto _ : state) {
        panel.editor.Draw(dirty);
    }
}
BENCHMARK(BM_DrawOneKnob)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Decoding every image of one resolution from the module's bytes.
void BM_DecodeImages(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    ui::IGraphicalEditorDelegate delegate(0);
    OffscreenEditor editor(delegate, equalizer::ModuleResources());
    const char* names[] = {"LEQ_back", "smallknob", "x271_frame_stack_fixed_again", "LEQ_OS"};
    for (auto _ : state) {
        for (const char* name : names) {
            const std::string file = std::string(name) + (scale == 1 ? ".png" : "@2x.png");
            auto bitmap =
                editor.LoadBitmapResource(file, scale, ui::ResourceLocation::Embedded, "PNG");
            if (!bitmap) {
                state.SkipWithError("an image did not decode");
                return;
            }
            benchmark::DoNotOptimize(bitmap);
        }
    }
}
BENCHMARK(BM_DecodeImages)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
