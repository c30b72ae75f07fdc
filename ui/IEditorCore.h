#pragma once

#include "ui/DialogTypes.h"
#include "ui/DrawingTypes.h"
#include "ui/EditorTypes.h"
#include "ui/IPopupMenu.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace plugin {
struct MidiMessage;
}

namespace ui {

class IControl;
class IGraphicalEditorDelegate;
class PlatformFont;

// Where a resource name was found (the window host's resource lookup).
enum class ResourceLocation : int32_t { NotFound = 0, File = 1, Embedded = 2 };

struct LocatedResource {
    ResourceLocation location = ResourceLocation::NotFound;
    std::string name; // the name to load with: a path on disk, or the embedded name
};

// The platform-neutral core of one open editor: logical size and the two
// scales, the controls, pointer and key routing, dirty-region repainting,
// resizing, and bitmap and font loading.
//
// The class is abstract. The drawing backend (IEditorDrawing, over Cairo)
// derives from it and implements the "backend" operations below; the window
// host (IEditorWindow, over X11) derives from the backend and implements the
// "window" operations. Tests derive a recording backend and window from it
// directly, so everything above those two groups runs without a display.
//
// Coordinates are logical units; window pixels = logical x PixelScale().
// Every operation runs on the UI thread, except where a tag says otherwise.
class IEditorCore {
public:
    // Frames per second of the editor's redraw pacing.
    static constexpr int32_t kDefaultFps = 60;
    static constexpr float kDefaultMinScale = 0.5f;
    static constexpr float kDefaultMaxScale = 4.0f;
    // Dirty rectangles are grown by this much to cover anti-aliased edges.
    static constexpr float kDirtyPadding = 0.75f;

    // [ui] Registers with the process-wide caches (live-editor count + 1).
    IEditorCore(IGraphicalEditorDelegate& delegate, int32_t width, int32_t height, int32_t fps,
                float drawScale);
    // [ui] Destroys the controls; the last editor of the process empties the
    // bitmap cache.
    virtual ~IEditorCore();
    IEditorCore(const IEditorCore&) = delete;
    IEditorCore& operator=(const IEditorCore&) = delete;

    // ---- Control registry ----

    // [ui] Takes ownership. Null (and the control destroyed) when tag >= 0 is
    // already in use.
    IControl* AttachControl(std::unique_ptr<IControl> control, int32_t tag = -1,
                            const std::string& group = "");
    // [ui] Null for an unknown tag.
    IControl* FindControlByTag(int32_t tag) const;
    // [ui]
    int32_t NControls() const { return static_cast<int32_t>(controls.size()); }
    // [ui] Null outside 0 .. NControls() - 1.
    IControl* GetControl(int32_t index) const;
    // [ui] In list order.
    void ForEachPanelControl(const std::function<void(IControl&)>& function);
    // [ui] In list order, then the special controls.
    void ForEachControl(const std::function<void(IControl&)>& function);
    // [ui] Every control's SetDirty(false) / SetClean().
    void MarkAllControlsDirty();
    void MarkAllControlsClean();
    // [ui] Every other control bound to the same parameter takes the value.
    void SyncParamPeers(IControl& control, int32_t valueIndex);
    // [ui]
    void EnableHoverTracking(bool enable) { hoverTracking = enable; }
    // [ui] Destroys every control (the window does this when it closes).
    void RemoveAllControls();

    // ---- Values from the plug-in (the graphics editor delegate's calls) ----

    // [ui] The control with this tag, if any, takes the position as value 0.
    void SetTaggedControlValueFromPlugin(int32_t controlTag, double normalized);
    // [ui] The control with this tag, if any, receives the message.
    void SendPluginMessageToTaggedControl(int32_t controlTag, int32_t messageTag, int32_t dataSize,
                                          const void* data);
    // [ui] Every value of every control bound to the parameter takes the
    // position (a control being dragged ignores it).
    void SetParamValueFromPlugin(int32_t paramIdx, double normalized);
    // [ui] Every control that wants MIDI receives the message.
    void SendMidiToControls(const plugin::MidiMessage& message);

    // ---- Drawing cycle (called by the window host) ----

    // [ui] Appends the padded rectangle of every dirty control; true when
    // anything was appended. Does not clean the controls.
    bool IsDirty(std::vector<IRectangle>& rects);
    // [ui] Aligns the rectangles outward to pixels, merges them and draws
    // every control into each, clipped. Ends with EndFrame().
    void Draw(const std::vector<IRectangle>& rects);

    // ---- Pointer and key entries (logical coordinates) ----

    // [ui]
    void OnMouseDown(std::span<const IPointerEvent> points);
    void OnMouseUp(std::span<const IPointerEvent> points);
    void OnMouseDrag(std::span<const IPointerEvent> points);
    // [ui] True when a control took it (the window then captures the pointer).
    bool OnMouseDoubleClick(float x, float y, const IPointerModifiers& modifiers);
    // [ui] notches: one per 120 units of wheel delta, integer quotient.
    bool OnMouseWheel(float x, float y, const IPointerModifiers& modifiers, float notches);
    // [ui] True when a control is under the pointer.
    bool OnMouseOver(float x, float y, const IPointerModifiers& modifiers);
    void OnMouseOut();
    // [ui] True when handled.
    virtual bool OnKeyDown(float x, float y, const IKeyEvent& key);
    virtual bool OnKeyUp(float x, float y, const IKeyEvent& key);
    // [ui]
    void OnDrop(const char* utf8Path, float x, float y);
    void OnDropFiles(const std::vector<std::string>& utf8Paths, float x, float y);
    // [ui]
    IControl* ControlUnderPointer(float x, float y, bool capture, bool mouseOver,
                                  int64_t touchId = 0);
    // [ui] Clears every capture and shows a hidden pointer (before a modal
    // dialog, for instance).
    void ReleaseMouseCapture();
    // [ui] The control holding the pointer for this touch, or null.
    IControl* CapturedControl(int64_t touchId = 0) const;
    // [ui] True while any touch holds this control (it is being dragged).
    bool IsControlCaptured(const IControl* control) const;
    // [ui] Hides or shows the pointer through the window and remembers it
    // (CursorHidden); with lock the pointer stays where it was pressed.
    void SetPointerHidden(bool hide, bool lock);
    // [ui] Asked for keys no control under the pointer took: (key, isUp) ->
    // handled.
    using KeyHandlerFunction = std::function<bool(const IKeyEvent&, bool)>;
    void SetKeyHandler(KeyHandlerFunction handler) { keyHandler = std::move(handler); }
    // [ui] Runs at the start of every dirty check.
    void SetDisplayTickFunction(std::function<void()> function) {
        displayTickFunction = std::move(function);
    }

    // ---- Size and scale ----

    // [ui] Logical size and user zoom (clamped); asks the host for the view
    // size when needsPlatformResize. Nothing happens when nothing changes.
    virtual void Resize(int32_t width, int32_t height, float scale, bool needsPlatformResize);
    // [ui] Ends an interactive resize: controls reload their bitmaps.
    void FinishResize();
    // [ui] The monitor factor.
    virtual void SetScreenScale(float scale);
    // [ui]
    int32_t Width() const { return width; }
    int32_t Height() const { return height; }
    float DrawScale() const { return drawScale; }
    float ScreenScale() const { return screenScale; }
    float PixelScale() const { return drawScale * screenScale; }
    int32_t Fps() const { return fps; }
    float MinScale() const { return minScale; }
    float MaxScale() const { return maxScale; }

    // Interactive-resize state, driven by the corner-resize control.
    bool ResizeInProgress() const { return resizeInProgress; }
    void SetResizeInProgress(bool inProgress) { resizeInProgress = inProgress; }
    bool FreeScaleHeld() const { return freeScaleHeld; }
    void SetFreeScaleHeld(bool held) { freeScaleHeld = held; }
    float PendingScale() const { return pendingScale; }
    void SetPendingScale(float scale) { pendingScale = scale; }
    int32_t ResizeMode() const { return resizeMode; }
    void SetResizeMode(int32_t mode) { resizeMode = mode; }
    void SetLayoutOnResize(bool layout) { layoutOnResize = layout; }
    void SetStrictDrawing(bool strict) { strictDrawing = strict; }

    // ---- Resources ----

    // [ui] targetScale 0 means ceil(PixelScale()); variants stop at 16. An
    // empty bitmap when the type is not supported, or the name is found
    // neither among the resources at any scale nor in the cache.
    IBitmapRef LoadBitmap(const std::string& name, int32_t frames = 1,
                          bool framesAreHorizontal = false, int32_t targetScale = 0);
    // [ui] The same bitmap for the current backing scale (the bitmap itself
    // when it cannot be reloaded).
    IBitmapRef BitmapForScale(const IBitmapRef& bitmap);

    // Where a resolution variant of a resource was found.
    struct ScaledResource {
        LocatedResource resource; // location NotFound: no variant exists
        int32_t sourceScale = 0;
    };
    // [ui] The first variant of name the resource lookup finds, in the scale
    // search order of target.
    ScaledResource FindScaledResource(const std::string& name, const std::string& extension,
                                      int32_t target) const;
    // [any] The cached image of name at the first scale of target's search
    // order that is cached, or null.
    static std::shared_ptr<APIBitmap> FindCachedBitmap(const std::string& name, int32_t target);
    // [ui] True when the font was produced, accepted by the backend and cached.
    bool LoadFont(const char* fontId, const char* fileOrResourceName);
    bool LoadFont(const char* fontId, const void* bytes, int32_t byteCount);

    // ---- Drawing primitives used by the controls ----

    // [ui] Algorithms of the frame choice: frame is 1-based.
    void DrawBitmapFrame(const IBitmapRef& bitmap, const IRectangle& dest, int32_t frame,
                         const IBlendMode* blend = nullptr);
    void FillRect(const IColour& colour, const IRectangle& rect, const IBlendMode* blend = nullptr);
    void DrawRect(const IColour& colour, const IRectangle& rect, const IBlendMode* blend = nullptr,
                  float thickness = 1.0f);
    void FillRoundRect(const IColour& colour, const IRectangle& rect, float cornerRadius,
                       const IBlendMode* blend = nullptr);
    void DrawRoundRect(const IColour& colour, const IRectangle& rect, float cornerRadius,
                       const IBlendMode* blend = nullptr, float thickness = 1.0f);
    void FillTriangle(const IColour& colour, float x1, float y1, float x2, float y2, float x3,
                      float y3, const IBlendMode* blend = nullptr);
    void FillCircle(const IColour& colour, float cx, float cy, float radius,
                    const IBlendMode* blend = nullptr);
    void DrawCircle(const IColour& colour, float cx, float cy, float radius,
                    const IBlendMode* blend = nullptr, float thickness = 1.0f);
    void DrawLine(const IColour& colour, float x1, float y1, float x2, float y2,
                  const IBlendMode* blend = nullptr, float thickness = 1.0f);
    // Arc angles in degrees, 0 at twelve o'clock, clockwise.
    void DrawArc(const IColour& colour, float cx, float cy, float radius, float startDegrees,
                 float endDegrees, const IBlendMode* blend = nullptr, float thickness = 1.0f);
    // Nothing for empty text.
    void DrawText(const ITextStyle& style, const char* utf8, const IRectangle& bounds,
                  const IBlendMode* blend = nullptr);
    // bounds in: layout box; out: the text's box. Returns its width.
    float MeasureText(const ITextStyle& style, const char* utf8, IRectangle& bounds);

    // Layers (the core uses them to resample bitmaps).
    // [ui] False (and no layer) when the backend cannot make the bitmap.
    bool BeginLayer(IControl* control, const IRectangle& rect, bool cacheable = false);
    // [ui] The top layer, with what was drawn into it; null without one.
    std::unique_ptr<IDrawLayer> FinishLayer();

    // ---- Editor interaction used by the controls ----

    // [ui] Remembers the previous kind; the window makes it visible.
    virtual CursorShape SetCursorShape(CursorShape shape);
    CursorShape CurrentCursorShape() const { return cursorKind; }
    bool CursorHidden() const { return cursorHidden; }
    // [ui] A value prompt: a popup menu for a list parameter, a text field
    // otherwise, over rect; the result reaches the control.
    void OpenValueEntry(IControl& control, const IRectangle& rect, int32_t valueIndex);
    // [ui] The window's text field or popup menu answered.
    void SetControlValueAfterTextEdit(const char* utf8);
    void SetControlValueAfterPopupMenu(IPopupMenu* chosenMenu);
    // [ui] The control whose value is being typed or picked, or null.
    IControl* ControlInTextEntry() const { return inTextEntry; }
    // [ui] Shows the host's context menu for the parameter (VST 3:
    // IComponentHandler3::createContextMenu, through the delegate), with the
    // control's own items appended; nothing without a host menu.
    void ShowHostParamMenu(IControl& control, int32_t paramIdx, float x, float y);
    // [ui] Clears the menu the controls fill for context menus and prompts.
    IPopupMenu& PromptMenu() { return promptMenu; }

    IGraphicalEditorDelegate& Delegate() const { return delegate; }
    float MouseDownX() const { return mouseDownX; }
    float MouseDownY() const { return mouseDownY; }
    float LastMouseX() const { return lastMouseX; }
    float LastMouseY() const { return lastMouseY; }
    IControl* MouseOverControl() const { return mouseOverControl; }
    int32_t MouseOverIndex() const { return mouseOverIndex; }
    bool HoverTracking() const { return hoverTracking; }

    // ---- Process-wide bitmap cache (lock held inside each call) ----
    // LoadBitmap holds the cache's lock while it asks the resource lookup
    // and the backend to find, decode, draw and make layers: those backend
    // and window operations must not call the cache functions themselves.

    // [any]
    static void AddBitmapToCache(const std::shared_ptr<APIBitmap>& image, const std::string& name);
    static void RemoveBitmapFromCache(const APIBitmap* image);
    static std::shared_ptr<APIBitmap> FindCachedBitmapAt(const std::string& name, int32_t scale);
    // [any] Entries in the cache; live editors of the process.
    static size_t BitmapCacheSize();
    static int32_t LiveEditorCount();

    // ---- Backend operations (IEditorDrawing; a recording backend in tests) ----

    // [ui] The core's frame bookkeeping; backends may add to it.
    virtual void BeginFrame();
    // [ui] Presents the frame.
    virtual void EndFrame() = 0;
    // [ui] Copies the destination-sized area at (srcX, srcY) (logical units
    // of the bitmap) into dest; never paints outside dest.
    virtual void DrawBitmap(const IBitmapRef& bitmap, const IRectangle& dest, int32_t srcX,
                            int32_t srcY, const IBlendMode* blend = nullptr) = 0;
    virtual bool SupportsImageType(const char* extension) const = 0;
    virtual const char* BackendName() const = 0;
    virtual void PathClear() = 0;
    virtual void PathClose() = 0;
    // Degrees, 0 at twelve o'clock, clockwise on screen.
    virtual void PathArc(float cx, float cy, float radius, float startDegrees, float endDegrees,
                         bool counterClockwise = false) = 0;
    virtual void PathMoveTo(float x, float y) = 0;
    virtual void PathLineTo(float x, float y) = 0;
    virtual void PathCubicTo(float x1, float y1, float x2, float y2, float x3, float y3) = 0;
    virtual void PathQuadTo(float cx, float cy, float x2, float y2) = 0;
    virtual void PathStroke(const IFillPattern& pattern, float thickness, const IStrokeStyle& style,
                            const IBlendMode* blend = nullptr) = 0;
    virtual void PathFill(const IFillPattern& pattern, const IFillStyle& style,
                          const IBlendMode* blend = nullptr) = 0;
    virtual void SetPathTransform(const ITransform& transform) = 0;
    // Replaces the clip (never narrows it); logical units, not transformed.
    virtual void SetClipRect(const IRectangle& rect) = 0;
    // After a resize or rescale: a new frame buffer of the backing size.
    virtual void ResizeDrawingSurface() = 0;
    // Null when the bytes cannot be read or decoded.
    virtual std::unique_ptr<APIBitmap> LoadBitmapResource(const std::string& nameOrPath,
                                                          int32_t scale, ResourceLocation location,
                                                          const std::string& type) = 0;
    virtual std::unique_ptr<APIBitmap> LoadBitmapData(const uint8_t* bytes, size_t count,
                                                      int32_t scale) = 0;
    virtual std::unique_ptr<APIBitmap> CreateLayerBitmap(int32_t pixelWidth, int32_t pixelHeight,
                                                         int32_t scale, float drawScale) = 0;
    // Drawing goes to the top layer if one is active, else the main surface.
    virtual void SelectLayerCanvas() = 0;
    virtual bool LoadTypeface(const char* fontId, const PlatformFont& font) = 0;
    virtual float MeasureTextRun(const ITextStyle& style, const char* utf8, IRectangle& bounds) = 0;
    virtual void RenderTextRun(const ITextStyle& style, const char* utf8, const IRectangle& bounds,
                               const IBlendMode* blend = nullptr) = 0;

    // ---- Window operations (IEditorWindow; a fake window in tests) ----

    // [ui] Creates the window inside parent, lays out the controls and calls
    // the delegate's OnEditorOpened. Returns the native view, or null.
    virtual void* OpenWindow(void* parent) = 0;
    // [ui] Stops pacing, removes the controls, destroys the window.
    virtual void CloseWindow() = 0;
    virtual bool IsWindowOpen() const = 0;
    // [ui] Where the pointer is (or was last seen), logical units.
    virtual void PointerPosition(float& x, float& y) const = 0;
    // [ui] With lock, the pointer stays where it was pressed.
    virtual void HidePointer(bool hide, bool lock) = 0;
    virtual void WarpPointer(float x, float y) = 0;
    // [ui] Resizes the native window to the backing size; parentHasResized:
    // the host already resized its windows.
    virtual void ResizePlatformWindow(bool parentHasResized) = 0;
    // [ui] The platform's resource lookup (embedded first, then the disk).
    virtual LocatedResource LocateResource(const std::string& name,
                                           const std::string& extension) const = 0;
    // [ui] Null when the font cannot be produced.
    virtual std::unique_ptr<PlatformFont> LoadFontFromFileOrResource(const char* fontId,
                                                                     const char* name) = 0;
    virtual std::unique_ptr<PlatformFont> LoadFontFromMemory(const char* fontId, const void* bytes,
                                                             int32_t byteCount) = 0;
    // [ui] Keeps what the window's text field needs of the font.
    virtual void CacheWindowFont(const char* fontId, const PlatformFont& font) = 0;
    // [ui] Modal; the (sub)menu whose item was chosen, or null.
    virtual IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRectangle& bounds) = 0;
    // [ui] Opens a single-line field over bounds; the answer arrives through
    // SetControlValueAfterTextEdit (or nothing, when cancelled).
    virtual void OpenTextField(int32_t paramIdx, const ITextStyle& style, const IRectangle& bounds,
                               int32_t maxLength, const char* utf8Text) = 0;
    virtual void CancelTextEntry() = 0;

    // ---- Dialogs, desktop services and the clipboard (IEditorWindow) ----
    // Without a window that can run them, each gives its failure result and
    // releases its completion without calling it (the defaults here).

    // [ui] Modal. The answer (kAnswerOk ...), 0 when no box could be shown;
    // the completion receives a real answer before the call returns.
    virtual int32_t ShowMessageBox(const char* text, const char* caption, int32_t type,
                                   MessageBoxCompletion completion = nullptr);
    // [ui] With a completion the chooser runs beside the host's loop and the
    // completion receives the answer later on this thread (a cancel gives an
    // empty name and the path as it was; a chooser that could not be asked
    // drops the completion uncalled and empties fileName at once); without
    // one the call waits and writes the answer back: fileName the full path
    // (empty when cancelled), path its directory with a trailing "/"
    // (unchanged when cancelled). extensions: space separated, without dots
    // ("wav aif"); a saved name without an extension gets the first.
    virtual void ChooseFile(std::string& fileName, std::string& path, int32_t action,
                            const char* extensions, FileChosenFunction completion = nullptr);
    // [ui] As ChooseFile; dir receives the folder with a trailing "/", or
    // becomes empty when cancelled.
    virtual void ChooseDirectory(std::string& dir, FileChosenFunction completion = nullptr);
    // [ui] As ChooseFile: with a completion, true when the chooser opened
    // (only a chosen colour reaches the completion); without, true when a
    // colour was chosen (written to colour, alpha kept).
    virtual bool ChooseColour(IColour& colour, const char* title,
                              ColourChosenFunction completion = nullptr);
    // [ui] Opens the address in the desktop's browser, after a yes/no box
    // when confirmation is given; an error box with errorText when it fails.
    virtual bool OpenUrl(const char* url, const char* windowTitle = nullptr,
                         const char* confirmation = nullptr, const char* errorText = nullptr);
    // [ui] Shows the file (select) or the folder in the desktop's file manager.
    virtual bool RevealInFileBrowser(const char* path, bool select);
    // [ui] text becomes empty on failure.
    virtual bool ReadClipboardText(std::string& text);
    virtual bool WriteClipboardText(const char* text);
    // [ui] Offers the file as a file manager's copy would.
    virtual bool PutFilePathOnClipboard(const char* path);
    // [ui] Modal: drags the file out of the editor until the button is
    // released or Escape pressed; true when the drag ran (a cancelled one
    // included).
    virtual bool StartFileDragOut(const char* path);

protected:
    // [ui] Called by a window's OpenWindow after creating the native window:
    // the delegate's layout, then every control dirty.
    void LayoutControls();
    // [ui] Draws every control touching the region into it, clipped.
    void DrawControl(IControl& control, const IRectangle& region, float pixelScale);
    // [ui] The source drawn into a layer at the target scale and cached under
    // (name, target); null when no layer could be made.
    std::shared_ptr<APIBitmap> ResampleBitmap(const std::shared_ptr<APIBitmap>& source,
                                              const std::string& name, int32_t target);

    // The core's share of the fields; the backend and window read them.
    std::vector<std::unique_ptr<IControl>> controls;
    std::map<int32_t, IControl*> controlsByTag;
    CursorShape cursorKind = CursorShape::Arrow;
    int32_t width;
    int32_t height;
    int32_t fps;
    float screenScale = 1.0f;
    float drawScale;
    std::map<int64_t, IControl*> capturedControls;
    IControl* mouseOverControl = nullptr;
    int32_t mouseOverIndex = -1;
    float mouseDownX = -1.0f;
    float mouseDownY = -1.0f;
    float minScale = kDefaultMinScale;
    float maxScale = kDefaultMaxScale;
    bool hoverTracking = false;
    bool strictDrawing = false;
    bool resizeInProgress = false;
    bool layoutOnResize = false;
    int32_t resizeMode = 0; // 0 scale, 1 size
    float pendingScale = 0.0f;
    bool freeScaleHeld = false;
    IGraphicalEditorDelegate& delegate;
    bool cursorHidden = false;
    float lastMouseX = -1.0f;
    float lastMouseY = -1.0f;

    // Stock features this plug-in does not reach.
    IControl* inTextEntry = nullptr;
    int32_t textEntryValueIndex = -1;
    IPopupMenu promptMenu;
    std::vector<IDrawLayer> layerStack; // active layers, top last
    IRectangle currentClip;             // DrawControl's clip, restored after a layer
    ITransform pathTransform;
    bool enableTooltips = false;
    bool enableMultiTouch = false;
    KeyHandlerFunction keyHandler;
    std::function<void()> displayTickFunction;

private:
    // A press that sent BeginParamEdit: the parameters to end, whatever
    // happens to the binding meanwhile.
    struct OpenGesture {
        IControl* control = nullptr;
        std::vector<int32_t> params;
    };

    void BeginGesture(int64_t touchId, IControl& control);
    void EndGesture(int64_t touchId);
    // Ends every open gesture and drops every capture: the pointer was taken
    // away (a host resize, a modal prompt, the host menu, a close).
    void CancelCaptures(bool releaseControls);
    // Wheel turns, double-click resets and prompt answers are one-shot edits,
    // each wrapped in its own begin/end pair for the host.
    void RunAsOneShotEdit(IControl& control, const std::function<void()>& change);
    void ShowPointerIfHidden();
    void RequestViewSize();
    IBitmapRef LoadBitmapLocked(const std::string& name, int32_t frames, bool framesAreHorizontal,
                                int32_t target);

    std::map<int64_t, OpenGesture> openGestures;
    std::vector<IRectangle> alignedRects; // Draw's working list, kept for its storage
};

} // namespace ui
