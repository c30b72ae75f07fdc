// The module's class factory: the vendor record and the one class it offers.

#include "equalizer/LumaroEQ.h"
#include "plugin/vst3/ModuleEntry.h"
#include "plugin/vst3/PluginFactory.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <mutex>
#include <new>

namespace {

// The class ID: two words of ours, then the manufacturer and unique codes of
// the plug-in. Hosts store it in sessions; never change it.
constexpr Steinberg::uint32 classIdWord1 = 0xF2AEE70D;
constexpr Steinberg::uint32 classIdWord2 = 0x00DE4F4E;

std::mutex& CreationLock() {
    static std::mutex lock;
    return lock;
}

Steinberg::FUnknown* CreateLumaroEQ(void* /*context*/) {
    // Instances are built one after the other even when a host creates them
    // from several threads at once.
    std::lock_guard<std::mutex> guard(CreationLock());
    auto* instance = new (std::nothrow) equalizer::LumaroEQ();
    if (instance == nullptr) {
        return nullptr;
    }
    return static_cast<Steinberg::Vst::IAudioProcessor*>(instance);
}

} // namespace

namespace equalizer {

// [any] The 16 bytes of the class ID as the SDK lays them out on this
// platform.
void LumaroEQClassId(Steinberg::TUID out) {
    const plugin::PlugConfig config = LumaroEQ::Config();
    const Steinberg::FUID fuid(classIdWord1, classIdWord2,
                               static_cast<Steinberg::uint32>(config.manufacturerId),
                               static_cast<Steinberg::uint32>(config.uniqueId));
    fuid.toTUID(out);
}

} // namespace equalizer

namespace plugin::vst3 {

PluginFactory* MakePluginFactory() {
    FactoryRecord vendor;
    vendor.vendor = "Corvane Audio";
    vendor.url = "https://www.corvane-audio.com";
    vendor.email = "support@corvane-audio.com";
    vendor.flags = Steinberg::PFactoryInfo::kUnicode;
    auto* factory = new (std::nothrow) PluginFactory(vendor);
    if (factory == nullptr) {
        return nullptr;
    }

    ClassRecord record;
    equalizer::LumaroEQClassId(record.cid);
    record.cardinality = Steinberg::PClassInfo::kManyInstances;
    record.category = kVstAudioEffectClass; // "Audio Module Class"
    record.name = "Lumaro EQ";
    record.classFlags = Steinberg::Vst::kSimpleModeSupported;
    record.subCategories = "Fx|EQ";
    record.vendor = "";
    record.version = "4.0.6";
    record.sdkVersion = "VST 3.8.0";
    record.create = &CreateLumaroEQ;
    factory->RegisterClass(record);
    return factory;
}

} // namespace plugin::vst3
