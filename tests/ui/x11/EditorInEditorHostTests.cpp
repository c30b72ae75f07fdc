// The test plug-in's bundle in Steinberg's editorhost (a real host with its
// own run loop and plug frame) on the private Xvfb: the editor must show
// the same pixels as the same editor opened in this process. Skipped,
// saying why, where the tool is not next to the repository.

#include "EditorHostFixture.h"

#include <cairo.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

using namespace x11test;

class EditorInEditorHost : public EditorHostFixture {
protected:
    void TearDown() override {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
        EditorHostFixture::TearDown();
    }

    // editorhost wants these on the root window before it starts.
    void SetRootXembedAtoms() {
        xcb_connection_t* c = host->Connection();
        const char* names[] = {"_XEMBED_INFO", "_XEMBED"};
        const uint32_t values[2][2] = {{0, 1}, {0, 0}};
        const uint32_t counts[] = {2, 1};
        for (int i = 0; i < 2; ++i) {
            auto atom = ui::x11::GetReply(
                c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]),
                xcb_intern_atom_reply);
            ASSERT_TRUE(atom);
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, host->Root(), atom->atom,
                                XCB_ATOM_CARDINAL, 32, counts[i], values[i]);
        }
        host->Sync();
    }

    // A window anywhere on the screen, other than `own`, that carries the
    // editor's _XEMBED_INFO (version 0, flags 0) and is shown.
    xcb_window_t FindEditorWindow(xcb_window_t own) {
        xcb_connection_t* c = host->Connection();
        auto atom =
            ui::x11::GetReply(c, xcb_intern_atom(c, 1, 12, "_XEMBED_INFO"), xcb_intern_atom_reply);
        if (!atom || atom->atom == XCB_ATOM_NONE)
            return XCB_NONE;
        std::function<xcb_window_t(xcb_window_t)> search = [&](xcb_window_t w) -> xcb_window_t {
            for (xcb_window_t child : host->Children(w)) {
                auto info = ui::x11::GetReply(
                    c, xcb_get_property(c, 0, child, atom->atom, atom->atom, 0, 2),
                    xcb_get_property_reply);
                auto attributes = ui::x11::GetReply(c, xcb_get_window_attributes(c, child),
                                                    xcb_get_window_attributes_reply);
                if (info && xcb_get_property_value_length(info.get()) == 8 && attributes &&
                    attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
                    const auto* v =
                        static_cast<const uint32_t*>(xcb_get_property_value(info.get()));
                    if (v[0] == 0 && v[1] == 0 && child != own)
                        return child;
                }
                if (const xcb_window_t found = search(child))
                    return found;
            }
            return XCB_NONE;
        };
        return search(host->Root());
    }

    struct Visible {
        int32_t w = 0;
        int32_t h = 0;
    };
    // The part of window, from its top-left corner, that no ancestor's
    // edge cuts off.
    Visible VisibleArea(xcb_window_t window) {
        xcb_connection_t* c = host->Connection();
        const auto origin = [&](xcb_window_t w, int32_t& x, int32_t& y) {
            auto at = ui::x11::GetReply(c, xcb_translate_coordinates(c, w, host->Root(), 0, 0),
                                        xcb_translate_coordinates_reply);
            x = at ? at->dst_x : 0;
            y = at ? at->dst_y : 0;
        };
        int32_t left = 0, top = 0;
        origin(window, left, top);
        int16_t gx = 0, gy = 0;
        uint16_t gw = 0, gh = 0;
        host->Geometry(window, gx, gy, gw, gh);
        int32_t right = left + gw;
        int32_t bottom = top + gh;
        for (xcb_window_t w = window; w != host->Root();) {
            auto tree = ui::x11::GetReply(c, xcb_query_tree(c, w), xcb_query_tree_reply);
            if (!tree)
                break;
            w = tree->parent;
            int32_t px = 0, py = 0;
            origin(w, px, py);
            host->Geometry(w, gx, gy, gw, gh);
            right = std::min(right, px + gw);
            bottom = std::min(bottom, py + gh);
        }
        return Visible{right - left, bottom - top};
    }

    static void WritePng(const std::vector<uint32_t>& pixels, int w, int h, const char* path) {
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(pixels.data())),
            CAIRO_FORMAT_RGB24, w, h, w * 4);
        cairo_surface_write_to_png(surface, path);
        cairo_surface_destroy(surface);
    }

    pid_t child = -1;
};

TEST_F(EditorInEditorHost, ShowsTheSamePixelsAsTheEditorInThisProcess) {
    const char* tool = EDITORHOST;
    if (access(tool, X_OK) != 0)
        GTEST_SKIP() << "Steinberg's editorhost is not at " << tool
                     << " (configure with -DLUMARO_EDITORHOST=<path>)";
    SetRootXembedAtoms();

    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("DISPLAY", Display().c_str(), 1);
        if (EDITORHOST_PRELOAD[0] != '\0') {
            setenv("LD_PRELOAD", EDITORHOST_PRELOAD, 1);
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1); // the host's own leaks are not ours
        }
        execl(tool, tool, EDITOR_TEST_BUNDLE, static_cast<char*>(nullptr));
        _exit(127);
    }

    // The same editor here, as the reference picture.
    auto reference = MakeEditor();
    ASSERT_EQ(reference->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(reference->RunUntilDrawn());
    const ui::FrameBufferView frame = reference->Window()->FrameBuffer();
    ASSERT_NE(frame.pixels, nullptr);
    const xcb_window_t own = reference->WindowId();

    xcb_window_t shown = XCB_NONE;
    std::vector<uint32_t> pixels;
    for (int attempt = 0; attempt < 100 && pixels.empty(); ++attempt) {
        usleep(50000);
        reference->loop->RunFor(1);
        ASSERT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "editorhost exited";
        shown = FindEditorWindow(own);
        if (shown == XCB_NONE)
            continue;
        int16_t x = 0, y = 0;
        uint16_t w = 0, h = 0;
        if (!host->Geometry(shown, x, y, w, h) || w != frame.width || h != frame.height)
            continue;
        // Its first frame is drawn on the next frame notification.
        usleep(100000);
        pixels = host->ReadPixels(shown, 0, 0, w, h);
    }
    ASSERT_FALSE(pixels.empty()) << "no editor window of editorhost's appeared";
    if (const char* path = std::getenv("LUMARO_EDITOR_SCREENSHOT"))
        WritePng(pixels, frame.width, frame.height, path);

    // editorhost frames its inner window with a one-pixel border inside a
    // parent of the same size: the editor's last column and row are hidden
    // there. Only what can be seen is compared.
    const Visible visible = VisibleArea(shown);
    EXPECT_GE(visible.w, frame.width - 1);
    EXPECT_GE(visible.h, frame.height - 1);
    int differing = 0;
    for (int32_t y = 0; y < visible.h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(frame.pixels + y * frame.stride);
        for (int32_t x = 0; x < visible.w; ++x)
            differing += (pixels[static_cast<size_t>(y) * frame.width + x] & 0xFFFFFF) !=
                         (row[x] & 0xFFFFFF);
    }
    EXPECT_EQ(differing, 0);
}

} // namespace
