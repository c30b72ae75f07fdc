// Compiled into each plug-in module (not into a library) so that the exported
// entry points are always linked in.
#include "plugin/vst3/ModuleEntry.h"

#include "plugin/vst3/PluginFactory.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <mutex>

namespace plugin::vst3 {

namespace {

std::atomic<int> entryCount{0};
std::atomic<void*> libraryHandle{nullptr};
char modulePath[PATH_MAX] = {};
std::once_flag modulePathOnce;

// Guards liveFactory: GetPluginFactory and the factory's destruction hook
// may run on different host threads.
std::mutex factoryMutex;
PluginFactory* liveFactory = nullptr;

void ForgetFactory(PluginFactory* factory) {
    std::lock_guard<std::mutex> lock(factoryMutex);
    if (liveFactory == factory)
        liveFactory = nullptr;
}

void FindModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&FindModulePath), &info) != 0 && info.dli_fname)
        std::strncpy(modulePath, info.dli_fname, sizeof(modulePath) - 1);
}

bool Enter(void* handle) {
    entryCount.fetch_add(1);
    void* none = nullptr;
    if (handle)
        libraryHandle.compare_exchange_strong(none, handle);
    std::call_once(modulePathOnce, FindModulePath);
    return true;
}

bool Leave() {
    int count = entryCount.load();
    while (count > 0) {
        if (entryCount.compare_exchange_weak(count, count - 1))
            return true;
    }
    return false;
}

} // namespace

PluginFactory* LiveFactory() noexcept {
    std::lock_guard<std::mutex> lock(factoryMutex);
    return liveFactory;
}

int ModuleEntryCount() noexcept {
    return entryCount.load();
}

void* LibraryHandle() noexcept {
    return libraryHandle.load();
}

const char* ModulePath() noexcept {
    std::call_once(modulePathOnce, FindModulePath);
    return modulePath;
}

} // namespace plugin::vst3

using plugin::vst3::PluginFactory;

extern "C" {

SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
    std::lock_guard<std::mutex> lock(plugin::vst3::factoryMutex);
    if (PluginFactory* factory = plugin::vst3::liveFactory) {
        factory->addRef();
        return factory;
    }
    PluginFactory* factory = nullptr;
    try {
        factory = plugin::vst3::MakePluginFactory();
    } catch (...) {
        factory = nullptr;
    }
    if (factory) {
        factory->SetDestroyedHook(&plugin::vst3::ForgetFactory);
        plugin::vst3::liveFactory = factory;
    }
    return factory;
}

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
    return plugin::vst3::Enter(sharedLibraryHandle);
}

SMTG_EXPORT_SYMBOL bool ModuleExit() {
    return plugin::vst3::Leave();
}

SMTG_EXPORT_SYMBOL bool InitDll() {
    return plugin::vst3::Enter(nullptr);
}

SMTG_EXPORT_SYMBOL bool ExitDll() {
    return plugin::vst3::Leave();
}

} // extern "C"
