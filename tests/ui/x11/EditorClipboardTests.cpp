// The clipboard and dragging a file out, between the editors of one host
// and other programs (clients of the test's own), through the X protocol.

#include "EditorHostFixture.h"
#include "X11Driver.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

namespace {

using namespace x11test;

class EditorClipboard : public EditorHostFixture {
protected:
    void SetUp() override {
        EditorHostFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        first = MakeEditor();
        ASSERT_EQ(first->Attach(host->ParentHandle()), kResultOk);
        std::string whyNot;
        secondParent = vst3host::X11HostWindow::Open(Display(), 700, 230, whyNot);
        ASSERT_TRUE(secondParent) << whyNot;
        second = MakeEditor();
        ASSERT_EQ(second->Attach(secondParent->ParentHandle()), kResultOk);
        ASSERT_TRUE(first->RunUntilDrawn());
        ASSERT_TRUE(second->RunUntilDrawn());
        client = std::make_unique<X11Driver>(Display());
        ASSERT_TRUE(client->IsOpen());
        requestor = xcb_generate_id(client->Get());
        xcb_create_window(client->Get(), XCB_COPY_FROM_PARENT, requestor, client->Root(), 0, 0, 1,
                          1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        client->Sync();
    }
    void TearDown() override {
        second.reset();
        first.reset();
        EditorHostFixture::TearDown();
    }

    // What another program gets for the target while the editor's host
    // runs its loop; "(refused)" for a refusal, "(none)" for no answer.
    std::string Paste(const char* target, HostedEditor& serving, std::string* type = nullptr) {
        xcb_connection_t* c = client->Get();
        const xcb_atom_t property = client->Atom("TEST_PASTE");
        xcb_convert_selection(c, requestor, client->Atom("CLIPBOARD"), client->Atom(target),
                              property, XCB_CURRENT_TIME);
        xcb_flush(c);
        std::string result = "(none)";
        serving.loop->RunUntil(
            [&] {
                while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                    if ((event->response_type & 0x7F) == XCB_SELECTION_NOTIFY) {
                        const auto* notify =
                            reinterpret_cast<const xcb_selection_notify_event_t*>(event);
                        result = notify->property == XCB_ATOM_NONE
                                     ? "(refused)"
                                     : client->Property(requestor, property);
                        if (type != nullptr && notify->property != XCB_ATOM_NONE)
                            *type = TypeOf(property);
                    }
                    std::free(event);
                }
                return result != "(none)";
            },
            1000);
        return result;
    }
    std::string TypeOf(xcb_atom_t property) {
        auto* reply = xcb_get_property_reply(
            client->Get(),
            xcb_get_property(client->Get(), 0, requestor, property, XCB_ATOM_ANY, 0, 0), nullptr);
        std::string name;
        if (reply != nullptr) {
            auto* atomName = xcb_get_atom_name_reply(
                client->Get(), xcb_get_atom_name(client->Get(), reply->type), nullptr);
            if (atomName != nullptr)
                name.assign(xcb_get_atom_name_name(atomName),
                            static_cast<size_t>(xcb_get_atom_name_name_length(atomName)));
            std::free(atomName);
        }
        std::free(reply);
        return name;
    }
    std::vector<std::string> Targets(HostedEditor& serving) {
        const std::string bytes = Paste("TARGETS", serving);
        std::vector<std::string> names;
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
            xcb_atom_t atom = 0;
            std::memcpy(&atom, bytes.data() + i, 4);
            auto* name = xcb_get_atom_name_reply(client->Get(),
                                                 xcb_get_atom_name(client->Get(), atom), nullptr);
            if (name != nullptr)
                names.emplace_back(xcb_get_atom_name_name(name),
                                   static_cast<size_t>(xcb_get_atom_name_name_length(name)));
            std::free(name);
        }
        return names;
    }

    std::unique_ptr<HostedEditor> first;
    std::unique_ptr<vst3host::X11HostWindow> secondParent;
    std::unique_ptr<HostedEditor> second;
    std::unique_ptr<X11Driver> client;
    xcb_window_t requestor = XCB_NONE;
};

bool Has(const std::vector<std::string>& list, const char* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST_F(EditorClipboard, TextCopiedInOneEditorIsPastedInTheOtherAndInOtherPrograms) {
    ui::IEditorWindow& a = *first->Window();
    ui::IEditorWindow& b = *second->Window();
    const std::string text = "Gain \xE2\x88\x92"
                             "7.5 dB, Tief\xC3\xA9";
    ASSERT_TRUE(a.WriteClipboardText(text.c_str()));
    std::string pasted;
    ASSERT_TRUE(b.ReadClipboardText(pasted));
    EXPECT_EQ(pasted, text);

    // Other programs ask the editor's window over X.
    const auto targets = Targets(*first);
    EXPECT_TRUE(Has(targets, "TARGETS"));
    EXPECT_TRUE(Has(targets, "UTF8_STRING"));
    EXPECT_TRUE(Has(targets, "STRING"));
    std::string type;
    EXPECT_EQ(Paste("UTF8_STRING", *first, &type), text);
    EXPECT_EQ(type, "UTF8_STRING");
    EXPECT_EQ(Paste("STRING", *first), "Gain ?7.5 dB, Tief\xE9");
    EXPECT_EQ(Paste("image/png", *first), "(refused)");

    // A file is offered as file managers offer theirs.
    ASSERT_TRUE(a.PutFilePathOnClipboard("/tmp/My Take.wav"));
    EXPECT_EQ(Paste("text/uri-list", *first), "file:///tmp/My%20Take.wav\r\n");
    EXPECT_EQ(Paste("x-special/gnome-copied-files", *first), "copy\nfile:///tmp/My%20Take.wav");
    ASSERT_TRUE(b.ReadClipboardText(pasted));
    EXPECT_EQ(pasted, "/tmp/My Take.wav");

    // Emptied: owned with nothing on offer.
    ASSERT_TRUE(a.WriteClipboardText(""));
    EXPECT_FALSE(b.ReadClipboardText(pasted));
    EXPECT_EQ(pasted, "");
    EXPECT_EQ(Paste("UTF8_STRING", *first), "(refused)");
}

TEST_F(EditorClipboard, TextCopiedInAnotherProgramIsPastedInPiecesOrWhole) {
    ui::IEditorWindow& a = *first->Window();
    ASSERT_TRUE(a.WriteClipboardText("ours"));
    // Another program takes the clipboard and answers on a thread of its
    // own; a long text in pieces (INCR), a short one whole.
    const std::string longText = std::string(3000, 'x') + "end";
    std::atomic<bool> owned{false}, stop{false};
    std::thread other([&] {
        X11Driver program(Display());
        xcb_connection_t* c = program.Get();
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, program.Root(), 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const xcb_atom_t clipboard = program.Atom("CLIPBOARD");
        const xcb_atom_t utf8 = program.Atom("UTF8_STRING");
        const xcb_atom_t incr = program.Atom("INCR");
        xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
        program.Sync();
        owned = true;
        size_t sent = 0;
        bool sending = false;
        xcb_window_t to = XCB_NONE;
        xcb_atom_t into = XCB_ATOM_NONE;
        bool whole = false;
        while (!stop) {
            xcb_generic_event_t* event = xcb_poll_for_event(c);
            if (event == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const uint8_t kind = event->response_type & 0x7F;
            if (kind == XCB_SELECTION_REQUEST) {
                const auto* r = reinterpret_cast<const xcb_selection_request_event_t*>(event);
                xcb_selection_notify_event_t notify{};
                notify.response_type = XCB_SELECTION_NOTIFY;
                notify.requestor = r->requestor;
                notify.selection = r->selection;
                notify.target = r->target;
                notify.time = r->time;
                if (r->target == utf8 && !whole) {
                    const uint32_t size = static_cast<uint32_t>(longText.size());
                    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                    xcb_change_window_attributes(c, r->requestor, XCB_CW_EVENT_MASK, &mask);
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, r->requestor, r->property, incr,
                                        32, 1, &size);
                    notify.property = r->property;
                    to = r->requestor;
                    into = r->property;
                    sending = true;
                    sent = 0;
                } else if (r->target == utf8) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, r->requestor, r->property, utf8,
                                        8, 5, "whole");
                    notify.property = r->property;
                }
                xcb_send_event(c, 0, r->requestor, 0, reinterpret_cast<const char*>(&notify));
                xcb_flush(c);
            } else if (kind == XCB_PROPERTY_NOTIFY && sending) {
                const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                if (p->window == to && p->atom == into && p->state == XCB_PROPERTY_DELETE) {
                    // The reader took the last piece: the next (empty at the end).
                    const size_t piece = std::min<size_t>(1000, longText.size() - sent);
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, to, into, utf8, 8,
                                        static_cast<uint32_t>(piece), longText.data() + sent);
                    sent += piece;
                    if (piece == 0) {
                        sending = false;
                        whole = true;
                    }
                    xcb_flush(c);
                }
            }
            std::free(event);
        }
    });
    while (!owned)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::string pasted;
    EXPECT_TRUE(second->Window()->ReadClipboardText(pasted));
    EXPECT_EQ(pasted, longText);
    // The editor that owned it before knows it does not any more.
    first->loop->RunFor(20);
    EXPECT_EQ(Paste("UTF8_STRING", *first), "whole");
    EXPECT_TRUE(a.ReadClipboardText(pasted));
    EXPECT_EQ(pasted, "whole");
    stop = true;
    other.join();
}

TEST_F(EditorClipboard, AFileDraggedOutIsDroppedOnAnotherProgramOrCancelledWithEscape) {
    struct Outcome {
        std::vector<uint32_t> types;
        std::string dropped;
        bool left = false;
    };
    const auto dragTo = [&](bool cancel) {
        Outcome outcome;
        std::atomic<bool> ready{false};
        std::thread target([&] {
            X11Driver program(Display());
            xcb_connection_t* c = program.Get();
            const xcb_window_t window = xcb_generate_id(c);
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_create_window(c, XCB_COPY_FROM_PARENT, window, program.Root(), 900, 500, 200, 200,
                              0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                              XCB_CW_EVENT_MASK, &mask);
            const uint32_t version = 5;
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, program.Atom("XdndAware"),
                                XCB_ATOM_ATOM, 32, 1, &version);
            xcb_map_window(c, window);
            program.Sync();
            ready = true;
            // The drag holds the pointer once it runs.
            for (int i = 0; i < 600; ++i) {
                auto* grab = xcb_grab_pointer_reply(
                    c,
                    xcb_grab_pointer(c, 0, window, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                     XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                    nullptr);
                const bool busy =
                    grab != nullptr && grab->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
                if (grab != nullptr && grab->status == XCB_GRAB_STATUS_SUCCESS) {
                    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
                    xcb_flush(c);
                }
                std::free(grab);
                if (busy)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            program.MoveTo(1000, 600);
            const xcb_atom_t enter = program.Atom("XdndEnter");
            const xcb_atom_t position = program.Atom("XdndPosition");
            const xcb_atom_t drop = program.Atom("XdndDrop");
            const xcb_atom_t leave = program.Atom("XdndLeave");
            const xcb_atom_t property = program.Atom("TEST_DROP");
            bool acted = false;
            xcb_window_t source = XCB_NONE;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (std::chrono::steady_clock::now() < deadline) {
                xcb_generic_event_t* event = xcb_poll_for_event(c);
                if (event == nullptr) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                const uint8_t kind = event->response_type & 0x7F;
                bool done = false;
                if (kind == XCB_CLIENT_MESSAGE) {
                    const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(event);
                    source = m->data.data32[0];
                    if (m->type == enter) {
                        outcome.types.assign(m->data.data32 + 2, m->data.data32 + 5);
                    } else if (m->type == position) {
                        xcb_client_message_event_t status{};
                        status.response_type = XCB_CLIENT_MESSAGE;
                        status.format = 32;
                        status.window = source;
                        status.type = program.Atom("XdndStatus");
                        status.data.data32[0] = window;
                        status.data.data32[1] = 1; // accepted
                        status.data.data32[4] = program.Atom("XdndActionCopy");
                        xcb_send_event(c, 0, source, 0, reinterpret_cast<const char*>(&status));
                        xcb_flush(c);
                        if (!acted) {
                            acted = true;
                            if (cancel) {
                                program.TypeKeysym(X11Driver::kEscape);
                            } else {
                                program.Press(1);
                                program.Release(1);
                            }
                        }
                    } else if (m->type == drop) {
                        xcb_convert_selection(c, window, program.Atom("XdndSelection"),
                                              program.Atom("text/uri-list"), property,
                                              m->data.data32[2]);
                        xcb_flush(c);
                    } else if (m->type == leave) {
                        outcome.left = true;
                        done = true;
                    }
                } else if (kind == XCB_SELECTION_NOTIFY) {
                    outcome.dropped = program.Property(window, property);
                    xcb_client_message_event_t finished{};
                    finished.response_type = XCB_CLIENT_MESSAGE;
                    finished.format = 32;
                    finished.window = source;
                    finished.type = program.Atom("XdndFinished");
                    finished.data.data32[0] = window;
                    finished.data.data32[1] = 1;
                    finished.data.data32[2] = program.Atom("XdndActionCopy");
                    xcb_send_event(c, 0, source, 0, reinterpret_cast<const char*>(&finished));
                    xcb_flush(c);
                    done = true;
                }
                std::free(event);
                if (done)
                    break;
            }
            if (!acted)
                program.TypeKeysym(X11Driver::kEscape); // never leave the drag hanging
        });
        while (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(first->Window()->StartFileDragOut("/tmp/Lumaro Take.wav"));
        target.join();
        return outcome;
    };

    const Outcome dropped = dragTo(false);
    EXPECT_EQ(dropped.dropped, "file:///tmp/Lumaro%20Take.wav\r\n");
    ASSERT_FALSE(dropped.types.empty());
    EXPECT_EQ(dropped.types[0], client->Atom("text/uri-list"));

    const Outcome cancelled = dragTo(true);
    EXPECT_TRUE(cancelled.left);
    EXPECT_TRUE(cancelled.dropped.empty());

    // Nothing is held afterwards: another program can grab the pointer.
    auto* grab = xcb_grab_pointer_reply(client->Get(),
                                        xcb_grab_pointer(client->Get(), 0, client->Root(), 0,
                                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                         XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                        nullptr);
    EXPECT_TRUE(grab != nullptr && grab->status == XCB_GRAB_STATUS_SUCCESS);
    std::free(grab);
    xcb_ungrab_pointer(client->Get(), XCB_CURRENT_TIME);
    client->Sync();
}

} // namespace
