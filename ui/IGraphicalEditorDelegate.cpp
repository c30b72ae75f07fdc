#include "ui/IGraphicalEditorDelegate.h"

#include <cmath>
#include <limits>

namespace ui {

namespace {

// A size read from a chunk is only used when it can describe an editor; bad
// data (zero, negative, NaN, infinite) leaves the editor as it is.
bool IsUsableSize(int32_t width, int32_t height, float scale) {
    return width > 0 && height > 0 && std::isfinite(scale) && scale > 0.0f;
}

// Pixels to logical units, truncated; pinned to the int32 range so that a
// nonsense scale from the platform cannot overflow the conversion.
int32_t PixelsToLogical(int32_t pixels, float screenScale) {
    const double logical = static_cast<double>(pixels) / static_cast<double>(screenScale);
    if (logical >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (logical <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(logical);
}

} // namespace

IGraphicalEditorDelegate::IGraphicalEditorDelegate(int32_t paramCount)
    : plugin::IEditorDelegate(paramCount) {}

IGraphicalEditorDelegate::~IGraphicalEditorDelegate() {
    graphics.reset();
    layoutFunc = nullptr;
    makeGraphicsFunc = nullptr;
}

void* IGraphicalEditorDelegate::OpenWindow(void* parentWindow) {
    CloseWindow();
    if (!graphics) {
        graphics = CreateGraphics();
        if (graphics && savedWidth != 0 && savedHeight != 0 && savedScale != 0.0f)
            graphics->Resize(savedWidth, savedHeight, savedScale, true);
    }
    return graphics ? graphics->OpenWindow(parentWindow) : nullptr;
}

void IGraphicalEditorDelegate::CloseWindow() {
    // OnEditorClosed or the window's own teardown may ask to close again.
    if (closing)
        return;
    closing = true;
    OnEditorClosed();
    if (graphics) {
        savedWidth = graphics->Width();
        savedHeight = graphics->Height();
        savedScale = graphics->DrawScale();
        graphics->CloseWindow();
        graphics.reset();
    }
    closing = false;
}

void IGraphicalEditorDelegate::OnViewResizedByHost(int32_t widthPixels, int32_t heightPixels) {
    if (!graphics)
        return;
    float screenScale = graphics->ScreenScale();
    if (!std::isfinite(screenScale) || screenScale <= 0.0f)
        screenScale = 1.0f;
    graphics->Resize(PixelsToLogical(widthPixels, screenScale),
                     PixelsToLogical(heightPixels, screenScale), 1.0f, false);
}

bool IGraphicalEditorDelegate::OnKeyDown(const IKeyEvent& key) {
    if (!graphics)
        return false;
    float x = 0.0f;
    float y = 0.0f;
    graphics->PointerPosition(x, y);
    return graphics->OnKeyDown(x, y, key);
}

bool IGraphicalEditorDelegate::OnKeyUp(const IKeyEvent& key) {
    if (!graphics)
        return false;
    float x = 0.0f;
    float y = 0.0f;
    graphics->PointerPosition(x, y);
    return graphics->OnKeyUp(x, y, key);
}

void IGraphicalEditorDelegate::PushValueToControl(int32_t controlTag, double normalized) {
    if (graphics)
        graphics->SetTaggedControlValueFromPlugin(controlTag, normalized);
}

void IGraphicalEditorDelegate::PushMessageToControl(int32_t controlTag, int32_t messageTag,
                                                    int32_t dataSize, const void* data) {
    if (graphics)
        graphics->SendPluginMessageToTaggedControl(controlTag, messageTag, dataSize, data);
}

void IGraphicalEditorDelegate::PushMidiToEditor(const plugin::MidiMessage& message) {
    if (graphics)
        graphics->SendMidiToControls(message);
    OnMidiForEditor(message);
}

void IGraphicalEditorDelegate::PushParamToEditor(int32_t paramIdx, double value, bool normalized) {
    const plugin::IParam* param = ParamAt(paramIdx);
    if (graphics && param != nullptr) {
        const double position = normalized ? value : param->NormalizeValue(value);
        graphics->SetParamValueFromPlugin(paramIdx, position);
    }
    OnParamChangeForEditor(paramIdx, plugin::ParamChangeSource::EditorDelegate);
}

bool IGraphicalEditorDelegate::WriteEditorSize(plugin::ByteChunk& chunk) {
    const int32_t width = graphics ? graphics->Width() : savedWidth;
    const int32_t height = graphics ? graphics->Height() : savedHeight;
    const float scale = graphics ? graphics->DrawScale() : savedScale;
    return chunk.PutInt32(width) && chunk.PutInt32(height) && chunk.PutFloat(scale);
}

int32_t IGraphicalEditorDelegate::ReadEditorSize(const plugin::ByteChunk& chunk, int32_t startPos) {
    int32_t width = 0;
    int32_t height = 0;
    float scale = 0.0f;
    int32_t pos = chunk.GetInt32(width, startPos);
    pos = pos < 0 ? -1 : chunk.GetInt32(height, pos);
    pos = pos < 0 ? -1 : chunk.GetFloat(scale, pos);
    if (pos < 0)
        return -1;

    const bool usable = IsUsableSize(width, height, scale);
    if (graphics) {
        if (usable)
            graphics->Resize(width, height, scale, true);
    } else {
        savedWidth = usable ? width : 0;
        savedHeight = usable ? height : 0;
        savedScale = usable ? scale : 0.0f;
    }
    return pos;
}

void IGraphicalEditorDelegate::SetScreenScale(float scale) {
    if (graphics)
        graphics->SetScreenScale(scale);
}

std::unique_ptr<IEditorCore> IGraphicalEditorDelegate::CreateGraphics() {
    if (!makeGraphicsFunc)
        return nullptr;
    return std::unique_ptr<IEditorCore>(makeGraphicsFunc());
}

void IGraphicalEditorDelegate::LayoutEditor(IEditorCore* editor) {
    if (layoutFunc)
        layoutFunc(editor);
}

Steinberg::Vst::IContextMenu* IGraphicalEditorDelegate::CreateHostContextMenu(int32_t) {
    return nullptr;
}

} // namespace ui
