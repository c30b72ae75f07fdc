// The editor core's resources: bitmaps with their resolution variants and the
// process-wide cache, layers (used to resample a variant the resources lack)
// and fonts.

#include "ui/IEditorCore.h"

#include "ui/BitmapCache.h"
#include "ui/DirtyRegions.h"
#include "ui/IControl.h"
#include "ui/platform/PlatformFont.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ui {

namespace {

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// ceil of a positive scale as a resolution variant; anything else is 1.
int32_t VariantForScale(float scale) {
    constexpr float kLargestVariant = 16.0f;
    if (!(scale > 1.0f))
        return 1;
    return static_cast<int32_t>(std::ceil(std::min(scale, kLargestVariant)));
}

IBitmapRef MakeBitmapRef(const std::shared_ptr<APIBitmap>& image, const std::string& name,
                         int32_t frames, bool framesAreHorizontal) {
    IBitmapRef bitmap;
    bitmap.api = image;
    const int32_t scale = std::max(image->Scale(), 1);
    bitmap.width = image->PixelWidth() / scale;
    bitmap.height = image->PixelHeight() / scale;
    bitmap.frames = frames;
    bitmap.framesAreHorizontal = framesAreHorizontal;
    bitmap.name = name;
    return bitmap;
}

} // namespace

// ---- The process-wide cache ----

void IEditorCore::AddBitmapToCache(const std::shared_ptr<APIBitmap>& image,
                                   const std::string& name) {
    BitmapCache& cache = BitmapCache::Instance();
    const BitmapCache::Lock lock = cache.Acquire();
    cache.Add(lock, image, name);
}

void IEditorCore::RemoveBitmapFromCache(const APIBitmap* image) {
    BitmapCache& cache = BitmapCache::Instance();
    const BitmapCache::Lock lock = cache.Acquire();
    cache.Remove(lock, image);
}

std::shared_ptr<APIBitmap> IEditorCore::FindCachedBitmapAt(const std::string& name, int32_t scale) {
    BitmapCache& cache = BitmapCache::Instance();
    const BitmapCache::Lock lock = cache.Acquire();
    return cache.Find(lock, name, scale);
}

std::shared_ptr<APIBitmap> IEditorCore::FindCachedBitmap(const std::string& name, int32_t target) {
    BitmapCache& cache = BitmapCache::Instance();
    const BitmapCache::Lock lock = cache.Acquire();
    for (int32_t scale : ScaleSearchOrderFor(target)) {
        if (std::shared_ptr<APIBitmap> image = cache.Find(lock, name, scale))
            return image;
    }
    return nullptr;
}

size_t IEditorCore::BitmapCacheSize() {
    BitmapCache& cache = BitmapCache::Instance();
    const BitmapCache::Lock lock = cache.Acquire();
    return cache.Size(lock);
}

int32_t IEditorCore::LiveEditorCount() {
    return BitmapCache::Instance().LiveEditors();
}

// ---- Bitmaps ----

IEditorCore::ScaledResource IEditorCore::FindScaledResource(const std::string& name,
                                                            const std::string& extension,
                                                            int32_t target) const {
    for (int32_t scale : ScaleSearchOrderFor(target)) {
        LocatedResource found = LocateResource(ScaledResourceName(name, scale), extension);
        if (found.location != ResourceLocation::NotFound)
            return {std::move(found), scale};
    }
    return {};
}

IBitmapRef IEditorCore::LoadBitmap(const std::string& name, int32_t frames,
                                   bool framesAreHorizontal, int32_t targetScale) {
    const int32_t target = targetScale > 0 ? targetScale : VariantForScale(PixelScale());
    return LoadBitmapLocked(name, std::max(frames, 1), framesAreHorizontal, target);
}

IBitmapRef IEditorCore::LoadBitmapLocked(const std::string& name, int32_t frames,
                                         bool framesAreHorizontal, int32_t target) {
    BitmapCache& cache = BitmapCache::Instance();
    // Held for the whole load: two editors asking for the same image at the
    // same time decode it once.
    const BitmapCache::Lock lock = cache.Acquire();
    std::shared_ptr<APIBitmap> image = cache.Find(lock, name, target);
    if (image == nullptr) {
        const std::string extension = FileExtension(name);
        if (extension.empty() || !SupportsImageType(extension.c_str()))
            return {};
        const ScaledResource found = FindScaledResource(name, extension, target);
        bool fresh = false;
        if (found.resource.location != ResourceLocation::NotFound) {
            if (found.sourceScale != target)
                image = cache.Find(lock, name, found.sourceScale);
            if (image == nullptr) {
                image = LoadBitmapResource(found.resource.name, found.sourceScale,
                                           found.resource.location, UpperCase(extension));
                fresh = true;
            }
        } else {
            for (int32_t scale : ScaleSearchOrderFor(target)) {
                if ((image = cache.Find(lock, name, scale)) != nullptr)
                    break;
            }
        }
        // Found nowhere, or the bytes would not decode.
        if (image == nullptr || image->PixelWidth() <= 0 || image->PixelHeight() <= 0)
            return {};
        if (image->Scale() != target) {
            // A freshly decoded source is only the means to the variant: it
            // is released, not cached. Without a layer the source is shown
            // as it is, drawn scaled.
            if (std::shared_ptr<APIBitmap> resampled = ResampleBitmap(image, name, target)) {
                image = std::move(resampled);
                cache.Add(lock, image, name);
            } else if (fresh) {
                cache.Add(lock, image, name);
            }
        } else if (fresh) {
            cache.Add(lock, image, name);
        }
    }
    return MakeBitmapRef(image, name, frames, framesAreHorizontal);
}

IBitmapRef IEditorCore::BitmapForScale(const IBitmapRef& bitmap) {
    if (!bitmap.IsValid() || bitmap.name.empty())
        return bitmap;
    IBitmapRef reloaded = LoadBitmap(bitmap.name, bitmap.frames, bitmap.framesAreHorizontal, 0);
    return reloaded.IsValid() ? reloaded : bitmap;
}

std::shared_ptr<APIBitmap> IEditorCore::ResampleBitmap(const std::shared_ptr<APIBitmap>& source,
                                                       const std::string& name, int32_t target) {
    // Drawn at the target's backing scale: the layer's pixels are the
    // variant's pixels. The caller holds the cache's lock and caches the
    // result under (name, target).
    const float savedScreenScale = screenScale;
    const float savedDrawScale = drawScale;
    screenScale = static_cast<float>(target);
    drawScale = source->DrawScale();

    IBitmapRef whole = MakeBitmapRef(source, name, 1, false);
    const IRectangle bounds{0.0f, 0.0f, static_cast<float>(whole.width),
                            static_cast<float>(whole.height)};
    std::unique_ptr<IDrawLayer> layer;
    if (BeginLayer(nullptr, bounds)) {
        DrawBitmap(whole, bounds, 0, 0, nullptr);
        layer = FinishLayer();
    }

    screenScale = savedScreenScale;
    drawScale = savedDrawScale;
    return layer != nullptr ? layer->bitmap : nullptr;
}

// ---- Layers ----

bool IEditorCore::BeginLayer(IControl* control, const IRectangle& rect, bool) {
    const float s = PixelScale();
    const IRectangle aligned = AlignOutwardToPixels(rect, s);
    const auto pixels = [s](float logical) {
        return static_cast<int32_t>(std::ceil(std::ceil(logical) * s));
    };
    if (HasNoArea(aligned) || !std::isfinite(aligned.W() * s) || !std::isfinite(aligned.H() * s))
        return false;
    std::shared_ptr<APIBitmap> bitmap =
        CreateLayerBitmap(pixels(aligned.W()), pixels(aligned.H()),
                          std::max(1, static_cast<int32_t>(std::lround(screenScale))), drawScale);
    if (bitmap == nullptr)
        return false;
    IDrawLayer layer;
    layer.bitmap = std::move(bitmap);
    layer.control = control;
    layer.controlRect = control != nullptr ? control->GetRect() : IRectangle{};
    layer.rect = aligned;
    layerStack.push_back(std::move(layer));
    SelectLayerCanvas();
    pathTransform = ITransform{};
    SetPathTransform(pathTransform);
    SetClipRect(aligned);
    PathClear();
    return true;
}

std::unique_ptr<IDrawLayer> IEditorCore::FinishLayer() {
    if (layerStack.empty())
        return nullptr;
    auto finished = std::make_unique<IDrawLayer>(std::move(layerStack.back()));
    layerStack.pop_back();
    SelectLayerCanvas();
    pathTransform = ITransform{};
    SetPathTransform(pathTransform);
    SetClipRect(layerStack.empty() ? currentClip : layerStack.back().rect);
    PathClear();
    return finished;
}

// ---- Fonts ----

namespace {

bool RegisterFont(IEditorCore& core, const char* fontId, std::unique_ptr<PlatformFont> font) {
    // The platform font is temporary: the backend and the window keep what
    // they need of it.
    if (font == nullptr || !core.LoadTypeface(fontId, *font))
        return false;
    core.CacheWindowFont(fontId, *font);
    return true;
}

} // namespace

bool IEditorCore::LoadFont(const char* fontId, const char* fileOrResourceName) {
    if (fontId == nullptr || fileOrResourceName == nullptr)
        return false;
    return RegisterFont(*this, fontId, LoadFontFromFileOrResource(fontId, fileOrResourceName));
}

bool IEditorCore::LoadFont(const char* fontId, const void* bytes, int32_t byteCount) {
    if (fontId == nullptr || bytes == nullptr || byteCount <= 0)
        return false;
    return RegisterFont(*this, fontId, LoadFontFromMemory(fontId, bytes, byteCount));
}

} // namespace ui
