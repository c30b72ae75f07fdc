#pragma once

#include <cstdarg>

namespace plugin {

// A few framework entry points report themselves through Trace(). Nothing is
// printed unless a sink is installed (a debugging session or a test); with no
// sink a trace call is one atomic load, so it is safe on the audio thread.
//
// The sink receives the function name, the printf-style format and the
// arguments; it runs on whichever thread traced, so a sink that is installed
// while audio runs must itself be real-time safe.
using TraceSink = void (*)(const char* functionName, const char* format, std::va_list args);

// [any] Installs a sink (nullptr: discard everything) and returns the previous one.
TraceSink SetTraceSink(TraceSink sink) noexcept;

// [any] wait-free and allocation-free when no sink is installed.
void Trace(const char* functionName, const char* format, ...) noexcept
    __attribute__((format(printf, 2, 3)));

} // namespace plugin
