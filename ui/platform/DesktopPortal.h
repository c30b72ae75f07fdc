#pragma once

// The desktop's own dialogs and file manager over the session bus: the
// file-chooser portal (org.freedesktop.portal.FileChooser), asked without
// waiting and polled from the window's ticks, and the file manager's
// org.freedesktop.FileManager1.

#include "ui/platform/DBusSession.h"
#include "ui/platform/DialogRequests.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// One file or folder request to the portal. [ui]
class PortalFileChooser {
public:
    enum class State {
        Asking,    // the request is on its way
        Showing,   // the portal took it; waiting for the user
        Chosen,    // Paths() holds the answer
        Cancelled, // the user said no
        Failed,    // no portal, an error, no answer in time: ask someone else
    };

    // Null, at once, without a session bus.
    static std::unique_ptr<PortalFileChooser> Start(const FileChooserRequest& request,
                                                    int32_t answerTimeoutMs = 10000);
    // Closes a request the portal still shows.
    ~PortalFileChooser();
    PortalFileChooser(const PortalFileChooser&) = delete;
    PortalFileChooser& operator=(const PortalFileChooser&) = delete;

    // Reads what the bus has, without waiting, and advances.
    State Poll();
    State Current() const noexcept { return state; }
    bool Done() const noexcept { return state != State::Asking && state != State::Showing; }
    // The local paths chosen (file: URIs of this machine only).
    const std::vector<std::string>& Paths() const noexcept { return paths; }
    // The bus descriptor, for a wait to poll.
    int Fd() const { return bus->Fd(); }

private:
    PortalFileChooser(std::unique_ptr<dbus::SessionBus> bus, FileChooserRequest request,
                      int32_t answerTimeoutMs);
    void AskVersion();
    void AskChooser();
    void OnReply(DBusMessage* reply);
    void OnResponse(DBusMessage* signal);

    std::unique_ptr<dbus::SessionBus> bus;
    FileChooserRequest request;
    std::chrono::steady_clock::time_point deadline;
    State state = State::Asking;
    uint32_t versionSerial = 0;
    uint32_t chooserSerial = 0;
    std::string token;
    std::string handle;      // the request object the response comes from
    std::string otherHandle; // the handle the portal returned, when it differs
    std::vector<std::string> paths;
};

// [ui] Asks the file manager to show the items (select: ShowItems, their
// folders open with them selected) or open them as folders (ShowFolders).
// True when it answered without an error within timeoutMs.
bool ShowInFileManager(const std::vector<std::string>& uris, bool select, int32_t timeoutMs = 2000);

} // namespace ui
