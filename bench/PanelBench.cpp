// The equalizer's editor drawing its panel off-screen with the module's own
// images, through the plug-in's own layout and controls: one frame of a
// knob being turned, a whole repaint, and zoom changes with the images they
// decode.

#include "equalizer/ModuleResources.h"
#include "equalizer/editor/PanelGeometry.h"
#include "equalizer/editor/PanelLayout.h"
#include "tools/panel/OffscreenPanel.h"
#include "ui/IControl.h"

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

namespace panel = equalizer::panel;

// The off-screen editor, counting the images its backend decodes.
class CountingEditor : public ui::IEditorOffscreen {
public:
    using IEditorOffscreen::IEditorOffscreen;
    static inline std::atomic<int> decodes{0};
    std::unique_ptr<ui::APIBitmap> LoadBitmapResource(const std::string& name, int32_t scale,
                                                      ui::ResourceLocation location,
                                                      const std::string& type) override {
        ++decodes;
        return IEditorOffscreen::LoadBitmapResource(name, scale, location, type);
    }
};

offscreen::OffscreenPanel::EditorMaker Counting() {
    return [](equalizer::LumaroEQ& delegate, float zoom) {
        return new CountingEditor(delegate, panel::kWidth, panel::kHeight, equalizer::kPanelFps,
                                  zoom, equalizer::ModuleResources());
    };
}

// One frame of a turn: a pointer movement over a gain knob (with its value
// box showing), then what a frame tick does: collect the dirty regions and
// repaint them. Only the knob's own rectangle is drawn.
void BM_TurnOneKnobFrame(benchmark::State& state) {
    offscreen::OffscreenPanel drawn(static_cast<float>(state.range(0)) / 100.0f);
    ui::IEditorOffscreen& editor = *drawn.Editor();
    editor.DrawAll();
    const float x = static_cast<float>(panel::kMid1Gain.rect.CentreX());
    const float y = static_cast<float>(panel::kMid1Gain.rect.CentreY());
    const ui::IPointerEvent press{x, y, 0.0f, 0.0f, {}};
    editor.OnMouseDown(std::span<const ui::IPointerEvent>(&press, 1));
    std::vector<ui::IRectangle> dirty;
    float direction = -1.0f;
    double area = 0.0;
    int64_t frames = 0;
    for (auto _ : state) {
        const ui::IPointerEvent move{x, y, 0.0f, direction, {}};
        direction = -direction;
        editor.OnMouseDrag(std::span<const ui::IPointerEvent>(&move, 1));
        dirty.clear();
        editor.IsDirty(dirty);
        editor.MarkAllControlsClean();
        editor.Draw(dirty);
        for (const ui::IRectangle& r : dirty)
            area += r.Area();
        ++frames;
    }
    editor.OnMouseUp(std::span<const ui::IPointerEvent>(&press, 1));
    state.counters["dirty_units2"] = area / static_cast<double>(std::max<int64_t>(frames, 1));
}
// The argument is the zoom in per cent.
BENCHMARK(BM_TurnOneKnobFrame)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

// Everything drawn, as after opening or a resize.
void BM_RepaintWholePanel(benchmark::State& state) {
    offscreen::OffscreenPanel drawn(static_cast<float>(state.range(0)) / 100.0f);
    ui::IEditorOffscreen& editor = *drawn.Editor();
    for (auto _ : state)
        editor.DrawAll();
    state.counters["pixels"] = editor.FrameBuffer().width * editor.FrameBuffer().height;
}
BENCHMARK(BM_RepaintWholePanel)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMillisecond);

// 100 % and 200 % in turn, as the corner handle's snaps make them, each
// drawn in full. The scale-2 images are decoded at the first change only.
void BM_ZoomChange(benchmark::State& state) {
    CountingEditor::decodes = 0;
    offscreen::OffscreenPanel drawn(1.0f, Counting());
    ui::IEditorOffscreen& editor = *drawn.Editor();
    const int atOpening = CountingEditor::decodes;
    float zoom = 2.0f;
    int changes = 0;
    int firstChange = -1;
    for (auto _ : state) {
        editor.SetResizeInProgress(true);
        editor.Resize(panel::kWidth, panel::kHeight, zoom, true);
        editor.FinishResize();
        editor.DrawAll();
        zoom = zoom == 2.0f ? 1.0f : 2.0f;
        if (++changes == 1)
            firstChange = CountingEditor::decodes - atOpening;
    }
    state.counters["decodes_at_opening"] = atOpening;
    state.counters["decodes_first_change"] = firstChange;
    state.counters["decodes_later_changes"] = CountingEditor::decodes - atOpening - firstChange;
}
BENCHMARK(BM_ZoomChange)->Unit(benchmark::kMillisecond);

} // namespace
