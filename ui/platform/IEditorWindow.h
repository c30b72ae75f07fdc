#pragma once

#include "ui/platform/DoubleClickDetector.h"
#include "ui/platform/FramePacing.h"
#include "ui/platform/IEditorDrawing.h"
#include "ui/platform/TextEntryModel.h"
#include "ui/platform/WindowFonts.h"
#include "ui/platform/X11EventTranslation.h"
#include "ui/platform/XcbHandles.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace ui {

// The editor's window on X11: a child of the window the host hands over,
// served by the host's run loop (one handler on the X connection's
// descriptor and one timer, through the delegate's EditorRunLoop), with no
// thread and no Xlib of its own. One object is core, drawing backend and
// window at once (the plug-in's make-graphics function creates it).
//
// - One connection per open editor, opened by OpenWindow and closed by
//   CloseWindow. Both run-loop callbacks drain the connection without
//   blocking and flush at the end; a host that never signals the descriptor
//   is served by the timer alone.
// - Repaints follow the display through X Present frame notifications while
//   something is dirty; the timer paces them when Present is missing or
//   stalls. Only the dirty rectangles are drawn and sent, through MIT-SHM
//   when the server offers it (the backend draws straight into the shared
//   segment), and nothing at all while nothing is dirty.
// - Positions reach the core divided by drawScale x screenScale. A locked
//   pointer (knob drags) is hidden, kept inside the window by a grab and put
//   back after every move; hiding is always undone (release, focus loss,
//   the window going, close).
// - The screen scale is Xft.dpi / 96, rounded, unless the host gave one.
// - Keys reach the window only while the editor wants them (a value being
//   typed); otherwise they stay with the host and arrive through the view.
// - Value prompts, message boxes, menus and dragging out are the editor's
//   own windows on the same connection; the choosers are the desktop's
//   (portal, zenity, kdialog) and never block the host's loop: their
//   answers arrive on later ticks. The clipboard is the CLIPBOARD
//   selection, served by the window while it lives.
//
// Everything runs on the host's UI thread.
class IEditorWindow : public IEditorDrawing {
public:
    // [ui]
    IEditorWindow(IGraphicalEditorDelegate& delegate, int32_t width, int32_t height, int32_t fps,
                  float drawScale);
    // [ui] Closes the window first.
    ~IEditorWindow() override;

    // ---- Window operations of the editor core ----

    // [ui] parent is the host's X window id. Null (and nothing of X left
    // behind) when the display cannot be reached, the parent does not
    // exist, the delegate has no run loop or the screen's pixel format is
    // not the backend's; the layout and OnEditorOpened run either way.
    void* OpenWindow(void* parent) override;
    // [ui] Stops pacing, shows a hidden pointer, removes the controls,
    // destroys the window and closes the connection. Idempotent.
    void CloseWindow() override;
    bool IsWindowOpen() const override;
    // [ui] Asks the server (falls back to the last known position).
    void PointerPosition(float& x, float& y) const override;
    void HidePointer(bool hide, bool lock) override;
    void WarpPointer(float x, float y) override;
    void ResizePlatformWindow(bool parentHasResized) override;
    LocatedResource LocateResource(const std::string& name,
                                   const std::string& extension) const override;
    std::unique_ptr<PlatformFont> LoadFontFromFileOrResource(const char* fontId,
                                                             const char* name) override;
    std::unique_ptr<PlatformFont> LoadFontFromMemory(const char* fontId, const void* bytes,
                                                     int32_t byteCount) override;
    void CacheWindowFont(const char* fontId, const PlatformFont& font) override;
    // [ui] Modal: an override-redirect menu below bounds, holding pointer
    // and keyboard until a choice or a dismissal; the editor repaints
    // meanwhile. The (sub)menu chosen from, or null.
    IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRectangle& bounds) override;
    // [ui] A field drawn over bounds that takes the keyboard focus; it ends
    // on the tick after Return, Escape, a focus loss or a press outside.
    // Without a window the entry ends at once, unchanged.
    void OpenTextField(int32_t paramIdx, const ITextStyle& style, const IRectangle& bounds,
                       int32_t maxLength, const char* utf8Text) override;
    // [ui] Asks an open field to cancel at the next tick.
    void CancelTextEntry() override;
    // [ui] Keys the host hands the view go to an open field.
    bool OnKeyDown(float x, float y, const IKeyEvent& key) override;
    bool OnKeyUp(float x, float y, const IKeyEvent& key) override;

    // ---- Dialogs, desktop services, clipboard (see IEditorCore) ----

    // [ui] Drawn by the editor; without an open window a connection of its
    // own to $DISPLAY serves the box.
    int32_t ShowMessageBox(const char* text, const char* caption, int32_t type,
                           MessageBoxCompletion completion = nullptr) override;
    void ChooseFile(std::string& fileName, std::string& path, int32_t action,
                    const char* extensions, FileChosenFunction completion = nullptr) override;
    void ChooseDirectory(std::string& dir, FileChosenFunction completion = nullptr) override;
    bool ChooseColour(IColour& colour, const char* title,
                      ColourChosenFunction completion = nullptr) override;
    // [ui] Through xdg-open, waited for at most a few seconds.
    bool OpenUrl(const char* url, const char* windowTitle = nullptr,
                 const char* confirmation = nullptr, const char* errorText = nullptr) override;
    // [ui] org.freedesktop.FileManager1, else xdg-open on the folder.
    bool RevealInFileBrowser(const char* path, bool select) override;
    bool ReadClipboardText(std::string& text) override;
    bool WriteClipboardText(const char* text) override;
    bool PutFilePathOnClipboard(const char* path) override;
    bool StartFileDragOut(const char* path) override;
    // [ui] Also makes the shape the window's cursor.
    CursorShape SetCursorShape(CursorShape shape) override;

    // ---- Further window operations ----

    // [ui] The window id as a handle, null while closed.
    void* GetNativeWindow() const;
    static const char* PlatformName() { return "x11"; }
    // [ui] The module's embedded files: images and fonts are looked up there
    // first (the stand-in for a module handle).
    void SetModuleInstance(const ResourceTable* table);
    const ResourceTable* GetModuleInstance() const { return Resources(); }
    float GetPlatformWindowScale() const { return screenScale; }
    static bool SupportsMultiTouch() { return false; }

    // ---- What tests and benchmarks look at ----

    // [ui] The frame buffer lives in shared memory with the server.
    bool PresentsFromSharedMemory() const;
    // [ui] Repaints currently wait for frame notifications.
    bool PacedByFrames() const;
    // [ui] Frames drawn, and rectangles sent, since the window opened.
    uint32_t FramesDrawn() const noexcept { return framesDrawn; }
    uint32_t RectanglesSent() const noexcept { return rectanglesSent; }
    const FrameTickGate& TickGate() const noexcept { return tickGate; }
    // [ui] The open text field's window (0 when none) and its state.
    uint32_t TextFieldWindow() const;
    const TextEntryState& EntryState() const noexcept { return entryState; }
    // [ui] Choosers started and not yet answered.
    size_t ChoosersRunning() const;
    // [ui] How long a chooser without a completion is waited for.
    static constexpr int32_t kChooserWaitLimitMs = 10 * 60 * 1000;

protected:
    void PresentFrame() override;
    std::unique_ptr<PixelMemory> AllocatePixelMemory(size_t bytes) override;

private:
    struct Session;
    class SharedPixelMemory;
    class Modal;
    using EventMatch = std::function<bool(const xcb_generic_event_t&)>;
    using EventHandler = std::function<bool(const xcb_generic_event_t&)>;

    bool StartSession(Session& opened, xcb_window_t parent, int16_t x, int16_t y, uint16_t w,
                      uint16_t h);
    float InitialScreenScale(const x11::XcbConnection& connection) const;
    uint16_t TargetPixels(int32_t logical, float factor) const;

    // Run-loop callbacks.
    void OnDescriptorReadable();
    void OnTimer();
    void Drain(bool queuedOnly);
    void Dispatch(const x11::WindowEvent& event);
    void RunQueuedFrameTicks();
    void FrameTick(uint32_t n);
    void ApplyPendingScreenScale();
    bool CollectDirty();
    void Paint();
    void RequestFrame();
    void Flush();
    uint64_t NowMs() const;

    // Input.
    void OnPointerMove(const x11::WindowEvent& event);
    void OnButtonPress(const x11::WindowEvent& event);
    void OnButtonRelease(const x11::WindowEvent& event);
    void OnKey(const x11::WindowEvent& event);
    void PointerTakenAway();
    void OnResourcesChanged();
    void ForwardKeyToParent(const x11::WindowEvent& event);
    void HandleEvent(const xcb_generic_event_t& raw, bool underModal);

    // Nested loops and waits on the connection (IEditorWindowModal.cpp).
    bool RunModal(const EventHandler& handler, const std::function<bool()>& done, int32_t timeoutMs,
                  const std::function<void()>& tick = nullptr);
    x11::XcbPtr<xcb_generic_event_t> WaitForEvent(const EventMatch& match, int32_t timeoutMs);
    uint32_t ServerTime();
    IKeyEvent TranslateKey(uint8_t keycode, uint16_t state);
    uint32_t OwnerWindow();
    void InvalidateWholeWindow();
    bool WaitForChooser(uint32_t id);

    // The text field (IEditorWindowEntry.cpp).
    bool ServeTextEntry();
    void CloseTextField();
    void EndTextEntryUnanswered();

    std::unique_ptr<Session> session;
    WindowFonts windowFonts;
    FrameTickGate tickGate;
    DoubleClickDetector doubleClicks;

    // Dirty areas waiting for the next frame, logical units, and exposed
    // areas waiting to be shown again, window pixels.
    std::vector<IRectangle> pendingRects;
    std::vector<IRectangle> paintRects; // what the frame being drawn covers
    std::deque<uint32_t> queuedTicks;
    bool presentWholeFrame = false;

    // Pointer.
    uint16_t pressedButtons = 0; // bit n: button n is down after our press
    bool pointerHidden = false;
    bool cursorLocked = false;
    float savedCursorX = 0.0f;
    float savedCursorY = 0.0f;
    float motionOriginX = 0.0f; // where the next drag movement is measured from
    float motionOriginY = 0.0f;
    bool warpPending = false;
    uint32_t warpSequence = 0;
    float warpTargetX = 0.0f;
    float warpTargetY = 0.0f;

    // Tooltips (never enabled by this plug-in; see OpenWindow).
    bool tooltipShown = false;
    int32_t tooltipControl = -1;

    // The text field's request state and what it was opened with.
    TextEntryState entryState;
    ITextStyle entryStyle;
    IRectangle entryBounds;
    // The top-level window dialogs belong to, kept once found (also for a
    // message box after the window closed).
    uint32_t ownerWindow = 0;
    int32_t modalDepth = 0;

    float pendingScreenScale = 0.0f; // a new Xft.dpi factor for the next tick
    uint32_t framesDrawn = 0;
    uint32_t rectanglesSent = 0;
};

} // namespace ui
