#include "plugin/vst3/PluginFactory.h"

#include "plugin/vst3/FactoryStrings.h"

#include <cstring>

namespace plugin::vst3 {

using namespace Steinberg;

namespace {

template <std::size_t N> void CopyField(char8 (&field)[N], const char* text) noexcept {
    CopyUtf8Field(field, N, text);
}

template <std::size_t N> void CopyField(char16 (&field)[N], const char* text) noexcept {
    CopyUtf16Field(field, N, text);
}

bool SameClassId(const char* a, const char* b) noexcept {
    return std::memcmp(a, b, sizeof(TUID)) == 0;
}

} // namespace

// The SDK's record constructors zero every field, so each field below only
// needs its text copied in.
PluginFactory::PluginFactory(const FactoryRecord& record) {
    CopyField(factoryInfo.vendor, record.vendor);
    CopyField(factoryInfo.url, record.url);
    CopyField(factoryInfo.email, record.email);
    factoryInfo.flags = record.flags;
}

PluginFactory::~PluginFactory() {
    if (hostContext)
        hostContext->release();
    if (destroyedHook)
        destroyedHook(this);
}

bool PluginFactory::RegisterClass(const ClassRecord& record) {
    if (!record.create || Find(record.cid))
        return false;

    Entry entry{};
    std::memcpy(entry.info.cid, record.cid, sizeof(TUID));
    entry.info.cardinality = record.cardinality;
    CopyField(entry.info.category, record.category);
    CopyField(entry.info.name, record.name);
    entry.info.classFlags = record.classFlags;
    CopyField(entry.info.subCategories, record.subCategories);
    CopyField(entry.info.vendor, record.vendor);
    CopyField(entry.info.version, record.version);
    CopyField(entry.info.sdkVersion, record.sdkVersion);

    std::memcpy(entry.unicodeInfo.cid, record.cid, sizeof(TUID));
    entry.unicodeInfo.cardinality = record.cardinality;
    CopyField(entry.unicodeInfo.category, record.category);
    CopyField(entry.unicodeInfo.name, record.name);
    entry.unicodeInfo.classFlags = record.classFlags;
    CopyField(entry.unicodeInfo.subCategories, record.subCategories);
    CopyField(entry.unicodeInfo.vendor, record.vendor);
    CopyField(entry.unicodeInfo.version, record.version);
    CopyField(entry.unicodeInfo.sdkVersion, record.sdkVersion);

    entry.create = record.create;
    entry.context = record.context;
    entries.push_back(entry);
    return true;
}

const PluginFactory::Entry* PluginFactory::Find(const TUID cid) const noexcept {
    for (const Entry& entry : entries)
        if (SameClassId(entry.info.cid, cid))
            return &entry;
    return nullptr;
}

const PluginFactory::Entry* PluginFactory::At(int32 index) const noexcept {
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size())
        return nullptr;
    return &entries[static_cast<std::size_t>(index)];
}

tresult PLUGIN_API PluginFactory::getFactoryInfo(PFactoryInfo* info) {
    if (!info)
        return kInvalidArgument;
    *info = factoryInfo;
    return kResultOk;
}

int32 PLUGIN_API PluginFactory::countClasses() {
    return static_cast<int32>(entries.size());
}

tresult PLUGIN_API PluginFactory::getClassInfo(int32 index, PClassInfo* info) {
    const Entry* entry = At(index);
    if (!info || !entry)
        return kInvalidArgument;
    // PClassInfo is the leading part of PClassInfo2, field for field.
    *info = PClassInfo{};
    std::memcpy(info->cid, entry->info.cid, sizeof(TUID));
    info->cardinality = entry->info.cardinality;
    std::memcpy(info->category, entry->info.category, sizeof(info->category));
    std::memcpy(info->name, entry->info.name, sizeof(info->name));
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
    const Entry* entry = At(index);
    if (!info || !entry)
        return kInvalidArgument;
    *info = entry->info;
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
    const Entry* entry = At(index);
    if (!info || !entry)
        return kInvalidArgument;
    *info = entry->unicodeInfo;
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::createInstance(FIDString cid, FIDString iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    if (!cid || !iid)
        return kInvalidArgument;

    const Entry* entry = Find(cid);
    if (!entry)
        return kNoInterface;

    FUnknown* instance = nullptr;
    try {
        instance = entry->create(entry->context);
    } catch (...) {
        instance = nullptr;
    }
    if (!instance)
        return kOutOfMemory;

    TUID interfaceId;
    std::memcpy(interfaceId, iid, sizeof(TUID));
    const tresult result = instance->queryInterface(interfaceId, obj);
    // The creation reference goes; the host keeps the one queryInterface
    // added, or the instance dies here when it does not offer the interface.
    instance->release();
    if (result != kResultOk) {
        *obj = nullptr;
        return kNoInterface;
    }
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::setHostContext(FUnknown* context) {
    if (context)
        context->addRef();
    if (hostContext)
        hostContext->release();
    hostContext = context;
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IPluginFactory)
    QUERY_INTERFACE(iid, obj, IPluginFactory::iid, IPluginFactory)
    QUERY_INTERFACE(iid, obj, IPluginFactory2::iid, IPluginFactory2)
    QUERY_INTERFACE(iid, obj, IPluginFactory3::iid, IPluginFactory3)
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API PluginFactory::addRef() {
    return referenceCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 PLUGIN_API PluginFactory::release() {
    const std::uint32_t remaining = referenceCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0)
        delete this;
    return remaining;
}

} // namespace plugin::vst3
