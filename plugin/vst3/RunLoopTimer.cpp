#include "plugin/vst3/RunLoopTimer.h"

#include <algorithm>

namespace plugin::vst3 {

using namespace Steinberg;

// Forwards the host's ticks to one client until detached.
class RunLoopTimer::Handler : public FObject, public Linux::ITimerHandler {
public:
    explicit Handler(TimerClient* timerClient) : client(timerClient) {}

    void Detach() noexcept { client = nullptr; }

    void PLUGIN_API onTimer() override {
        if (client != nullptr)
            client->OnTimerTick();
    }

    OBJ_METHODS(RunLoopTimer::Handler, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

private:
    TimerClient* client;
};

RunLoopTimer::RunLoopTimer(Linux::IRunLoop* loop) : runLoop(loop) {}

RunLoopTimer::~RunLoopTimer() {
    UnregisterAll();
}

bool RunLoopTimer::RegisterTimer(TimerClient* client, int32_t periodMs) {
    if (client == nullptr || !runLoop)
        return false;
    const auto known = std::find_if(handlers.begin(), handlers.end(),
                                    [client](const auto& entry) { return entry.first == client; });
    if (known != handlers.end())
        return false;

    auto handler = owned(new Handler(client));
    const auto interval = static_cast<Linux::TimerInterval>(std::max(periodMs, 1));
    if (runLoop->registerTimer(handler, interval) != kResultOk) {
        handler->Detach();
        return false;
    }
    handlers.emplace_back(client, handler);
    return true;
}

void RunLoopTimer::UnregisterTimer(TimerClient* client) {
    const auto found = std::find_if(handlers.begin(), handlers.end(),
                                    [client](const auto& entry) { return entry.first == client; });
    if (found == handlers.end())
        return;
    IPtr<Handler> handler = found->second;
    handlers.erase(found);
    handler->Detach();
    runLoop->unregisterTimer(handler);
}

void RunLoopTimer::UnregisterAll() {
    while (!handlers.empty())
        UnregisterTimer(handlers.back().first);
}

IPtr<Linux::IRunLoop> RunLoopTimer::FindRunLoop(FUnknown* context) {
    if (context == nullptr)
        return nullptr;
    Linux::IRunLoop* loop = nullptr;
    if (context->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&loop)) !=
            kResultOk ||
        loop == nullptr)
        return nullptr;
    return owned(loop);
}

} // namespace plugin::vst3
