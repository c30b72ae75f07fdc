#pragma once

#include "equalizer/LumaroEQ.h"
#include "host/HostContext.h"
#include "ui/platform/IEditorOffscreen.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace offscreen {

// One Lumaro EQ instance, initialized as a host initializes it, with its
// editor open off-screen: the plug-in's own layout and controls drawing
// through the Cairo backend into a frame buffer, without a window or an X
// server. The zoom is the one given; the user's stored zoom is neither read
// nor written. UI thread (the thread that made it).
class OffscreenPanel {
public:
    // Makes the off-screen editor for the plug-in at a zoom (a benchmark
    // may count what its backend does); the default makes the plain one.
    using EditorMaker = std::function<ui::IEditorOffscreen*(equalizer::LumaroEQ&, float zoom)>;

    // [ui] zoom: the editor's draw scale (the editor limits it to 0.5 - 4).
    explicit OffscreenPanel(float zoom = 1.0f, EditorMaker maker = {});
    ~OffscreenPanel();
    OffscreenPanel(const OffscreenPanel&) = delete;
    OffscreenPanel& operator=(const OffscreenPanel&) = delete;

    equalizer::LumaroEQ& Plugin() { return *plugin; }
    Steinberg::Vst::IComponent& Component() { return *component; }
    Steinberg::Vst::IEditController& Controller() { return *controller; }
    // [ui] Null only when the editor could not be made.
    ui::IEditorOffscreen* Editor();

    // [ui] The component's state stream, as a host restores it.
    bool LoadState(const std::vector<uint8_t>& bytes);

private:
    Steinberg::IPtr<vst3host::HostContext> context;
    equalizer::LumaroEQ* plugin = nullptr; // holds the first reference
    Steinberg::IPtr<Steinberg::Vst::IComponent> component;
    Steinberg::IPtr<Steinberg::Vst::IEditController> controller;
};

} // namespace offscreen
