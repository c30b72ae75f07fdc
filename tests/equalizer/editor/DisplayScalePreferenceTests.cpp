// The remembered zoom on disk: where the file lies, what counts as a zoom in
// it, how it is written, and that writers racing each other never leave a
// reader anything but a whole file.

#include "PanelFixture.h"

#include "equalizer/editor/DisplayScalePreference.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using paneltest::ConfigHome;
namespace fs = std::filesystem;

// Sets or clears an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name(name) {
        const char* previous = std::getenv(name);
        had = previous != nullptr;
        if (had)
            old = previous;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (had)
            setenv(name, old.c_str(), 1);
        else
            unsetenv(name);
    }

private:
    const char* name;
    std::string old;
    bool had = false;
};

TEST(DisplayScalePreference, OnlyAWholePositiveNumberOnTheFirstLineIsAZoom) {
    ConfigHome home;
    const struct {
        const char* content;
        bool read;
        float stored; // what the editor opens at
    } cases[] = {{"1.5\n", true, 1.5f},    {"  1.5  \n", true, 1.5f},
                 {"1.5", true, 1.5f},      {"1.5\r\nrest\n", true, 1.5f},
                 {"1.5x\n", false, 1.0f},  {"8\n", true, 4.0f},
                 {"0.25\n", true, 0.5f},   {"0\n", false, 1.0f},
                 {"-1\n", false, 1.0f},    {"", false, 1.0f},
                 {"\n1.5\n", false, 1.0f}, {"1e999\n", false, 1.0f},
                 {"nan\n", false, 1.0f},   {"inf\n", false, 1.0f},
                 {"1.5 2\n", false, 1.0f}, {"x1.5\n", false, 1.0f}};
    for (const auto& c : cases) {
        home.Store(c.content);
        float scale = -7.0f;
        EXPECT_EQ(equalizer::ReadDisplayScale("LumaroEQ", scale), c.read)
            << '"' << c.content << '"';
        EXPECT_EQ(equalizer::StoredDisplayScale(), c.stored) << '"' << c.content << '"';
    }
    // A NUL byte inside the line is not white space.
    home.Store(std::string("1.5\0", 4) + "\n");
    float scale = 0.0f;
    EXPECT_FALSE(equalizer::ReadDisplayScale("LumaroEQ", scale));
    // No file at all.
    fs::remove(home.PreferenceFile());
    EXPECT_FALSE(equalizer::ReadDisplayScale("LumaroEQ", scale));
    EXPECT_EQ(equalizer::StoredDisplayScale(), 1.0f);
}

TEST(DisplayScalePreference, TheFileLiesInTheUsersConfigurationFolderOrNowhere) {
    ConfigHome home;
    EXPECT_EQ(equalizer::DisplayScalePath("LumaroEQ"), home.PreferenceFile());
    EXPECT_EQ(equalizer::DisplayScalePath("A:B"),
              home.Folder() + "/Corvane Audio/Preferences/A_B-display-scale.txt");
    EXPECT_EQ(fs::path(equalizer::DisplayScalePath("q\"*/:<>?\\|e")).filename(),
              "q_________e-display-scale.txt");
    EXPECT_EQ(equalizer::DisplayScalePath(""), "");

    ASSERT_TRUE(equalizer::WriteDisplayScale("A:B", 1.5f));
    EXPECT_EQ(home.Stored("A_B"), "1.5000\n");

    {
        // No (usable) XDG_CONFIG_HOME: HOME's .config.
        ScopedEnvironment home1("HOME", "/home/someone");
        ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(equalizer::DisplayScaleFolder(),
                  "/home/someone/.config/Corvane Audio/Preferences");
        ScopedEnvironment empty("XDG_CONFIG_HOME", "");
        EXPECT_EQ(equalizer::DisplayScaleFolder(),
                  "/home/someone/.config/Corvane Audio/Preferences");
    }
    // Neither: no path, and nothing read or written anywhere.
    char cwdPattern[] = "/tmp/lumaro-cwd-XXXXXX";
    ASSERT_NE(mkdtemp(cwdPattern), nullptr);
    const fs::path before = fs::current_path();
    fs::current_path(cwdPattern);
    for (const char* homeValue : {static_cast<const char*>(nullptr), "", "relative"}) {
        ScopedEnvironment noXdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnvironment noHome("HOME", homeValue);
        EXPECT_EQ(equalizer::DisplayScalePath("LumaroEQ"), "");
        float scale = 0.0f;
        EXPECT_FALSE(equalizer::ReadDisplayScale("LumaroEQ", scale));
        EXPECT_FALSE(equalizer::WriteDisplayScale("LumaroEQ", 1.5f));
        EXPECT_EQ(equalizer::StoredDisplayScale(), 1.0f);
    }
    EXPECT_TRUE(fs::is_empty(cwdPattern));
    fs::current_path(before);
    fs::remove_all(cwdPattern);
}

TEST(DisplayScalePreference, WritingMakesTheFoldersAndReplacesTheFileWhole) {
    ConfigHome home;
    const std::string folder = home.Folder() + "/deeper/still";
    ScopedEnvironment xdg("XDG_CONFIG_HOME", folder.c_str());
    ASSERT_FALSE(fs::exists(home.Folder() + "/deeper"));
    ASSERT_TRUE(equalizer::WriteDisplayScale("LumaroEQ", 1.25f));
    const std::string file = folder + "/Corvane Audio/Preferences/LumaroEQ-display-scale.txt";
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "1.2500\n");
    struct stat info {};
    ASSERT_EQ(stat((folder + "/Corvane Audio").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    float scale = 0.0f;
    ASSERT_TRUE(equalizer::ReadDisplayScale("LumaroEQ", scale));
    EXPECT_EQ(scale, 1.25f);

    // Zooms that are none leave the file as it was.
    for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()})
        EXPECT_FALSE(equalizer::WriteDisplayScale("LumaroEQ", bad));
    ASSERT_TRUE(equalizer::ReadDisplayScale("LumaroEQ", scale));
    EXPECT_EQ(scale, 1.25f);
    // The largest float still fits the line.
    EXPECT_TRUE(equalizer::WriteDisplayScale("Huge", std::numeric_limits<float>::max()));

    // A folder in the file's place cannot be replaced: the write fails
    // quietly and leaves no temporary file behind.
    fs::create_directories(folder + "/Corvane Audio/Preferences/Blocked-display-scale.txt/x");
    EXPECT_FALSE(equalizer::WriteDisplayScale("Blocked", 1.5f));
    for (const auto& entry : fs::directory_iterator(folder + "/Corvane Audio/Preferences"))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    // A file where a folder belongs: nothing can be made.
    ScopedEnvironment blocked("XDG_CONFIG_HOME", file.c_str());
    EXPECT_FALSE(equalizer::WriteDisplayScale("LumaroEQ", 1.5f));
}

TEST(DisplayScalePreference, AFifoUnderTheFilesNameIsRefusedWithoutWaiting) {
    ConfigHome home;
    home.Store("1.5\n");
    fs::remove(home.PreferenceFile());
    ASSERT_EQ(mkfifo(home.PreferenceFile().c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    float scale = 0.0f;
    EXPECT_FALSE(equalizer::ReadDisplayScale("LumaroEQ", scale));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(DisplayScalePreference, InstancesClosingAtOnceNeverLeaveATornFile) {
    ConfigHome home;
    // Four processes write their own zoom over and over, as instances in
    // several hosts closing their editors at once would; this process reads
    // all the while. Every read must find one whole zoom of one writer.
    const float zooms[] = {1.25f, 1.5f, 1.75f, 2.0f};
    ASSERT_TRUE(equalizer::WriteDisplayScale("LumaroEQ", 1.0f));
    std::vector<pid_t> writers;
    for (float zoom : zooms) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int i = 0; i < 300; ++i)
                ok = equalizer::WriteDisplayScale("LumaroEQ", zoom) && ok;
            _exit(ok ? 0 : 1);
        }
        writers.push_back(child);
    }
    int reads = 0;
    int torn = 0;
    int finished = 0;
    int failedWriters = 0;
    for (bool running = true; running;) {
        std::ifstream in(home.PreferenceFile(), std::ios::binary);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        const bool whole = text == "1.0000\n" || text == "1.2500\n" || text == "1.5000\n" ||
                           text == "1.7500\n" || text == "2.0000\n";
        torn += whole ? 0 : 1;
        ++reads;
        for (pid_t& writer : writers) {
            int status = 0;
            if (writer > 0 && waitpid(writer, &status, WNOHANG) == writer) {
                writer = -1;
                ++finished;
                failedWriters += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
            }
        }
        running = finished < static_cast<int>(writers.size());
    }
    EXPECT_EQ(failedWriters, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 10);
    float last = 0.0f;
    ASSERT_TRUE(equalizer::ReadDisplayScale("LumaroEQ", last));
    EXPECT_NE(std::find(std::begin(zooms), std::end(zooms), last), std::end(zooms));
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry :
         fs::directory_iterator(home.Folder() + "/Corvane Audio/Preferences"))
        ++entries;
    EXPECT_EQ(entries, 1u); // no temporary file left behind
}

} // namespace
