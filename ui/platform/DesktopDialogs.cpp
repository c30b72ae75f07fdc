#include "ui/platform/DesktopDialogs.h"

#include <cstdlib>
#include <cstring>

namespace ui {

namespace {

constexpr const char* kZenity = "zenity";
constexpr const char* kKdialog = "kdialog";

} // namespace

std::vector<std::string> DialogHelperOrder() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop != nullptr && std::strstr(desktop, "KDE") != nullptr)
        return {kKdialog, kZenity};
    return {kZenity, kKdialog};
}

DesktopDialogs::~DesktopDialogs() {
    CancelAll();
}

uint32_t DesktopDialogs::ChooseFile(const FileChooserRequest& request, FileAnswer answer) {
    auto task = std::make_unique<Task>();
    task->request = request;
    task->fileAnswer = std::move(answer);
    task->portal = PortalFileChooser::Start(request);
    if (!task->portal && !StartHelper(*task))
        return 0;
    task->id = nextId++;
    tasks.push_back(std::move(task));
    return tasks.back()->id;
}

uint32_t DesktopDialogs::ChooseColour(const IColour& start, const std::string& title,
                                      uint32_t parentWindow, ColourAnswer answer) {
    auto task = std::make_unique<Task>();
    task->colour = true;
    task->start = start;
    task->title = title;
    task->request.parentWindow = parentWindow;
    task->colourAnswer = std::move(answer);
    if (!StartHelper(*task))
        return 0;
    task->id = nextId++;
    tasks.push_back(std::move(task));
    return tasks.back()->id;
}

bool DesktopDialogs::StartHelper(Task& task) {
    for (const std::string& name : DialogHelperOrder()) {
        std::vector<std::string> argv;
        if (task.colour)
            argv = name == kZenity
                       ? ZenityColourArguments(task.start, task.title)
                       : KdialogColourArguments(task.start, task.title, task.request.parentWindow);
        else
            argv = name == kZenity ? ZenityFileArguments(task.request)
                                   : KdialogFileArguments(task.request);
        task.helper = HelperProcess::Start(argv);
        if (task.helper) {
            task.helperName = name;
            return true;
        }
    }
    return false;
}

bool DesktopDialogs::Advance(Task& task, std::vector<std::string>& paths, bool& chosen,
                             IColour& colour) {
    paths.clear();
    chosen = false;
    colour = task.start;
    if (task.portal) {
        switch (task.portal->Poll()) {
        case PortalFileChooser::State::Chosen:
            paths = task.portal->Paths();
            return true;
        case PortalFileChooser::State::Cancelled:
            return true;
        case PortalFileChooser::State::Failed:
            // No portal after all: the helpers are asked instead, and with
            // none there the answer is a cancel.
            task.portal.reset();
            return !StartHelper(task);
        default:
            return false;
        }
    }
    if (!task.helper)
        return true;
    if (!task.helper->Poll())
        return false;
    // zenity and kdialog exit with 0 and print the answer; 1 is a cancel. A
    // status the host's own reaping took is judged by the output alone.
    const int status = task.helper->ExitStatus();
    if (status != 0 && status != -1)
        return true;
    const std::string& output = task.helper->Output();
    if (task.colour) {
        chosen = ParseColourAnswer(output, colour);
    } else if (const std::string path = FirstLine(output); !path.empty()) {
        paths.push_back(path);
    }
    return true;
}

void DesktopDialogs::Poll() {
    struct Answered {
        std::unique_ptr<Task> task;
        std::vector<std::string> paths;
        bool chosen = false;
        IColour colour;
    };
    std::vector<Answered> answered;
    for (auto it = tasks.begin(); it != tasks.end();) {
        Answered a;
        if (Advance(**it, a.paths, a.chosen, a.colour)) {
            a.task = std::move(*it);
            it = tasks.erase(it);
            answered.push_back(std::move(a));
        } else {
            ++it;
        }
    }
    // Out of the list before any answer runs: an answer may start another.
    for (Answered& a : answered) {
        if (a.task->colour) {
            if (a.task->colourAnswer)
                a.task->colourAnswer(a.chosen, a.colour);
        } else if (a.task->fileAnswer) {
            a.task->fileAnswer(a.paths);
        }
    }
}

bool DesktopDialogs::Finished(uint32_t id) const {
    for (const auto& task : tasks)
        if (task->id == id)
            return false;
    return true;
}

void DesktopDialogs::CollectDescriptors(std::vector<int>& fds) const {
    for (const auto& task : tasks) {
        if (task->portal && task->portal->Fd() >= 0)
            fds.push_back(task->portal->Fd());
        if (task->helper) {
            if (task->helper->OutputFd() >= 0)
                fds.push_back(task->helper->OutputFd());
            if (task->helper->ProcessFd() >= 0)
                fds.push_back(task->helper->ProcessFd());
        }
    }
}

void DesktopDialogs::Cancel(uint32_t id) {
    for (auto it = tasks.begin(); it != tasks.end(); ++it) {
        if ((*it)->id == id) {
            std::unique_ptr<Task> leaving = std::move(*it);
            tasks.erase(it);
            return;
        }
    }
}

void DesktopDialogs::CancelAll() {
    std::vector<std::unique_ptr<Task>> leaving;
    leaving.swap(tasks);
    leaving.clear(); // portal requests closed, helpers told to end
}

} // namespace ui
