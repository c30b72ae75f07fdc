#pragma once

// The desktop's file, folder and colour choosers as an open editor runs
// them: a chooser is started, then polled from the window's ticks (or from
// a bounded wait), never blocking the host. Files and folders go to the
// file-chooser portal first and to zenity or kdialog when no portal takes
// the request; colours go to zenity or kdialog. A chooser that cannot be
// started anywhere is refused at once.

#include "ui/EditorTypes.h"
#include "ui/platform/DesktopPortal.h"
#include "ui/platform/DialogRequests.h"
#include "ui/platform/HelperProcess.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// [any] The helpers to try, in order: kdialog first on a KDE desktop
// (XDG_CURRENT_DESKTOP), zenity first elsewhere.
std::vector<std::string> DialogHelperOrder();

class DesktopDialogs {
public:
    // The chosen paths (empty: cancelled).
    using FileAnswer = std::function<void(const std::vector<std::string>& paths)>;
    // Whether a colour was chosen, and which (alpha as started).
    using ColourAnswer = std::function<void(bool chosen, const IColour& colour)>;

    DesktopDialogs() = default;
    // [ui] Ends every chooser without an answer.
    ~DesktopDialogs();
    DesktopDialogs(const DesktopDialogs&) = delete;
    DesktopDialogs& operator=(const DesktopDialogs&) = delete;

    // [ui] Starts a chooser; its answer runs from a later Poll. A number
    // for Finished, or 0 (and no answer ever) when nothing can ask.
    uint32_t ChooseFile(const FileChooserRequest& request, FileAnswer answer);
    uint32_t ChooseColour(const IColour& start, const std::string& title, uint32_t parentWindow,
                          ColourAnswer answer);
    // [ui] Advances every chooser and runs the answers of those done.
    void Poll();
    // [ui] Whether the chooser of that number has answered (or gone).
    bool Finished(uint32_t id) const;
    size_t Running() const noexcept { return tasks.size(); }
    // [ui] The descriptors a wait polls (the bus, the helpers' pipes).
    void CollectDescriptors(std::vector<int>& fds) const;
    // [ui] Ends that chooser without running its answer.
    void Cancel(uint32_t id);
    // [ui] Ends every chooser (portal requests closed, helpers stopped)
    // without running its answer.
    void CancelAll();

private:
    struct Task {
        uint32_t id = 0;
        FileChooserRequest request;
        bool colour = false;
        IColour start;
        std::string title;
        std::unique_ptr<PortalFileChooser> portal;
        std::unique_ptr<HelperProcess> helper;
        std::string helperName;
        FileAnswer fileAnswer;
        ColourAnswer colourAnswer;
    };

    bool StartHelper(Task& task);
    // True when the task has its answer (stored in the two out values).
    bool Advance(Task& task, std::vector<std::string>& paths, bool& chosen, IColour& colour);

    std::vector<std::unique_ptr<Task>> tasks;
    uint32_t nextId = 1;
};

} // namespace ui
