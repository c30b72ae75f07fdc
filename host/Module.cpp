#include "host/Module.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>

namespace vst3host {

using namespace Steinberg;

namespace {

using GetFactoryFunction = IPluginFactory*(PLUGIN_API*)();
using ModuleEntryFunction = bool (*)(void*);
using ModuleExitFunction = bool (*)();

constexpr const char* kArchitectureFolder = "x86_64-linux";

void SetError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

template <std::size_t N> std::string FieldText(const char8 (&field)[N]) {
    return std::string(field, ::strnlen(field, N));
}

} // namespace

std::string Module::LibraryPathFor(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path bundle(path);
    std::error_code ignored;
    if (!fs::is_directory(bundle, ignored))
        return path;
    fs::path name = bundle.filename();
    if (name.empty())
        name = bundle.parent_path().filename();
    return (bundle / "Contents" / kArchitectureFolder / name.replace_extension(".so")).string();
}

std::unique_ptr<Module> Module::Load(const std::string& path, std::string* error) {
    std::unique_ptr<Module> module(new Module);
    module->libraryPath = LibraryPathFor(path);
    module->handle = dlopen(module->libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module->handle) {
        const char* reason = dlerror();
        SetError(error, reason ? reason : "dlopen failed");
        return nullptr;
    }

    if (auto entry = reinterpret_cast<ModuleEntryFunction>(module->Symbol("ModuleEntry"))) {
        if (!entry(module->handle)) {
            SetError(error, "ModuleEntry refused");
            return nullptr;
        }
        module->enteredThroughModuleEntry = true;
    }

    auto getFactory = reinterpret_cast<GetFactoryFunction>(module->Symbol("GetPluginFactory"));
    if (!getFactory) {
        SetError(error, "the module exports no GetPluginFactory");
        return nullptr;
    }
    module->factory = owned(getFactory());
    if (!module->factory) {
        SetError(error, "GetPluginFactory returned null");
        return nullptr;
    }
    module->factory->getFactoryInfo(&module->factoryInfo);

    FUnknownPtr<IPluginFactory2> factory2(module->factory);
    const int32 count = module->factory->countClasses();
    for (int32 i = 0; i < count; ++i) {
        ClassInfo entry;
        PClassInfo2 info2;
        PClassInfo info;
        if (factory2 && factory2->getClassInfo2(i, &info2) == kResultOk) {
            std::memcpy(entry.cid, info2.cid, sizeof(TUID));
            entry.cardinality = info2.cardinality;
            entry.category = FieldText(info2.category);
            entry.name = FieldText(info2.name);
            entry.classFlags = info2.classFlags;
            entry.subCategories = FieldText(info2.subCategories);
            entry.vendor = FieldText(info2.vendor);
            entry.version = FieldText(info2.version);
            entry.sdkVersion = FieldText(info2.sdkVersion);
        } else if (module->factory->getClassInfo(i, &info) == kResultOk) {
            std::memcpy(entry.cid, info.cid, sizeof(TUID));
            entry.cardinality = info.cardinality;
            entry.category = FieldText(info.category);
            entry.name = FieldText(info.name);
        } else {
            continue;
        }
        module->classes.push_back(entry);
    }
    return module;
}

Module::~Module() {
    classes.clear();
    factory = nullptr;
    if (handle) {
        if (enteredThroughModuleEntry) {
            if (auto exit = reinterpret_cast<ModuleExitFunction>(Symbol("ModuleExit")))
                exit();
        }
        dlclose(handle);
    }
}

std::optional<ClassInfo> Module::FindClass(const std::string& category) const {
    for (const ClassInfo& entry : classes)
        if (entry.category == category)
            return entry;
    return std::nullopt;
}

bool Module::SetHostContext(FUnknown* context) {
    FUnknownPtr<IPluginFactory3> factory3(factory);
    return factory3 && factory3->setHostContext(context) == kResultOk;
}

void* Module::Symbol(const char* name) const noexcept {
    return handle ? dlsym(handle, name) : nullptr;
}

} // namespace vst3host
