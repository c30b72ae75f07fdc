#include "ui/BitmapCache.h"

#include <algorithm>

namespace ui {

ScaleSearchOrder ScaleSearchOrderFor(int32_t target) {
    const int32_t n = std::max(target, 1);
    ScaleSearchOrder order;
    order.scales[static_cast<size_t>(order.count++)] = n;
    for (int32_t k : {3, 2, 1}) {
        if (k != n)
            order.scales[static_cast<size_t>(order.count++)] = k;
    }
    return order;
}

std::string FileExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string ScaledResourceName(const std::string& name, int32_t scale) {
    if (scale == 1)
        return name;
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    return stem + "@" + std::to_string(scale) + "x" + extension;
}

BitmapCache& BitmapCache::Instance() {
    static BitmapCache cache;
    return cache;
}

std::shared_ptr<APIBitmap> BitmapCache::Find(const Lock&, const std::string& name,
                                             int32_t scale) const {
    for (const Entry& entry : entries) {
        if (entry.scale == scale && entry.name == name)
            return entry.image;
    }
    return nullptr;
}

void BitmapCache::Add(const Lock& lock, const std::shared_ptr<APIBitmap>& image,
                      const std::string& name) {
    if (image == nullptr || Find(lock, name, image->Scale()) != nullptr)
        return;
    entries.push_back(Entry{name, image->Scale(), image});
}

void BitmapCache::Remove(const Lock&, const APIBitmap* image) {
    std::erase_if(entries, [image](const Entry& entry) { return entry.image.get() == image; });
}

size_t BitmapCache::Size(const Lock&) const {
    return entries.size();
}

void BitmapCache::AddEditor() {
    Lock lock(mutex);
    ++liveEditors;
}

void BitmapCache::RemoveEditor() {
    std::vector<Entry> released;
    {
        Lock lock(mutex);
        if (liveEditors > 0 && --liveEditors == 0)
            released.swap(entries);
    }
    // The images are released outside the lock: a backend image's destructor
    // is free to do whatever it needs.
}

int32_t BitmapCache::LiveEditors() {
    Lock lock(mutex);
    return liveEditors;
}

} // namespace ui
