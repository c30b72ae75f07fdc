// The editor core's registry, value routing, drawing cycle and sizing. The
// pointer and key entries, the resources and the drawing primitives live in
// the IEditorCore*.cpp files next to this one.

#include "ui/IEditorCore.h"

#include "ui/BitmapCache.h"
#include "ui/DirtyRegions.h"
#include "ui/IControl.h"
#include "ui/IGraphicalEditorDelegate.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

namespace {

// int(screenScale x int(logical x scale)), kept inside the int32 range
// whatever the scales are.
int32_t ViewPixels(int32_t logical, float scale, float screenScale) {
    constexpr double kMost = std::numeric_limits<int32_t>::max();
    const double zoomed = std::trunc(std::min(static_cast<double>(logical) * scale, kMost));
    const double pixels = std::trunc(std::min(zoomed * screenScale, kMost));
    return pixels > 0.0 ? static_cast<int32_t>(pixels) : 0;
}

// The editor holds a control's first reference: letting it go detaches it and
// releases that reference (a host holding it as a menu target keeps a
// detached object until its own release).
void LetGo(std::unique_ptr<IControl>& control) {
    IControl* released = control.release();
    released->DetachFromEditor();
    released->release();
}

} // namespace

IEditorCore::IEditorCore(IGraphicalEditorDelegate& delegate, int32_t width, int32_t height,
                         int32_t fps, float drawScale)
    : width(width), height(height), fps(fps), drawScale(drawScale), delegate(delegate) {
    BitmapCache::Instance().AddEditor();
}

IEditorCore::~IEditorCore() {
    // The backend and window parts are gone already: only the delegate and
    // the controls may be called from here.
    CancelCaptures(false);
    for (std::unique_ptr<IControl>& control : controls)
        LetGo(control);
    controls.clear();
    controlsByTag.clear();
    BitmapCache::Instance().RemoveEditor();
}

// ---- Control registry ----

IControl* IEditorCore::AttachControl(std::unique_ptr<IControl> control, int32_t tag,
                                     const std::string& group) {
    if (control == nullptr)
        return nullptr;
    if (tag >= 0 && !controlsByTag.emplace(tag, control.get()).second)
        return nullptr; // the tag is taken; nothing else holds the control yet
    IControl* attached = control.get();
    attached->AttachToEditor(*this, delegate);
    attached->OnInit();
    attached->OnResize();
    attached->OnRescale();
    attached->SetGroup(group);
    controls.push_back(std::move(control));
    attached->OnAttached();
    return attached;
}

IControl* IEditorCore::FindControlByTag(int32_t tag) const {
    const auto found = controlsByTag.find(tag);
    return found == controlsByTag.end() ? nullptr : found->second;
}

IControl* IEditorCore::GetControl(int32_t index) const {
    if (index < 0 || index >= NControls())
        return nullptr;
    return controls[static_cast<size_t>(index)].get();
}

void IEditorCore::ForEachPanelControl(const std::function<void(IControl&)>& function) {
    for (std::unique_ptr<IControl>& control : controls)
        function(*control);
}

void IEditorCore::ForEachControl(const std::function<void(IControl&)>& function) {
    // No special controls (corner resizer slot, popup or text-entry control,
    // performance display) exist in this framework: the corner handle is an
    // ordinary control and menus and text fields are the window's.
    ForEachPanelControl(function);
}

void IEditorCore::MarkAllControlsDirty() {
    for (std::unique_ptr<IControl>& control : controls)
        control->SetDirty(false);
}

void IEditorCore::MarkAllControlsClean() {
    for (std::unique_ptr<IControl>& control : controls)
        control->SetClean();
}

void IEditorCore::SyncParamPeers(IControl& control, int32_t valueIndex) {
    const int32_t paramIdx = control.ParamIndexOf(valueIndex);
    if (paramIdx < 0)
        return;
    const double value = control.GetValue(valueIndex);
    for (std::unique_ptr<IControl>& peer : controls) {
        if (peer.get() == &control)
            continue;
        const int32_t peerIndex = peer->ValueIndexForParam(paramIdx);
        if (peerIndex >= 0)
            peer->SetValueFromPlugin(value, peerIndex);
    }
}

void IEditorCore::RemoveAllControls() {
    CancelCaptures(true);
    mouseOverControl = nullptr;
    mouseOverIndex = -1;
    inTextEntry = nullptr;
    textEntryValueIndex = -1;
    controlsByTag.clear();
    // Taken out of the list first, so that nothing reaches a control that
    // is on its way out.
    std::vector<std::unique_ptr<IControl>> leaving;
    leaving.swap(controls);
    for (std::unique_ptr<IControl>& control : leaving)
        LetGo(control);
}

void IEditorCore::LayoutControls() {
    delegate.LayoutEditor(this);
    MarkAllControlsDirty();
}

// ---- Values from the plug-in ----

void IEditorCore::SetTaggedControlValueFromPlugin(int32_t controlTag, double normalized) {
    if (IControl* control = FindControlByTag(controlTag))
        control->SetValueFromPlugin(normalized, 0);
}

void IEditorCore::SendPluginMessageToTaggedControl(int32_t controlTag, int32_t messageTag,
                                                   int32_t dataSize, const void* data) {
    if (IControl* control = FindControlByTag(controlTag))
        control->OnPluginMessage(messageTag, dataSize, data);
}

void IEditorCore::SetParamValueFromPlugin(int32_t paramIdx, double normalized) {
    if (paramIdx < 0)
        return;
    for (std::unique_ptr<IControl>& control : controls) {
        for (int32_t i = 0; i < control->NValues(); ++i) {
            if (control->ParamIndexOf(i) == paramIdx)
                control->SetValueFromPlugin(normalized, i);
        }
    }
}

void IEditorCore::SendMidiToControls(const plugin::MidiMessage& message) {
    for (std::unique_ptr<IControl>& control : controls) {
        if (control->GetWantsMidi())
            control->OnMidi(message);
    }
}

// ---- Drawing cycle ----

namespace {

// The control's rectangle grown to cover anti-aliased edges, confined to
// each enclosing control's grown rectangle.
IRectangle GrownInsideParents(const IControl& control) {
    IRectangle grown = control.GetRect().GetPadded(IEditorCore::kDirtyPadding);
    for (const IControl* parent = control.GetParent(); parent != nullptr;
         parent = parent->GetParent())
        grown = Intersection(grown, parent->GetRect().GetPadded(IEditorCore::kDirtyPadding));
    return grown;
}

} // namespace

bool IEditorCore::IsDirty(std::vector<IRectangle>& rects) {
    if (displayTickFunction)
        displayTickFunction();
    for (std::unique_ptr<IControl>& control : controls)
        control->Animate();
    bool any = false;
    for (std::unique_ptr<IControl>& control : controls) {
        if (!control->IsDirty())
            continue;
        const IRectangle grown = GrownInsideParents(*control);
        if (HasNoArea(grown))
            continue;
        rects.push_back(grown);
        any = true;
    }
    return any;
}

void IEditorCore::Draw(const std::vector<IRectangle>& rects) {
    if (rects.empty())
        return;
    const float s = PixelScale();
    BeginFrame();
    alignedRects.clear();
    if (strictDrawing) {
        IRectangle all;
        for (const IRectangle& r : rects)
            all = Union(all, AlignOutwardToPixels(r, s));
        alignedRects.push_back(all);
    } else {
        for (const IRectangle& r : rects)
            alignedRects.push_back(AlignOutwardToPixels(r, s));
        MergeDirtyRects(alignedRects);
    }
    for (const IRectangle& region : alignedRects) {
        for (std::unique_ptr<IControl>& control : controls)
            DrawControl(*control, region, s);
    }
    EndFrame();
}

void IEditorCore::DrawControl(IControl& control, const IRectangle& region, float pixelScale) {
    // The background is drawn even when hidden: something must cover the
    // region.
    if (control.IsHidden() && (controls.empty() || controls.front().get() != &control))
        return;
    const IRectangle area =
        AlignOutwardToPixels(control.GetRect().GetPadded(kDirtyPadding), pixelScale);
    IRectangle clip = Intersection(region, area);
    for (const IControl* parent = control.GetParent(); parent != nullptr && !HasNoArea(clip);
         parent = parent->GetParent())
        clip = Intersection(
            clip, AlignOutwardToPixels(parent->GetRect().GetPadded(kDirtyPadding), pixelScale));
    if (HasNoArea(clip))
        return;
    pathTransform = ITransform{};
    SetPathTransform(pathTransform);
    PathClear();
    SetClipRect(clip);
    currentClip = clip;
    control.Draw(*this);
    control.DrawHighlight(*this);
}

void IEditorCore::BeginFrame() {}

// ---- Size and scale ----

void IEditorCore::RequestViewSize() {
    const bool resized =
        delegate.RequestEditorResize(ViewPixels(width, drawScale, screenScale),
                                     ViewPixels(height, drawScale, screenScale), true);
    ResizePlatformWindow(resized);
}

void IEditorCore::Resize(int32_t w, int32_t h, float scale, bool needsPlatformResize) {
    delegate.ClampEditorSize(w, h);
    // A scale that is no number keeps the current one.
    if (!std::isfinite(scale))
        scale = drawScale;
    scale = std::clamp(scale, minScale, maxScale);
    if (w == width && h == height && scale == drawScale)
        return;
    if (!resizeInProgress) {
        CancelCaptures(true);
        ShowPointerIfHidden();
    }
    width = w;
    height = h;
    drawScale = scale;
    const bool resized = delegate.RequestEditorResize(ViewPixels(width, drawScale, screenScale),
                                                      ViewPixels(height, drawScale, screenScale),
                                                      needsPlatformResize);
    ResizePlatformWindow(resized);
    for (std::unique_ptr<IControl>& control : controls)
        control->OnResize();
    MarkAllControlsDirty();
    ResizeDrawingSurface();
    if (layoutOnResize)
        delegate.LayoutEditor(this);
}

void IEditorCore::FinishResize() {
    resizeInProgress = false;
    if (resizeMode != 0)
        return; // size mode: bitmaps keep their resolution
    for (std::unique_ptr<IControl>& control : controls)
        control->OnRescale();
    MarkAllControlsDirty();
}

void IEditorCore::SetScreenScale(float scale) {
    // The window derives the factor from the monitor; a nonsense one keeps
    // the current factor rather than dividing by zero later.
    if (!std::isfinite(scale) || scale <= 0.0f)
        return;
    screenScale = scale;
    RequestViewSize();
    for (std::unique_ptr<IControl>& control : controls)
        control->OnRescale();
    MarkAllControlsDirty();
    ResizeDrawingSurface();
}

} // namespace ui
