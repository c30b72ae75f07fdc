#pragma once

// A private connection to the desktop's session bus through libdbus, used
// without a main loop and never for long: the desktop portal and the file
// manager are asked through it, and the window polls it on its ticks.
//
// Nothing here launches a bus: without an address (or with one that would
// autolaunch) there is none, at once. Every wait is bounded. libdbus is
// told to leave the process's SIGPIPE alone and never to exit the process
// when the bus goes away.

#include <dbus/dbus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui::dbus {

struct MessageRelease {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageRelease>;

// [any] The session bus address: DBUS_SESSION_BUS_ADDRESS, else the user
// bus socket $XDG_RUNTIME_DIR/bus when it exists; empty when there is none
// or the address would start a bus ("autolaunch:").
std::string SessionBusAddress();

// [any] Text libdbus accepts as a string: well-formed UTF-8 without NUL.
std::string SafeString(const std::string& text);

class SessionBus {
public:
    // [ui] Connected and registered (the bus's Hello answered within
    // timeoutMs); null otherwise.
    static std::unique_ptr<SessionBus> Connect(int32_t timeoutMs = 1000);
    // [ui] Closes the connection.
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // [ui] The bus's name for this connection (":1.42").
    const std::string& UniqueName() const noexcept { return uniqueName; }
    // [ui] The descriptor to poll; -1 when unknown.
    int Fd() const;
    bool IsConnected() const;

    // [ui] Queues the message and returns its serial (0 when it could not
    // be queued). Sent by the next Pump.
    uint32_t Send(DBusMessage* message);
    // [ui] Sends, waits at most timeoutMs for the reply and returns it (an
    // error reply included); null when none came. Other messages that
    // arrive meanwhile stay queued for TakeMessage.
    Message Call(DBusMessage* message, int32_t timeoutMs);
    // [ui] Reads and writes what the socket allows without waiting.
    void Pump();
    // [ui] The reply to serial, if it has arrived (after a Pump).
    Message TakeReply(uint32_t serial);
    // [ui] The next signal that arrived, or null.
    Message TakeSignal();
    // [ui] Asks the bus to route matching signals here (not waited for).
    void AddMatch(const std::string& rule);

private:
    explicit SessionBus(DBusConnection* connection) : connection(connection) {}
    void TakeIncoming();

    DBusConnection* connection;
    std::string uniqueName;
    std::vector<Message> incoming; // popped, not yet taken
};

// [ui] Error name of an error reply, or empty for any other message.
std::string ErrorName(DBusMessage* message);

// Building a{sv} option dictionaries.
class DictWriter {
public:
    // [any] Opens the dictionary on iter (of the message being built).
    explicit DictWriter(DBusMessageIter* parent);
    ~DictWriter();
    DictWriter(const DictWriter&) = delete;
    DictWriter& operator=(const DictWriter&) = delete;

    void String(const char* key, const std::string& value);
    void Bool(const char* key, bool value);
    // NUL-terminated bytes ("ay"), as the portal takes paths.
    void Bytes(const char* key, const std::string& value);
    // a(sa(us)): one filter of globs (the portal's "filters"), and the
    // same filter alone ("current_filter" is (sa(us))).
    void Filters(const char* key, const std::string& name, const std::vector<std::string>& globs);
    void Filter(const char* key, const std::string& name, const std::vector<std::string>& globs);

private:
    DBusMessageIter* parent;
    DBusMessageIter dict;
};

} // namespace ui::dbus
