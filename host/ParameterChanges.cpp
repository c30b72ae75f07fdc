#include "host/ParameterChanges.h"

namespace vst3host {

using namespace Steinberg;
using namespace Steinberg::Vst;

void ParamValueQueue::Reset(ParamID id) noexcept {
    parameterId = id;
    count = 0;
}

int32 PLUGIN_API ParamValueQueue::getPointCount() {
    return static_cast<int32>(count);
}

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
    if (index < 0 || static_cast<std::size_t>(index) >= count)
        return kInvalidArgument;
    sampleOffset = points[static_cast<std::size_t>(index)].sampleOffset;
    value = points[static_cast<std::size_t>(index)].value;
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
    if (sampleOffset < 0)
        return kInvalidArgument;
    std::size_t position = count;
    while (position > 0 && points[position - 1].sampleOffset > sampleOffset)
        --position;
    if (position > 0 && points[position - 1].sampleOffset == sampleOffset) {
        points[position - 1].value = value;
        index = static_cast<int32>(position - 1);
        return kResultOk;
    }
    if (count == kMaxPoints)
        return kResultFalse;
    for (std::size_t i = count; i > position; --i)
        points[i] = points[i - 1];
    points[position] = Point{sampleOffset, value};
    ++count;
    index = static_cast<int32>(position);
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IParamValueQueue)
    QUERY_INTERFACE(iid, obj, IParamValueQueue::iid, IParamValueQueue)
    *obj = nullptr;
    return kNoInterface;
}

ParameterChanges::ParameterChanges(std::size_t maxParameters) : queues(maxParameters) {}

void ParameterChanges::Clear() noexcept {
    used = 0;
}

bool ParameterChanges::Add(ParamID id, int32 sampleOffset, ParamValue value) noexcept {
    int32 index = 0;
    IParamValueQueue* queue = addParameterData(id, index);
    return queue && queue->addPoint(sampleOffset, value, index) == kResultOk;
}

int32 PLUGIN_API ParameterChanges::getParameterCount() {
    return static_cast<int32>(used);
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index) {
    if (index < 0 || static_cast<std::size_t>(index) >= used)
        return nullptr;
    return &queues[static_cast<std::size_t>(index)];
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id, int32& index) {
    for (std::size_t i = 0; i < used; ++i) {
        if (queues[i].getParameterId() == id) {
            index = static_cast<int32>(i);
            return &queues[i];
        }
    }
    if (used == queues.size())
        return nullptr;
    queues[used].Reset(id);
    index = static_cast<int32>(used);
    return &queues[used++];
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IParameterChanges)
    QUERY_INTERFACE(iid, obj, IParameterChanges::iid, IParameterChanges)
    *obj = nullptr;
    return kNoInterface;
}

} // namespace vst3host
