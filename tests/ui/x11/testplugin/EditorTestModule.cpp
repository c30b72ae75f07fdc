// The "Editor Test" module: the test plug-in behind the class factory, for
// hosts that load bundles (Steinberg's editorhost).

#include "EditorTestPlugin.h"

#include "plugin/vst3/ModuleEntry.h"
#include "plugin/vst3/PluginFactory.h"

#include <new>

namespace {

Steinberg::FUnknown* CreateEditorTest(void*) {
    auto* instance = new (std::nothrow) editor_test::EditorTestPlugin();
    if (instance == nullptr)
        return nullptr;
    return static_cast<Steinberg::Vst::IAudioProcessor*>(instance);
}

} // namespace

namespace plugin::vst3 {

PluginFactory* MakePluginFactory() {
    FactoryRecord vendor;
    vendor.vendor = "Corvane Audio";
    vendor.flags = Steinberg::PFactoryInfo::kUnicode;
    auto* factory = new (std::nothrow) PluginFactory(vendor);
    if (factory == nullptr)
        return nullptr;
    ClassRecord record;
    const Steinberg::FUID id(0x5E1D7E57, 0x0ED1704E, 0x43766160, 0x65547374);
    id.toTUID(record.cid);
    record.cardinality = Steinberg::PClassInfo::kManyInstances;
    record.category = kVstAudioEffectClass;
    record.name = "Editor Test";
    record.classFlags = Steinberg::Vst::kSimpleModeSupported;
    record.subCategories = "Fx";
    record.version = "1.0.0";
    record.sdkVersion = "VST 3.8.0";
    record.create = &CreateEditorTest;
    factory->RegisterClass(record);
    return factory;
}

} // namespace plugin::vst3
