#include "tools/render/ParameterSettings.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace render {

namespace {

// Lists longer than this are not spelled out in messages.
constexpr int32_t kMaxListedSteps = 64;

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The number at the start of text, and what follows it; false without one.
bool LeadingNumber(const std::string& text, double& value, std::string& rest) {
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value))
        return false;
    rest = Trim(end);
    return true;
}

int DecimalsOf(const std::string& number) {
    const std::size_t point = number.find('.');
    if (point == std::string::npos)
        return 0;
    int decimals = 0;
    for (std::size_t i = point + 1;
         i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])); ++i)
        ++decimals;
    return decimals;
}

std::string StepTexts(const ParameterCatalogue& session, const ParameterInfo& parameter) {
    std::string list;
    for (int32_t step = 0; step <= parameter.stepCount; ++step) {
        if (step)
            list += ", ";
        list += session.TextForValue(parameter.id, static_cast<double>(step) /
                                                       static_cast<double>(parameter.stepCount));
    }
    return list;
}

bool HasFewSteps(const ParameterInfo& parameter) {
    return parameter.stepCount > 0 && parameter.stepCount <= kMaxListedSteps;
}

} // namespace

bool ParseSetting(const std::string& argument, ParameterSetting& setting, std::string& error) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos || Trim(argument.substr(0, equals)).empty()) {
        error = "--set takes \"NAME=VALUE\", not \"" + argument + "\"";
        return false;
    }
    setting.name = Trim(argument.substr(0, equals));
    setting.text = Trim(argument.substr(equals + 1));
    return true;
}

bool ResolveSetting(const ParameterCatalogue& session, const ParameterSetting& setting,
                    Steinberg::Vst::ParamID& id, double& normalized, std::string& error,
                    std::string& note) {
    const ParameterInfo* parameter = session.FindParameter(setting.name);
    if (!parameter) {
        error = "unknown parameter \"" + setting.name + "\" (--list shows the names)";
        return false;
    }
    id = parameter->id;
    if (session.ValueForText(id, setting.text, normalized)) {
        // Some parsers return positions outside the normalized range unchanged.
        normalized = std::clamp(normalized, 0.0, 1.0);
        const std::string shown = Trim(session.TextForValue(id, normalized));
        if (shown == setting.text)
            return true;

        double typed = 0.0;
        double shownValue = 0.0;
        std::string typedRest;
        std::string shownRest;
        const bool typedNumber =
            LeadingNumber(setting.text, typed, typedRest) &&
            (typedRest.empty() || EqualIgnoringCase(typedRest, parameter->units));
        if (typedNumber && LeadingNumber(shown, shownValue, shownRest)) {
            const double resolution = 0.5 * std::pow(10.0, -DecimalsOf(shown));
            if (std::fabs(typed - shownValue) > resolution * (1.0 + 1e-9))
                note = "\"" + setting.name + "\" " + setting.text + " is limited to " + shown +
                       (parameter->units.empty() ? "" : " " + parameter->units);
            return true;
        }
    }
    if (HasFewSteps(*parameter))
        error = "\"" + setting.name + "\" has no value \"" + setting.text +
                "\"; it takes one of: " + StepTexts(session, *parameter);
    else
        error = "\"" + setting.name + "\" takes a number, not \"" + setting.text + "\"";
    return false;
}

std::string DescribeParameters(const ParameterCatalogue& session) {
    using Steinberg::Vst::ParameterInfo;
    std::ostringstream out;
    out << "Parameters of \"" << session.EffectName() << "\" (--set \"NAME=VALUE\"):\n";
    for (const render::ParameterInfo& parameter : session.Parameters()) {
        const std::string units = parameter.units.empty() ? "" : " " + parameter.units;
        out << "  " << parameter.title << "  [id " << parameter.id << "]\n";
        if (HasFewSteps(parameter))
            out << "      values: " << StepTexts(session, parameter) << "\n";
        else
            out << "      range: " << session.TextForValue(parameter.id, 0.0) << " to "
                << session.TextForValue(parameter.id, 1.0) << units << "\n";
        out << "      default: " << session.TextForValue(parameter.id, parameter.defaultNormalized)
            << units << "\n";
        std::string traits;
        if (!(parameter.flags & ParameterInfo::kCanAutomate))
            traits += " not automatable;";
        if (parameter.flags & ParameterInfo::kIsBypass)
            traits += " bypass;";
        if (parameter.flags & ParameterInfo::kIsProgramChange)
            traits += " program change;";
        if (!traits.empty()) {
            traits.pop_back();
            out << "      note:" << traits << "\n";
        }
    }
    return out.str();
}

} // namespace render
