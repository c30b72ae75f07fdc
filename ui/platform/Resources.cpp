#include "ui/platform/Resources.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace ui {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const ResourceEntry* FindEntry(const ResourceTable* table, std::string_view name,
                               std::string_view type) {
    if (!table || name.empty()) {
        return nullptr;
    }
    const std::string wantedType = UpperAscii(type);
    for (const ResourceEntry& entry : table->Entries()) {
        if (wantedType == entry.type && EqualIgnoringAsciiCase(name, entry.name)) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

LocatedResource LocateResource(const ResourceTable* table, std::string_view name,
                               std::string_view extension) {
    if (name.empty()) {
        return {};
    }
    if (const ResourceEntry* entry = FindEntry(table, name, extension)) {
        return {ResourceLocation::Embedded, entry->name};
    }
    std::error_code error;
    const std::filesystem::path path{std::string(name)};
    if (std::filesystem::exists(path, error)) {
        return {ResourceLocation::File, std::string(name)};
    }
    return {};
}

std::span<const uint8_t> LoadResourceBytes(const ResourceTable* table, std::string_view name,
                                           std::string_view type) {
    const ResourceEntry* entry = FindEntry(table, name, type);
    if (!entry || entry->Bytes().size() < kMinResourceBytes) {
        return {};
    }
    return entry->Bytes();
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxBytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return std::nullopt;
    }
    const long size = std::ftell(file.get());
    if (size < 0 || static_cast<unsigned long>(size) > maxBytes ||
        std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace ui
