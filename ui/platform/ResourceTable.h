#pragma once

// The files a module carries inside itself: one entry per file, generated at
// build time by lumaro_embed_resources() (cmake/EmbedResources.cmake). Plain
// data with no dependencies, so the generated table compiles on its own.

#include <cstddef>
#include <cstdint>
#include <span>

namespace ui {

struct ResourceEntry {
    const char* name;     // the file name as it was embedded, e.g. "LEQ_back@2x.png"
    const char* type;     // the upper-cased extension, e.g. "PNG"
    const uint8_t* begin; // read-only, in the module's .rodata
    const uint8_t* end;

    std::span<const uint8_t> Bytes() const { return {begin, static_cast<size_t>(end - begin)}; }
};

// The stand-in on Linux for a module's resource section.
struct ResourceTable {
    const ResourceEntry* entries;
    size_t count;

    std::span<const ResourceEntry> Entries() const { return {entries, count}; }
};

} // namespace ui
