#include "plugin/IEditorDelegate.h"

#include "plugin/Trace.h"

#include <algorithm>

namespace plugin {

IEditorDelegate::IEditorDelegate(int32_t paramCount) {
    const int32_t count = std::max(paramCount, 0);
    params.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        params.push_back(std::make_unique<IParam>());
}

IEditorDelegate::~IEditorDelegate() = default;

IParam* IEditorDelegate::ParamAt(int32_t index) const noexcept {
    if (index < 0 || index >= ParamCount())
        return nullptr;
    return params[static_cast<std::size_t>(index)].get();
}

void* IEditorDelegate::OpenWindow(void*) {
    OnEditorOpened();
    return nullptr;
}

void IEditorDelegate::CloseWindow() {
    OnEditorClosed();
}

void IEditorDelegate::OnViewResizedByHost(int32_t, int32_t) {}

void IEditorDelegate::PushAllParamsToEditor() {
    for (int32_t i = 0; i < ParamCount(); ++i)
        PushParamToEditor(i, params[static_cast<std::size_t>(i)]->CurrentNormalized(), true);
}

void IEditorDelegate::OnEditorOpened() {
    PushAllParamsToEditor();
}

void IEditorDelegate::OnEditorClosed() {}

void IEditorDelegate::OnParamChange(int32_t) {}

void IEditorDelegate::OnParamChange(int32_t paramIdx, ParamChangeSource source, int32_t) {
    Trace("plugin::IEditorDelegate::OnParamChange", "idx:%i src:%s\n", paramIdx,
          ParamChangeSourceName(source));
    OnParamChange(paramIdx);
}

void IEditorDelegate::OnParamChangeForEditor(int32_t, ParamChangeSource) {}

void IEditorDelegate::AnnounceAllParams(ParamChangeSource source) {
    for (int32_t i = 0; i < ParamCount(); ++i) {
        OnParamChange(i, source, -1);
        OnParamChangeForEditor(i, source);
    }
}

void IEditorDelegate::OnMidiForEditor(const MidiMessage&) {}

void IEditorDelegate::OnSysExForEditor(const SysExBlock&) {}

bool IEditorDelegate::OnMessage(int32_t, int32_t, int32_t, const void*) {
    return false;
}

void IEditorDelegate::OnStateRestored() {
    PushAllParamsToEditor();
}

bool IEditorDelegate::OnKeyDown(const ui::IKeyEvent&) {
    return false;
}

bool IEditorDelegate::OnKeyUp(const ui::IKeyEvent&) {
    return false;
}

void IEditorDelegate::PushValueToControl(int32_t, double) {}

void IEditorDelegate::PushMessageToControl(int32_t controlTag, int32_t messageTag, int32_t dataSize,
                                           const void* data) {
    OnMessage(messageTag, controlTag, dataSize, data);
}

void IEditorDelegate::PushMessageToEditor(int32_t messageTag, int32_t dataSize, const void* data) {
    OnMessage(messageTag, -1, dataSize, data);
}

void IEditorDelegate::PushMidiToEditor(const MidiMessage& message) {
    OnMidiForEditor(message);
}

void IEditorDelegate::PushSysExToEditor(const SysExBlock& block) {
    OnSysExForEditor(block);
}

void IEditorDelegate::PushParamToEditor(int32_t paramIdx, double, bool) {
    OnParamChangeForEditor(paramIdx, ParamChangeSource::EditorDelegate);
}

void IEditorDelegate::NotifyHostOfAllParams() {}

void IEditorDelegate::BeginParamEdit(int32_t) {}

void IEditorDelegate::SetParamFromEditor(int32_t paramIdx, double normalized) {
    IParam* param = ParamAt(paramIdx);
    if (param == nullptr)
        return;
    // One exchange: the audio thread reads this value while the user drags.
    param->ExchangeValue(param->DenormalizeValue(normalized));
    OnParamChangeForEditor(paramIdx, ParamChangeSource::UI);
}

void IEditorDelegate::EndParamEdit(int32_t) {}

bool IEditorDelegate::RequestEditorResize(int32_t, int32_t, bool) {
    return false;
}

void IEditorDelegate::SendMidiFromUI(const MidiMessage&) {}

void IEditorDelegate::SendSysExFromUI(const SysExBlock&) {}

void IEditorDelegate::SendArbitraryMessageFromUI(int32_t, int32_t, int32_t, const void*) {}

void IEditorDelegate::SendMidiFromDelegate(const MidiMessage&) {}

void IEditorDelegate::SendSysExFromDelegate(const SysExBlock&) {}

bool IEditorDelegate::ClampEditorSize(int32_t& width, int32_t& height) {
    if (width >= minWidth && width <= maxWidth && height >= minHeight && height <= maxHeight)
        return true;
    width = std::min(maxWidth, std::max(width, minWidth));
    height = std::min(maxHeight, std::max(height, minHeight));
    return false;
}

bool IEditorDelegate::WriteEditorSize(ByteChunk&) {
    return true;
}

int32_t IEditorDelegate::ReadEditorSize(const ByteChunk&, int32_t startPos) {
    return startPos;
}

void IEditorDelegate::SetScreenScale(float) {}

} // namespace plugin
