#include "ui/platform/DesktopPortal.h"

#include "ui/platform/X11DropTarget.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace ui {

namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kChooserInterface = "org.freedesktop.portal.FileChooser";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
// Folder choosing came with version 3 of the interface.
constexpr uint32_t kDirectoryVersion = 3;
// Portal responses.
constexpr uint32_t kResponseSuccess = 0;
constexpr uint32_t kResponseCancelled = 1;

constexpr const char* kFileManagerService = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";

std::string NewToken() {
    static std::atomic<uint32_t> counter{0};
    char token[48];
    std::snprintf(token, sizeof(token), "lumaro_%d_%u", static_cast<int>(getpid()),
                  static_cast<unsigned>(++counter));
    return token;
}

// The sender part of a request path: ":1.42" -> "1_42".
std::string SenderElement(const std::string& uniqueName) {
    std::string element;
    for (char c : uniqueName) {
        if (c == ':')
            continue;
        element += c == '.' ? '_' : c;
    }
    return element;
}

void AppendString(DBusMessageIter* iter, const std::string& text) {
    const std::string safe = dbus::SafeString(text);
    const char* value = safe.c_str();
    dbus_message_iter_append_basic(iter, DBUS_TYPE_STRING, &value);
}

std::string ResponseRule(const std::string& path) {
    return "type='signal',interface='" + std::string(kRequestInterface) +
           "',member='Response',path='" + path + "'";
}

// The strings of the "uris" entry of a results dictionary.
std::vector<std::string> UrisIn(DBusMessageIter* dict) {
    std::vector<std::string> uris;
    while (dbus_message_iter_get_arg_type(dict) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry, variant, array;
        dbus_message_iter_recurse(dict, &entry);
        const char* key = nullptr;
        if (dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_STRING) {
            dbus_message_iter_get_basic(&entry, &key);
            dbus_message_iter_next(&entry);
        }
        if (key != nullptr && std::strcmp(key, "uris") == 0 &&
            dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_VARIANT) {
            dbus_message_iter_recurse(&entry, &variant);
            if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_ARRAY) {
                dbus_message_iter_recurse(&variant, &array);
                while (dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRING) {
                    const char* uri = nullptr;
                    dbus_message_iter_get_basic(&array, &uri);
                    if (uri != nullptr)
                        uris.emplace_back(uri);
                    dbus_message_iter_next(&array);
                }
            }
        }
        dbus_message_iter_next(dict);
    }
    return uris;
}

} // namespace

std::unique_ptr<PortalFileChooser> PortalFileChooser::Start(const FileChooserRequest& request,
                                                            int32_t answerTimeoutMs) {
    auto bus = dbus::SessionBus::Connect();
    if (!bus)
        return nullptr;
    std::unique_ptr<PortalFileChooser> chooser(
        new PortalFileChooser(std::move(bus), request, answerTimeoutMs));
    if (chooser->state == State::Failed)
        return nullptr;
    return chooser;
}

PortalFileChooser::PortalFileChooser(std::unique_ptr<dbus::SessionBus> session,
                                     FileChooserRequest chooserRequest, int32_t answerTimeoutMs)
    : bus(std::move(session)), request(std::move(chooserRequest)),
      deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(answerTimeoutMs)) {
    if (request.kind == ChooserKind::Directory)
        AskVersion();
    else
        AskChooser();
    bus->Pump();
}

PortalFileChooser::~PortalFileChooser() {
    if (state != State::Showing)
        return;
    dbus::Message close(
        dbus_message_new_method_call(kPortalService, handle.c_str(), kRequestInterface, "Close"));
    if (!close)
        return;
    dbus_message_set_no_reply(close.get(), TRUE);
    bus->Send(close.get());
    bus->Pump();
}

void PortalFileChooser::AskVersion() {
    dbus::Message get(dbus_message_new_method_call(kPortalService, kPortalPath,
                                                   DBUS_INTERFACE_PROPERTIES, "Get"));
    if (!get) {
        state = State::Failed;
        return;
    }
    DBusMessageIter iter;
    dbus_message_iter_init_append(get.get(), &iter);
    AppendString(&iter, kChooserInterface);
    AppendString(&iter, "version");
    versionSerial = bus->Send(get.get());
    if (versionSerial == 0)
        state = State::Failed;
}

void PortalFileChooser::AskChooser() {
    token = NewToken();
    handle =
        std::string(kPortalPath) + "/request/" + SenderElement(bus->UniqueName()) + "/" + token;
    // Matched before asking, so that a quick answer is not missed.
    bus->AddMatch(ResponseRule(handle));

    const char* method = request.kind == ChooserKind::SaveFile ? "SaveFile" : "OpenFile";
    dbus::Message call(
        dbus_message_new_method_call(kPortalService, kPortalPath, kChooserInterface, method));
    if (!call) {
        state = State::Failed;
        return;
    }
    char parent[32] = "";
    if (request.parentWindow != 0)
        std::snprintf(parent, sizeof(parent), "x11:%x", request.parentWindow);
    DBusMessageIter iter;
    dbus_message_iter_init_append(call.get(), &iter);
    AppendString(&iter, parent);
    AppendString(&iter, request.title);
    {
        dbus::DictWriter options(&iter);
        options.String("handle_token", token);
        options.Bool("modal", true);
        if (request.kind == ChooserKind::Directory)
            options.Bool("directory", true);
        if (!request.filter.Empty()) {
            const std::vector<std::string> globs = request.filter.Globs();
            options.Filters("filters", request.filter.pattern, globs);
            options.Filter("current_filter", request.filter.pattern, globs);
        }
        if (!request.folder.empty())
            options.Bytes("current_folder", request.folder);
        if (request.kind == ChooserKind::SaveFile && !request.name.empty())
            options.String("current_name", request.name);
    }
    chooserSerial = bus->Send(call.get());
    if (chooserSerial == 0)
        state = State::Failed;
}

PortalFileChooser::State PortalFileChooser::Poll() {
    if (Done())
        return state;
    bus->Pump();
    if (!bus->IsConnected()) {
        state = State::Failed;
        return state;
    }
    if (versionSerial != 0) {
        if (dbus::Message reply = bus->TakeReply(versionSerial)) {
            versionSerial = 0;
            DBusMessageIter iter, variant;
            uint32_t version = 0;
            if (dbus_message_get_type(reply.get()) == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
                dbus_message_iter_init(reply.get(), &iter) &&
                dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
                dbus_message_iter_recurse(&iter, &variant);
                if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_UINT32)
                    dbus_message_iter_get_basic(&variant, &version);
            }
            if (version < kDirectoryVersion) {
                state = State::Failed; // an older portal would show a file chooser
                return state;
            }
            AskChooser();
            bus->Pump();
        }
    }
    if (chooserSerial != 0) {
        if (dbus::Message reply = bus->TakeReply(chooserSerial)) {
            chooserSerial = 0;
            OnReply(reply.get());
        }
    }
    while (!Done()) {
        dbus::Message signal = bus->TakeSignal();
        if (!signal)
            break;
        OnResponse(signal.get());
    }
    if (state == State::Asking && std::chrono::steady_clock::now() > deadline)
        state = State::Failed; // the portal never took the request
    return state;
}

void PortalFileChooser::OnReply(DBusMessage* reply) {
    const char* path = nullptr;
    if (dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN ||
        !dbus_message_get_args(reply, nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID) ||
        path == nullptr) {
        state = State::Failed; // no portal (ServiceUnknown), or it refused
        return;
    }
    // Portals before the handle token returned another path.
    if (handle != path) {
        otherHandle = path;
        bus->AddMatch(ResponseRule(otherHandle));
    }
    state = State::Showing;
}

void PortalFileChooser::OnResponse(DBusMessage* signal) {
    const char* path = dbus_message_get_path(signal);
    if (path == nullptr || !dbus_message_is_signal(signal, kRequestInterface, "Response") ||
        (handle != path && otherHandle != path))
        return;
    DBusMessageIter iter, dict;
    uint32_t response = 2;
    if (!dbus_message_iter_init(signal, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_UINT32) {
        state = State::Failed;
        return;
    }
    dbus_message_iter_get_basic(&iter, &response);
    if (response == kResponseCancelled) {
        state = State::Cancelled;
        return;
    }
    if (response != kResponseSuccess) {
        state = State::Failed;
        return;
    }
    std::vector<std::string> uris;
    if (dbus_message_iter_next(&iter) && dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_ARRAY) {
        dbus_message_iter_recurse(&iter, &dict);
        uris = UrisIn(&dict);
    }
    std::string list;
    for (const std::string& uri : uris)
        list += uri + "\r\n";
    paths = x11::ParseUriList(list);
    state = paths.empty() ? State::Cancelled : State::Chosen;
}

bool ShowInFileManager(const std::vector<std::string>& uris, bool select, int32_t timeoutMs) {
    auto bus = dbus::SessionBus::Connect(timeoutMs);
    if (!bus)
        return false;
    dbus::Message call(dbus_message_new_method_call(kFileManagerService, kFileManagerPath,
                                                    kFileManagerService,
                                                    select ? "ShowItems" : "ShowFolders"));
    if (!call)
        return false;
    DBusMessageIter iter, array;
    dbus_message_iter_init_append(call.get(), &iter);
    dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "s", &array);
    for (const std::string& uri : uris)
        AppendString(&array, uri);
    dbus_message_iter_close_container(&iter, &array);
    AppendString(&iter, ""); // no startup notification id
    dbus::Message reply = bus->Call(call.get(), timeoutMs);
    return reply && dbus_message_get_type(reply.get()) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}

} // namespace ui
