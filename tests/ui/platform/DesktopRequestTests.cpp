// What the desktop's choosers are asked and what their answers become, the
// clipboard's data forms, and the helper processes (real children, no X).

#include "ui/DialogTypes.h"
#include "ui/platform/DialogRequests.h"
#include "ui/platform/HelperProcess.h"
#include "ui/platform/X11DropTarget.h"
#include "ui/platform/X11Selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

namespace {

using namespace ui;

bool Has(const std::vector<std::string>& args, const std::string& arg) {
    return std::find(args.begin(), args.end(), arg) != args.end();
}

TEST(FileRequests, ExtensionsBecomeOneFilterThatIgnoresLetterCase) {
    const FileFilter filter = BuildFileFilter("wav  aif");
    EXPECT_EQ(filter.pattern, "*.wav;*.aif");
    EXPECT_EQ(filter.defaultExtension, "wav");
    EXPECT_TRUE(BuildFileFilter("").Empty());
    EXPECT_TRUE(BuildFileFilter(nullptr).Empty());

    const std::vector<std::string> globs = filter.Globs();
    ASSERT_EQ(globs.size(), 2u);
    const auto matches = [&](const char* name) {
        return std::any_of(globs.begin(), globs.end(), [&](const std::string& glob) {
            return fnmatch(glob.c_str(), name, 0) == 0;
        });
    };
    EXPECT_TRUE(matches("take.wav"));
    EXPECT_TRUE(matches("TAKE.WAV"));
    EXPECT_TRUE(matches("loop.Aif"));
    EXPECT_FALSE(matches("take.wave"));
    EXPECT_FALSE(matches("take.mp3"));
    // Glob characters in an extension stand for themselves.
    EXPECT_FALSE(fnmatch(BuildFileFilter("a*").Globs()[0].c_str(), "x.abc", 0) == 0);
}

TEST(FileRequests, AnswersWriteBackTheFullPathAndItsFolder) {
    const FileChooserRequest save = MakeFileRequest("/home/u/takes/mix", "", kFileSave, "wav aif");
    EXPECT_EQ(save.kind, ChooserKind::SaveFile);
    EXPECT_EQ(save.folder, "/home/u/takes/");
    EXPECT_EQ(save.name, "mix");
    // A saved name without an extension gets the first one; others stay.
    EXPECT_EQ(FileChoiceFor("/tmp/out/mix", save).fileName, "/tmp/out/mix.wav");
    EXPECT_EQ(FileChoiceFor("/tmp/out/mix", save).directory, "/tmp/out/");
    EXPECT_EQ(FileChoiceFor("/tmp/out/mix.aif", save).fileName, "/tmp/out/mix.aif");

    const FileChooserRequest open = MakeFileRequest("x.wav", "/data", kFileOpen, "wav");
    EXPECT_EQ(open.kind, ChooserKind::OpenFile);
    EXPECT_EQ(open.folder, "/data");
    EXPECT_EQ(FileChoiceFor("/data/x", open).fileName, "/data/x"); // opening adds nothing
    EXPECT_EQ(FileChoiceFor("/x.wav", open).directory, "/");
    // Nothing, a relative name or a folder is no file.
    EXPECT_TRUE(FileChoiceFor("", open).fileName.empty());
    EXPECT_TRUE(FileChoiceFor("x.wav", open).fileName.empty());
    EXPECT_TRUE(FileChoiceFor("/data/", open).fileName.empty());

    EXPECT_EQ(DirectoryChoiceFor("/home/u"), "/home/u/");
    EXPECT_EQ(DirectoryChoiceFor("/"), "/");
    EXPECT_EQ(DirectoryChoiceFor(""), "");
    EXPECT_EQ(ParentFolder("/a/b.wav"), "/a");
    EXPECT_EQ(ParentFolder("/a/b/"), "/a");
    EXPECT_EQ(ParentFolder("/b"), "/");
}

TEST(FileRequests, HelpersAreAskedWithTheRequestsOptions) {
    FileChooserRequest save = MakeFileRequest("mix.wav", "/tmp/takes", kFileSave, "wav aif");
    save.parentWindow = 0x400007;
    const auto zenity = ZenityFileArguments(save);
    EXPECT_EQ(zenity[0], "zenity");
    EXPECT_TRUE(Has(zenity, "--file-selection"));
    EXPECT_TRUE(Has(zenity, "--save"));
    EXPECT_TRUE(Has(zenity, "--confirm-overwrite"));
    EXPECT_TRUE(Has(zenity, "--filename=/tmp/takes/mix.wav"));
    EXPECT_TRUE(Has(zenity, "--file-filter=*.wav;*.aif | *.[wW][aA][vV] *.[aA][iI][fF]"));

    const auto kdialog = KdialogFileArguments(save);
    EXPECT_EQ(kdialog[0], "kdialog");
    EXPECT_TRUE(Has(kdialog, "--getsavefilename"));
    EXPECT_TRUE(Has(kdialog, std::to_string(0x400007)));
    EXPECT_EQ(kdialog.back(), "*.[wW][aA][vV] *.[aA][iI][fF]|*.wav;*.aif");

    FileChooserRequest folder = MakeDirectoryRequest();
    folder.folder = "/srv";
    const auto chooseFolder = ZenityFileArguments(folder);
    EXPECT_TRUE(Has(chooseFolder, "--directory"));
    EXPECT_TRUE(Has(chooseFolder, "--filename=/srv/"));
    EXPECT_FALSE(std::any_of(chooseFolder.begin(), chooseFolder.end(), [](const std::string& a) {
        return a.rfind("--file-filter", 0) == 0;
    }));
    EXPECT_TRUE(Has(KdialogFileArguments(folder), "--getexistingdirectory"));
}

TEST(ColourRequests, PrintedColoursAreReadInEveryHelpersForm) {
    IColour colour{77, 1, 2, 3};
    EXPECT_TRUE(ParseColourAnswer("rgb(10,20,30)\n", colour));
    EXPECT_EQ(colour, (IColour{77, 10, 20, 30})); // alpha kept
    EXPECT_TRUE(ParseColourAnswer("rgba(255, 128, 0, 0.5)", colour));
    EXPECT_EQ(colour, (IColour{77, 255, 128, 0}));
    EXPECT_TRUE(ParseColourAnswer("#0a141e", colour));
    EXPECT_EQ(colour, (IColour{77, 10, 20, 30}));
    EXPECT_TRUE(ParseColourAnswer("#fa0", colour));
    EXPECT_EQ(colour, (IColour{77, 255, 170, 0}));
    for (const char* bad : {"", "rgb(1,2)", "#12345", "#gggggg", "red", "rgb(1,2,3"}) {
        IColour untouched{1, 2, 3, 4};
        EXPECT_FALSE(ParseColourAnswer(bad, untouched)) << bad;
        EXPECT_EQ(untouched, (IColour{1, 2, 3, 4})) << bad;
    }
    EXPECT_EQ(ColourHex(IColour{255, 10, 300, -4}), "#0aff00");
    const auto zenity = ZenityColourArguments(IColour{255, 1, 2, 3}, "Band colour");
    EXPECT_TRUE(Has(zenity, "--color-selection"));
    EXPECT_TRUE(Has(zenity, "--color=#010203"));
    EXPECT_TRUE(Has(KdialogColourArguments(IColour{255, 1, 2, 3}, "", 0), "#010203"));
}

TEST(ClipboardForms, FilesAndTextAreOfferedAsOtherProgramsReadThem) {
    const std::string path = "/tmp/a b#%é.wav";
    const std::string uri = FileUri(path);
    EXPECT_EQ(uri, "file:///tmp/a%20b%23%25%C3%A9.wav");
    // The drop target's reader, written independently, reads it back.
    EXPECT_EQ(x11::ParseUriList(uri + "\r\n"), std::vector<std::string>{path});

    const auto file = x11::FileOffers(path);
    const auto find = [](const std::vector<x11::SelectionOffer>& offers,
                         const std::string& target) {
        for (const auto& offer : offers)
            if (offer.target == target)
                return offer.bytes;
        return std::string("(none)");
    };
    EXPECT_EQ(find(file, "text/uri-list"), uri + "\r\n");
    EXPECT_EQ(find(file, "x-special/gnome-copied-files"), "copy\n" + uri);
    EXPECT_EQ(find(file, "UTF8_STRING"), path);

    const auto text = x11::TextOffers("5 € é");
    EXPECT_EQ(find(text, "UTF8_STRING"), "5 € é");
    EXPECT_EQ(find(text, "STRING"), "5 ? \xE9"); // Latin-1
    EXPECT_EQ(x11::Latin1ToUtf8("5 ? \xE9"), "5 ? é");
}

TEST(HelperProcesses, AnswersAreCollectedWithoutBlockingAndNothingIsInherited) {
    // What a helper prints and its exit status.
    auto helper = HelperProcess::Start({"sh", "-c", "printf '/tmp/x.wav\\n'; exit 3"});
    ASSERT_NE(helper, nullptr);
    ASSERT_TRUE(helper->Wait(5000));
    EXPECT_EQ(helper->Output(), "/tmp/x.wav\n");
    EXPECT_EQ(helper->ExitStatus(), 3);

    // A missing helper is refused at once.
    EXPECT_EQ(HelperProcess::Start({"lumaro-no-such-helper"}), nullptr);
    EXPECT_TRUE(FindProgram("lumaro-no-such-helper").empty());

    // The host's descriptors stay with the host.
    const int hostFd = open("/dev/null", O_RDONLY); // no close-on-exec
    ASSERT_GE(hostFd, 3);
    const std::string probe = "for n in 1 " + std::to_string(hostFd) +
                              "; do [ -e /proc/$$/fd/$n ] && echo open || echo closed; done";
    auto lister = HelperProcess::Start({"sh", "-c", probe});
    ASSERT_NE(lister, nullptr);
    ASSERT_TRUE(lister->Wait(5000));
    close(hostFd);
    EXPECT_EQ(lister->Output(), "open\nclosed\n"); // its output pipe, and not ours

    // Waiting is bounded, and a helper still running when it goes is told
    // to end and reaped later.
    auto slow = HelperProcess::Start({"sleep", "30"});
    ASSERT_NE(slow, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(slow->Wait(100));
    EXPECT_FALSE(slow->Poll());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    const pid_t pid = slow->Pid();
    slow.reset();
    for (int i = 0; i < 200 && ReapAbandonedHelpers() > 0; ++i)
        usleep(10000);
    EXPECT_EQ(ReapAbandonedHelpers(), 0u);
    EXPECT_NE(kill(pid, 0), 0); // gone, zombie included
}

} // namespace
