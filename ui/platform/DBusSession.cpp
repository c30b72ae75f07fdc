#include "ui/platform/DBusSession.h"

#include "ui/platform/TextUtf8.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace ui::dbus {

namespace {

using Clock = std::chrono::steady_clock;

int32_t MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int32_t>(left) : 0;
}

void AppendString(DBusMessageIter* iter, const std::string& text) {
    const std::string safe = SafeString(text);
    const char* value = safe.c_str();
    dbus_message_iter_append_basic(iter, DBUS_TYPE_STRING, &value);
}

// The (sa(us)) of one filter.
void AppendFilter(DBusMessageIter* iter, const std::string& name,
                  const std::vector<std::string>& globs) {
    DBusMessageIter filter, patterns;
    dbus_message_iter_open_container(iter, DBUS_TYPE_STRUCT, nullptr, &filter);
    AppendString(&filter, name);
    dbus_message_iter_open_container(&filter, DBUS_TYPE_ARRAY, "(us)", &patterns);
    for (const std::string& glob : globs) {
        DBusMessageIter pattern;
        const dbus_uint32_t isGlob = 0;
        dbus_message_iter_open_container(&patterns, DBUS_TYPE_STRUCT, nullptr, &pattern);
        dbus_message_iter_append_basic(&pattern, DBUS_TYPE_UINT32, &isGlob);
        AppendString(&pattern, glob);
        dbus_message_iter_close_container(&patterns, &pattern);
    }
    dbus_message_iter_close_container(&filter, &patterns);
    dbus_message_iter_close_container(iter, &filter);
}

// One "key": variant entry of a{sv}; body appends the value to the variant.
template <typename Body>
void AppendEntry(DBusMessageIter* dict, const char* key, const char* signature, Body body) {
    DBusMessageIter entry, variant;
    dbus_message_iter_open_container(dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
    body(&variant);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(dict, &entry);
}

} // namespace

std::string SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) {
        const std::string text = address;
        // libdbus would try to start a bus for these.
        if (text.find("autolaunch:") != std::string::npos)
            return "";
        return text;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        const std::string socket = std::string(runtime) + "/bus";
        struct stat info;
        if (stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
            return "unix:path=" + socket;
    }
    return "";
}

std::string SafeString(const std::string& text) {
    std::string safe = WellFormedUtf8(text);
    safe.erase(std::remove(safe.begin(), safe.end(), '\0'), safe.end());
    return safe;
}

std::unique_ptr<SessionBus> SessionBus::Connect(int32_t timeoutMs) {
    const std::string address = SessionBusAddress();
    if (address.empty())
        return nullptr;
    // The host's signal handling is not ours to change; libdbus writes to
    // its sockets without raising SIGPIPE either way.
    dbus_connection_set_change_sigpipe(FALSE);
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* raw = dbus_connection_open_private(address.c_str(), &error);
    dbus_error_free(&error);
    if (raw == nullptr)
        return nullptr;
    dbus_connection_set_exit_on_disconnect(raw, FALSE);
    std::unique_ptr<SessionBus> bus(new SessionBus(raw));

    // The bus's Hello, with our own bound (dbus_bus_register would wait up
    // to 25 s for a bus that accepts connections but does not answer).
    Message hello(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                               DBUS_INTERFACE_DBUS, "Hello"));
    if (!hello)
        return nullptr;
    Message reply = bus->Call(hello.get(), timeoutMs);
    const char* name = nullptr;
    if (!reply || dbus_message_get_type(reply.get()) != DBUS_MESSAGE_TYPE_METHOD_RETURN ||
        !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID) ||
        name == nullptr)
        return nullptr;
    bus->uniqueName = name;
    dbus_bus_set_unique_name(raw, name);
    return bus;
}

SessionBus::~SessionBus() {
    incoming.clear();
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

int SessionBus::Fd() const {
    int fd = -1;
    return dbus_connection_get_unix_fd(connection, &fd) ? fd : -1;
}

bool SessionBus::IsConnected() const {
    return dbus_connection_get_is_connected(connection) != FALSE;
}

uint32_t SessionBus::Send(DBusMessage* message) {
    dbus_uint32_t serial = 0;
    if (message == nullptr || !dbus_connection_send(connection, message, &serial))
        return 0;
    return serial;
}

void SessionBus::Pump() {
    dbus_connection_read_write(connection, 0);
    TakeIncoming();
}

void SessionBus::TakeIncoming() {
    while (DBusMessage* message = dbus_connection_pop_message(connection))
        incoming.emplace_back(message);
}

Message SessionBus::Call(DBusMessage* message, int32_t timeoutMs) {
    const uint32_t serial = Send(message);
    if (serial == 0)
        return nullptr;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (IsConnected()) {
        dbus_connection_flush(connection);
        TakeIncoming();
        if (Message reply = TakeReply(serial))
            return reply;
        const int32_t left = MillisecondsLeft(deadline);
        if (left == 0)
            return nullptr;
        dbus_connection_read_write(connection, left);
    }
    return nullptr;
}

Message SessionBus::TakeReply(uint32_t serial) {
    for (auto it = incoming.begin(); it != incoming.end(); ++it) {
        const int type = dbus_message_get_type(it->get());
        if ((type == DBUS_MESSAGE_TYPE_METHOD_RETURN || type == DBUS_MESSAGE_TYPE_ERROR) &&
            dbus_message_get_reply_serial(it->get()) == serial) {
            Message reply = std::move(*it);
            incoming.erase(it);
            return reply;
        }
    }
    return nullptr;
}

Message SessionBus::TakeSignal() {
    for (auto it = incoming.begin(); it != incoming.end(); ++it) {
        if (dbus_message_get_type(it->get()) == DBUS_MESSAGE_TYPE_SIGNAL) {
            Message signal = std::move(*it);
            incoming.erase(it);
            return signal;
        }
    }
    return nullptr;
}

void SessionBus::AddMatch(const std::string& rule) {
    Message add(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                             "AddMatch"));
    if (!add)
        return;
    DBusMessageIter iter;
    dbus_message_iter_init_append(add.get(), &iter);
    AppendString(&iter, rule);
    dbus_message_set_no_reply(add.get(), TRUE);
    Send(add.get());
}

std::string ErrorName(DBusMessage* message) {
    if (message == nullptr || dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_ERROR)
        return "";
    const char* name = dbus_message_get_error_name(message);
    return name != nullptr ? name : "";
}

// ---- Option dictionaries ----

DictWriter::DictWriter(DBusMessageIter* iter) : parent(iter) {
    dbus_message_iter_open_container(parent, DBUS_TYPE_ARRAY, "{sv}", &dict);
}

DictWriter::~DictWriter() {
    dbus_message_iter_close_container(parent, &dict);
}

void DictWriter::String(const char* key, const std::string& value) {
    AppendEntry(&dict, key, "s", [&](DBusMessageIter* variant) { AppendString(variant, value); });
}

void DictWriter::Bool(const char* key, bool value) {
    const dbus_bool_t flag = value ? TRUE : FALSE;
    AppendEntry(&dict, key, "b", [&](DBusMessageIter* variant) {
        dbus_message_iter_append_basic(variant, DBUS_TYPE_BOOLEAN, &flag);
    });
}

void DictWriter::Bytes(const char* key, const std::string& value) {
    // The bytes with their terminator, as the portal's paths are given.
    const std::string terminated = value + '\0';
    const char* data = terminated.data();
    const int count = static_cast<int>(terminated.size());
    AppendEntry(&dict, key, "ay", [&](DBusMessageIter* variant) {
        DBusMessageIter array;
        dbus_message_iter_open_container(variant, DBUS_TYPE_ARRAY, "y", &array);
        dbus_message_iter_append_fixed_array(&array, DBUS_TYPE_BYTE, &data, count);
        dbus_message_iter_close_container(variant, &array);
    });
}

void DictWriter::Filters(const char* key, const std::string& name,
                         const std::vector<std::string>& globs) {
    AppendEntry(&dict, key, "a(sa(us))", [&](DBusMessageIter* variant) {
        DBusMessageIter array;
        dbus_message_iter_open_container(variant, DBUS_TYPE_ARRAY, "(sa(us))", &array);
        AppendFilter(&array, name, globs);
        dbus_message_iter_close_container(variant, &array);
    });
}

void DictWriter::Filter(const char* key, const std::string& name,
                        const std::vector<std::string>& globs) {
    AppendEntry(&dict, key, "(sa(us))",
                [&](DBusMessageIter* variant) { AppendFilter(variant, name, globs); });
}

} // namespace ui::dbus
