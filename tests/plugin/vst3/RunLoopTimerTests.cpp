// The idle timer's adapter onto a Linux host's run loop.

#include "host/HostContext.h"
#include "plugin/Timer.h"
#include "plugin/vst3/RunLoopTimer.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace Steinberg;

// A host whose run loop answers every call with kNotImplemented.
class RefusingRunLoop : public Linux::IRunLoop {
public:
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override {
        return kNotImplemented;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override {
        return kNotImplemented;
    }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler*, Linux::TimerInterval) override {
        ++registerCalls;
        return kNotImplemented;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler*) override { return kNotImplemented; }
    tresult PLUGIN_API queryInterface(const TUID, void**) override { return kNoInterface; }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    int registerCalls = 0;
};

struct CountingClient : plugin::TimerClient {
    void OnTimerTick() override { ++ticks; }
    int ticks = 0;
};

IPtr<Linux::IRunLoop> LoopOf(vst3host::HostContext& context) {
    return plugin::vst3::RunLoopTimer::FindRunLoop(context.Unknown());
}

TEST(RunLoopTimer, TicksArriveOnlyWhileRegistered) {
    auto context = owned(new vst3host::HostContext);
    auto loop = LoopOf(*context);
    ASSERT_TRUE(loop);
    plugin::vst3::RunLoopTimer adapter(loop);
    CountingClient client;
    ASSERT_TRUE(adapter.RegisterTimer(&client, 20));
    EXPECT_FALSE(adapter.RegisterTimer(&client, 20)); // once per client
    ASSERT_EQ(context->RunLoop().TimerCount(), 1u);
    EXPECT_EQ(context->RunLoop().TimerIntervalMs(0), 20u);
    context->RunLoop().AdvanceMs(100);
    EXPECT_EQ(client.ticks, 5);

    adapter.UnregisterTimer(&client);
    EXPECT_EQ(context->RunLoop().TimerCount(), 0u);
    context->RunLoop().AdvanceMs(100);
    EXPECT_EQ(client.ticks, 5);
    adapter.UnregisterTimer(&client); // unknown now: ignored
}

TEST(RunLoopTimer, DestructionLeavesNoTimerBehind) {
    auto context = owned(new vst3host::HostContext);
    CountingClient first, second;
    {
        plugin::vst3::RunLoopTimer adapter(LoopOf(*context));
        ASSERT_TRUE(adapter.RegisterTimer(&first, 20));
        ASSERT_TRUE(adapter.RegisterTimer(&second, 50));
        EXPECT_EQ(adapter.RegisterTimer(nullptr, 20), false);
        EXPECT_EQ(context->RunLoop().TimerCount(), 2u);
    }
    EXPECT_EQ(context->RunLoop().TimerCount(), 0u);
    context->RunLoop().AdvanceMs(200);
    EXPECT_EQ(first.ticks + second.ticks, 0);
}

TEST(RunLoopTimer, ARefusingHostLeavesTheFrameworkTimerOnItsThread) {
    RefusingRunLoop refusing;
    plugin::vst3::RunLoopTimer adapter(&refusing);
    CountingClient client;
    EXPECT_FALSE(adapter.RegisterTimer(&client, 20));
    EXPECT_EQ(refusing.registerCalls, 1);
    EXPECT_EQ(adapter.RegisteredCount(), 0u);

    std::atomic<int> ticks{0};
    plugin::Timer timer([&ticks](plugin::Timer&) { ++ticks; }, 1, &adapter);
    EXPECT_TRUE(timer.IsRunning());
    EXPECT_FALSE(timer.IsOnRunLoop());
    timer.Stop();
}

TEST(RunLoopTimer, ContextsWithoutARunLoopGiveNone) {
    EXPECT_FALSE(plugin::vst3::RunLoopTimer::FindRunLoop(nullptr));
    auto bare = owned(new vst3host::HostContext({"Bare", false}));
    EXPECT_FALSE(plugin::vst3::RunLoopTimer::FindRunLoop(bare->Unknown()));
}

} // namespace
