#include "tools/panel/OffscreenPanel.h"

#include "equalizer/ModuleResources.h"
#include "equalizer/editor/PanelGeometry.h"
#include "equalizer/editor/PanelLayout.h"

#include "public.sdk/source/common/memorystream.h"

namespace offscreen {

using namespace Steinberg;

namespace {

template <typename Interface> IPtr<Interface> Query(FUnknown* object) {
    Interface* result = nullptr;
    if (object == nullptr ||
        object->queryInterface(Interface::iid, reinterpret_cast<void**>(&result)) != kResultOk)
        return nullptr;
    return owned(result);
}

} // namespace

OffscreenPanel::OffscreenPanel(float zoom, EditorMaker maker) {
    context =
        owned(new vst3host::HostContext(vst3host::HostContext::Options{"lumaro-panel", true}));
    plugin = new equalizer::LumaroEQ();
    FUnknown* unknown = static_cast<Vst::IComponent*>(plugin);
    component = Query<Vst::IComponent>(unknown);
    controller = Query<Vst::IEditController>(unknown);
    component->initialize(context->Unknown());

    plugin->SetRememberDisplayScale(false);
    if (!maker) {
        maker = [](equalizer::LumaroEQ& delegate, float editorZoom) {
            return new ui::IEditorOffscreen(delegate, equalizer::panel::kWidth,
                                            equalizer::panel::kHeight, equalizer::kPanelFps,
                                            editorZoom, equalizer::ModuleResources());
        };
    }
    equalizer::LumaroEQ& delegate = *plugin;
    plugin->SetMakeGraphicsFunction([&delegate, zoom, maker] { return maker(delegate, zoom); });
    plugin->OpenWindow(nullptr);
}

OffscreenPanel::~OffscreenPanel() {
    plugin->CloseWindow();
    component->terminate();
    controller = nullptr;
    component = nullptr;
    static_cast<Vst::IComponent*>(plugin)->release();
}

ui::IEditorOffscreen* OffscreenPanel::Editor() {
    return dynamic_cast<ui::IEditorOffscreen*>(plugin->Graphics());
}

bool OffscreenPanel::LoadState(const std::vector<uint8_t>& bytes) {
    // MemoryStream only reads a borrowed buffer, though it asks for a
    // mutable one.
    IPtr<MemoryStream> stream = owned(
        new MemoryStream(const_cast<uint8_t*>(bytes.data()), static_cast<TSize>(bytes.size())));
    return component->setState(stream) == kResultOk;
}

} // namespace offscreen
