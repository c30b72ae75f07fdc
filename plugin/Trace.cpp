#include "plugin/Trace.h"

#include <atomic>

namespace plugin {

namespace {
std::atomic<TraceSink> installedSink{nullptr};
}

TraceSink SetTraceSink(TraceSink sink) noexcept {
    return installedSink.exchange(sink);
}

void Trace(const char* functionName, const char* format, ...) noexcept {
    TraceSink sink = installedSink.load(std::memory_order_acquire);
    if (sink == nullptr)
        return;
    std::va_list args;
    va_start(args, format);
    sink(functionName, format, args);
    va_end(args);
}

} // namespace plugin
