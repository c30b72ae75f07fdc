// The editor core's per-frame bookkeeping: the dirty check and the repaint of
// the equalizer's panel (13 controls), against a backend that draws nothing,
// so that the figures are the core's own cost.

#include "tests/ui/RecordingEditor.h"
#include "ui/BitmapControls.h"
#include "ui/SwitchControls.h"
#include "ui/TextControl.h"

#include <benchmark/benchmark.h>

namespace {

// A film-strip knob: the knob behaviour with the frame of its value drawn.
class StripKnob : public ui::IKnobControlBase, public ui::IBitmapBase {
public:
    StripKnob(float x, float y, const ui::IBitmapRef& bitmap, int32_t paramIdx)
        : IKnobControlBase(ui::BitmapFrameRect(x, y, bitmap), paramIdx), IBitmapBase(bitmap) {
        AttachIControl(this);
    }
    void Draw(ui::IEditorCore& g) override { DrawBitmapFrameOfOwner(g); }
};

// The corner handle: a small triangle.
class Corner : public ui::IControl {
public:
    using IControl::IControl;
    void Draw(ui::IEditorCore& g) override {
        g.FillTriangle(ui::kColourWhite, rect.R, rect.T, rect.R, rect.B, rect.L, rect.B);
    }
};

struct PanelBench {
    explicit PanelBench(float scale) : editor(delegate, 664, 215, scale) {
        editor.recordOps = false;
        editor.resources = {{"back.png", {664, 215}},
                            {"knob47.png", {47, 47 * 60}},
                            {"knob64.png", {64, 64 * 60}},
                            {"button.png", {29, 58}}};
        editor.AttachControl(
            std::make_unique<ui::IBitmapControl>(0.0f, 0.0f, editor.LoadBitmap("back.png")));
        const ui::IBitmapRef small = editor.LoadBitmap("knob47.png", 60);
        const ui::IBitmapRef large = editor.LoadBitmap("knob64.png", 60);
        int32_t param = 0;
        for (float x : {40.0f, 160.0f, 280.0f, 400.0f, 520.0f})
            knobs.push_back(
                editor.AttachControl(std::make_unique<StripKnob>(x, 140.0f, small, param++)));
        for (float x : {95.0f, 215.0f, 335.0f, 455.0f})
            editor.AttachControl(std::make_unique<StripKnob>(x, 40.0f, large, param++));
        editor.AttachControl(std::make_unique<ui::IBSwitchControl>(
            600.0f, 60.0f, editor.LoadBitmap("button.png", 2), param++));
        editor.AttachControl(
            std::make_unique<ui::ITextControl>(ui::IRectangle{560, 190, 630, 206}, "4x"));
        editor.AttachControl(std::make_unique<Corner>(ui::IRectangle{644, 195, 664, 215}));
        rects.reserve(16);
    }

    // One frame: the window's timer tick (dirty check, clean) and its paint.
    void Frame() {
        rects.clear();
        if (editor.IsDirty(rects)) {
            editor.MarkAllControlsClean();
            editor.Draw(rects);
        }
    }

    uitest::RecordingDelegate delegate{10};
    uitest::RecordingEditor editor;
    std::vector<ui::IControl*> knobs;
    std::vector<ui::IRectangle> rects;
};

void BM_OneDirtyKnob(benchmark::State& state) {
    PanelBench bench(static_cast<float>(state.range(0)) / 4.0f);
    bench.Frame();
    for (auto _ : state) {
        bench.knobs[2]->SetDirty(false);
        bench.Frame();
        benchmark::DoNotOptimize(bench.rects.data());
    }
}
BENCHMARK(BM_OneDirtyKnob)->Arg(4)->Arg(6)->Unit(benchmark::kMicrosecond);

void BM_EveryControlDirty(benchmark::State& state) {
    PanelBench bench(static_cast<float>(state.range(0)) / 4.0f);
    for (auto _ : state) {
        bench.editor.MarkAllControlsDirty();
        bench.Frame();
        benchmark::DoNotOptimize(bench.rects.data());
    }
}
BENCHMARK(BM_EveryControlDirty)->Arg(4)->Arg(6)->Unit(benchmark::kMicrosecond);

void BM_NothingDirty(benchmark::State& state) {
    PanelBench bench(1.0f);
    bench.Frame();
    for (auto _ : state) {
        bench.Frame();
        benchmark::DoNotOptimize(bench.rects.data());
    }
}
BENCHMARK(BM_NothingDirty)->Unit(benchmark::kMicrosecond);

} // namespace
