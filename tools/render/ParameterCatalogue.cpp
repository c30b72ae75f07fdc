#include "tools/render/ParameterCatalogue.h"

#include "tools/render/TextConversion.h"

namespace render {

using namespace Steinberg;
using namespace Steinberg::Vst;

const ParameterInfo* ParameterCatalogue::FindParameter(const std::string& title) const {
    for (const ParameterInfo& parameter : Parameters())
        if (parameter.title == title)
            return &parameter;
    return nullptr;
}

ControllerCatalogue::ControllerCatalogue(IEditController* controller, std::string effectName)
    : controller(controller), effectName(std::move(effectName)) {
    if (controller == nullptr)
        return;
    const int32 count = controller->getParameterCount();
    for (int32 i = 0; i < count; ++i) {
        Vst::ParameterInfo info{};
        if (controller->getParameterInfo(i, info) != kResultOk)
            continue;
        ParameterInfo described;
        described.id = info.id;
        described.title = Utf8FromString128(info.title);
        described.units = Utf8FromString128(info.units);
        described.stepCount = info.stepCount;
        described.defaultNormalized = info.defaultNormalizedValue;
        described.flags = info.flags;
        parameters.push_back(described);
    }
}

std::string ControllerCatalogue::TextForValue(ParamID id, double normalized) const {
    String128 text{};
    if (!controller || controller->getParamStringByValue(id, normalized, text) != kResultOk)
        return {};
    return Utf8FromString128(text);
}

bool ControllerCatalogue::ValueForText(ParamID id, const std::string& text,
                                       double& normalized) const {
    if (!controller)
        return false;
    String128 wide{};
    String128FromUtf8(text, wide);
    ParamValue value = 0.0;
    if (controller->getParamValueByString(id, wide, value) != kResultOk)
        return false;
    normalized = value;
    return true;
}

} // namespace render
