#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "host/ComponentHandler.h"
#include "host/FakeRunLoop.h"
#include "host/HostContext.h"
#include "host/ParameterChanges.h"

#include "pluginterfaces/base/smartpointer.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Steinberg;
using vst3host::FakeRunLoop;
using vst3host::ParameterChanges;

namespace {

// A timer handler that logs the fake time of each tick and may run an action.
class LoggingTimer : public Linux::ITimerHandler {
public:
    LoggingTimer(FakeRunLoop& loop, std::vector<std::pair<int, std::uint64_t>>& log, int tag)
        : loop(loop), log(log), tag(tag) {
        FUNKNOWN_CTOR
    }
    virtual ~LoggingTimer() { FUNKNOWN_DTOR }

    void PLUGIN_API onTimer() override {
        log.emplace_back(tag, loop.NowMs());
        if (action)
            action();
    }
    std::function<void()> action;

    DECLARE_FUNKNOWN_METHODS

private:
    FakeRunLoop& loop;
    std::vector<std::pair<int, std::uint64_t>>& log;
    int tag;
};

IMPLEMENT_FUNKNOWN_METHODS(LoggingTimer, Linux::ITimerHandler, Linux::ITimerHandler::iid)

} // namespace

TEST(HostParameterChanges, OneQueuePerParameterWithPointsInOffsetOrder) {
    ParameterChanges changes(4);
    EXPECT_TRUE(changes.Add(3, 40, 0.4));
    EXPECT_TRUE(changes.Add(9, 0, 0.9));
    EXPECT_TRUE(changes.Add(3, 10, 0.1));
    EXPECT_TRUE(changes.Add(3, 40, 0.45)); // same offset: replaces
    ASSERT_EQ(changes.getParameterCount(), 2);

    Vst::IParamValueQueue* queue = changes.getParameterData(0);
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->getParameterId(), 3u);
    ASSERT_EQ(queue->getPointCount(), 2);
    int32 offset = -1;
    Vst::ParamValue value = -1;
    ASSERT_EQ(queue->getPoint(0, offset, value), kResultOk);
    EXPECT_EQ(offset, 10);
    EXPECT_EQ(value, 0.1);
    ASSERT_EQ(queue->getPoint(1, offset, value), kResultOk);
    EXPECT_EQ(offset, 40);
    EXPECT_EQ(value, 0.45);
    EXPECT_NE(queue->getPoint(2, offset, value), kResultOk);
    EXPECT_NE(queue->getPoint(-1, offset, value), kResultOk);
    EXPECT_EQ(changes.getParameterData(2), nullptr);

    int32 index = -1;
    EXPECT_EQ(changes.addParameterData(9, index), changes.getParameterData(1));
    EXPECT_EQ(index, 1);
}

TEST(HostParameterChanges, CapacityLimitsAreReportedNotExceeded) {
    ParameterChanges changes(2);
    EXPECT_TRUE(changes.Add(1, 0, 0.0));
    EXPECT_TRUE(changes.Add(2, 0, 0.0));
    EXPECT_FALSE(changes.Add(3, 0, 0.0));
    EXPECT_EQ(changes.getParameterCount(), 2);

    for (int32 i = 1; i < static_cast<int32>(vst3host::ParamValueQueue::kMaxPoints); ++i)
        EXPECT_TRUE(changes.Add(1, i, 0.5));
    EXPECT_FALSE(changes.Add(1, 1000, 0.5));
    EXPECT_EQ(changes.getParameterData(0)->getPointCount(),
              static_cast<int32>(vst3host::ParamValueQueue::kMaxPoints));
}

TEST(HostParameterChanges, ReuseAfterClearDoesNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    ParameterChanges changes(8);
    testing_support::AllocationCounter counter;
    for (int block = 0; block < 100; ++block) {
        changes.Clear();
        for (Vst::ParamID id = 0; id < 8; ++id)
            changes.Add(id, block % 64, 0.5);
    }
    EXPECT_EQ(counter.Count(), 0u);
    EXPECT_EQ(changes.getParameterCount(), 8);
}

TEST(HostFakeRunLoop, TimersFireInTimeOrderAsTheirPeriodsElapse) {
    FakeRunLoop loop;
    std::vector<std::pair<int, std::uint64_t>> log;
    IPtr<LoggingTimer> fast = owned(new LoggingTimer(loop, log, 1));
    IPtr<LoggingTimer> slow = owned(new LoggingTimer(loop, log, 2));
    ASSERT_EQ(loop.RegisterTimer(slow, 25), kResultOk);
    ASSERT_EQ(loop.RegisterTimer(fast, 10), kResultOk);
    EXPECT_EQ(loop.RegisterTimer(fast, 10), kResultFalse);
    EXPECT_EQ(loop.RegisterTimer(nullptr, 10), kInvalidArgument);

    EXPECT_EQ(loop.AdvanceMs(9), 0u);
    // 10, 20 (fast), 25 (slow), 30, 40, 50 (fast, then slow at 50: fast was
    // registered later, but ties go by registration order, slow first).
    EXPECT_EQ(loop.AdvanceMs(41), 7u);
    const std::vector<std::pair<int, std::uint64_t>> expected = {{1, 10}, {1, 20}, {2, 25}, {1, 30},
                                                                 {1, 40}, {2, 50}, {1, 50}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(loop.NowMs(), 50u);
}

TEST(HostFakeRunLoop, HoldsAReferenceAndSurvivesUnregistrationFromTheCallback) {
    FakeRunLoop loop;
    std::vector<std::pair<int, std::uint64_t>> log;
    auto* timer = new LoggingTimer(loop, log, 1);
    ASSERT_EQ(loop.RegisterTimer(timer, 20), kResultOk);
    // Ours plus the loop's: a release from us leaves the loop's.
    EXPECT_EQ(timer->release(), 1u);
    timer->action = [&loop, timer] { loop.UnregisterTimer(timer); };

    EXPECT_EQ(loop.AdvanceMs(100), 1u);
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.UnregisterTimer(timer), kResultFalse);
}

TEST(HostFakeRunLoop, FireAllOnceSkipsTimersUnregisteredByAnEarlierCallback) {
    FakeRunLoop loop;
    std::vector<std::pair<int, std::uint64_t>> log;
    IPtr<LoggingTimer> first = owned(new LoggingTimer(loop, log, 1));
    IPtr<LoggingTimer> second = owned(new LoggingTimer(loop, log, 2));
    loop.RegisterTimer(first, 5);
    loop.RegisterTimer(second, 500);
    first->action = [&loop, &second] { loop.UnregisterTimer(second); };
    EXPECT_EQ(loop.FireAllOnce(), 1u);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].first, 1);
    EXPECT_EQ(loop.NowMs(), 0u);
}

TEST(HostContextTests, AnswersNameMessagesAndTheRunLoopOnlyWhenOffered) {
    IPtr<vst3host::HostContext> context = owned(new vst3host::HostContext({"H\xC3\xB6st", true}));
    Vst::String128 name;
    ASSERT_EQ(context->getName(name), kResultOk);
    EXPECT_EQ(name[0], u'H');
    EXPECT_EQ(name[1], 0x00F6);
    EXPECT_EQ(name[4], 0);

    FUnknownPtr<Linux::IRunLoop> loop(static_cast<Vst::IHostApplication*>(context));
    EXPECT_TRUE(loop);

    TUID messageId;
    Vst::IMessage::iid.toTUID(messageId);
    void* message = nullptr;
    ASSERT_EQ(context->createInstance(messageId, messageId, &message), kResultOk);
    ASSERT_NE(message, nullptr);
    static_cast<Vst::IMessage*>(message)->release();

    IPtr<vst3host::HostContext> bare = owned(new vst3host::HostContext({"Bare", false}));
    FUnknownPtr<Linux::IRunLoop> none(static_cast<Vst::IHostApplication*>(bare));
    EXPECT_FALSE(none);
}

TEST(HostComponentHandler, RecordsCallsInOrderWithTheirArguments) {
    IPtr<vst3host::RecordingComponentHandler> handler =
        owned(new vst3host::RecordingComponentHandler);
    handler->beginEdit(4);
    handler->performEdit(4, 0.25);
    handler->endEdit(4);
    handler->restartComponent(Vst::kLatencyChanged);
    handler->restartComponent(Vst::kParamValuesChanged);

    using Kind = vst3host::HandlerCall::Kind;
    const auto calls = handler->Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].kind, Kind::BeginEdit);
    EXPECT_EQ(calls[1].kind, Kind::PerformEdit);
    EXPECT_EQ(calls[1].id, 4u);
    EXPECT_EQ(calls[1].normalized, 0.25);
    EXPECT_EQ(calls[2].kind, Kind::EndEdit);
    EXPECT_EQ(handler->Count(Kind::RestartComponent), 2u);
    EXPECT_EQ(handler->RestartFlags(), Vst::kLatencyChanged | Vst::kParamValuesChanged);
    handler->Clear();
    EXPECT_TRUE(handler->Calls().empty());
}
