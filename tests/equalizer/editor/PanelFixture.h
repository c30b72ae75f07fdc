#pragma once

// The equalizer's real plug-in object with its real layout, its editor being
// the recording editor of the editor suites (it decodes nothing: the
// resource lookup hands out images of the artwork's pixel sizes), and a
// recording component handler in the host's place. What the controls send
// is read where a host reads it. The zoom preference goes to a private
// folder of the test's own.

#include "RecordingEditor.h"

#include "equalizer/LumaroEQ.h"
#include "equalizer/editor/PanelGeometry.h"
#include "host/ComponentHandler.h"
#include "host/HostContext.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace paneltest {

using namespace Steinberg;
using Kind = vst3host::HandlerCall::Kind;

inline ui::IRectangle ToRectangle(const equalizer::panel::Rect& r) {
    return {static_cast<float>(r.L), static_cast<float>(r.T), static_cast<float>(r.R),
            static_cast<float>(r.B)};
}

// A temporary folder as $XDG_CONFIG_HOME for the life of the object.
class ConfigHome {
public:
    ConfigHome() {
        char pattern[] = "/tmp/lumaro-config-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        folder = made != nullptr ? made : "/tmp";
        const char* previous = std::getenv("XDG_CONFIG_HOME");
        hadPrevious = previous != nullptr;
        if (hadPrevious)
            previousValue = previous;
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~ConfigHome() {
        if (hadPrevious)
            setenv("XDG_CONFIG_HOME", previousValue.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    const std::string& Folder() const { return folder; }
    std::string PreferenceFile(const std::string& name = "LumaroEQ") const {
        return folder + "/Corvane Audio/Preferences/" + name + "-display-scale.txt";
    }
    // Writes the preference file as another instance (or the user) left it.
    void Store(const std::string& content, const std::string& name = "LumaroEQ") const {
        std::filesystem::create_directories(folder + "/Corvane Audio/Preferences");
        std::ofstream(PreferenceFile(name), std::ios::binary) << content;
    }
    std::string Stored(const std::string& name = "LumaroEQ") const {
        std::ifstream file(PreferenceFile(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    std::string folder;
    std::string previousValue;
    bool hadPrevious = false;
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
};

// The pixel sizes of the artwork's images, at both resolutions.
inline void AddArtworkSizes(uitest::RecordingEditor& editor) {
    editor.resources = {{"LEQ_back.png", {664, 215}},
                        {"LEQ_back@2x.png", {1328, 430}},
                        {"smallknob.png", {752, 799}},
                        {"smallknob@2x.png", {1504, 1598}},
                        {"x271_frame_stack_fixed_again.png", {1024, 1088}},
                        {"x271_frame_stack_fixed_again@2x.png", {1888, 2006}},
                        {"LEQ_OS.png", {29, 58}},
                        {"LEQ_OS@2x.png", {58, 116}}};
}

class PanelFixture : public testing::Test {
protected:
    void SetUp() override { MakePlugin(); }
    void TearDown() override {
        if (plugin == nullptr)
            return;
        plugin->CloseWindow();
        controller->setComponentHandler(nullptr);
        component->terminate();
        controller = nullptr;
        component = nullptr;
        static_cast<Vst::IComponent*>(plugin)->release();
        plugin = nullptr;
    }

    void MakePlugin() {
        context = owned(new vst3host::HostContext);
        handler = owned(new vst3host::RecordingComponentHandler);
        plugin = new equalizer::LumaroEQ();
        FUnknown* unknown = static_cast<Vst::IComponent*>(plugin);
        component = Query<Vst::IComponent>(unknown);
        controller = Query<Vst::IEditController>(unknown);
        ASSERT_EQ(component->initialize(context->Unknown()), kResultOk);
        controller->setComponentHandler(handler);
    }

    // Opens the editor at a zoom through the plug-in's own delegate, with
    // the plug-in's own layout.
    PanelRecorder& Open(float zoom = 1.0f) {
        plugin->SetMakeGraphicsFunction([this, zoom] {
            auto* recorder = new PanelRecorder(*plugin, equalizer::panel::kWidth,
                                               equalizer::panel::kHeight, zoom);
            AddArtworkSizes(*recorder);
            return recorder;
        });
        plugin->OpenWindow(nullptr);
        editor = static_cast<PanelRecorder*>(plugin->Graphics());
        return *editor;
    }

    template <typename Interface> static IPtr<Interface> Query(FUnknown* object) {
        Interface* result = nullptr;
        if (object == nullptr ||
            object->queryInterface(Interface::iid, reinterpret_cast<void**>(&result)) != kResultOk)
            return nullptr;
        return owned(result);
    }

    // The values the host was sent, in order.
    std::vector<double> Sent(Vst::ParamID id) const {
        std::vector<double> values;
        for (const auto& call : handler->Calls())
            if (call.kind == Kind::PerformEdit && call.id == id)
                values.push_back(call.normalized);
        return values;
    }
    // The host's calls as text: "b0 p0:0.4 e0".
    std::string Traffic() const {
        std::string text;
        for (const auto& call : handler->Calls()) {
            if (!text.empty())
                text += ' ';
            switch (call.kind) {
            case Kind::BeginEdit:
                text += "b" + std::to_string(call.id);
                break;
            case Kind::EndEdit:
                text += "e" + std::to_string(call.id);
                break;
            case Kind::PerformEdit: {
                char value[48];
                std::snprintf(value, sizeof value, "p%u:%.17g", static_cast<unsigned>(call.id),
                              call.normalized);
                text += value;
                break;
            }
            case Kind::RestartComponent:
                text += "r" + std::to_string(call.restartFlags);
                break;
            }
        }
        return text;
    }

    ui::IControl& ControlFor(int32_t paramIdx) const {
        for (int32_t i = 0; i < editor->NControls(); ++i)
            if (editor->GetControl(i)->ParamIndexOf(0) == paramIdx)
                return *editor->GetControl(i);
        ADD_FAILURE() << "no control for parameter " << paramIdx;
        return *editor->GetControl(0);
    }

    static float CentreX(const equalizer::panel::Knob& knob) {
        return static_cast<float>(knob.rect.CentreX());
    }
    static float CentreY(const equalizer::panel::Knob& knob) {
        return static_cast<float>(knob.rect.CentreY());
    }

    // First made, last gone: no test reads or writes the user's own zoom.
    ConfigHome config;
    IPtr<vst3host::HostContext> context;
    IPtr<vst3host::RecordingComponentHandler> handler;
    equalizer::LumaroEQ* plugin = nullptr;
    IPtr<Vst::IComponent> component;
    IPtr<Vst::IEditController> controller;
    PanelRecorder* editor = nullptr;
};

} // namespace paneltest
