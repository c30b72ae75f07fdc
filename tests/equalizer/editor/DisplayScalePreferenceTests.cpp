// The remembered zoom on disk: what counts as a zoom in the file, where the
// file lies, how it is written, and that writers racing each other never
// leave a reader anything but a whole file.

#include "PanelFixture.h"

#include "equalizer/editor/DisplayScalePreference.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace paneltest;
namespace fs = std::filesystem;
using equalizer::ReadDisplayScale;
using equalizer::StoredDisplayScale;
using equalizer::WriteDisplayScale;

TEST(DisplayScalePreference, OnlyOnePositiveNumberOnTheFirstLineIsAZoom) {
    ConfigHome home;
    const struct {
        std::string content;
        float stored; // what the editor opens at; 1 when the file holds no zoom
    } cases[] = {{"1.5\n", 1.5f},   {"  1.5  \n", 1.5f},   {"1.5\r\nx\n", 1.5f}, {"8\n", 4.0f},
                 {"0.25\n", 0.5f},  {"1.5x\n", 1.0f},      {"0\n", 1.0f},        {"-1\n", 1.0f},
                 {"", 1.0f},        {"\n1.5\n", 1.0f},     {"1e999\n", 1.0f},    {"nan\n", 1.0f},
                 {"1.5 2\n", 1.0f}, {{"1.5\0\n", 5}, 1.0f}};
    for (const auto& c : cases) {
        home.Store(c.content);
        float scale = 0.0f;
        EXPECT_EQ(ReadDisplayScale("LumaroEQ", scale), c.stored != 1.0f) << c.content;
        EXPECT_EQ(StoredDisplayScale(), c.stored) << c.content;
    }
    // A FIFO under the file's name is refused, not waited on.
    fs::remove(home.File());
    ASSERT_EQ(mkfifo(home.File().c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(StoredDisplayScale(), 1.0f);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(DisplayScalePreference, TheFileLiesInTheConfigurationFolderOrNowhere) {
    ConfigHome home;
    ASSERT_TRUE(WriteDisplayScale("A:B", 1.25f));
    EXPECT_EQ(home.Stored("A_B"), "1.2500\n");
    EXPECT_EQ(fs::path(equalizer::DisplayScalePath("q\"*/:<>?\\|e")).filename(),
              "q_________e-display-scale.txt");
    {
        ScopedEnvironment user("HOME", "/home/someone");
        ScopedEnvironment relative("XDG_CONFIG_HOME", "relative"); // not absolute: unused
        EXPECT_EQ(equalizer::DisplayScaleFolder(),
                  "/home/someone/.config/Corvane Audio/Preferences");
    }
    // Without either, nothing is read or written, not even in the working folder.
    const std::string cwd = MakeTemporaryFolder();
    const fs::path before = fs::current_path();
    fs::current_path(cwd);
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        ScopedEnvironment noXdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnvironment noHome("HOME", value);
        EXPECT_EQ(equalizer::DisplayScalePath("LumaroEQ"), "");
        EXPECT_FALSE(WriteDisplayScale("LumaroEQ", 1.5f));
        EXPECT_EQ(StoredDisplayScale(), 1.0f);
    }
    EXPECT_TRUE(fs::is_empty(cwd));
    fs::current_path(before);
    fs::remove_all(cwd);
}

TEST(DisplayScalePreference, WritingMakesTheFoldersOrFailsQuietlyLeavingTheOldFile) {
    ConfigHome home;
    const std::string deeper = home.Folder() + "/a/b";
    ScopedEnvironment xdg("XDG_CONFIG_HOME", deeper.c_str());
    ASSERT_TRUE(WriteDisplayScale("LumaroEQ", 1.25f));
    ASSERT_TRUE(fs::is_directory(deeper + "/Corvane Audio/Preferences"));
    for (float none : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()})
        EXPECT_FALSE(WriteDisplayScale("LumaroEQ", none));
    EXPECT_EQ(StoredDisplayScale(), 1.25f);
    // A folder in the file's place cannot be replaced; no temporary is left.
    const std::string folder = deeper + "/Corvane Audio/Preferences";
    fs::create_directories(folder + "/Blocked-display-scale.txt/x");
    EXPECT_FALSE(WriteDisplayScale("Blocked", 1.5f));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST(DisplayScalePreference, InstancesClosingAtOnceNeverLeaveATornFile) {
    ConfigHome home;
    ASSERT_TRUE(WriteDisplayScale("LumaroEQ", 1.0f));
    // Four processes write their own zoom over and over, as instances in
    // several hosts closing at once would; this one reads all the while.
    std::vector<pid_t> writers;
    for (const float zoom : {1.25f, 1.5f, 1.75f, 2.0f}) {
        writers.push_back(fork());
        ASSERT_GE(writers.back(), 0);
        if (writers.back() == 0) {
            bool ok = true;
            for (int i = 0; i < 300; ++i)
                ok = WriteDisplayScale("LumaroEQ", zoom) && ok;
            _exit(ok ? 0 : 1);
        }
    }
    const std::vector<std::string> whole{"1.0000\n", "1.2500\n", "1.5000\n", "1.7500\n",
                                         "2.0000\n"};
    int reads = 0, torn = 0, failed = 0;
    for (size_t finished = 0; finished < writers.size(); ++reads) {
        torn += std::find(whole.begin(), whole.end(), home.Stored()) == whole.end();
        for (pid_t& writer : writers) {
            int status = 0;
            if (writer > 0 && waitpid(writer, &status, WNOHANG) == writer) {
                writer = -1;
                ++finished;
                failed += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            }
        }
    }
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(std::distance(fs::directory_iterator(home.Folder() + "/Corvane Audio/Preferences"),
                            fs::directory_iterator()),
              1); // no temporary file left behind
}

} // namespace
