#include "plugin/IPluginBase.h"

#include "plugin/Trace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace plugin {

namespace {
constexpr const char* kUserPresetName = "user preset";
}

IPluginBase::IPluginBase(int32_t paramCount, int32_t presetCount)
    : ui::IGraphicalEditorDelegate(paramCount),
      presets(static_cast<std::size_t>(std::max(presetCount, 0))) {}

IPluginBase::~IPluginBase() {
    while (!presets.empty())
        presets.pop_back();
}

bool IPluginBase::SerializeParams(ByteChunk& chunk) const {
    Trace("plugin::IPluginBase::SerializeParams", "count:%i", ParamCount());
    for (const auto& param : params) {
        if (!chunk.PutDouble(param->CurrentValue()))
            return false;
    }
    return true;
}

int32_t IPluginBase::UnserializeParams(const ByteChunk& chunk, int32_t startPos) {
    Trace("plugin::IPluginBase::UnserializeParams", "start:%i size:%i", startPos, chunk.Size());
    int32_t pos = startPos;
    for (const auto& param : params) {
        if (pos < 0)
            break;
        double stored = 0.0;
        const int32_t next = chunk.GetDouble(stored, pos);
        if (next < 0) {
            pos = -1;
            break;
        }
        // SetValue limits to range and step and ignores a NaN, so corrupt
        // data can never put a NaN into the processing.
        param->SetValue(stored);
        pos = next;
    }
    AnnounceAllParams(ParamChangeSource::Preset);
    return pos;
}

bool IPluginBase::SerializeState(ByteChunk& chunk) {
    return SerializeParams(chunk);
}

int32_t IPluginBase::UnserializeState(const ByteChunk& chunk, int32_t startPos) {
    return UnserializeParams(chunk, startPos);
}

void IPluginBase::OnPresetRestored() {}

const char* IPluginBase::PresetName(int32_t index) const noexcept {
    if (index < 0 || index >= PresetCount())
        return "";
    return presets[static_cast<std::size_t>(index)].name;
}

bool IPluginBase::RestorePreset(int32_t index) {
    if (index < 0 || index >= PresetCount())
        return false;
    PresetSlot& slot = presets[static_cast<std::size_t>(index)];

    bool restored = false;
    if (slot.initialized) {
        restored = UnserializeState(slot.state, 0) > 0;
    } else {
        slot.initialized = true;
        const auto named = std::count_if(presets.begin(), presets.end(), [](const PresetSlot& s) {
            return std::strstr(s.name, kUserPresetName) != nullptr;
        });
        std::snprintf(slot.name, sizeof slot.name, "%s %d", kUserPresetName,
                      static_cast<int>(named) + 1);
        restored = SerializeState(slot.state);
    }

    if (restored) {
        currentPresetIndex = index;
        OnPresetRestored();
        OnStateRestored();
    }
    return restored;
}

} // namespace plugin
