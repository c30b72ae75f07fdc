#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <mutex>
#include <thread>
#include <vector>

namespace vst3host {

// What a plug-in told the host through IComponentHandler, in call order.
struct HandlerCall {
    enum class Kind { BeginEdit, PerformEdit, EndEdit, RestartComponent };
    Kind kind;
    Steinberg::Vst::ParamID id = 0;            // edits only
    Steinberg::Vst::ParamValue normalized = 0; // performEdit only
    Steinberg::int32 restartFlags = 0;         // restartComponent only
    std::thread::id thread{};                  // the calling thread, filled in on record
};

// An IComponentHandler that records every call. Recording takes a lock, so
// plug-ins may call it from any thread (as some do from their audio thread,
// which a real host would not allow either). Reference counted; create with
// new and hold through IPtr.
class RecordingComponentHandler : public Steinberg::Vst::IComponentHandler {
public:
    RecordingComponentHandler();
    RecordingComponentHandler(const RecordingComponentHandler&) = delete;
    RecordingComponentHandler& operator=(const RecordingComponentHandler&) = delete;

    std::vector<HandlerCall> Calls() const;
    std::size_t Count(HandlerCall::Kind kind) const;
    // All restartComponent flags seen so far, or-ed together.
    Steinberg::int32 RestartFlags() const;
    void Clear();

    // Result returned by every call (kResultOk by default), to test how a
    // plug-in copes with a refusing host.
    void SetResult(Steinberg::tresult result);

    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                              Steinberg::Vst::ParamValue normalized) override;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;

    DECLARE_FUNKNOWN_METHODS

protected:
    virtual ~RecordingComponentHandler();

private:
    Steinberg::tresult Record(const HandlerCall& call);

    mutable std::mutex mutex;
    std::vector<HandlerCall> calls;
    Steinberg::tresult result = Steinberg::kResultOk;
};

} // namespace vst3host
