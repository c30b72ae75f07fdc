#pragma once

#include "plugin/vst3/HostEditorRunLoop.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/common/pluginview.h"

#include <memory>

namespace plugin::vst3 {

class IPluginVST3;

// The editor view a host shows: a thin adapter that forwards attaching,
// removing, sizing, keys and the display factor to the plug-in's editor
// delegate, which owns the editor window. On Linux the parent is an X11
// window id ("X11EmbedWindowID"), and the view also finds the host's run
// loop (on its plug frame, else on the host context) and lends it to the
// editor window while attached.
//
// Holds a counted reference on its plug-in; the plug-in keeps a plain
// pointer to the newest view. Every call runs on the host's UI thread.
class IPluginVST3View : public Steinberg::CPluginView,
                        public Steinberg::IPlugViewContentScaleSupport {
public:
    using tresult = Steinberg::tresult;

    // [ui]
    explicit IPluginVST3View(IPluginVST3& owner);

    // ---- IPlugView ----
    // [ui] kResultTrue for "X11EmbedWindowID" with an editor, else kResultFalse.
    tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
    // [ui] Opens the editor in parent. kResultFalse without an editor, for
    // another platform type, without a host run loop, and when the window
    // cannot be made (a blank host window would hide the failure).
    tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
    // [ui] Closes the editor (also when it was never attached).
    tresult PLUGIN_API removed() override;
    tresult PLUGIN_API onWheel(float distance) override; // [ui]
    tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                 Steinberg::int16 modifiers) override; // [ui]
    tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                               Steinberg::int16 modifiers) override; // [ui]
    tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;  // [ui]
    // [ui] Any time, also before attached; kResultFalse when the host may
    // not resize this editor.
    tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
    tresult PLUGIN_API onFocus(Steinberg::TBool state) override;                // [ui]
    tresult PLUGIN_API canResize() override;                                    // [ui]
    tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override; // [ui]

    // ---- IPlugViewContentScaleSupport ----
    // [ui] The host's factor wins over the desktop's (kept across openings).
    tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

    // [ui] Asks the host to resize the view; true when it agreed.
    bool RequestResize(int32_t width, int32_t height);
    // [ui]
    bool HasFrame() const noexcept { return plugFrame != nullptr; }
    bool IsOpen() const noexcept { return open; }

    OBJ_METHODS(IPluginVST3View, CPluginView)
    DEFINE_INTERFACES
    DEF_INTERFACE(IPlugViewContentScaleSupport)
    DEF_INTERFACE(IPlugView)
    END_DEFINE_INTERFACES(CPluginView)
    REFCOUNT_METHODS(CPluginView)

private:
    // [ui] Closes a still-open editor and leaves the owner.
    ~IPluginVST3View() override;
    tresult Key(bool down, Steinberg::char16 key, Steinberg::int16 keyCode,
                Steinberg::int16 modifiers);
    void Close();

    Steinberg::IPtr<IPluginVST3> owner;
    std::unique_ptr<HostEditorRunLoop> runLoop;
    bool open = false;
    // The host's answer to our own resize request may come back as onSize
    // with the requested size: that is no new size from the host.
    bool resizing = false;
    Steinberg::ViewRect requested;
};

} // namespace plugin::vst3
