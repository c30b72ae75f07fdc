// The desktop's choosers and services as the editor uses them: the
// file-chooser portal and the file manager on a private session bus,
// zenity, kdialog and xdg-open where they are missing, and nothing at all.
// Answers arrive through the host's loop while it keeps running.

#include "EditorHostFixture.h"
#include "FakeDesktop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using namespace x11test;
using Clock = std::chrono::steady_clock;

class EditorDesktop : public EditorHostFixture {
protected:
    void SetUp() override {
        EditorHostFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string whyNot;
        bus = PrivateSessionBus::Start(whyNot);
        if (!bus)
            GTEST_SKIP() << "no private session bus: " << whyNot;
        helpers = std::make_unique<FakeHelpers>();
        busAddress =
            std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", bus->Address().c_str());
        path = std::make_unique<ScopedEnv>("PATH", helpers->Dir().c_str());
        desktop = std::make_unique<ScopedEnv>("XDG_CURRENT_DESKTOP", nullptr);
        editor = MakeEditor();
        ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
        ASSERT_TRUE(editor->RunUntilDrawn());
    }
    void TearDown() override {
        editor.reset();
        services.reset();
        desktop.reset();
        path.reset();
        busAddress.reset();
        EditorHostFixture::TearDown();
    }

    void StartServices(FakeDesktopServices::Options options) {
        services = std::make_unique<FakeDesktopServices>(bus->Address(), options);
        ASSERT_TRUE(services->Ready());
    }
    ui::IEditorWindow& Window() { return *editor->Window(); }
    // Runs the host's loop until done, as the host would.
    bool Until(const std::function<bool()>& done) { return editor->loop->RunUntil(done, 3000); }

    std::unique_ptr<PrivateSessionBus> bus;
    std::unique_ptr<FakeHelpers> helpers;
    std::unique_ptr<ScopedEnv> busAddress, path, desktop;
    std::unique_ptr<FakeDesktopServices> services;
    std::unique_ptr<HostedEditor> editor;
};

TEST_F(EditorDesktop, ThePortalChoosesWithTheFilterFolderAndOwnerAndItsAnswerIsWrittenBack) {
    StartServices({});
    services->Answer(0, {"file:///tmp/lumaro%20out/take"});
    std::string fileName = "take";
    std::string folder = "/tmp/lumaro-in";
    std::string chosenName, chosenFolder;
    bool called = false;
    Window().ChooseFile(fileName, folder, ui::kFileSave, "wav aif",
                        [&](const std::string& name, const std::string& dir) {
                            called = true;
                            chosenName = name;
                            chosenFolder = dir;
                        });
    EXPECT_FALSE(called); // answered later, through the loop
    EXPECT_EQ(Window().ChoosersRunning(), 1u);
    ASSERT_TRUE(Until([&] { return called; }));
    EXPECT_EQ(chosenName, "/tmp/lumaro out/take.wav"); // saved with the default extension
    EXPECT_EQ(chosenFolder, "/tmp/lumaro out/");
    const auto calls = services->PortalCalls();
    ASSERT_EQ(calls.size(), 1u);
    char parent[32];
    std::snprintf(parent, sizeof(parent), "x11:%x", host->Window());
    EXPECT_EQ(calls[0].method, "SaveFile");
    EXPECT_EQ(calls[0].parent, parent);
    EXPECT_EQ(calls[0].currentName, "take");
    EXPECT_EQ(calls[0].currentFolder, "/tmp/lumaro-in");
    EXPECT_EQ(calls[0].filterName, "*.wav;*.aif");
    EXPECT_EQ(calls[0].globs, (std::vector<std::string>{"*.[wW][aA][vV]", "*.[aA][iI][fF]"}));
    EXPECT_TRUE(calls[0].modal);

    // Cancelled: an empty name and the folder as it was.
    services->Answer(1, {});
    called = false;
    Window().ChooseFile(fileName, folder, ui::kFileOpen, "wav",
                        [&](const std::string& name, const std::string& dir) {
                            called = true;
                            chosenName = name;
                            chosenFolder = dir;
                        });
    ASSERT_TRUE(Until([&] { return called; }));
    EXPECT_EQ(chosenName, "");
    EXPECT_EQ(chosenFolder, "/tmp/lumaro-in");
    EXPECT_EQ(services->PortalCalls().back().method, "OpenFile");

    // Without a completion the call waits and writes the folder back.
    services->Answer(0, {"file:///srv/My%20Dir"});
    std::string dir;
    Window().ChooseDirectory(dir);
    EXPECT_EQ(dir, "/srv/My Dir/");
    EXPECT_TRUE(services->PortalCalls().back().directory);
    EXPECT_EQ(Window().ChoosersRunning(), 0u);
}

TEST_F(EditorDesktop, TheFileManagerShowsTheFileOrItsFolderAndXdgOpenStandsIn) {
    StartServices({});
    EXPECT_TRUE(Window().RevealInFileBrowser("/tmp/a b.wav", true));
    EXPECT_TRUE(Window().RevealInFileBrowser("/tmp/a b.wav", false));
    EXPECT_FALSE(Window().RevealInFileBrowser("", true));
    EXPECT_FALSE(Window().RevealInFileBrowser("relative.wav", true));
    const auto calls = services->FileManagerCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].method, "ShowItems");
    EXPECT_EQ(calls[0].uris, std::vector<std::string>{"file:///tmp/a%20b.wav"});
    EXPECT_EQ(calls[1].method, "ShowFolders");
    EXPECT_EQ(calls[1].uris, std::vector<std::string>{"file:///tmp"});
    EXPECT_TRUE(helpers->Arguments("xdg-open").empty());

    // No file manager on the bus: the folder is opened instead.
    services.reset();
    StartServices({false, false});
    EXPECT_TRUE(Window().RevealInFileBrowser("/tmp/a b.wav", true));
    EXPECT_EQ(helpers->Arguments("xdg-open"), std::vector<std::string>{"/tmp"});

    // Addresses go to xdg-open as they are; its failure is the result.
    EXPECT_TRUE(Window().OpenUrl("https://corvane.example/lumaro?a=1&b=2"));
    EXPECT_EQ(helpers->Arguments("xdg-open"),
              std::vector<std::string>{"https://corvane.example/lumaro?a=1&b=2"});
    helpers->Set("xdg-open", "status", "4");
    EXPECT_FALSE(Window().OpenUrl("https://corvane.example/"));
    helpers->Forget("xdg-open");
    EXPECT_FALSE(Window().OpenUrl("--help")); // never an option
    EXPECT_TRUE(helpers->Arguments("xdg-open").empty());
}

TEST_F(EditorDesktop, WithoutAPortalZenityOrKdialogAnswerWhileTheHostKeepsRunning) {
    StartServices({false, true});
    helpers->Set("zenity", "answer", "/home/u/kick.wav\n");
    helpers->Set("zenity", "delay", "0.3");
    std::string fileName, folder = "/home/u";
    std::string chosenName, chosenFolder;
    bool called = false;
    const auto start = Clock::now();
    Window().ChooseFile(fileName, folder, ui::kFileOpen, "wav",
                        [&](const std::string& name, const std::string& dir) {
                            called = true;
                            chosenName = name;
                            chosenFolder = dir;
                        });
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(200)); // the host is not held up
    const size_t timerCalls = editor->loop->TimerCalls();
    ASSERT_TRUE(Until([&] { return called; }));
    EXPECT_GT(editor->loop->TimerCalls(), timerCalls + 5); // it ran meanwhile
    EXPECT_EQ(chosenName, "/home/u/kick.wav");
    EXPECT_EQ(chosenFolder, "/home/u/");
    const auto args = helpers->Arguments("zenity");
    EXPECT_NE(std::find(args.begin(), args.end(), "--file-filter=*.wav | *.[wW][aA][vV]"),
              args.end());
    EXPECT_NE(std::find(args.begin(), args.end(), "--filename=/home/u/"), args.end());

    // Colours: printed as rgb(), alpha kept; waited for without a completion.
    helpers->Set("zenity", "delay", "0");
    helpers->Set("zenity", "answer", "rgb(12,34,56)\n");
    ui::IColour colour{128, 1, 2, 3};
    EXPECT_TRUE(Window().ChooseColour(colour, "Band"));
    EXPECT_EQ(colour, (ui::IColour{128, 12, 34, 56}));
    // A cancel (zenity's status 1) leaves it alone.
    helpers->Set("zenity", "status", "1");
    EXPECT_FALSE(Window().ChooseColour(colour, "Band"));
    EXPECT_EQ(colour, (ui::IColour{128, 12, 34, 56}));

    // On KDE kdialog is asked first.
    ScopedEnv kde("XDG_CURRENT_DESKTOP", "KDE");
    helpers->Set("kdialog", "answer", "#102030\n");
    ui::IColour picked;
    bool chosen = false;
    EXPECT_TRUE(Window().ChooseColour(colour, "Band", [&](const ui::IColour& c) {
        picked = c;
        chosen = true;
    }));
    ASSERT_TRUE(Until([&] { return chosen; }));
    EXPECT_EQ(picked, (ui::IColour{128, 16, 32, 48}));
    EXPECT_EQ(helpers->Arguments("kdialog").at(0), "--getcolor");
}

TEST_F(EditorDesktop, WithNothingToAskEveryChooserFailsAtOnce) {
    ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumaro-bus");
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    const std::string empty = MakeTempDir("lumaro-empty");
    ScopedEnv noHelpers("PATH", empty.c_str());
    bool called = false;
    std::string fileName = "take.wav", folder = "/tmp";
    const auto start = Clock::now();
    Window().ChooseFile(fileName, folder, ui::kFileOpen, "wav",
                        [&](const std::string&, const std::string&) { called = true; });
    EXPECT_TRUE(fileName.empty());
    std::string dir = "/tmp/";
    Window().ChooseDirectory(dir);
    EXPECT_TRUE(dir.empty());
    ui::IColour colour;
    EXPECT_FALSE(Window().ChooseColour(colour, "Band", [&](const ui::IColour&) { called = true; }));
    EXPECT_FALSE(Window().OpenUrl("https://corvane.example/"));
    EXPECT_FALSE(Window().RevealInFileBrowser("/tmp", false));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(Window().ChoosersRunning(), 0u);
    editor->loop->RunFor(100);
    EXPECT_FALSE(called);
    RemoveTree(empty);
}

} // namespace
