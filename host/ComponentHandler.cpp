#include "host/ComponentHandler.h"

#include <algorithm>

namespace vst3host {

using namespace Steinberg;

RecordingComponentHandler::RecordingComponentHandler(){FUNKNOWN_CTOR}

RecordingComponentHandler::~RecordingComponentHandler(){FUNKNOWN_DTOR}

IMPLEMENT_FUNKNOWN_METHODS(RecordingComponentHandler, Vst::IComponentHandler,
                           Vst::IComponentHandler::iid)

    std::vector<HandlerCall> RecordingComponentHandler::Calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

std::size_t RecordingComponentHandler::Count(HandlerCall::Kind kind) const {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<std::size_t>(std::count_if(
        calls.begin(), calls.end(), [kind](const HandlerCall& call) { return call.kind == kind; }));
}

int32 RecordingComponentHandler::RestartFlags() const {
    std::lock_guard<std::mutex> lock(mutex);
    int32 flags = 0;
    for (const HandlerCall& call : calls)
        if (call.kind == HandlerCall::Kind::RestartComponent)
            flags |= call.restartFlags;
    return flags;
}

void RecordingComponentHandler::Clear() {
    std::lock_guard<std::mutex> lock(mutex);
    calls.clear();
}

void RecordingComponentHandler::SetResult(tresult newResult) {
    std::lock_guard<std::mutex> lock(mutex);
    result = newResult;
}

tresult RecordingComponentHandler::Record(const HandlerCall& call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(call);
    calls.back().thread = std::this_thread::get_id();
    return result;
}

tresult PLUGIN_API RecordingComponentHandler::beginEdit(Vst::ParamID id) {
    return Record(HandlerCall{HandlerCall::Kind::BeginEdit, id, 0, 0});
}

tresult PLUGIN_API RecordingComponentHandler::performEdit(Vst::ParamID id,
                                                          Vst::ParamValue normalized) {
    return Record(HandlerCall{HandlerCall::Kind::PerformEdit, id, normalized, 0});
}

tresult PLUGIN_API RecordingComponentHandler::endEdit(Vst::ParamID id) {
    return Record(HandlerCall{HandlerCall::Kind::EndEdit, id, 0, 0});
}

tresult PLUGIN_API RecordingComponentHandler::restartComponent(int32 flags) {
    return Record(HandlerCall{HandlerCall::Kind::RestartComponent, 0, 0, flags});
}

} // namespace vst3host
