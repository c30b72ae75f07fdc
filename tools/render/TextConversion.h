#pragma once

#include "pluginterfaces/vst/vsttypes.h"

#include <string>

namespace render {

// The VST 3 interfaces carry text as 128-unit UTF-16 strings; the program
// works in UTF-8.

// Stops at the first zero or after 128 units; unpaired surrogates become
// U+FFFD.
std::string Utf8FromString128(const Steinberg::Vst::String128 text);

// Cut at a character boundary to fit, always zero-terminated.
void String128FromUtf8(const std::string& text, Steinberg::Vst::String128 out);

} // namespace render
