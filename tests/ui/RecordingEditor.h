#pragma once

// Test doubles of the editor: a recording backend and window (an IEditorCore
// that draws nothing and keeps a list of what it was asked to do), a
// delegate that records the edit traffic towards the host, and a host
// context menu. Shared by the editor suites.

#include "ui/IEditorCore.h"
#include "ui/IGraphicalEditorDelegate.h"
#include "ui/platform/PlatformFont.h"

#include "pluginterfaces/vst/ivstcontextmenu.h"

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace uitest {

class RecordingBitmap : public ui::APIBitmap {
public:
    RecordingBitmap(int32_t w, int32_t h, int32_t scale, float drawScale, std::string source)
        : APIBitmap(w, h, scale, drawScale), source(std::move(source)) {}
    std::string source; // the resource it was decoded from, or "layer"
};

// One backend call, as far as the tests look at it.
struct DrawOp {
    enum Kind { Clip, Bitmap, Fill, Stroke, Text, Arc, Transform } kind;
    ui::IRectangle rect; // the clip, or the destination
    int32_t srcX = 0;
    int32_t srcY = 0;
    const ui::APIBitmap* image = nullptr;
    ui::IColour colour{};
};

class RecordingEditor : public ui::IEditorCore {
public:
    RecordingEditor(ui::IGraphicalEditorDelegate& delegate, int32_t w = 664, int32_t h = 215,
                    float drawScale = 1.0f)
        : IEditorCore(delegate, w, h, kDefaultFps, drawScale) {}

    // Resource name -> pixel size; what the resource lookup finds.
    std::map<std::string, std::pair<int32_t, int32_t>> resources;
    std::vector<DrawOp> ops;
    std::vector<std::string> windowLog;
    bool recordOps = true;
    int frames = 0;
    bool acceptTypefaces = true;
    // The popup menu answer: the item index to choose, -1 to cancel.
    int32_t popupChoice = -1;
    std::string textFieldText;
    // Decodes by every recording editor of the process.
    static inline std::atomic<int> decodes{0};

    using IEditorCore::DrawControl;

    // ---- Backend ----
    void EndFrame() override { ++frames; }
    void DrawBitmap(const ui::IBitmapRef& bitmap, const ui::IRectangle& dest, int32_t srcX,
                    int32_t srcY, const ui::IBlendMode*) override {
        Record({DrawOp::Bitmap, dest, srcX, srcY, bitmap.api.get()});
    }
    bool SupportsImageType(const char* extension) const override {
        return std::strcmp(extension, "png") == 0 || std::strcmp(extension, "PNG") == 0;
    }
    const char* BackendName() const override { return "recording"; }
    void PathClear() override {}
    void PathClose() override {}
    void PathArc(float cx, float cy, float r, float, float, bool) override {
        Record({DrawOp::Arc, {cx - r, cy - r, cx + r, cy + r}});
    }
    void PathMoveTo(float, float) override {}
    void PathLineTo(float, float) override {}
    void PathCubicTo(float, float, float, float, float, float) override {}
    void PathQuadTo(float, float, float, float) override {}
    void PathStroke(const ui::IFillPattern& pattern, float, const ui::IStrokeStyle&,
                    const ui::IBlendMode*) override {
        Record({DrawOp::Stroke, {}, 0, 0, nullptr, pattern.stops[0].colour});
    }
    void PathFill(const ui::IFillPattern& pattern, const ui::IFillStyle&,
                  const ui::IBlendMode*) override {
        Record({DrawOp::Fill, {}, 0, 0, nullptr, pattern.stops[0].colour});
    }
    void SetPathTransform(const ui::ITransform&) override {}
    void SetClipRect(const ui::IRectangle& rect) override { Record({DrawOp::Clip, rect}); }
    void ResizeDrawingSurface() override { windowLog.push_back("surface"); }
    std::unique_ptr<ui::APIBitmap> LoadBitmapResource(const std::string& name, int32_t scale,
                                                      ui::ResourceLocation,
                                                      const std::string&) override {
        const auto found = resources.find(name);
        if (found == resources.end())
            return nullptr;
        ++decodes;
        return std::make_unique<RecordingBitmap>(found->second.first, found->second.second, scale,
                                                 1.0f, name);
    }
    std::unique_ptr<ui::APIBitmap> LoadBitmapData(const uint8_t*, size_t, int32_t) override {
        return nullptr;
    }
    std::unique_ptr<ui::APIBitmap> CreateLayerBitmap(int32_t w, int32_t h, int32_t scale,
                                                     float drawScale) override {
        return std::make_unique<RecordingBitmap>(w, h, scale, drawScale, "layer");
    }
    void SelectLayerCanvas() override {}
    bool LoadTypeface(const char* fontId, const ui::PlatformFont&) override {
        windowLog.push_back(std::string("typeface ") + fontId);
        return acceptTypefaces;
    }
    float MeasureTextRun(const ui::ITextStyle& style, const char* utf8,
                         ui::IRectangle& bounds) override {
        // Every character 7 units wide, the line as high as the style's size.
        const float w = 7.0f * static_cast<float>(std::strlen(utf8));
        bounds = {bounds.L, bounds.T, bounds.L + w, bounds.T + style.size};
        return w;
    }
    void RenderTextRun(const ui::ITextStyle&, const char*, const ui::IRectangle& bounds,
                       const ui::IBlendMode*) override {
        Record({DrawOp::Text, bounds});
    }

    // ---- Window ----
    void* OpenWindow(void*) override {
        LayoutControls();
        Delegate().OnEditorOpened();
        return this;
    }
    void CloseWindow() override { RemoveAllControls(); }
    bool IsWindowOpen() const override { return true; }
    void PointerPosition(float& x, float& y) const override {
        x = LastMouseX();
        y = LastMouseY();
    }
    void HidePointer(bool hide, bool lock) override {
        windowLog.push_back(std::string(hide ? "hide" : "show") + (lock ? " locked" : ""));
    }
    void WarpPointer(float, float) override {}
    void ResizePlatformWindow(bool parentHasResized) override {
        windowLog.push_back(parentHasResized ? "platform resize, host did" : "platform resize");
    }
    ui::LocatedResource LocateResource(const std::string& name, const std::string&) const override {
        if (!resources.contains(name))
            return {};
        return {ui::ResourceLocation::Embedded, name};
    }
    std::unique_ptr<ui::PlatformFont> LoadFontFromFileOrResource(const char*,
                                                                 const char* name) override {
        if (std::strcmp(name, "missing.ttf") == 0)
            return nullptr;
        return std::make_unique<ui::PlatformFont>(false);
    }
    std::unique_ptr<ui::PlatformFont> LoadFontFromMemory(const char*, const void*,
                                                         int32_t) override {
        return std::make_unique<ui::PlatformFont>(false);
    }
    void CacheWindowFont(const char* fontId, const ui::PlatformFont&) override {
        windowLog.push_back(std::string("window font ") + fontId);
    }
    ui::IPopupMenu* ShowPopupMenu(ui::IPopupMenu& menu, const ui::IRectangle&) override {
        windowLog.push_back("popup " + std::to_string(menu.ItemCount()));
        if (popupChoice < 0)
            return nullptr;
        menu.chosenIndex = popupChoice;
        return &menu;
    }
    void OpenTextField(int32_t paramIdx, const ui::ITextStyle&, const ui::IRectangle&,
                       int32_t maxLength, const char* utf8Text) override {
        windowLog.push_back("text field " + std::to_string(paramIdx) + " " +
                            std::to_string(maxLength) + " " + utf8Text);
    }
    void CancelTextEntry() override {}

    // ---- Test helpers ----
    void Press(float x, float y, ui::IPointerModifiers mod = {}) {
        mod.L = !mod.R;
        const ui::IPointerEvent e{x, y, 0.0f, 0.0f, mod};
        OnMouseDown(std::span<const ui::IPointerEvent>(&e, 1));
    }
    void Drag(float x, float y, float dX, float dY, ui::IPointerModifiers mod = {}) {
        mod.L = true;
        const ui::IPointerEvent e{x, y, dX, dY, mod};
        OnMouseDrag(std::span<const ui::IPointerEvent>(&e, 1));
    }
    void Release(float x, float y, ui::IPointerModifiers mod = {}) {
        const ui::IPointerEvent e{x, y, 0.0f, 0.0f, mod};
        OnMouseUp(std::span<const ui::IPointerEvent>(&e, 1));
    }
    std::vector<ui::IRectangle> Clips() const {
        std::vector<ui::IRectangle> clips;
        for (const DrawOp& op : ops) {
            if (op.kind == DrawOp::Clip)
                clips.push_back(op.rect);
        }
        return clips;
    }

private:
    void Record(const DrawOp& op) {
        if (recordOps)
            ops.push_back(op);
    }
};

// A delegate that records what the editor sends towards the host.
class RecordingDelegate : public ui::IGraphicalEditorDelegate {
public:
    explicit RecordingDelegate(int32_t paramCount = 4) : IGraphicalEditorDelegate(paramCount) {}

    std::vector<std::string> log;
    bool resizeAnswer = false;
    Steinberg::Vst::IContextMenu* hostMenu = nullptr; // handed out with a reference

    void BeginParamEdit(int32_t paramIdx) override { Add("begin", paramIdx); }
    void EndParamEdit(int32_t paramIdx) override { Add("end", paramIdx); }
    void SetParamFromEditor(int32_t paramIdx, double normalized) override {
        char value[32];
        std::snprintf(value, sizeof value, " %g", normalized);
        log.push_back("set " + std::to_string(paramIdx) + value);
        IGraphicalEditorDelegate::SetParamFromEditor(paramIdx, normalized);
    }
    bool RequestEditorResize(int32_t w, int32_t h, bool needsPlatformResize) override {
        log.push_back("view " + std::to_string(w) + "x" + std::to_string(h) +
                      (needsPlatformResize ? " platform" : ""));
        return resizeAnswer;
    }
    Steinberg::Vst::IContextMenu* CreateHostContextMenu(int32_t paramIdx) override {
        Add("host menu", paramIdx);
        if (hostMenu != nullptr)
            hostMenu->addRef();
        return hostMenu;
    }

private:
    void Add(const char* what, int32_t paramIdx) {
        log.push_back(std::string(what) + " " + std::to_string(paramIdx));
    }
};

// The host's context menu: keeps the items and a reference on each target,
// as a host does, until it is destroyed.
class FakeHostMenu : public Steinberg::Vst::IContextMenu {
public:
    struct Entry {
        std::u16string name;
        Steinberg::int32 tag;
        Steinberg::int32 flags;
        Steinberg::Vst::IContextMenuTarget* target;
    };
    std::vector<Entry> entries;
    std::vector<std::pair<int32_t, int32_t>> popups;
    Steinberg::int32 chooseTag = -1; // chosen during popup, if >= 0
    Steinberg::tresult choiceResult = Steinberg::kNotInitialized;

    ~FakeHostMenu() { DropTargets(); }
    void DropTargets() {
        for (Entry& entry : entries) {
            if (entry.target != nullptr)
                entry.target->release();
        }
        entries.clear();
    }
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void**) override {
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return ++refs; }
    Steinberg::uint32 PLUGIN_API release() override { return --refs; }
    Steinberg::int32 PLUGIN_API getItemCount() override {
        return static_cast<Steinberg::int32>(entries.size());
    }
    Steinberg::tresult PLUGIN_API getItem(Steinberg::int32, Item&,
                                          Steinberg::Vst::IContextMenuTarget**) override {
        return Steinberg::kNotImplemented;
    }
    Steinberg::tresult PLUGIN_API addItem(const Item& item,
                                          Steinberg::Vst::IContextMenuTarget* target) override {
        if (target != nullptr)
            target->addRef();
        entries.push_back({std::u16string(reinterpret_cast<const char16_t*>(item.name)), item.tag,
                           item.flags, target});
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API removeItem(const Item&,
                                             Steinberg::Vst::IContextMenuTarget*) override {
        return Steinberg::kNotImplemented;
    }
    Steinberg::tresult PLUGIN_API popup(Steinberg::UCoord x, Steinberg::UCoord y) override {
        popups.emplace_back(x, y);
        for (Entry& entry : entries) {
            if (chooseTag >= 0 && entry.tag == chooseTag && entry.target != nullptr)
                choiceResult = entry.target->executeMenuItem(entry.tag);
        }
        return Steinberg::kResultOk;
    }
    int refs = 1;
};

} // namespace uitest
