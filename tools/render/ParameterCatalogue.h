#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstdint>
#include <string>
#include <vector>

namespace render {

// One host-visible parameter as the edit controller describes it.
struct ParameterInfo {
    Steinberg::Vst::ParamID id = 0;
    std::string title;
    std::string units;
    int32_t stepCount = 0;
    double defaultNormalized = 0.0;
    int32_t flags = 0;
};

// An effect's parameters and its own text conversions: what a "NAME=VALUE"
// setting is resolved against.
class ParameterCatalogue {
public:
    virtual ~ParameterCatalogue() = default;

    virtual const std::string& EffectName() const = 0;
    virtual const std::vector<ParameterInfo>& Parameters() const = 0;
    // Exact title match; null when there is none.
    const ParameterInfo* FindParameter(const std::string& title) const;
    // The controller's own text conversions.
    virtual std::string TextForValue(Steinberg::Vst::ParamID id, double normalized) const = 0;
    virtual bool ValueForText(Steinberg::Vst::ParamID id, const std::string& text,
                              double& normalized) const = 0;
};

// The catalogue of an initialized edit controller, which must outlive it.
class ControllerCatalogue final : public ParameterCatalogue {
public:
    ControllerCatalogue(Steinberg::Vst::IEditController* controller, std::string effectName);

    const std::string& EffectName() const override { return effectName; }
    const std::vector<ParameterInfo>& Parameters() const override { return parameters; }
    std::string TextForValue(Steinberg::Vst::ParamID id, double normalized) const override;
    bool ValueForText(Steinberg::Vst::ParamID id, const std::string& text,
                      double& normalized) const override;

private:
    Steinberg::Vst::IEditController* controller;
    std::string effectName;
    std::vector<ParameterInfo> parameters;
};

} // namespace render
