#include "plugin/vst3/IPluginVST3ControllerBase.h"

#include "plugin/IEditorDelegate.h"
#include "plugin/vst3/HostParameters.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace plugin::vst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Longest channel text read from a host. Track names are short; the bound
// keeps a host that reports an absurd length from making us allocate it.
constexpr int64 kMaxChannelTextUnits = 4096;

// Reads a text whose length (in UTF-16 units) the host gives under its own
// key. The text is left unchanged when the host does not supply it.
void ReadText(IAttributeList& list, IAttributeList::AttrID lengthKey,
              IAttributeList::AttrID textKey, std::string& text) {
    int64 length = 0;
    if (list.getInt(lengthKey, length) != kResultTrue)
        return;
    length = std::clamp<int64>(length, 0, kMaxChannelTextUnits);
    std::vector<char16_t> buffer(static_cast<std::size_t>(length) + 1, u'\0');
    const auto bytes = static_cast<uint32>(buffer.size() * sizeof(char16_t));
    if (list.getString(textKey, reinterpret_cast<TChar*>(buffer.data()), bytes) != kResultTrue)
        return;
    buffer.back() = u'\0';
    text = Utf16ToUtf8(buffer.data(), buffer.size());
}

} // namespace

IPluginVST3ControllerBase::IPluginVST3ControllerBase() = default;

IPluginVST3ControllerBase::~IPluginVST3ControllerBase() = default;

double IPluginVST3ControllerBase::HostNormalized(ParamID id) const {
    const Parameter* param = hostParameters ? hostParameters->getParameter(id) : nullptr;
    return param != nullptr ? param->getNormalized() : 0.0;
}

bool IPluginVST3ControllerBase::StoreHostNormalized(ParamID id, double normalized) {
    Parameter* param = hostParameters ? hostParameters->getParameter(id) : nullptr;
    if (param == nullptr || std::isnan(normalized))
        return false;
    param->setNormalized(normalized);
    return true;
}

void IPluginVST3ControllerBase::CopyParamsToHost(const IEditorDelegate& plugin) {
    for (int32_t index = 0; index < plugin.ParamCount(); ++index)
        StoreHostNormalized(static_cast<ParamID>(index),
                            plugin.ParamAt(index)->CurrentNormalized());
}

tresult IPluginVST3ControllerBase::ReadChannelContext(IAttributeList* list) {
    if (list == nullptr)
        return kResultFalse;
    ReadText(*list, ChannelContext::kChannelNameLengthKey, ChannelContext::kChannelNameKey,
             channelName);
    ReadText(*list, ChannelContext::kChannelUIDLengthKey, ChannelContext::kChannelUIDKey,
             channelUid);
    int64 value = 0;
    if (list->getInt(ChannelContext::kChannelIndexKey, value) == kResultTrue)
        channelIndex = static_cast<int32_t>(value);
    if (list->getInt(ChannelContext::kChannelColorKey, value) == kResultTrue)
        channelColour = static_cast<uint32_t>(value);
    if (list->getInt(ChannelContext::kChannelIndexNamespaceOrderKey, value) == kResultTrue)
        namespaceOrder = static_cast<int32_t>(value);
    ReadText(*list, ChannelContext::kChannelIndexNamespaceLengthKey,
             ChannelContext::kChannelIndexNamespaceKey, channelNamespace);
    return kResultOk;
}

void IPluginVST3ControllerBase::ChannelColourComponents(int32_t& red, int32_t& green,
                                                        int32_t& blue) const noexcept {
    red = static_cast<int32_t>((channelColour >> 16) & 0xFF);
    green = static_cast<int32_t>((channelColour >> 8) & 0xFF);
    blue = static_cast<int32_t>(channelColour & 0xFF);
}

} // namespace plugin::vst3
