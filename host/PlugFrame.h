#pragma once

#include "host/PollRunLoop.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <functional>
#include <vector>

namespace vst3host {

// The host's side of an editor view: the frame a view asks to be resized
// through and, on Linux, the object the view finds the host's run loop on.
// The answer to a resize imitates the hosts plug-ins meet.
//
// Reference counted; create with new and hold through IPtr.
class PlugFrame : public Steinberg::IPlugFrame {
public:
    enum class ResizePolicy {
        // kResultTrue, and the view's onSize with the new size, as most
        // hosts do (before resizeView returns).
        AcceptAndResizeView,
        // kResultTrue without ever calling onSize (Carla).
        AcceptSilently,
        // kResultFalse.
        Refuse,
    };

    // runLoop may be null: a host without a run loop on its frame.
    explicit PlugFrame(PollRunLoop* runLoop,
                       ResizePolicy policy = ResizePolicy::AcceptAndResizeView);
    PlugFrame(const PlugFrame&) = delete;
    PlugFrame& operator=(const PlugFrame&) = delete;

    PollRunLoop* RunLoop() const noexcept { return runLoop.get(); }
    void SetResizePolicy(ResizePolicy policy) noexcept { resizePolicy = policy; }
    // Runs after an accepted resize, with the new size: a test resizes its
    // parent window here, as a host resizes its own.
    void OnAcceptedResize(std::function<void(int32_t width, int32_t height)> function) {
        onAcceptedResize = std::move(function);
    }
    // Every resizeView rectangle, in call order.
    const std::vector<Steinberg::ViewRect>& ResizeRequests() const noexcept { return requests; }

    Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view,
                                             Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

private:
    virtual ~PlugFrame();

    Steinberg::IPtr<PollRunLoop> runLoop;
    ResizePolicy resizePolicy;
    std::function<void(int32_t, int32_t)> onAcceptedResize;
    std::vector<Steinberg::ViewRect> requests;
    Steinberg::int32 refCount = 1;
};

} // namespace vst3host
