#pragma once

#include "pluginterfaces/vst/ivstattributes.h"
#include "public.sdk/source/vst/vstparameters.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plugin {
class IEditorDelegate;
}

namespace plugin::vst3 {

// The edit-controller side of the VST 3 binding that is not an SDK override:
// the host-visible parameter objects (kept in step with the framework's
// values), the bypass parameter, and the channel information the host
// reports for the track the plug-in sits on. UI thread only.
class IPluginVST3ControllerBase {
public:
    // [ui] Without a container every value query answers as for an unknown
    // ID until AttachParameters.
    IPluginVST3ControllerBase();
    virtual ~IPluginVST3ControllerBase();
    IPluginVST3ControllerBase(const IPluginVST3ControllerBase&) = delete;
    IPluginVST3ControllerBase& operator=(const IPluginVST3ControllerBase&) = delete;

    // ---- Host-visible parameter values ----

    // [ui] The controller's own container, which outlives this object's use
    // of it. The controller is built after this base, hence the late hand-over.
    void AttachParameters(Steinberg::Vst::ParameterContainer& parameters) noexcept {
        hostParameters = &parameters;
    }

    // [ui] The stored normalized value of the object with that ID; 0 when
    // there is none.
    double HostNormalized(Steinberg::Vst::ParamID id) const;
    // [ui] Stores a value (limited to [0, 1]); false for an unknown ID or a
    // value that is not a number.
    bool StoreHostNormalized(Steinberg::Vst::ParamID id, double normalized);
    // [ui] Copies every framework parameter's position into its object.
    void CopyParamsToHost(const IEditorDelegate& plugin);
    // [ui] Null when the plug-in has no bypass parameter (an instrument).
    Steinberg::Vst::Parameter* BypassParameter() const noexcept { return bypassParameter; }

    // ---- Channel context ----

    // [ui] Reads the keys the host supplies; kResultFalse for a null list.
    Steinberg::tresult ReadChannelContext(Steinberg::Vst::IAttributeList* list);

    // [ui]
    const std::string& ChannelName() const noexcept { return channelName; }
    const std::string& ChannelNamespace() const noexcept { return channelNamespace; }
    const std::string& ChannelUid() const noexcept { return channelUid; }
    int32_t ChannelIndex() const noexcept { return channelIndex; }
    int32_t NamespaceOrder() const noexcept { return namespaceOrder; }
    // [ui] 0xAARRGGBB: blue in bits 0..7, green 8..15, red 16..23.
    uint32_t ChannelColour() const noexcept { return channelColour; }
    // [ui] The colour's components, 0..255 each.
    void ChannelColourComponents(int32_t& red, int32_t& green, int32_t& blue) const noexcept;

protected:
    Steinberg::Vst::ParameterContainer* hostParameters = nullptr;
    Steinberg::Vst::Parameter* bypassParameter = nullptr; // owned by the container
    // Parameter group names in order of first use; a group's unit ID is its
    // position + 1. Kept across terminate so unit IDs stay the same.
    std::vector<std::string> paramGroups;

    std::string channelName;
    std::string channelNamespace;
    std::string channelUid;
    int32_t namespaceOrder = 0;
    int32_t channelIndex = 0;
    uint32_t channelColour = 0;
};

} // namespace plugin::vst3
