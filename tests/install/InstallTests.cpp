// `make install` and `make uninstall` as a user runs them (through the script
// the Makefile calls), into a scratch DESTDIR that already holds another
// plug-in and another program: only the product is installed, never a test
// module, and uninstalling takes away exactly that.

#include "InstallTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using namespace install_test;
namespace fs = std::filesystem;

struct Layout {
    const char* name;
    std::string prefix; // empty: per user
    fs::path vst3Folder;
    fs::path binFolder;
};

// A home folder that exists only inside the scratch DESTDIR.
const fs::path kHome = "/home/lumaro-test-user";

std::vector<Layout> Layouts() {
    return {{"per user", "", kHome / ".vst3", kHome / ".local/bin"},
            {"PREFIX=/usr/local", "/usr/local", "/usr/local/lib/vst3", "/usr/local/bin"}};
}

fs::path Under(const fs::path& root, const fs::path& absolute) {
    return root / absolute.relative_path();
}

TEST(InstallLayouts, OnlyTheProductIsInstalledAndUninstallTakesAwayExactlyThat) {
    // The test modules are built in the same tree, so leaving them out is a
    // choice the install rules must make.
    for (const char* testBundle : {TEST_GAIN_BUNDLE, TEST_DELAY_BUNDLE})
        ASSERT_TRUE(fs::is_directory(testBundle)) << testBundle;
    const fs::path bundle = LUMARO_EQ_BUNDLE;
    const std::string script = std::string(SOURCE_DIR) + "/scripts/install-product";

    for (const Layout& layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        ScratchFolder scratch;
        const fs::path destdir = scratch.Path();
        // What the user had before.
        WriteFile(Under(destdir, layout.vst3Folder / "Other.vst3/Contents/x86_64-linux/Other.so"),
                  "another plug-in");
        WriteFile(Under(destdir, layout.binFolder / "other-tool"), "another program");
        const std::vector<std::string> before = FilesBelow(destdir);

        std::vector<std::string> arguments{script, "install", BUILD_DIR};
        if (!layout.prefix.empty())
            arguments.push_back(layout.prefix);
        const std::map<std::string, std::string> environment{{"DESTDIR", destdir.string()},
                                                             {"HOME", kHome.string()}};
        const CommandResult installed = RunCommand(arguments, environment);
        ASSERT_EQ(installed.exitStatus, 0) << installed.output;

        std::vector<std::string> expected = before;
        for (const std::string& file : FilesBelow(bundle))
            expected.push_back(
                (layout.vst3Folder.relative_path() / bundle.filename() / file).string());
        expected.push_back((layout.binFolder.relative_path() / "lumaro-render").string());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(FilesBelow(destdir), expected);

        const fs::path library = "Contents/x86_64-linux/Lumaro EQ.so";
        EXPECT_EQ(ReadFile(Under(destdir, layout.vst3Folder / bundle.filename() / library)),
                  ReadFile(bundle / library));
        const auto program = fs::status(Under(destdir, layout.binFolder / "lumaro-render"));
        EXPECT_NE(program.permissions() & fs::perms::owner_exec, fs::perms::none);

        arguments[1] = "uninstall";
        const CommandResult removed = RunCommand(arguments, environment);
        ASSERT_EQ(removed.exitStatus, 0) << removed.output;
        EXPECT_EQ(FilesBelow(destdir), before);
        EXPECT_FALSE(fs::exists(Under(destdir, layout.vst3Folder / bundle.filename())));
        EXPECT_TRUE(fs::is_directory(Under(destdir, layout.binFolder)));
    }
}

} // namespace
