#pragma once

#include <cstdint>

namespace plugin {

// The construction record of every plug-in built on the framework. Read by
// IPluginBase (counts), IPluginAPIBase (identity, editor size and limits) and
// IPluginProcessor (channel I/O, latency, MIDI flags). Fields in this order.
struct PlugConfig {
    int32_t paramCount = 0;
    int32_t presetCount = 0;
    const char* channelIOString = "";
    const char* pluginName = "";
    const char* productName = "";
    const char* manufacturerName = "";
    int32_t vendorVersion = 0;  // packed 0xMMMMmmpp
    int32_t uniqueId = 0;       // four-character code
    int32_t manufacturerId = 0; // four-character code
    int32_t latency = 0;
    bool midiIn = false;
    bool midiOut = false;
    bool mpe = false;
    bool stateChunks = false;
    int32_t plugType = 0; // 0 effect, 1 instrument, 2 MIDI effect
    bool hasEditor = false;
    int32_t editorWidth = 0;
    int32_t editorHeight = 0;
    int32_t minWidth = 0; // the two width limits, in either order
    int32_t maxWidth = 0;
    int32_t minHeight = 0; // the two height limits, in either order
    int32_t maxHeight = 0;
    bool hostResize = false;
    const char* bundleId = "";
    const char* appGroupId = "";
};

// Packs a four-character code such as '2l87' the way hosts expect it.
constexpr int32_t FourCharCode(const char (&code)[5]) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(code[3])));
}

} // namespace plugin
