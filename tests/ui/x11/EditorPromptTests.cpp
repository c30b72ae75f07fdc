// The editor's own prompts on a real X server, used as a user would: a
// value typed into the text field with XTest keys, menus chosen with the
// pointer and the keyboard, message boxes answered with a click and with
// Escape. Menus and boxes are modal, so the user's side runs on a thread
// of its own with a connection of its own.

#include "EditorHostFixture.h"
#include "X11Driver.h"

#include "ui/IControl.h"
#include "ui/platform/MessageBoxModel.h"
#include "ui/platform/PopupMenuModel.h"

#include <atomic>
#include <cmath>
#include <thread>

namespace {

using namespace x11test;
using Kind = vst3host::HandlerCall::Kind;
using ui::TextEntryState;

constexpr int16_t kKnobCentreX = 130; // the test knob's centre, logical units
constexpr int16_t kKnobCentreY = 90;

class EditorPrompts : public EditorHostFixture {
protected:
    void SetUp() override {
        EditorHostFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        editor = MakeEditor();
        ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
        ASSERT_TRUE(editor->RunUntilDrawn());
        user = std::make_unique<X11Driver>(Display());
        ASSERT_TRUE(user->IsOpen());
        ASSERT_TRUE(user->Placement(editor->WindowId(), editorX, editorY, editorW, editorH));
    }

    ui::IEditorWindow& Window() { return *editor->Window(); }
    ui::IControl& Knob() { return *Window().GetControl(Window().NControls() - 1); }
    ui::IControl& Switch() { return *Window().GetControl(1); }
    std::vector<double> PerformedValues(int32_t param) {
        std::vector<double> values;
        for (const auto& call : editor->handler->Calls())
            if (call.kind == Kind::PerformEdit && call.id == static_cast<uint32_t>(param))
                values.push_back(call.normalized);
        return values;
    }
    xcb_window_t Focus() {
        auto* focus = xcb_get_input_focus_reply(host->Connection(),
                                                xcb_get_input_focus(host->Connection()), nullptr);
        const xcb_window_t window = focus ? focus->focus : XCB_NONE;
        std::free(focus);
        return window;
    }
    bool OpenFieldOverKnob() {
        Knob().SetPromptDisabled(false);
        Knob().OpenValueEntry(Knob().GetRect(), 0);
        return Window().TextFieldWindow() != 0 &&
               editor->loop->RunUntil(
                   [&] { return Window().EntryState().State() == TextEntryState::kFocused; }, 1000);
    }

    std::unique_ptr<HostedEditor> editor;
    std::unique_ptr<X11Driver> user;
    int32_t editorX = 0, editorY = 0, editorW = 0, editorH = 0;
};

TEST_F(EditorPrompts, ATypedValueIsFilteredCommittedWithReturnAndTheFocusGoesBack) {
    xcb_set_input_focus(host->Connection(), XCB_INPUT_FOCUS_POINTER_ROOT, host->Window(),
                        XCB_CURRENT_TIME);
    host->Sync();
    ASSERT_TRUE(OpenFieldOverKnob());
    const xcb_window_t field = Window().TextFieldWindow();
    EXPECT_EQ(Focus(), field);
    // Over the knob, one pixel wider and taller than its rectangle, in the
    // style's entry background.
    int32_t x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(user->Placement(field, x, y, w, h));
    const ui::IRectangle r = Knob().GetRect();
    EXPECT_EQ(x - editorX, static_cast<int32_t>(r.L));
    EXPECT_EQ(w, static_cast<int32_t>(r.W()) + 1);
    EXPECT_EQ(h, static_cast<int32_t>(r.H()) + 1);
    EXPECT_TRUE(
        ShowsGrey(*editor, static_cast<int16_t>(r.L + 1), static_cast<int16_t>(r.T + 1), 255));

    // The shown "0.0" is selected: typing replaces it, and only what a
    // double takes goes in.
    ASSERT_TRUE(user->Type("a-7x.5"));
    editor->loop->RunFor(30);
    EXPECT_TRUE(PerformedValues(editor_test::kGain).empty()); // nothing before Return
    ASSERT_TRUE(user->TypeKeysym(X11Driver::kReturn));
    ASSERT_TRUE(
        editor->loop->RunUntil([&] { return !PerformedValues(editor_test::kGain).empty(); }, 1000));
    EXPECT_NEAR(PerformedValues(editor_test::kGain).front(), (-7.5 + 20.0) / 30.0, 1e-9);
    EXPECT_EQ(editor->handler->Count(Kind::BeginEdit), 1u);
    EXPECT_EQ(editor->handler->Count(Kind::EndEdit), 1u);
    EXPECT_EQ(Window().TextFieldWindow(), 0u);
    EXPECT_EQ(Window().ControlInTextEntry(), nullptr);
    EXPECT_EQ(EditorWindowsIn(editor->WindowId()).size(), 0u);
    EXPECT_EQ(Focus(), host->Window());
    // The knob shows its new value where the field was.
    EXPECT_TRUE(ShowsGrey(*editor, kKnobCentreX, kKnobCentreY, editor_test::GreyFor(12.5 / 30.0)));
}

TEST_F(EditorPrompts, EscapeAndAPressBesideTheFieldCancelAndThePressGoesNoFurther) {
    ASSERT_TRUE(OpenFieldOverKnob());
    ASSERT_TRUE(user->Type("5"));
    ASSERT_TRUE(user->TypeKeysym(X11Driver::kEscape));
    ASSERT_TRUE(editor->loop->RunUntil([&] { return Window().TextFieldWindow() == 0; }, 1000));
    EXPECT_EQ(Window().ControlInTextEntry(), nullptr);

    // A press on the switch while the field has the focus: the field goes,
    // the switch keeps its state.
    ASSERT_TRUE(OpenFieldOverKnob());
    user->ClickAt(editorX + static_cast<int32_t>(editor_test::kSwitchX) + 10,
                  editorY + static_cast<int32_t>(editor_test::kSwitchY) + 10);
    ASSERT_TRUE(editor->loop->RunUntil([&] { return Window().TextFieldWindow() == 0; }, 1000));
    editor->loop->RunFor(50);

    // A field asked to cancel by the plug-in ends on the next tick too.
    ASSERT_TRUE(OpenFieldOverKnob());
    Window().CancelTextEntry();
    EXPECT_NE(Window().TextFieldWindow(), 0u);
    ASSERT_TRUE(editor->loop->RunUntil([&] { return Window().TextFieldWindow() == 0; }, 1000));

    EXPECT_EQ(editor->handler->Count(Kind::PerformEdit), 0u);
    EXPECT_EQ(editor->handler->Count(Kind::BeginEdit), 0u);
}

TEST_F(EditorPrompts, AMenuChosenWithThePointerReturnsTheSubmenuOfTheItem) {
    ui::IPopupMenu top;
    top.AddItem("A");
    auto sub = std::make_unique<ui::IPopupMenu>();
    ui::IPopupMenu* submenu = sub.get();
    submenu->AddItem("X");
    submenu->AddItem("Y");
    top.AddSubmenu("B", std::move(sub));
    top.AddItem("C");
    // Where the rows of such a menu sit (the heights do not depend on the
    // texts' widths).
    const auto levels = ui::BuildMenuLevels(top);
    const ui::MenuGeometry rows = ui::LayOutMenu(
        *levels, [](const std::string&) { return 40.0f; }, ui::MenuMetrics{});
    const ui::MenuGeometry subRows = ui::LayOutMenu(
        *levels->submenus[1], [](const std::string&) { return 40.0f; }, ui::MenuMetrics{});

    std::atomic<int32_t> menuX{-1}, menuY{-1};
    std::thread person([&] {
        X11Driver hand(Display());
        const xcb_window_t menu = hand.WaitForTopLevel(true, [](xcb_window_t) { return true; });
        int32_t x = 0, y = 0, w = 0, h = 0;
        if (menu == XCB_NONE || !hand.Placement(menu, x, y, w, h))
            return;
        menuX = x;
        menuY = y;
        hand.MoveTo(x + 10, y + static_cast<int32_t>(rows.rows[1].MH())); // onto "B"
        const xcb_window_t opened =
            hand.WaitForTopLevel(true, [&](xcb_window_t window) { return window != menu; });
        int32_t sx = 0, sy = 0, sw = 0, sh = 0;
        if (opened == XCB_NONE || !hand.Placement(opened, sx, sy, sw, sh))
            return;
        hand.MoveTo(sx + 10, sy + static_cast<int32_t>(subRows.rows[0].MH()));
        hand.ClickAt(sx + 10, sy + static_cast<int32_t>(subRows.rows[1].MH())); // "Y"
    });
    const ui::IRectangle bounds(20.0f, 20.0f, 80.0f, 40.0f);
    ui::IPopupMenu* chosen = Window().ShowPopupMenu(top, bounds);
    person.join();
    EXPECT_EQ(chosen, submenu);
    EXPECT_EQ(submenu->chosenIndex, 1);
    EXPECT_EQ(top.chosenIndex, -1);
    // Below the bounds, and gone when it returns.
    EXPECT_EQ(menuX - editorX, 20);
    EXPECT_EQ(menuY - editorY, 40);
    EXPECT_TRUE(user->MappedTopLevels(true).empty());

    // The switch's value prompt lists its named values: chosen with the
    // keyboard, the value reaches the host as one edit.
    Switch().SetPromptDisabled(false);
    std::thread keys([&] {
        X11Driver hand(Display());
        if (hand.WaitForTopLevel(true, [](xcb_window_t) { return true; }) == XCB_NONE)
            return;
        hand.TypeKeysym(X11Driver::kDown); // "off"
        hand.TypeKeysym(X11Driver::kDown); // "on"
        hand.TypeKeysym(X11Driver::kReturn);
    });
    Switch().OpenValueEntry(Switch().GetRect(), 0);
    keys.join();
    EXPECT_EQ(PerformedValues(editor_test::kSwitch), std::vector<double>{1.0});
    EXPECT_EQ(editor->handler->Count(Kind::EndEdit), 1u);
    EXPECT_EQ(Window().ControlInTextEntry(), nullptr);
}

TEST_F(EditorPrompts, AMessageBoxIsAnsweredByAClickOrEscapeAndBelongsToTheHostsWindow) {
    const auto answerWith = [&](int32_t type,
                                const std::function<void(X11Driver&, xcb_window_t)>& act,
                                xcb_window_t* transientFor = nullptr) {
        std::thread person([&] {
            X11Driver hand(Display());
            const xcb_atom_t name = hand.Atom("_NET_WM_NAME");
            const xcb_window_t box = hand.WaitForTopLevel(false, [&](xcb_window_t window) {
                return hand.Property(window, name) == "Lumaro Test";
            });
            if (box == XCB_NONE)
                return;
            if (transientFor != nullptr) {
                const std::string owner = hand.Property(box, XCB_ATOM_WM_TRANSIENT_FOR);
                if (owner.size() == 4)
                    std::memcpy(transientFor, owner.data(), 4);
            }
            act(hand, box);
        });
        int32_t completed = -1;
        const int32_t answer =
            Window().ShowMessageBox("Discard the changes to this preset?", "Lumaro Test", type,
                                    [&](int32_t value) { completed = value; });
        person.join();
        EXPECT_EQ(completed, answer);
        return answer;
    };
    const auto clickButton = [](size_t index, size_t count) {
        return [index, count](X11Driver& hand, xcb_window_t box) {
            int32_t x = 0, y = 0, w = 0, h = 0;
            if (!hand.Placement(box, x, y, w, h))
                return;
            const auto buttons = ui::MessageBoxButtonRects(
                static_cast<float>(w), static_cast<float>(h), count, ui::MessageBoxMetrics{});
            hand.ClickAt(x + static_cast<int32_t>(buttons[index].MW()),
                         y + static_cast<int32_t>(buttons[index].MH()));
        };
    };

    xcb_window_t owner = XCB_NONE;
    EXPECT_EQ(answerWith(ui::kMessageBoxYesNoCancel, clickButton(1, 3), &owner), ui::kAnswerNo);
    EXPECT_EQ(owner, host->Window());
    // Keys once the box has the focus (a user sees it come up first).
    EXPECT_EQ(answerWith(ui::kMessageBoxYesNoCancel,
                         [](X11Driver& hand, xcb_window_t box) {
                             hand.WaitForFocus(box);
                             hand.TypeKeysym(X11Driver::kEscape);
                         }),
              ui::kAnswerCancel);
    // Yes/no cannot be escaped: only the click answers.
    EXPECT_EQ(answerWith(ui::kMessageBoxYesNo,
                         [&](X11Driver& hand, xcb_window_t box) {
                             hand.WaitForFocus(box);
                             hand.TypeKeysym(X11Driver::kEscape);
                             clickButton(0, 2)(hand, box);
                         }),
              ui::kAnswerYes);
    EXPECT_TRUE(user->MappedTopLevels(false).size() == 1u); // only the host's window is left

    // An editor whose window is not open still shows its box, on a
    // connection of its own.
    ui::IEditorWindow closed(*editor->plugin, editor_test::kWidth, editor_test::kHeight, 60, 1.0f);
    std::thread person([&] {
        X11Driver hand(Display());
        const xcb_atom_t name = hand.Atom("_NET_WM_NAME");
        const xcb_window_t box = hand.WaitForTopLevel(
            false, [&](xcb_window_t window) { return hand.Property(window, name) == "Closed"; });
        if (box != XCB_NONE)
            clickButton(0, 1)(hand, box);
    });
    EXPECT_EQ(closed.ShowMessageBox("Saved.", "Closed", ui::kMessageBoxOk), ui::kAnswerOk);
    person.join();
    // The editor takes pointer input again.
    EXPECT_EQ(Window().CapturedControl(), nullptr);
}

} // namespace
