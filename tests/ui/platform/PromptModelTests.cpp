// The prompts' logic without a display: the text field's character filter,
// entry states and editing, the popup menu's numbering, ids, columns and
// layout, and the message box's buttons and layout.

#include "ui/VirtualKeys.h"
#include "ui/platform/MessageBoxModel.h"
#include "ui/platform/PopupMenuModel.h"
#include "ui/platform/TextEntryModel.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace ui;
using plugin::IParam;
using State = TextEntryState;
using Action = TextEntryState::Action;

std::string Typed(IParam::ParamKind kind, const std::string& keys) {
    TextEditBuffer buffer(0, kind);
    buffer.SetText("");
    for (char c : keys)
        buffer.Insert(std::string(1, c));
    return buffer.Text();
}

IKeyEvent Key(int32_t virtualKey, const char* text = "", bool shift = false, bool control = false,
              bool alt = false) {
    IKeyEvent key;
    key.virtualKey = virtualKey;
    std::strncpy(key.utf8, text, sizeof(key.utf8) - 1);
    key.shift = shift;
    key.control = control;
    key.alt = alt;
    return key;
}

TEST(TextEntryFilter, ParameterKindsTakeOnlyTheirCharacters) {
    // The cases a value prompt meets: letters never reach a numeric field,
    // a decimal point only a double's.
    for (IParam::ParamKind kind : {IParam::KindInt, IParam::KindBool, IParam::KindEnum}) {
        EXPECT_EQ(Typed(kind, "a"), "");
        EXPECT_EQ(Typed(kind, "-12"), "-12");
        EXPECT_EQ(Typed(kind, "+3.5"), "+35");
    }
    EXPECT_EQ(Typed(IParam::KindDouble, "3.5"), "3.5");
    EXPECT_EQ(Typed(IParam::KindDouble, "-7.5 dB"), "-7.5");
    EXPECT_EQ(Typed(IParam::KindNone, "7.5 dB"), "7.5 dB");

    // Backspace is a key, not a character: it works in every field.
    TextEditBuffer buffer(0, IParam::KindInt);
    buffer.SetText("");
    buffer.Insert("-12");
    EXPECT_TRUE(buffer.DeleteBackward());
    EXPECT_EQ(buffer.Text(), "-1");
    // Pasted text passes the same filter, one character at a time.
    buffer.Insert("x9y");
    EXPECT_EQ(buffer.Text(), "-19");
}

TEST(TextEntryState, EachEventAsksForItsEndingAndTheTickServesItOnce) {
    State state;
    state.Opened();
    state.FocusGained();
    EXPECT_EQ(state.State(), State::kFocused);
    EXPECT_EQ(state.Serve(), Action::None); // focused: nothing to serve
    EXPECT_EQ(state.State(), State::kFocused);
    state.ReturnPressed();
    EXPECT_EQ(state.State(), State::kCommitRequested);
    EXPECT_EQ(state.Serve(), Action::Commit);
    EXPECT_EQ(state.Serve(), Action::None);
    EXPECT_EQ(state.State(), State::kIdle);

    // A press beside a focused field cancels; beside an unfocused one
    // (only painted around) it commits.
    state.Opened();
    state.FocusGained();
    state.EditorPressed();
    EXPECT_EQ(state.Serve(), Action::Cancel);
    state.Opened();
    state.PaintedAround();
    EXPECT_EQ(state.State(), State::kPaintedAround);
    state.EditorPressed();
    EXPECT_EQ(state.Serve(), Action::Commit);

    // Focus loss commits, the wheel and a cancel request cancel.
    state.Opened();
    state.FocusGained();
    state.FocusLost();
    EXPECT_EQ(state.Serve(), Action::Commit);
    state.Opened();
    state.WheelTurned();
    EXPECT_EQ(state.Serve(), Action::Cancel);

    // The first request stands: the focus loss that follows an Escape
    // (the field going away) does not turn the cancel into a commit, nor
    // does a focus arriving late undo it.
    state.Opened();
    state.FocusGained();
    state.EscapePressed();
    state.FocusLost();
    state.FocusGained();
    state.PaintedAround();
    EXPECT_EQ(state.Serve(), Action::Cancel);
}

TEST(TextEditBuffer, EditsWholeCharactersWithinTheLimit) {
    TextEditBuffer buffer(4);
    buffer.SetText("0.0");
    EXPECT_EQ(buffer.SelectedText(), "0.0"); // opened with everything selected
    buffer.Insert("é€12345");                // replaces the selection, up to the limit
    EXPECT_EQ(buffer.Text(), "é€12");
    EXPECT_EQ(buffer.CharacterCount(), 4u);
    EXPECT_FALSE(buffer.Insert("x")); // full

    buffer.MoveHome(false);
    buffer.MoveRight(false);
    EXPECT_EQ(buffer.Caret(), std::string("é").size());
    buffer.MoveRight(true);
    EXPECT_EQ(buffer.SelectedText(), "€");
    buffer.Insert("x"); // the selection's room is free again
    EXPECT_EQ(buffer.Text(), "éx12");
    buffer.MoveLeft(false);
    EXPECT_TRUE(buffer.DeleteBackward());
    EXPECT_EQ(buffer.Text(), "x12");
    buffer.MoveEnd(false);
    EXPECT_FALSE(buffer.DeleteForward());

    // A caret put inside a character falls back to its start.
    TextEditBuffer wide;
    wide.SetText("a€b");
    wide.SetCaret(2, false);
    EXPECT_EQ(wide.Caret(), 1u);

    // One line of well-formed text: breaks and tabs never go in, broken
    // sequences become U+FFFD.
    TextEditBuffer line;
    line.SetText("a\nb\tc\xC3");
    EXPECT_EQ(line.Text(), "abc\xEF\xBF\xBD");
}

TEST(TextEditBuffer, KeysMapToTheFieldsCommands) {
    EXPECT_EQ(EditKeyFor(Key(kVKReturn)).command, EditCommand::Commit);
    EXPECT_EQ(EditKeyFor(Key(kVKEscape)).command, EditCommand::Cancel);
    EXPECT_EQ(EditKeyFor(Key(kVKA + 'v' - 'a', "v", false, true)).command, EditCommand::Paste);
    EXPECT_EQ(EditKeyFor(Key(kVKInsert, "", true)).command, EditCommand::Paste);
    EXPECT_EQ(EditKeyFor(Key(kVKDelete, "", true)).command, EditCommand::Cut);
    const EditKey extend = EditKeyFor(Key(kVKLeft, "", true));
    EXPECT_EQ(extend.command, EditCommand::MoveLeft);
    EXPECT_TRUE(extend.extendSelection);
    EXPECT_EQ(EditKeyFor(Key(kVKA, "a")).command, EditCommand::InsertText);
    EXPECT_EQ(EditKeyFor(Key(kVKA, "a", false, false, true)).command, EditCommand::None);
}

// ---- Popup menus ----

TEST(PopupMenuModel, NumberingShowsTheItemNumberAndTheTextAsItIs) {
    IPopupMenu menu;
    menu.numbering = IPopupMenu::kNumber2;
    menu.AddItem("First");
    menu.AddItem("Second");
    menu.AddItem("Rock & Roll");
    const auto levels = BuildMenuLevels(menu);
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(levels->rows[2].label, "03: Rock & Roll");
    EXPECT_EQ(MenuItemLabel(IPopupMenu::kNumber1, 3, "x"), "3: x");
    EXPECT_EQ(MenuItemLabel(IPopupMenu::kNumber3, 3, "x"), "003: x");
    EXPECT_EQ(MenuItemLabel(IPopupMenu::kNumberNone, 3, "A && B"), "A && B");
    // Numbered labels stop at 50 characters, never inside one.
    const std::string label = MenuItemLabel(IPopupMenu::kNumber2, 7, std::string(60, 'x') + "é");
    EXPECT_EQ(label.size(), kNumberedTextLimit);
    const std::string accented =
        MenuItemLabel(IPopupMenu::kNumber2, 7, std::string(45, 'x') + "ééé");
    EXPECT_EQ(accented, "07: " + std::string(45, 'x') + "é");
}

TEST(PopupMenuModel, IdsNumberEachMenuBeforeItsSubmenusAndFindTheChosenSubmenu) {
    IPopupMenu top;
    top.AddItem("A");
    auto sub = std::make_unique<IPopupMenu>();
    IPopupMenu* submenu = sub.get();
    submenu->AddItem("X");
    submenu->AddItem("Y");
    int selections = 0;
    submenu->selectionFunction = [&](IPopupMenu& chosen) {
        ++selections;
        EXPECT_EQ(&chosen, submenu);
    };
    top.AddSubmenu("B", std::move(sub));
    top.AddItem("C");

    const auto levels = BuildMenuLevels(top);
    ASSERT_NE(levels, nullptr);
    ASSERT_EQ(levels->rows.size(), 3u);
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_EQ(levels->rows[static_cast<size_t>(i)].id, i);
    ASSERT_TRUE(levels->HasSubmenu(1));
    EXPECT_EQ(levels->submenus[1]->rows[0].id, 3);
    EXPECT_EQ(levels->submenus[1]->rows[1].id, 4);

    EXPECT_EQ(ChooseMenuItem(top, 4), submenu);
    EXPECT_EQ(submenu->chosenIndex, 1);
    EXPECT_EQ(top.chosenIndex, -1);
    EXPECT_EQ(selections, 1);
    EXPECT_EQ(ChooseMenuItem(top, 2), &top);
    EXPECT_EQ(top.chosenIndex, 2);
    // The submenu's own row and ids no item has choose nothing.
    EXPECT_EQ(ChooseMenuItem(top, 1), nullptr);
    EXPECT_EQ(ChooseMenuItem(top, 5), nullptr);
    EXPECT_EQ(ChooseMenuItem(top, -1), nullptr);

    // Two submenus: the first's items are numbered before the second's.
    IPopupMenu twice;
    auto first = std::make_unique<IPopupMenu>();
    first->AddItem("p");
    first->AddItem("q");
    auto second = std::make_unique<IPopupMenu>();
    IPopupMenu* last = second.get();
    second->AddItem("r");
    twice.AddSubmenu("1", std::move(first));
    twice.AddSubmenu("2", std::move(second));
    EXPECT_EQ(FindMenuItem(twice, 4).menu, last);
    EXPECT_EQ(FindMenuItem(twice, 4).index, 0);
    EXPECT_EQ(BuildMenuLevels(*std::make_unique<IPopupMenu>()), nullptr); // nothing to show
}

TEST(PopupMenuModel, ColumnsBreakEveryCountItemsOnlyBelow160Items) {
    const auto breaks = [](int32_t count, int32_t columns) {
        std::vector<int32_t> at;
        for (int32_t i = 0; i < count; ++i)
            if (MenuColumnBreakBefore(count, columns, i))
                at.push_back(i);
        return at;
    };
    EXPECT_EQ(breaks(100, 10), (std::vector<int32_t>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_TRUE(breaks(200, 10).empty());
    EXPECT_TRUE(breaks(160, 10).empty());
    EXPECT_EQ(breaks(159, 100), std::vector<int32_t>{100});
    EXPECT_TRUE(breaks(100, 0).empty());

    // Laid out: ten columns side by side, each as wide as its widest label.
    IPopupMenu menu;
    menu.columns = 10;
    for (int32_t i = 0; i < 100; ++i)
        menu.AddItem(i == 15 ? "a much longer label" : "item");
    const auto levels = BuildMenuLevels(menu);
    const MenuMetrics metrics;
    const MenuGeometry g = LayOutMenu(
        *levels, [](const std::string& text) { return 7.0f * static_cast<float>(text.size()); },
        metrics);
    EXPECT_EQ(g.rows[10].T, g.rows[0].T);
    EXPECT_EQ(g.rows[10].L, g.rows[0].R);
    EXPECT_GT(g.rows[15].W(), g.rows[5].W());
    EXPECT_FLOAT_EQ(g.height, 2 * metrics.border + 10 * metrics.rowHeight);
    EXPECT_EQ(MenuRowAt(g, g.rows[37].L + 1, g.rows[37].T + 1), 37);
    EXPECT_EQ(MenuRowAt(g, g.width + 1, 1), -1);
}

TEST(PopupMenuModel, KeyboardSkipsWhatCannotBeChosenAndMenusStayOnScreen) {
    IPopupMenu menu;
    menu.AddItem("greyed", IPopupMenu::kGreyed);
    menu.AddItem("a");
    menu.AddSeparator();
    menu.AddItem("disabled", IPopupMenu::kDisabled);
    menu.AddItem("b", IPopupMenu::kChecked);
    const auto levels = BuildMenuLevels(menu);
    EXPECT_EQ(NextSelectableRow(*levels, -1, 1), 1);
    EXPECT_EQ(NextSelectableRow(*levels, 1, 1), 4);
    EXPECT_EQ(NextSelectableRow(*levels, 4, 1), 1); // wraps
    EXPECT_EQ(NextSelectableRow(*levels, -1, -1), 4);
    IPopupMenu none;
    none.AddSeparator();
    EXPECT_EQ(NextSelectableRow(*BuildMenuLevels(none), -1, 1), -1);

    // Below the control when it fits, above it when not; never off the right.
    EXPECT_EQ(PlaceMenu(100, 500, 480, 80, 100, 1000, 800).y, 500);
    EXPECT_EQ(PlaceMenu(100, 750, 730, 80, 100, 1000, 800).y, 630);
    EXPECT_EQ(PlaceMenu(960, 10, 0, 80, 100, 1000, 800).x, 920);
}

// ---- Message boxes ----

TEST(MessageBoxModel, TypesGiveTheirButtonsAndAnswers) {
    const auto answers = [](int32_t type) {
        std::vector<int32_t> all;
        for (const MessageBoxButton& button : MessageBoxChoicesFor(type).buttons)
            all.push_back(button.answer);
        return all;
    };
    EXPECT_EQ(answers(kMessageBoxOk), std::vector<int32_t>{kAnswerOk});
    EXPECT_EQ(answers(kMessageBoxOkCancel), (std::vector<int32_t>{kAnswerOk, kAnswerCancel}));
    EXPECT_EQ(answers(kMessageBoxAbortRetryIgnore),
              (std::vector<int32_t>{kAnswerAbort, kAnswerRetry, kAnswerIgnore}));
    EXPECT_EQ(answers(kMessageBoxYesNoCancel),
              (std::vector<int32_t>{kAnswerYes, kAnswerNo, kAnswerCancel}));
    EXPECT_EQ(answers(kMessageBoxYesNo), (std::vector<int32_t>{kAnswerYes, kAnswerNo}));
    EXPECT_EQ(answers(kMessageBoxRetryCancel), (std::vector<int32_t>{kAnswerRetry, kAnswerCancel}));
    EXPECT_EQ(answers(kMessageBoxIconWarning | 9), std::vector<int32_t>{kAnswerOk});

    // Escape answers where a cancel exists (OK for a lone OK); yes/no has
    // no way out but its buttons, and ends with No if it must.
    EXPECT_EQ(MessageBoxChoicesFor(kMessageBoxOk).escapeAnswer, kAnswerOk);
    EXPECT_EQ(MessageBoxChoicesFor(kMessageBoxYesNoCancel).escapeAnswer, kAnswerCancel);
    EXPECT_EQ(MessageBoxChoicesFor(kMessageBoxYesNo).escapeAnswer, kAnswerNone);
    EXPECT_EQ(MessageBoxChoicesFor(kMessageBoxYesNo).dismissAnswer, kAnswerNo);
    EXPECT_EQ(
        MessageBoxChoicesFor(kMessageBoxYesNoCancel | kMessageBoxDefaultButton2).defaultButton, 1u);
    EXPECT_EQ(MessageBoxChoicesFor(kMessageBoxOk | kMessageBoxDefaultButton3).defaultButton, 0u);
}

TEST(MessageBoxModel, TextWrapsWithinTheWidthAndButtonsSitBottomRight) {
    const auto width = [](const std::string& text) {
        return 10.0f * static_cast<float>(text.size());
    };
    const auto lines =
        WrapMessageText("one two three four\nfive\n\nabcdefghijklmno", 100.0f, width);
    EXPECT_EQ(lines, (std::vector<std::string>{"one two", "three four", "five", "", "abcdefghij",
                                               "klmno"}));
    for (const std::string& line : lines)
        EXPECT_LE(width(line), 100.0f);

    const MessageBoxMetrics m;
    const MessageBoxLayout layout = LayOutMessageBox({300.0f, 120.0f}, 3, m);
    ASSERT_EQ(layout.buttons.size(), 3u);
    EXPECT_FLOAT_EQ(layout.width, 300.0f + 2 * m.margin);
    EXPECT_FLOAT_EQ(layout.buttons[2].R, layout.width - m.margin);
    EXPECT_FLOAT_EQ(layout.buttons[0].B, layout.height - m.margin);
    EXPECT_GE(layout.buttons[0].T, layout.lines[1].B); // below the text
    EXPECT_EQ(MessageBoxButtonAt(layout, layout.buttons[1].MW(), layout.buttons[1].MH()), 1);
    EXPECT_EQ(MessageBoxButtonAt(layout, 1.0f, 1.0f), -1);
    EXPECT_EQ(MessageBoxButtonRects(layout.width, layout.height, 3, m), layout.buttons);
}

} // namespace
