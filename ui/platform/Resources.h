#pragma once

// Looking up a file name among a module's embedded files, with a file on disk
// as the fall-back. Both functions only read immutable data: [any] thread.

#include "ui/IEditorCore.h"
#include "ui/platform/ResourceTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// Resources of fewer bytes than this count as missing (no image or font is
// that small; an empty or placeholder file is a build mistake).
inline constexpr size_t kMinResourceBytes = 8;

// [any] The whole name is compared with each embedded name of the type
// (extension upper-cased), without regard to the case of A-Z. A match gives
// Embedded and the embedded name; otherwise an existing path (relative to the
// current directory) gives File and the name unchanged; otherwise NotFound.
// A null table has no embedded files.
LocatedResource LocateResource(const ResourceTable* table, std::string_view name,
                               std::string_view extension);

// [any] The bytes of the embedded file of that name (case of A-Z ignored) and
// type (any case); empty when missing or shorter than kMinResourceBytes. The
// bytes are read-only and live as long as the module.
std::span<const uint8_t> LoadResourceBytes(const ResourceTable* table, std::string_view name,
                                           std::string_view type);

// [any] The whole file, or nothing when it cannot be read or is larger than
// maxBytes.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxBytes);

// [any] Letters a-z raised (the resource type of an extension).
std::string UpperAscii(std::string_view text);
// [any] Equal when equal after lowering A-Z.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace ui
