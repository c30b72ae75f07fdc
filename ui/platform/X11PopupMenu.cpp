#include "ui/platform/X11PopupMenu.h"

#include "ui/VirtualKeys.h"
#include "ui/platform/X11EventTranslation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace ui::x11 {

namespace {

using Kind = WindowEvent::Kind;

constexpr uint32_t kGrabEvents =
    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
// Another client (a window manager) may hold a grab for a moment.
constexpr int kGrabAttempts = 20;
constexpr auto kGrabRetryDelay = std::chrono::milliseconds(5);
constexpr float kMenuTextSize = 14.0f;

constexpr IColour kBackground{255, 246, 246, 246};
constexpr IColour kBorder{255, 150, 150, 150};
constexpr IColour kText{255, 20, 20, 20};
constexpr IColour kGreyedText{255, 160, 160, 160};
constexpr IColour kSeparator{255, 205, 205, 205};
constexpr IColour kHighlight{255, 51, 153, 255};
constexpr IColour kHighlightText{255, 255, 255, 255};

uint8_t ResponseType(const xcb_generic_event_t& event) {
    return event.response_type & 0x7F;
}

MenuMetrics ScaledMetrics(float scale) {
    MenuMetrics m;
    for (float* value : {&m.rowHeight, &m.separatorHeight, &m.leftMargin, &m.rightMargin, &m.border,
                         &m.minColumnWidth})
        *value = std::max(1.0f, std::round(*value * scale));
    return m;
}

} // namespace

X11PopupMenu::X11PopupMenu(const XcbConnection& xcb, xcb_window_t grab, const WindowFonts& fonts,
                           const MenuLevel& first, float menuScale, KeyTranslator translator)
    : connection(xcb), grabWindow(grab),
      font(fonts, ITextStyle{}.font, std::round(kMenuTextSize * std::max(menuScale, 0.5f))),
      root(first), metrics(ScaledMetrics(std::max(menuScale, 0.5f))),
      scale(std::max(menuScale, 0.5f)), translate(std::move(translator)) {}

X11PopupMenu::~X11PopupMenu() {
    Ungrab();
    CloseDeeperThan(0);
    open.clear();
}

std::vector<xcb_window_t> X11PopupMenu::Windows() const {
    std::vector<xcb_window_t> ids;
    for (const Open& level : open)
        ids.push_back(level.window->Id());
    return ids;
}

int32_t X11PopupMenu::Run(int16_t x, int16_t y, int16_t alternateY, ModalLoop& loop) {
    // Grabbed first: once a menu window shows, the menu has the input.
    if (!Grab()) {
        Ungrab();
        return -1;
    }
    OpenLevel(root, x, y, alternateY);
    if (open.empty() || !open.front().window->Exists()) {
        Ungrab();
        open.clear();
        return -1;
    }
    const bool done = loop.Run([this](const xcb_generic_event_t& event) { return Handle(event); },
                               [this] { return finished; }, -1);
    Ungrab();
    CloseDeeperThan(0);
    open.clear();
    xcb_flush(connection.Get());
    return done ? result : -1;
}

bool X11PopupMenu::Grab() {
    xcb_connection_t* c = connection.Get();
    const xcb_window_t window = grabWindow;
    for (int attempt = 0; attempt < kGrabAttempts && !grabbedPointer; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(kGrabRetryDelay);
        auto reply =
            GetReply(c,
                     xcb_grab_pointer(c, 0, window, kGrabEvents, XCB_GRAB_MODE_ASYNC,
                                      XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                     xcb_grab_pointer_reply);
        grabbedPointer = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    }
    if (!grabbedPointer)
        return false;
    // Without the keyboard the menu still works with the pointer.
    auto keyboard = GetReply(
        c,
        xcb_grab_keyboard(c, 0, window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        xcb_grab_keyboard_reply);
    grabbedKeyboard = keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS;
    return true;
}

void X11PopupMenu::Ungrab() {
    if (!connection.IsOpen())
        return;
    if (grabbedPointer)
        xcb_ungrab_pointer(connection.Get(), XCB_CURRENT_TIME);
    if (grabbedKeyboard)
        xcb_ungrab_keyboard(connection.Get(), XCB_CURRENT_TIME);
    grabbedPointer = grabbedKeyboard = false;
}

void X11PopupMenu::OpenLevel(const MenuLevel& level, int16_t x, int16_t y, int16_t alternateY) {
    Open entry;
    entry.level = &level;
    entry.geometry = LayOutMenu(
        level, [this](const std::string& label) { return static_cast<float>(font.Width(label)); },
        metrics);
    const auto w = static_cast<int32_t>(std::ceil(entry.geometry.width));
    const auto h = static_cast<int32_t>(std::ceil(entry.geometry.height));
    const xcb_screen_t& screen = *connection.Screen();
    const MenuPlacement place =
        PlaceMenu(x, y, alternateY, w, h, screen.width_in_pixels, screen.height_in_pixels);
    entry.window = std::make_unique<X11SurfaceWindow>(
        connection, X11SurfaceWindow::Kind::Popup, screen.root, static_cast<int16_t>(place.x),
        static_cast<int16_t>(place.y), static_cast<uint16_t>(std::clamp(w, 1, 32767)),
        static_cast<uint16_t>(std::clamp(h, 1, 32767)), XCB_EVENT_MASK_EXPOSURE);
    entry.window->Map();
    open.push_back(std::move(entry));
    Draw(open.back());
}

void X11PopupMenu::OpenSubmenu(size_t depth, int32_t row, bool highlightFirst) {
    CloseDeeperThan(depth);
    const Open& parent = open[depth];
    if (!parent.level->HasSubmenu(row))
        return;
    const MenuLevel& level = *parent.level->submenus[static_cast<size_t>(row)];
    const IRectangle& r = parent.geometry.rows[static_cast<size_t>(row)];
    const int32_t x = parent.window->X() + static_cast<int32_t>(r.R);
    const int32_t y = parent.window->Y() + static_cast<int32_t>(r.T - metrics.border);
    const int32_t bottom = parent.window->Y() + static_cast<int32_t>(r.B + metrics.border);
    // To the left of the parent when the right has no room.
    const MenuGeometry probe = LayOutMenu(
        level, [this](const std::string& label) { return static_cast<float>(font.Width(label)); },
        metrics);
    int32_t left = x;
    if (x + probe.width > connection.Screen()->width_in_pixels)
        left = parent.window->X() - static_cast<int32_t>(std::ceil(probe.width));
    OpenLevel(level, static_cast<int16_t>(std::max(0, left)), static_cast<int16_t>(y),
              static_cast<int16_t>(bottom));
    if (highlightFirst)
        Highlight(open.size() - 1, NextSelectableRow(level, -1, 1));
}

void X11PopupMenu::CloseDeeperThan(size_t depth) {
    while (open.size() > depth + 1)
        open.pop_back();
}

void X11PopupMenu::Highlight(size_t depth, int32_t row) {
    Open& level = open[depth];
    if (row >= 0 && !level.level->rows[static_cast<size_t>(row)].IsSelectable())
        row = -1;
    if (level.highlighted == row)
        return;
    level.highlighted = row;
    Draw(level);
}

void X11PopupMenu::Choose(size_t depth, int32_t row) {
    const MenuLevel& level = *open[depth].level;
    if (row < 0 || !level.rows[static_cast<size_t>(row)].IsSelectable())
        return;
    if (level.HasSubmenu(row)) {
        OpenSubmenu(depth, row, true);
        return;
    }
    result = level.rows[static_cast<size_t>(row)].id;
    finished = true;
}

std::pair<int32_t, int32_t> X11PopupMenu::Hit(int16_t rootX, int16_t rootY) const {
    for (size_t d = open.size(); d-- > 0;) {
        const X11SurfaceWindow& window = *open[d].window;
        const float x = static_cast<float>(rootX - window.X());
        const float y = static_cast<float>(rootY - window.Y());
        if (x >= 0 && y >= 0 && x < window.Width() && y < window.Height())
            return {static_cast<int32_t>(d), MenuRowAt(open[d].geometry, x, y)};
    }
    return {-1, -1};
}

bool X11PopupMenu::Handle(const xcb_generic_event_t& event) {
    if (ResponseType(event) == XCB_EXPOSE) {
        const auto& e = reinterpret_cast<const xcb_expose_event_t&>(event);
        for (Open& level : open)
            if (level.window->Id() == e.window) {
                if (e.count == 0)
                    Draw(level);
                return true;
            }
        return false;
    }
    if (open.empty())
        return false;
    TranslationContext context;
    context.window = grabWindow; // the grab reports everything there
    context.root = connection.Screen()->root;
    const WindowEvent e = TranslateEvent(event, context);
    switch (e.kind) {
    case Kind::PointerMove: {
        const auto [depth, row] = Hit(e.rootX, e.rootY);
        if (depth < 0)
            return true;
        pointerEntered = true;
        const auto d = static_cast<size_t>(depth);
        if (open[d].highlighted != row || open.size() > d + 1) {
            const bool sameRowOpen = open[d].highlighted == row && open.size() > d + 1;
            if (!sameRowOpen) {
                CloseDeeperThan(d);
                Highlight(d, row);
                if (open[d].highlighted >= 0 && open[d].level->HasSubmenu(row))
                    OpenSubmenu(d, row, false);
            }
        }
        return true;
    }
    case Kind::ButtonPress: {
        const auto [depth, row] = Hit(e.rootX, e.rootY);
        (void)row;
        if (depth < 0) {
            finished = true; // a press outside dismisses
            result = -1;
        } else {
            pressedInside = true;
        }
        return true;
    }
    case Kind::ButtonRelease: {
        const auto [depth, row] = Hit(e.rootX, e.rootY);
        if (depth >= 0 && row >= 0 && (pressedInside || pointerEntered) &&
            !open[static_cast<size_t>(depth)].level->HasSubmenu(row))
            Choose(static_cast<size_t>(depth), row);
        return true;
    }
    case Kind::KeyPress:
        if (translate)
            OnKey(translate(e.keycode, e.keyState));
        return true;
    case Kind::KeyRelease:
    case Kind::Wheel:
        return true;
    default:
        return false;
    }
}

void X11PopupMenu::OnKey(const IKeyEvent& key) {
    const size_t depth = open.size() - 1;
    Open& level = open[depth];
    switch (key.virtualKey) {
    case kVKUp:
    case kVKDown:
        Highlight(depth, NextSelectableRow(*level.level, level.highlighted,
                                           key.virtualKey == kVKDown ? 1 : -1));
        break;
    case kVKRight:
        if (level.highlighted >= 0 && level.level->HasSubmenu(level.highlighted))
            OpenSubmenu(depth, level.highlighted, true);
        break;
    case kVKLeft:
        if (depth > 0)
            CloseDeeperThan(depth - 1);
        break;
    case kVKEscape:
        if (depth > 0) {
            CloseDeeperThan(depth - 1);
        } else {
            finished = true;
            result = -1;
        }
        break;
    case kVKReturn:
    case kVKSpace:
        Choose(depth, level.highlighted);
        break;
    default:
        break;
    }
}

void X11PopupMenu::Draw(Open& level) {
    cairo_t* cr = level.window->Canvas();
    if (cr == nullptr)
        return;
    const double w = level.window->Width();
    const double h = level.window->Height();
    const double border = metrics.border;
    cairo_save(cr);
    SetSourceColour(cr, kBorder);
    cairo_paint(cr);
    SetSourceColour(cr, kBackground);
    cairo_rectangle(cr, border, border, w - 2 * border, h - 2 * border);
    cairo_fill(cr);
    cairo_set_line_width(cr, std::max(1.0f, std::round(scale)));
    for (size_t i = 0; i < level.level->rows.size(); ++i) {
        const MenuRow& row = level.level->rows[i];
        const IRectangle& r = level.geometry.rows[i];
        if (row.columnBreak) {
            SetSourceColour(cr, kSeparator);
            cairo_move_to(cr, r.L + 0.5, border);
            cairo_line_to(cr, r.L + 0.5, h - border);
            cairo_stroke(cr);
        }
        if (row.IsSeparator()) {
            const double y = std::floor((r.T + r.B) * 0.5) + 0.5;
            SetSourceColour(cr, kSeparator);
            cairo_move_to(cr, r.L + 4 * scale, y);
            cairo_line_to(cr, r.R - 4 * scale, y);
            cairo_stroke(cr);
            continue;
        }
        const bool lit = static_cast<int32_t>(i) == level.highlighted;
        if (lit) {
            SetSourceColour(cr, kHighlight);
            cairo_rectangle(cr, r.L, r.T, r.W(), r.H());
            cairo_fill(cr);
        }
        const IColour& ink = lit ? kHighlightText : row.IsGreyed() ? kGreyedText : kText;
        const double baseline = r.T + (r.H() - font.CellHeight()) * 0.5 + font.Ascent();
        font.Draw(cr, row.label, r.L + metrics.leftMargin, baseline, ink);
        const double mid = (r.T + r.B) * 0.5;
        SetSourceColour(cr, ink);
        if (row.IsChecked()) {
            const double cx = r.L + metrics.leftMargin * 0.5;
            cairo_move_to(cr, cx - 4 * scale, mid);
            cairo_line_to(cr, cx - 1 * scale, mid + 3 * scale);
            cairo_line_to(cr, cx + 4 * scale, mid - 4 * scale);
            cairo_stroke(cr);
        }
        if (level.level->HasSubmenu(static_cast<int32_t>(i))) {
            const double ax = r.R - metrics.rightMargin * 0.5;
            cairo_move_to(cr, ax - 3 * scale, mid - 4 * scale);
            cairo_line_to(cr, ax + 2 * scale, mid);
            cairo_line_to(cr, ax - 3 * scale, mid + 4 * scale);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);
    level.window->Present();
    xcb_flush(connection.Get());
}

} // namespace ui::x11
