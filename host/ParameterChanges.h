#pragma once

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <array>
#include <cstddef>
#include <vector>

namespace vst3host {

// The host side of a block's parameter automation. Both classes reserve
// their storage at construction; filling, reading and clearing them never
// allocates, so a test can wrap a whole process call in an allocation
// counter. They are owned by the host code that made them, not reference
// counted: addRef and release are accepted and do nothing, as the process
// data only lends them to the plug-in for the call.

// Points of one parameter in one block, kept in ascending sample-offset
// order; adding a point at an offset that already has one replaces its value.
class ParamValueQueue final : public Steinberg::Vst::IParamValueQueue {
public:
    static constexpr std::size_t kMaxPoints = 64;

    void Reset(Steinberg::Vst::ParamID id) noexcept;

    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return parameterId; }
    Steinberg::int32 PLUGIN_API getPointCount() override;
    // kInvalidArgument for an index outside the points.
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                           Steinberg::Vst::ParamValue& value) override;
    // kResultFalse when full, kInvalidArgument for a negative offset.
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset,
                                           Steinberg::Vst::ParamValue value,
                                           Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    struct Point {
        Steinberg::int32 sampleOffset;
        Steinberg::Vst::ParamValue value;
    };
    Steinberg::Vst::ParamID parameterId = 0;
    std::array<Point, kMaxPoints> points{};
    std::size_t count = 0;
};

// The parameters changed in one block, each with its queue.
class ParameterChanges final : public Steinberg::Vst::IParameterChanges {
public:
    explicit ParameterChanges(std::size_t maxParameters = 64);

    // Empties every queue; the storage stays.
    void Clear() noexcept;
    // Adds one point to the parameter's queue (making the queue if needed);
    // false when the parameters or the queue's points are exhausted.
    bool Add(Steinberg::Vst::ParamID id, Steinberg::int32 sampleOffset,
             Steinberg::Vst::ParamValue value) noexcept;

    Steinberg::int32 PLUGIN_API getParameterCount() override;
    // Null for an index outside the used queues.
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    // The queue already holding id, or a fresh one; null when all are used.
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                  Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    std::vector<ParamValueQueue> queues;
    std::size_t used = 0;
};

} // namespace vst3host
