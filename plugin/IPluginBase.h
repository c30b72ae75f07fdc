#pragma once

#include "plugin/ByteChunk.h"
#include "plugin/HostKind.h"
#include "ui/IGraphicalEditorDelegate.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plugin {

inline constexpr int kPresetNameBytes = 256;

// One preset. Slots live in memory only: the first recall of a slot captures
// the state of that moment, later recalls bring it back.
struct PresetSlot {
    bool initialized = false;
    char name[kPresetNameBytes] = "empty";
    ByteChunk state;
};

// The host-neutral core of every plug-in object: creates the parameters and
// preset slots, writes the parameter values into the state chunk and restores
// them from it, recalls presets, and holds the identity and host fields that
// the API base fills.
//
// State chunk: for each parameter in index order, its real value (not its
// position) as an IEEE 754 binary64, little-endian; no header, count or
// padding. Data after the last parameter is left to the caller.
//
// State and preset calls run on the UI thread. Each value is stored
// atomically, so a block processed meanwhile sees every parameter either
// before or after a restore, one parameter at a time.
class IPluginBase : public ui::IGraphicalEditorDelegate {
public:
    // [ui]
    IPluginBase(int32_t paramCount, int32_t presetCount);
    ~IPluginBase() override;

    // [ui] Appends one value per parameter. False when the chunk cannot take
    // more (a size-limited chunk); the chunk then holds the values that fit.
    bool SerializeParams(ByteChunk& chunk) const;
    // [ui] Restores the values that fit completely from startPos on, then
    // announces every parameter (source Preset), whatever happened. Returns
    // the offset after the data read; -1 when the chunk ran out; startPos
    // itself when it is negative. A stored NaN leaves its parameter as it
    // was; infinities are limited to the range.
    int32_t UnserializeParams(const ByteChunk& chunk, int32_t startPos);

    // [ui] The plug-in's whole state; the parameters unless overridden.
    virtual bool SerializeState(ByteChunk& chunk);
    // [ui] Returns the offset after the state, or -1.
    virtual int32_t UnserializeState(const ByteChunk& chunk, int32_t startPos);
    // [ui] Called after a successful preset recall.
    virtual void OnPresetRestored();

    // [ui] False for an index out of range.
    bool RestorePreset(int32_t index);
    // [any]
    int32_t PresetCount() const noexcept { return static_cast<int32_t>(presets.size()); }
    // [ui] "" for an index out of range.
    const char* PresetName(int32_t index) const noexcept;
    // [any]
    int32_t CurrentPresetIndex() const noexcept { return currentPresetIndex; }

    // [any] Identity and host, as the API base filled them.
    const std::string& PluginName() const noexcept { return pluginName; }
    const std::string& ProductName() const noexcept { return productName; }
    const std::string& ManufacturerName() const noexcept { return manufacturerName; }
    int32_t UniqueId() const noexcept { return uniqueId; }
    int32_t ManufacturerId() const noexcept { return manufacturerId; }
    int32_t VendorVersion() const noexcept { return vendorVersion; }
    bool HasUI() const noexcept { return hasUI; }
    const std::string& HostName() const noexcept { return hostName; }
    HostKind IdentifiedHostKind() const noexcept { return hostKind; }
    int32_t HostVersion() const noexcept { return hostVersion; }

protected:
    int32_t currentPresetIndex = 0;
    bool stateChunks = false; // kept from the configuration; nothing reads it
    std::vector<PresetSlot> presets;

    // Identity, written by the API base from the plug-in's configuration.
    std::string pluginName;
    std::string productName;
    std::string manufacturerName;
    int32_t uniqueId = 0;       // four-character code
    int32_t manufacturerId = 0; // four-character code
    int32_t vendorVersion = 0;  // packed 0xMMMMmmpp
    bool hasUI = false;
    bool hostResize = false;
    int32_t apiKind = 0;
    std::string bundleId;
    std::string appGroupId;

    // Host, written only when the host identifies itself.
    std::string hostName;
    HostKind hostKind = HostKind::NotIdentified;
    int32_t hostVersion = 0;
};

} // namespace plugin
