#include "plugin/vst3/HostParameters.h"

#include "plugin/IPluginAPIBase.h"
#include "plugin/vst3/FactoryStrings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace plugin::vst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr std::size_t kString128Units = 128;
constexpr int32_t kMidiNotes = 128;
constexpr int32_t kMidiControllers = 128;
constexpr char16_t kReplacementCharacter = 0xFFFD;

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void CopyToString128(String128 destination, const char* text) {
    CopyUtf16Field(reinterpret_cast<char16_t*>(destination), kString128Units, text);
}

ParameterInfo DescribeParam(const IParam& param, ParamID id, UnitID unitId) {
    ParameterInfo info{};
    info.id = id;
    CopyToString128(info.title, param.Name());
    CopyToString128(info.shortTitle, "");
    CopyToString128(info.units, param.LabelForDisplay());
    info.stepCount =
        param.Kind() == IParam::KindDouble ? 0 : static_cast<int32>(param.Max() - param.Min());
    info.defaultNormalizedValue = param.NormalizeValue(param.DefaultValue());
    info.unitId = unitId;
    info.flags = param.HasFlag(IParam::NotAutomatable) ? 0 : ParameterInfo::kCanAutomate;
    if (param.Kind() == IParam::KindEnum)
        info.flags |= ParameterInfo::kIsList;
    return info;
}

// The unit of a parameter's group: 0 (root) for no group, else the group's
// position in the list + 1. A group seen for the first time is appended and
// gets its unit; a group already listed (from an earlier initialize) only
// gets its unit back when the controller lost it.
UnitID UnitForGroup(const char* group, HostParameterTarget& target) {
    if (group == nullptr || group[0] == '\0')
        return kRootUnitId;
    auto found = std::find(target.groups.begin(), target.groups.end(), group);
    bool addUnit = false;
    if (found == target.groups.end()) {
        target.groups.emplace_back(group);
        found = target.groups.end() - 1;
        addUnit = true;
    }
    const auto unitId = static_cast<UnitID>(found - target.groups.begin()) + 1;
    if (!addUnit) {
        UnitInfo existing{};
        for (int32 i = 0; i < target.controller.getUnitCount(); ++i) {
            if (target.controller.getUnitInfo(i, existing) == kResultOk && existing.id == unitId)
                return unitId;
        }
    }
    String128 name{};
    CopyToString128(name, group);
    target.controller.addUnit(new Unit(name, unitId, kRootUnitId, kNoProgramListId));
    return unitId;
}

void AddPresetsAndProgramList(IPluginAPIBase& plugin, HostParameterTarget& target) {
    target.parameters.addParameter(new IPluginVST3PresetParameter(plugin.PresetCount()));

    String128 listName{};
    CopyToString128(listName, "Factory Presets");
    auto* list = new ProgramListWithPitchNames(listName, kFactoryPresetListId, kRootUnitId);
    std::string noteName;
    for (int32_t preset = 0; preset < plugin.PresetCount(); ++preset) {
        String128 programName{};
        CopyToString128(programName, plugin.PresetName(preset));
        const int32 programIndex = list->addProgram(programName);
        for (int32_t note = 0; note < kMidiNotes; ++note) {
            if (!plugin.GetMidiNoteName(note, noteName))
                continue;
            String128 pitchName{};
            CopyToString128(pitchName, noteName.c_str());
            list->setPitchName(programIndex, static_cast<int16>(note), pitchName);
        }
    }
    target.controller.addProgramList(list);
}

void AddMidiControllerParameters(HostParameterTarget& target) {
    const auto addUnit = [&target](const char* name, UnitID parent) {
        const UnitID id = target.controller.getUnitCount() + 1;
        String128 unitName{};
        CopyToString128(unitName, name);
        target.controller.addUnit(new Unit(unitName, id, parent, kNoProgramListId));
        return id;
    };
    const UnitID controllersUnit = addUnit("MIDI CCs", kRootUnitId);
    char channelName[16];
    std::snprintf(channelName, sizeof channelName, "CH%i", 1);
    const UnitID channelUnit = addUnit(channelName, controllersUnit);

    const auto addController = [&target, channelUnit](const char* name, ParamID id,
                                                      double defaultNormalized) {
        String128 title{};
        CopyToString128(title, name);
        target.parameters.addParameter(title, nullptr, 0, defaultNormalized, 0,
                                       static_cast<int32>(id), channelUnit);
    };
    char name[32];
    for (int32_t controller = 0; controller < kMidiControllers; ++controller) {
        std::snprintf(name, sizeof name, "CC %i", controller);
        addController(name, kFirstMidiControllerParamId + static_cast<ParamID>(controller), 0.0);
    }
    addController("Channel Aftertouch", kFirstMidiControllerParamId + kChannelPressureController,
                  0.0);
    addController("Pitch Bend", kFirstMidiControllerParamId + kPitchBendController, 0.5);
}

} // namespace

std::string Utf16ToUtf8(const char16_t* text, std::size_t maxUnits) {
    std::string out;
    if (text == nullptr)
        return out;
    for (std::size_t i = 0; i < maxUnits && text[i] != 0; ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < maxUnits && IsLowSurrogate(text[i + 1])) {
            const char32_t high = unit - 0xD800u;
            const char32_t low = text[i + 1] - 0xDC00u;
            AppendUtf8(out, 0x10000u + (high << 10) + low);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacementCharacter);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// ---- IPluginVST3Parameter ----

IPluginVST3Parameter::IPluginVST3Parameter(const IParam& parameter, ParamID id, UnitID unitId)
    : Parameter(DescribeParam(parameter, id, unitId)), param(parameter) {
    precision = parameter.DisplayPrecision();
}

void IPluginVST3Parameter::toString(ParamValue normalized, String128 string) const {
    ParamText text = {};
    param.FormatValue(normalized, true, text, true);
    CopyToString128(string, text);
}

bool IPluginVST3Parameter::fromString(const TChar* string, ParamValue& normalized) const {
    const std::string text =
        Utf16ToUtf8(reinterpret_cast<const char16_t*>(string), kString128Units);
    normalized = param.NormalizeValue(param.ParseValueText(text.c_str()));
    return true;
}

ParamValue IPluginVST3Parameter::toPlain(ParamValue normalized) const {
    return param.DenormalizeValue(normalized);
}

ParamValue IPluginVST3Parameter::toNormalized(ParamValue plain) const {
    return std::clamp(param.NormalizeValue(plain), 0.0, 1.0);
}

// ---- IPluginVST3PresetParameter ----

IPluginVST3PresetParameter::IPluginVST3PresetParameter(int32_t presetCount) {
    CopyToString128(info.title, "Preset");
    CopyToString128(info.units, "");
    info.id = kPresetParamId;
    info.stepCount = std::max(presetCount - 1, 0);
    info.defaultNormalizedValue = 0.0;
    info.flags = ParameterInfo::kIsProgramChange;
    info.unitId = kRootUnitId;
    valueNormalized = 0.0;
}

ParamValue IPluginVST3PresetParameter::toPlain(ParamValue normalized) const {
    return std::round(info.stepCount * std::clamp(normalized, 0.0, 1.0));
}

ParamValue IPluginVST3PresetParameter::toNormalized(ParamValue plain) const {
    if (info.stepCount <= 0 || !std::isfinite(plain))
        return 0.0;
    return std::clamp(plain / info.stepCount, 0.0, 1.0);
}

void IPluginVST3PresetParameter::toString(ParamValue normalized, String128 string) const {
    Parameter::toString(std::isnan(normalized) ? 0.0 : std::clamp(normalized, 0.0, 1.0), string);
}

bool IPluginVST3PresetParameter::fromString(const TChar* string, ParamValue& normalized) const {
    if (string == nullptr)
        return false;
    // Read as the SDK reads it (a leading number, like sscanf's "%lf"), but
    // through the framework's conversion, which stops after 128 units and
    // replaces broken surrogates where the SDK's conversion throws.
    const std::string text =
        Utf16ToUtf8(reinterpret_cast<const char16_t*>(string), kString128Units);
    char* end = nullptr;
    const double read = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || std::isnan(read))
        return false;
    normalized = std::clamp(read, 0.0, 1.0);
    return true;
}

// ---- IPluginVST3BypassParameter ----

IPluginVST3BypassParameter::IPluginVST3BypassParameter()
    : StringListParameter(STR16("Bypass"), kBypassParamId, nullptr,
                          ParameterInfo::kCanAutomate | ParameterInfo::kIsList |
                              ParameterInfo::kIsBypass,
                          kRootUnitId) {
    String128 entry{};
    CopyToString128(entry, "off");
    appendString(entry);
    CopyToString128(entry, "on");
    appendString(entry);
}

ParamValue IPluginVST3BypassParameter::toPlain(ParamValue normalized) const {
    return StringListParameter::toPlain(std::isnan(normalized) ? 0.0
                                                               : std::clamp(normalized, 0.0, 1.0));
}

// ---- Building ----

Parameter* BuildHostParameters(IPluginAPIBase& plugin, HostParameterTarget target,
                               bool isInstrument, bool midiInput) {
    String128 rootName{};
    CopyToString128(rootName, "Root");
    auto* root = new Unit(rootName, kRootUnitId, kNoParentUnitId, kNoProgramListId);

    if (plugin.PresetCount() > 0) {
        root->setProgramListID(kFactoryPresetListId);
        AddPresetsAndProgramList(plugin, target);
    }

    Parameter* bypass = nullptr;
    if (!isInstrument)
        bypass = target.parameters.addParameter(new IPluginVST3BypassParameter());

    target.controller.addUnit(root);

    for (int32_t index = 0; index < plugin.ParamCount(); ++index) {
        const IParam& param = *plugin.ParamAt(index);
        const UnitID unitId = UnitForGroup(param.GroupName(), target);
        auto* hostParam = new IPluginVST3Parameter(param, static_cast<ParamID>(index), unitId);
        // Equal to the default on a fresh instance; after terminate and a new
        // initialize the host sees the values the plug-in still holds.
        hostParam->setNormalized(param.CurrentNormalized());
        target.parameters.addParameter(hostParam);
    }

    if (midiInput)
        AddMidiControllerParameters(target);
    return bypass;
}

} // namespace plugin::vst3
