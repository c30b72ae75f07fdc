#pragma once

#include "tools/render/ParameterCatalogue.h"

#include <string>

namespace render {

// A setting as the user typed it: --set "MF Level 1=6".
struct ParameterSetting {
    std::string name;
    std::string text;
};

// Splits at the first '='; false with a reason for text without one or with
// an empty name.
bool ParseSetting(const std::string& argument, ParameterSetting& setting, std::string& error);

// The normalized value the effect's own text parsing gives the setting.
// Effects parse leniently (an unknown list entry typically becomes the
// first), so the value is accepted only when the effect shows it with the
// same text, or, for a parameter that shows numbers, when the text is a
// number (optionally followed by the parameter's units). A number the
// effect limits is accepted with a note. False with a reason otherwise.
bool ResolveSetting(const ParameterCatalogue& session, const ParameterSetting& setting,
                    Steinberg::Vst::ParamID& id, double& normalized, std::string& error,
                    std::string& note);

// Every host-visible parameter with its ID, range, default, units and, for
// a parameter with a few steps, every value text.
std::string DescribeParameters(const ParameterCatalogue& session);

} // namespace render
