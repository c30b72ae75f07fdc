// The drawing primitives the controls use, built on the backend's path
// operations, and the editor interactions they ask for: cursor shapes and
// value prompts.

#include "ui/IEditorCore.h"

#include "plugin/IParam.h"
#include "ui/BitmapFrames.h"
#include "ui/IControl.h"

#include <algorithm>
#include <string>

namespace ui {

namespace {

// Corner angles for PathArc: 0 degrees at twelve o'clock, clockwise.
constexpr float kNorth = 0.0f;
constexpr float kEast = 90.0f;
constexpr float kSouth = 180.0f;
constexpr float kWest = 270.0f;
constexpr float kFullTurn = 360.0f;

} // namespace

// ---- Bitmaps ----

void IEditorCore::DrawBitmapFrame(const IBitmapRef& bitmap, const IRectangle& dest, int32_t frame,
                                  const IBlendMode* blend) {
    if (!bitmap.IsValid())
        return;
    const FrameOffset offset = FrameSourceOffset(bitmap, frame);
    DrawBitmap(bitmap, dest, offset.x, offset.y, blend);
}

// ---- Shapes ----

void IEditorCore::FillRect(const IColour& colour, const IRectangle& rect, const IBlendMode* blend) {
    PathClear();
    PathMoveTo(rect.L, rect.T);
    PathLineTo(rect.R, rect.T);
    PathLineTo(rect.R, rect.B);
    PathLineTo(rect.L, rect.B);
    PathClose();
    PathFill(IFillPattern::Solid(colour), IFillStyle{}, blend);
}

void IEditorCore::DrawRect(const IColour& colour, const IRectangle& rect, const IBlendMode* blend,
                           float thickness) {
    PathClear();
    PathMoveTo(rect.L, rect.T);
    PathLineTo(rect.R, rect.T);
    PathLineTo(rect.R, rect.B);
    PathLineTo(rect.L, rect.B);
    PathClose();
    PathStroke(IFillPattern::Solid(colour), thickness, IStrokeStyle{}, blend);
}

namespace {

// A rounded rectangle's outline, clockwise from the top-left corner. The
// radius is limited to half the shorter side.
void RoundRectPath(IEditorCore& g, const IRectangle& r, float cornerRadius) {
    const float radius = std::clamp(cornerRadius, 0.0f, std::min(r.W(), r.H()) * 0.5f);
    g.PathClear();
    if (!(radius > 0.0f)) {
        g.PathMoveTo(r.L, r.T);
        g.PathLineTo(r.R, r.T);
        g.PathLineTo(r.R, r.B);
        g.PathLineTo(r.L, r.B);
    } else {
        g.PathArc(r.L + radius, r.T + radius, radius, kWest, kFullTurn);
        g.PathArc(r.R - radius, r.T + radius, radius, kNorth, kEast);
        g.PathArc(r.R - radius, r.B - radius, radius, kEast, kSouth);
        g.PathArc(r.L + radius, r.B - radius, radius, kSouth, kWest);
    }
    g.PathClose();
}

} // namespace

void IEditorCore::FillRoundRect(const IColour& colour, const IRectangle& rect, float cornerRadius,
                                const IBlendMode* blend) {
    RoundRectPath(*this, rect, cornerRadius);
    PathFill(IFillPattern::Solid(colour), IFillStyle{}, blend);
}

void IEditorCore::DrawRoundRect(const IColour& colour, const IRectangle& rect, float cornerRadius,
                                const IBlendMode* blend, float thickness) {
    RoundRectPath(*this, rect, cornerRadius);
    PathStroke(IFillPattern::Solid(colour), thickness, IStrokeStyle{}, blend);
}

void IEditorCore::FillTriangle(const IColour& colour, float x1, float y1, float x2, float y2,
                               float x3, float y3, const IBlendMode* blend) {
    PathClear();
    PathMoveTo(x1, y1);
    PathLineTo(x2, y2);
    PathLineTo(x3, y3);
    PathClose();
    PathFill(IFillPattern::Solid(colour), IFillStyle{}, blend);
}

void IEditorCore::FillCircle(const IColour& colour, float cx, float cy, float radius,
                             const IBlendMode* blend) {
    PathClear();
    PathArc(cx, cy, radius, kNorth, kFullTurn);
    PathClose();
    PathFill(IFillPattern::Solid(colour), IFillStyle{}, blend);
}

void IEditorCore::DrawCircle(const IColour& colour, float cx, float cy, float radius,
                             const IBlendMode* blend, float thickness) {
    PathClear();
    PathArc(cx, cy, radius, kNorth, kFullTurn);
    PathClose();
    PathStroke(IFillPattern::Solid(colour), thickness, IStrokeStyle{}, blend);
}

void IEditorCore::DrawLine(const IColour& colour, float x1, float y1, float x2, float y2,
                           const IBlendMode* blend, float thickness) {
    PathClear();
    PathMoveTo(x1, y1);
    PathLineTo(x2, y2);
    PathStroke(IFillPattern::Solid(colour), thickness, IStrokeStyle{}, blend);
}

void IEditorCore::DrawArc(const IColour& colour, float cx, float cy, float radius,
                          float startDegrees, float endDegrees, const IBlendMode* blend,
                          float thickness) {
    PathClear();
    PathArc(cx, cy, radius, startDegrees, endDegrees);
    PathStroke(IFillPattern::Solid(colour), thickness, IStrokeStyle{}, blend);
}

// ---- Text ----

void IEditorCore::DrawText(const ITextStyle& style, const char* utf8, const IRectangle& bounds,
                           const IBlendMode* blend) {
    if (utf8 == nullptr || utf8[0] == '\0')
        return;
    RenderTextRun(style, utf8, bounds, blend);
}

float IEditorCore::MeasureText(const ITextStyle& style, const char* utf8, IRectangle& bounds) {
    return MeasureTextRun(style, utf8 != nullptr ? utf8 : "", bounds);
}

// ---- Interaction ----

CursorShape IEditorCore::SetCursorShape(CursorShape shape) {
    const CursorShape previous = cursorKind;
    cursorKind = shape;
    return previous;
}

void IEditorCore::OpenValueEntry(IControl& control, const IRectangle& rect, int32_t valueIndex) {
    const plugin::IParam* param = control.BoundParam(valueIndex);
    if (param == nullptr)
        return;
    // A prompt takes the pointer: any drag ends here.
    ReleaseMouseCapture();
    inTextEntry = &control;
    textEntryValueIndex = valueIndex;

    const double position = control.GetValue(valueIndex);
    if (param->ValueTextCount() > 0) {
        const double current = param->DenormalizeValue(position);
        promptMenu.Clear();
        for (int32_t i = 0; i < param->ValueTextCount(); ++i) {
            const plugin::IParam::ValueText* entry = param->ValueTextAt(i);
            promptMenu.AddItem(
                entry->text, entry->value == current ? IPopupMenu::kChecked : IPopupMenu::kNoFlags,
                i);
        }
        SetControlValueAfterPopupMenu(ShowPopupMenu(promptMenu, rect));
        return;
    }
    plugin::ParamText display;
    param->FormatValue(position, true, display);
    std::string text = display;
    if (control.GetPromptShowsLabel() && param->Label()[0] != '\0')
        text += std::string(" ") + param->Label();
    OpenTextField(control.ParamIndexOf(valueIndex), control.GetText(), rect,
                  control.GetTextEntryLength(), text.c_str());
}

void IEditorCore::SetControlValueAfterTextEdit(const char* utf8) {
    IControl* control = inTextEntry;
    const int32_t valueIndex = textEntryValueIndex;
    inTextEntry = nullptr;
    textEntryValueIndex = -1;
    if (control == nullptr)
        return;
    const char* text = utf8 != nullptr ? utf8 : "";
    control->OnValueEntryDone(text, valueIndex);
    if (const plugin::IParam* param = control->BoundParam(valueIndex)) {
        const double position = param->NormalizeValue(param->ParseValueText(text));
        RunAsOneShotEdit(*control, [&] { control->SetValueFromEntry(position, valueIndex); });
    }
    control->SetDirty(false); // the field covered it
}

void IEditorCore::SetControlValueAfterPopupMenu(IPopupMenu* chosenMenu) {
    IControl* control = inTextEntry;
    const int32_t valueIndex = textEntryValueIndex;
    inTextEntry = nullptr;
    textEntryValueIndex = -1;
    if (control == nullptr)
        return;
    if (chosenMenu == nullptr) {
        control->OnMenuChoice(nullptr, valueIndex);
        return;
    }
    RunAsOneShotEdit(*control, [&] { control->OnMenuChoice(chosenMenu, valueIndex); });
}

// ---- Dialogs without a window ----

int32_t IEditorCore::ShowMessageBox(const char*, const char*, int32_t, MessageBoxCompletion) {
    return kAnswerNone;
}

void IEditorCore::ChooseFile(std::string& fileName, std::string&, int32_t, const char*,
                             FileChosenFunction) {
    fileName.clear();
}

void IEditorCore::ChooseDirectory(std::string& dir, FileChosenFunction) {
    dir.clear();
}

bool IEditorCore::ChooseColour(IColour&, const char*, ColourChosenFunction) {
    return false;
}

bool IEditorCore::OpenUrl(const char*, const char*, const char*, const char*) {
    return false;
}

bool IEditorCore::RevealInFileBrowser(const char*, bool) {
    return false;
}

bool IEditorCore::ReadClipboardText(std::string& text) {
    text.clear();
    return false;
}

bool IEditorCore::WriteClipboardText(const char*) {
    return false;
}

bool IEditorCore::PutFilePathOnClipboard(const char*) {
    return false;
}

bool IEditorCore::StartFileDragOut(const char*) {
    return false;
}

} // namespace ui
