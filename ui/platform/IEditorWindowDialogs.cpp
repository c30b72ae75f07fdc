// The window's dialogs and desktop services: message boxes drawn by the
// editor, the desktop's file, folder and colour choosers, opening
// addresses, showing files, the clipboard and dragging a file out.

#include "ui/platform/IEditorWindow.h"

#include "ui/platform/DesktopPortal.h"
#include "ui/platform/DialogRequests.h"
#include "ui/platform/HelperProcess.h"
#include "ui/platform/IEditorWindowSession.h"
#include "ui/platform/X11DragSource.h"
#include "ui/platform/X11MessageBox.h"

#include <optional>
#include <poll.h>
#include <sys/stat.h>

namespace ui {

using namespace x11;

namespace {

// xdg-open normally hands the address on and exits at once; one that is
// still running after this (it waits for the browser) has launched it.
constexpr int32_t kOpenerWaitMs = 3000;

// A modal loop over a connection of its own, for a message box shown
// while no editor window is open.
class BareModal final : public ModalLoop {
public:
    explicit BareModal(const XcbConnection& connection) : connection(connection) {}
    bool Run(const Handler& handler, const std::function<bool()>& done, int32_t) override {
        xcb_connection_t* c = connection.Get();
        while (!done()) {
            xcb_flush(c);
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                XcbPtr<xcb_generic_event_t> owned(event);
                handler(*owned);
            }
            if (xcb_connection_has_error(c) != 0)
                return false;
            if (done())
                break;
            pollfd fd{connection.Fd(), POLLIN, 0};
            poll(&fd, 1, 100);
        }
        return true;
    }

private:
    const XcbConnection& connection;
};

// Opens a file, folder or address with the desktop's opener.
bool LaunchOpener(const std::string& target) {
    // An argument that starts with "-" would be read as an option.
    if (target.empty() || target[0] == '-')
        return false;
    auto opener = HelperProcess::Start({"xdg-open", target}, false);
    if (!opener)
        return false;
    if (!opener->Wait(kOpenerWaitMs)) {
        opener->LetRun();
        return true;
    }
    return opener->ExitStatus() == 0 || opener->ExitStatus() == -1;
}

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

// ---- Message boxes ----

int32_t IEditorWindow::ShowMessageBox(const char* text, const char* caption, int32_t type,
                                      MessageBoxCompletion completion) {
    const std::string message = text != nullptr ? text : "";
    const std::string title = caption != nullptr ? caption : "";
    int32_t answer = kAnswerNone;
    if (session && !session->connectionLost) {
        PointerTakenAway();
        X11MessageBox box(
            session->connection, windowFonts, message, title, type, OwnerWindow(), screenScale,
            [this](xcb_keycode_t keycode, uint16_t state) { return TranslateKey(keycode, state); });
        if (box.Exists()) {
            Modal modal(*this);
            answer = box.Run(modal);
            if (session)
                InvalidateWholeWindow();
        }
    } else {
        // No window: a connection of its own, the box owned by the window
        // the editor last belonged to (if it is still there).
        XcbConnection connection;
        if (connection.IsOpen()) {
            X11Keyboard keyboard;
            X11MessageBox box(connection, windowFonts, message, title, type, ownerWindow,
                              screenScale, [&](xcb_keycode_t keycode, uint16_t state) {
                                  keyboard.Setup(connection.Get());
                                  return keyboard.Translate(keycode, state);
                              });
            if (box.Exists()) {
                BareModal modal(connection);
                answer = box.Run(modal);
            }
        }
    }
    if (answer != kAnswerNone && completion)
        completion(answer);
    return answer;
}

// ---- Choosers ----

void IEditorWindow::ChooseFile(std::string& fileName, std::string& path, int32_t action,
                               const char* extensions, FileChosenFunction completion) {
    if (!session || session->connectionLost || !session->window.Exists()) {
        fileName.clear();
        return;
    }
    PointerTakenAway();
    FileChooserRequest request = MakeFileRequest(fileName, path, action, extensions);
    request.parentWindow = OwnerWindow();
    if (completion) {
        // Answered later, from a tick: a cancel keeps the directory given.
        const std::string startPath = path;
        const uint32_t id =
            session->dialogs.ChooseFile(request, [request, startPath, done = std::move(completion)](
                                                     const std::vector<std::string>& paths) {
                const FileChoice choice =
                    FileChoiceFor(paths.empty() ? std::string() : paths.front(), request);
                done(choice.fileName, choice.fileName.empty() ? startPath : choice.directory);
            });
        if (id == 0)
            fileName.clear(); // nothing to ask: no portal, no zenity, no kdialog
        return;
    }
    std::optional<std::vector<std::string>> answer;
    const uint32_t id = session->dialogs.ChooseFile(
        request, [&answer](const std::vector<std::string>& paths) { answer = paths; });
    if (id == 0 || !WaitForChooser(id) || !answer || answer->empty()) {
        fileName.clear();
        return;
    }
    const FileChoice choice = FileChoiceFor(answer->front(), request);
    fileName = choice.fileName;
    if (!choice.fileName.empty())
        path = choice.directory;
}

void IEditorWindow::ChooseDirectory(std::string& dir, FileChosenFunction completion) {
    if (!session || session->connectionLost || !session->window.Exists()) {
        dir.clear();
        return;
    }
    PointerTakenAway();
    FileChooserRequest request = MakeDirectoryRequest();
    request.folder = dir;
    request.parentWindow = OwnerWindow();
    if (completion) {
        const uint32_t id = session->dialogs.ChooseFile(
            request, [done = std::move(completion)](const std::vector<std::string>& paths) {
                done("", DirectoryChoiceFor(paths.empty() ? std::string() : paths.front()));
            });
        if (id == 0)
            dir.clear();
        return;
    }
    std::optional<std::vector<std::string>> answer;
    const uint32_t id = session->dialogs.ChooseFile(
        request, [&answer](const std::vector<std::string>& paths) { answer = paths; });
    if (id == 0 || !WaitForChooser(id) || !answer || answer->empty()) {
        dir.clear();
        return;
    }
    dir = DirectoryChoiceFor(answer->front());
}

bool IEditorWindow::ChooseColour(IColour& colour, const char* title,
                                 ColourChosenFunction completion) {
    if (!session || session->connectionLost || !session->window.Exists())
        return false;
    PointerTakenAway();
    const std::string caption = title != nullptr ? title : "";
    if (completion) {
        // Only a chosen colour reaches the completion.
        return session->dialogs.ChooseColour(
                   colour, caption, OwnerWindow(),
                   [done = std::move(completion)](bool chosen, const IColour& picked) {
                       if (chosen)
                           done(picked);
                   }) != 0;
    }
    std::optional<IColour> picked;
    const uint32_t id = session->dialogs.ChooseColour(colour, caption, OwnerWindow(),
                                                      [&picked](bool chosen, const IColour& value) {
                                                          if (chosen)
                                                              picked = value;
                                                      });
    if (id == 0 || !WaitForChooser(id) || !picked)
        return false;
    colour.R = picked->R;
    colour.G = picked->G;
    colour.B = picked->B;
    return true;
}

size_t IEditorWindow::ChoosersRunning() const {
    return session ? session->dialogs.Running() : 0;
}

// ---- Addresses and files ----

bool IEditorWindow::OpenUrl(const char* url, const char* windowTitle, const char* confirmation,
                            const char* errorText) {
    if (confirmation != nullptr && *confirmation != '\0' &&
        ShowMessageBox(confirmation, windowTitle, kMessageBoxYesNo) != kAnswerYes)
        return false;
    const bool opened = url != nullptr && LaunchOpener(url);
    if (!opened && errorText != nullptr && *errorText != '\0')
        ShowMessageBox(errorText, windowTitle, kMessageBoxOk);
    return opened;
}

bool IEditorWindow::RevealInFileBrowser(const char* path, bool select) {
    if (path == nullptr || path[0] != '/')
        return false; // nothing, or not a path the file manager can take
    const std::string file = path;
    const bool directory = IsDirectory(file);
    // Selected in its folder, or opened as a folder (a file's own folder).
    const std::string folder = select || !directory ? ParentFolder(file) : file;
    if (select ? ShowInFileManager({FileUri(file)}, true)
               : ShowInFileManager({FileUri(folder)}, false))
        return true;
    return LaunchOpener(folder.empty() ? file : folder);
}

// ---- Clipboard and dragging out ----

bool IEditorWindow::ReadClipboardText(std::string& text) {
    text.clear();
    if (!session || session->connectionLost || !session->window.Exists())
        return false;
    const uint32_t time = ServerTime();
    return session->clipboard->ReadText(text, time,
                                        [this](const EventMatch& match, int32_t timeoutMs) {
                                            return WaitForEvent(match, timeoutMs);
                                        });
}

bool IEditorWindow::WriteClipboardText(const char* text) {
    if (!session || session->connectionLost || !session->window.Exists())
        return false;
    const bool owned = session->clipboard->WriteText(text != nullptr ? text : "", ServerTime());
    Flush();
    return owned;
}

bool IEditorWindow::PutFilePathOnClipboard(const char* path) {
    if (!session || session->connectionLost || !session->window.Exists() || path == nullptr)
        return false;
    const bool owned = session->clipboard->WriteFile(path, ServerTime());
    Flush();
    return owned;
}

bool IEditorWindow::StartFileDragOut(const char* path) {
    if (!session || session->connectionLost || !session->window.Exists() || path == nullptr ||
        path[0] != '/')
        return false;
    X11DragSource drag(session->connection, session->window.Id(),
                       session->pointer->ThemeCursor(CursorShape::Move));
    Modal modal(*this);
    const uint32_t time = session->lastEventTime != 0 ? session->lastEventTime : ServerTime();
    const bool ran = drag.Run(path, time, modal);
    if (!session)
        return ran;
    // The drag took the button's release: the controls let go now.
    PointerTakenAway();
    InvalidateWholeWindow();
    Flush();
    return ran;
}

} // namespace ui
