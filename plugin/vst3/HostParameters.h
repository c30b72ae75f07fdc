#pragma once

#include "plugin/IParam.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "public.sdk/source/vst/vstparameters.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plugin {
class IPluginAPIBase;
}

namespace plugin::vst3 {

// Parameter IDs the host sees besides the framework parameters, whose ID is
// their index. The MIDI controller parameters follow each other from
// kFirstMidiControllerParamId on, kMidiControllersPerChannel per channel:
// controllers 0..127, then channel pressure, then pitch bend.
inline constexpr Steinberg::Vst::ParamID kBypassParamId = 0x10000;
inline constexpr Steinberg::Vst::ParamID kPresetParamId = 0x10001;
inline constexpr Steinberg::Vst::ParamID kFirstMidiControllerParamId = 0x10002;
inline constexpr int32_t kMidiControllersPerChannel = 130;
inline constexpr int32_t kChannelPressureController = 128;
inline constexpr int32_t kPitchBendController = 129;
// The program list of the factory presets is reported under the preset ID.
inline constexpr Steinberg::Vst::ProgramListID kFactoryPresetListId = 0x10001;

// [any] UTF-16 (at most maxUnits code units, stopping at a terminator) to
// UTF-8; unpaired surrogates become U+FFFD. Allocates.
std::string Utf16ToUtf8(const char16_t* text, std::size_t maxUnits);

// A framework parameter as the host sees it: the description is fixed at
// creation; the conversions between normalized values, plain values and
// texts all go through the framework parameter.
class IPluginVST3Parameter : public Steinberg::Vst::Parameter {
public:
    // [ui] param must outlive this object (the plug-in owns both).
    IPluginVST3Parameter(const IParam& param, Steinberg::Vst::ParamID id,
                         Steinberg::Vst::UnitID unitId);

    // [ui] The display text, value texts included.
    void toString(Steinberg::Vst::ParamValue normalized,
                  Steinberg::Vst::String128 string) const override;
    // [ui] Always succeeds; unparsable text gives what the parameter's parser
    // makes of it.
    bool fromString(const Steinberg::Vst::TChar* string,
                    Steinberg::Vst::ParamValue& normalized) const override;
    // [any] Limited to the parameter's range.
    Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue normalized) const override;
    // [any] In [0, 1].
    Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plain) const override;

    OBJ_METHODS(IPluginVST3Parameter, Steinberg::Vst::Parameter)

private:
    const IParam& param;
};

// The preset selector: a plain value is a preset index.
class IPluginVST3PresetParameter : public Steinberg::Vst::Parameter {
public:
    // [ui] presetCount of at least 1.
    explicit IPluginVST3PresetParameter(int32_t presetCount);

    // [any] round(stepCount * normalized).
    Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue normalized) const override;
    // [any] plain / stepCount in [0, 1]; 0 with a single preset, where every
    // normalized value selects the same preset.
    Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plain) const override;
    // [any] The SDK's text of the position limited to [0, 1] (NaN reads as
    // 0): the SDK prints any number into the 128-unit string and, for a
    // number longer than that, terminates it past the end.
    void toString(Steinberg::Vst::ParamValue normalized,
                  Steinberg::Vst::String128 string) const override;
    // [any] The number at the start of at most 128 units of text (a host's
    // string need not be terminated inside them, nor be valid UTF-16),
    // limited to [0, 1]; false for text that is no number or reads as NaN.
    bool fromString(const Steinberg::Vst::TChar* string,
                    Steinberg::Vst::ParamValue& normalized) const override;

    OBJ_METHODS(IPluginVST3PresetParameter, Steinberg::Vst::Parameter)
};

// The host's bypass switch: a two-entry list, "off" and "on".
class IPluginVST3BypassParameter : public Steinberg::Vst::StringListParameter {
public:
    // [ui]
    IPluginVST3BypassParameter();

    // [any] The list index of a position limited to [0, 1] (NaN reads as 0):
    // the SDK's list would index its strings with whatever a host passes.
    Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue normalized) const override;

    OBJ_METHODS(IPluginVST3BypassParameter, Steinberg::Vst::StringListParameter)
};

// Where BuildHostParameters puts what it builds: the controller's parameter
// container, units and program lists, and the parameter group names, which
// persist across terminate so that unit IDs stay stable.
struct HostParameterTarget {
    Steinberg::Vst::ParameterContainer& parameters;
    Steinberg::Vst::EditControllerEx1& controller;
    std::vector<std::string>& groups;
};

// [ui] Fills the controller with the host's picture of the plug-in, in this
// order: the preset parameter (with presets), the bypass parameter (unless
// an instrument), the framework parameters in index order, then the MIDI
// controller parameters (with MIDI input); the root unit "Root", one unit
// per parameter group, and the program list "Factory Presets". Returns the
// bypass parameter (owned by the container) or null.
Steinberg::Vst::Parameter* BuildHostParameters(IPluginAPIBase& plugin, HostParameterTarget target,
                                               bool isInstrument, bool midiInput);

} // namespace plugin::vst3
