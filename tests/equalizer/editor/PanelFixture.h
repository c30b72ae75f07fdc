#pragma once

// The equalizer's real plug-in object with its real layout, its editor being
// the recording editor of the editor suites (the resource lookup hands out
// images of the artwork's pixel sizes), and a recording component handler in
// the host's place, so what the controls send is read where a host reads
// it. The zoom preference goes to a private folder.

#include "RecordingEditor.h"

#include "equalizer/LumaroEQ.h"
#include "equalizer/editor/PanelGeometry.h"
#include "host/ComponentHandler.h"
#include "host/HostContext.h"

#include "pluginterfaces/base/smartpointer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace paneltest {

using namespace Steinberg;
using Kind = vst3host::HandlerCall::Kind;
namespace panel = equalizer::panel;

inline ui::IRectangle ToRectangle(const panel::Rect& r) {
    return {static_cast<float>(r.L), static_cast<float>(r.T), static_cast<float>(r.R),
            static_cast<float>(r.B)};
}

// An environment variable set (or, with null, removed) for the object's life.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name(name) {
        const char* previous = std::getenv(name);
        had = previous != nullptr;
        old = had ? previous : "";
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { had ? setenv(name, old.c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::string old;
    bool had;
};

inline std::string MakeTemporaryFolder() {
    char pattern[] = "/tmp/lumaro-test-XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "/tmp";
}

// A temporary folder as $XDG_CONFIG_HOME.
class ConfigHome {
public:
    ~ConfigHome() { std::filesystem::remove_all(folder); }
    const std::string& Folder() const { return folder; }
    std::string File(const std::string& name = "LumaroEQ") const {
        return folder + "/Corvane Audio/Preferences/" + name + "-display-scale.txt";
    }
    // The file as another instance (or the user) left it.
    void Store(const std::string& content) const {
        std::filesystem::create_directories(folder + "/Corvane Audio/Preferences");
        std::ofstream(File(), std::ios::binary) << content;
    }
    std::string Stored(const std::string& name = "LumaroEQ") const {
        std::ifstream file(File(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

private:
    std::string folder = MakeTemporaryFolder();
    ScopedEnvironment variable{"XDG_CONFIG_HOME", folder.c_str()};
};

// The recording editor, also keeping the texts drawn.
class PanelRecorder : public uitest::RecordingEditor {
public:
    using RecordingEditor::RecordingEditor;
    std::vector<std::string> texts;
    void RenderTextRun(const ui::ITextStyle& style, const char* utf8, const ui::IRectangle& bounds,
                       const ui::IBlendMode* blend) override {
        texts.emplace_back(utf8);
        RecordingEditor::RenderTextRun(style, utf8, bounds, blend);
    }
    void Up(float x, float y, ui::IPointerModifiers mod = {}) {
        const ui::IPointerEvent event{x, y, 0.0f, 0.0f, mod};
        OnMouseUp(std::span<const ui::IPointerEvent>(&event, 1));
    }
    // Everything drawn again, the record of it kept.
    void Redraw() {
        ops.clear();
        texts.clear();
        Draw({{0.0f, 0.0f, static_cast<float>(Width()), static_cast<float>(Height())}});
        MarkAllControlsClean();
    }
    bool Drew(const std::string& text) const {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
};

class PanelFixture : public testing::Test {
protected:
    void SetUp() override {
        plugin = new equalizer::LumaroEQ();
        unknown = static_cast<Vst::IComponent*>(plugin);
        ASSERT_EQ(plugin->initialize(context->Unknown()), kResultOk);
        plugin->setComponentHandler(handler);
    }
    void TearDown() override {
        plugin->CloseWindow();
        plugin->setComponentHandler(nullptr);
        plugin->terminate();
        unknown->release();
    }

    // Opens the editor at a zoom through the plug-in's own delegate and layout.
    PanelRecorder& Open(float zoom = 1.0f) {
        plugin->SetMakeGraphicsFunction([this, zoom] {
            auto* recorder = new PanelRecorder(*plugin, panel::kWidth, panel::kHeight, zoom);
            recorder->resources = {{"LEQ_back.png", {664, 215}},
                                   {"LEQ_back@2x.png", {1328, 430}},
                                   {"smallknob.png", {752, 799}},
                                   {"smallknob@2x.png", {1504, 1598}},
                                   {"x271_frame_stack_fixed_again.png", {1024, 1088}},
                                   {"x271_frame_stack_fixed_again@2x.png", {1888, 2006}},
                                   {"LEQ_OS.png", {29, 58}},
                                   {"LEQ_OS@2x.png", {58, 116}}};
            return recorder;
        });
        plugin->OpenWindow(nullptr);
        editor = static_cast<PanelRecorder*>(plugin->Graphics());
        return *editor;
    }
    void SetParam(int32_t index, double normalized) {
        plugin->setParamNormalized(static_cast<Vst::ParamID>(index), normalized);
    }
    // The values the host was sent for a parameter, in order.
    std::vector<double> Sent(int32_t index) const {
        std::vector<double> values;
        for (const auto& call : handler->Calls())
            if (call.kind == Kind::PerformEdit && call.id == static_cast<Vst::ParamID>(index))
                values.push_back(call.normalized);
        return values;
    }
    bool EditsBalanced() const {
        return handler->Count(Kind::BeginEdit) == handler->Count(Kind::EndEdit);
    }
    template <typename Control = ui::IControl> Control& ControlFor(int32_t paramIdx) const {
        for (int32_t i = 0; i < editor->NControls(); ++i)
            if (editor->GetControl(i)->ParamIndexOf(0) == paramIdx)
                return dynamic_cast<Control&>(*editor->GetControl(i));
        throw std::runtime_error("no control for the parameter");
    }
    static float X(const panel::Knob& knob) { return static_cast<float>(knob.rect.CentreX()); }
    static float Y(const panel::Knob& knob) { return static_cast<float>(knob.rect.CentreY()); }

    // First made, last gone: no test reads or writes the user's own zoom.
    ConfigHome config;
    IPtr<vst3host::HostContext> context = owned(new vst3host::HostContext);
    IPtr<vst3host::RecordingComponentHandler> handler =
        owned(new vst3host::RecordingComponentHandler);
    equalizer::LumaroEQ* plugin = nullptr;
    FUnknown* unknown = nullptr;
    PanelRecorder* editor = nullptr;
};

} // namespace paneltest
