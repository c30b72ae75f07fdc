#pragma once

#include <cstdint>

namespace plugin {

// Where a parameter change came from. Hooks receive it so that a plug-in can,
// for instance, skip smoothing for a preset recall; the names are what the
// trace records print.
enum class ParamChangeSource : int32_t {
    Reset = 0,
    Host = 1,
    Preset = 2,
    UI = 3,
    EditorDelegate = 4,
    Recompile = 5,
    Unknown = 6,
};

// [any] wait-free. A value outside the enumeration (a cast from bad input)
// reads as "Unknown".
constexpr const char* ParamChangeSourceName(ParamChangeSource source) noexcept {
    switch (source) {
    case ParamChangeSource::Reset:
        return "Reset";
    case ParamChangeSource::Host:
        return "Host";
    case ParamChangeSource::Preset:
        return "Preset";
    case ParamChangeSource::UI:
        return "UI";
    case ParamChangeSource::EditorDelegate:
        return "Editor Delegate";
    case ParamChangeSource::Recompile:
        return "Recompile";
    case ParamChangeSource::Unknown:
        break;
    }
    return "Unknown";
}

} // namespace plugin
