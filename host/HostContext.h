#pragma once

#include "host/FakeRunLoop.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

#include <string>

namespace vst3host {

// The context a host passes to initialize and to the factory's
// setHostContext: IHostApplication with a configurable name, able to create
// the SDK's host message and attribute-list objects, and, when asked for,
// the Linux run loop (answered by a FakeRunLoop that the test drives).
//
// Reference counted; create with new and hold through IPtr.
class HostContext : public Steinberg::Vst::IHostApplication, public Steinberg::Linux::IRunLoop {
public:
    struct Options {
        std::string name = "Lumaro Test Host";
        // When false, IRunLoop queries are refused, as in a host that offers
        // no run loop.
        bool offerRunLoop = true;
    };

    HostContext();
    explicit HostContext(Options options);
    HostContext(const HostContext&) = delete;
    HostContext& operator=(const HostContext&) = delete;

    // The object as one FUnknown, for calls that take a context (the class
    // reaches FUnknown through two interfaces).
    Steinberg::FUnknown* Unknown() noexcept {
        return static_cast<Steinberg::Vst::IHostApplication*>(this);
    }
    FakeRunLoop& RunLoop() noexcept { return runLoop; }
    const std::string& Name() const noexcept { return options.name; }

    // --- IHostApplication ---
    Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid,
                                                 void** obj) override;

    // --- Linux::IRunLoop ---
    Steinberg::tresult PLUGIN_API registerEventHandler(
        Steinberg::Linux::IEventHandler* handler, Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API
    unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API
    registerTimer(Steinberg::Linux::ITimerHandler* handler,
                  Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API
    unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

    DECLARE_FUNKNOWN_METHODS

private:
    virtual ~HostContext();

    Options options;
    FakeRunLoop runLoop;
};

} // namespace vst3host
