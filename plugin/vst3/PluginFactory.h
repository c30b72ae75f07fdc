#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace plugin::vst3 {

// What the factory tells the host about the vendor (PFactoryInfo). Strings
// are UTF-8; each is copied into its fixed-size record field, cut to fit.
struct FactoryRecord {
    const char* vendor = "";
    const char* url = "";
    const char* email = "";
    Steinberg::int32 flags = Steinberg::PFactoryInfo::kUnicode;
};

// Makes one instance of a class and returns it with one reference, which the
// factory releases after querying the interface the host asked for. Returns
// null when the instance cannot be made. Must not throw; the factory catches
// anyway so that nothing crosses the host boundary.
using CreateInstanceFunction = Steinberg::FUnknown* (*)(void* context);

// One class offered by the factory (PClassInfo2 plus its creation function).
struct ClassRecord {
    Steinberg::TUID cid = {};
    Steinberg::int32 cardinality = Steinberg::PClassInfo::kManyInstances;
    const char* category = "";
    const char* name = "";
    Steinberg::uint32 classFlags = 0;
    const char* subCategories = "";
    const char* vendor = ""; // empty: hosts show the factory's vendor
    const char* version = "";
    const char* sdkVersion = "";
    CreateInstanceFunction create = nullptr;
    void* context = nullptr;
};

// The module's class factory (IPluginFactory3). Reference counted like every
// VST 3 object: it starts with one reference, owned by its creator, and
// deletes itself on the last release after calling the destruction hook.
//
// Classes are registered once, before the factory is handed to the host; the
// host then scans and creates from its UI thread.
class PluginFactory : public Steinberg::IPluginFactory3 {
public:
    using DestroyedHook = void (*)(PluginFactory* factory);

    explicit PluginFactory(const FactoryRecord& record);
    PluginFactory(const PluginFactory&) = delete;
    PluginFactory& operator=(const PluginFactory&) = delete;

    // Adds a class; false (and nothing added) for a null creation function
    // or a class ID that is already registered.
    bool RegisterClass(const ClassRecord& record); // [ui]

    // Called from the destructor, once; used by the module entry to forget
    // its live factory.
    void SetDestroyedHook(DestroyedHook hook) noexcept { destroyedHook = hook; } // [ui]

    // The context the host passed to setHostContext, or null; the factory
    // holds a reference until it is replaced or the factory dies. Components
    // query it for host services such as Steinberg::Linux::IRunLoop.
    Steinberg::FUnknown* HostContext() const noexcept { return hostContext; } // [ui]

    // --- IPluginFactory ---
    Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override; // [ui]
    Steinberg::int32 PLUGIN_API countClasses() override;                                  // [ui]
    Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index,
                                               Steinberg::PClassInfo* info) override; // [ui]
    // kNoInterface for an unknown class ID or an interface the instance does
    // not offer (*obj is then null); kOutOfMemory when creation failed.
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                                 void** obj) override; // [ui]

    // --- IPluginFactory2 ---
    Steinberg::tresult PLUGIN_API getClassInfo2(Steinberg::int32 index,
                                                Steinberg::PClassInfo2* info) override; // [ui]

    // --- IPluginFactory3 ---
    Steinberg::tresult PLUGIN_API
    getClassInfoUnicode(Steinberg::int32 index,
                        Steinberg::PClassInfoW* info) override;                          // [ui]
    Steinberg::tresult PLUGIN_API setHostContext(Steinberg::FUnknown* context) override; // [ui]

    // --- FUnknown ---
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid,
                                                 void** obj) override; // [any]
    Steinberg::uint32 PLUGIN_API addRef() override;                    // [any]
    Steinberg::uint32 PLUGIN_API release() override;                   // [any]

private:
    struct Entry {
        Steinberg::PClassInfo2 info;
        Steinberg::PClassInfoW unicodeInfo;
        CreateInstanceFunction create;
        void* context;
    };

    virtual ~PluginFactory();

    const Entry* Find(const Steinberg::TUID cid) const noexcept;
    const Entry* At(Steinberg::int32 index) const noexcept;

    Steinberg::PFactoryInfo factoryInfo;
    std::vector<Entry> entries;
    Steinberg::FUnknown* hostContext = nullptr;
    DestroyedHook destroyedHook = nullptr;
    std::atomic<std::uint32_t> referenceCount{1};
};

} // namespace plugin::vst3
