#pragma once

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vst3host {

// One class the module's factory offers, as a host lists it.
struct ClassInfo {
    Steinberg::TUID cid = {};
    Steinberg::int32 cardinality = 0;
    std::string category;
    std::string name;
    Steinberg::uint32 classFlags = 0;
    std::string subCategories;
    std::string vendor;
    std::string version;
    std::string sdkVersion;
};

// A loaded VST 3 module: dlopen, the Linux entry call, the factory and its
// class list. Destruction releases the factory, calls the exit function and
// closes the library, so every object made from the module (instances, and
// host objects holding plug-in references) must be gone by then.
class Module {
public:
    // path: a .vst3 bundle directory (its Contents/x86_64-linux/<name>.so is
    // loaded) or a shared object. Null with a reason in *error on failure.
    static std::unique_ptr<Module> Load(const std::string& path, std::string* error = nullptr);

    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // The library a bundle path resolves to.
    static std::string LibraryPathFor(const std::string& path);

    Steinberg::IPluginFactory* Factory() const noexcept { return factory.get(); }
    const Steinberg::PFactoryInfo& FactoryInfo() const noexcept { return factoryInfo; }
    const std::vector<ClassInfo>& Classes() const noexcept { return classes; }
    // The first class of a category (e.g. kVstAudioEffectClass).
    std::optional<ClassInfo> FindClass(const std::string& category) const;

    // Passes a host context to an IPluginFactory3; false if the factory is
    // older or refuses.
    bool SetHostContext(Steinberg::FUnknown* context);

    // A symbol of the module, or null.
    void* Symbol(const char* name) const noexcept;
    const std::string& LibraryPath() const noexcept { return libraryPath; }

private:
    Module() = default;

    void* handle = nullptr;
    std::string libraryPath;
    bool enteredThroughModuleEntry = false;
    Steinberg::IPtr<Steinberg::IPluginFactory> factory;
    Steinberg::PFactoryInfo factoryInfo;
    std::vector<ClassInfo> classes;
};

} // namespace vst3host
