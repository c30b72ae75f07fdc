#include "ui/platform/Resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

// Embedded by lumaro_embed_resources() from the files the test's CMake wrote
// into LUMARO_TEST_DATA_DIR (see CMakeLists.txt).
extern const ui::ResourceTable ui_platform_test_table;

using ui::LoadResourceBytes;
using ui::LocateResource;
using ui::ResourceLocation;

namespace {

const ui::ResourceTable* Table() {
    return &ui_platform_test_table;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    return ui::ReadWholeFile(path, 64u << 20).value_or(std::vector<uint8_t>{});
}

// Runs a test in a fresh current directory, so that file fall-backs see only
// what the test puts there.
class InTempDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        directory = std::filesystem::temp_directory_path() /
                    ("lumaro-resources-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory / "sub");
        std::filesystem::current_path(directory);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(directory);
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::filesystem::path previous, directory;
};

} // namespace

TEST(EmbeddedResources, TableHoldsEachFileWithItsBytesAndType) {
    std::set<std::string> names;
    for (const ui::ResourceEntry& entry : Table()->Entries()) {
        const std::string path = entry.name == std::string("Roboto-Regular.ttf")
                                     ? LUMARO_ROBOTO_TTF
                                     : LUMARO_TEST_DATA_DIR "/" + std::string(entry.name);
        EXPECT_EQ(std::vector<uint8_t>(entry.begin, entry.end), FileBytes(path)) << entry.name;
        const std::string name = entry.name;
        EXPECT_EQ(entry.type, ui::UpperAscii(name.substr(name.rfind('.') + 1)));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 7u);
}

TEST_F(InTempDirectory, WholeNameMatchedRegardlessOfAsciiCase) {
    for (const char* extension : {"png", "PNG", "pNg"}) {
        const auto found = LocateResource(Table(), "leq_BACK.PNG", extension);
        EXPECT_EQ(found.location, ResourceLocation::Embedded);
        EXPECT_EQ(found.name, "LEQ_back.png");
    }
    EXPECT_EQ(LocateResource(Table(), "LEQ_back@2x.png", "png").name, "LEQ_back@2x.png");
    EXPECT_EQ(LocateResource(Table(), "smallknob@3x.png", "png").location,
              ResourceLocation::NotFound);
    // Only A-Z fold: an accented capital is another letter.
    EXPECT_EQ(LocateResource(Table(), "\xC3\xA9t\xC3\xA9.png", "png").location,
              ResourceLocation::Embedded);
    EXPECT_EQ(LocateResource(Table(), "\xC3\x89t\xC3\xA9.png", "png").location,
              ResourceLocation::NotFound);
    // Part of a name, another type, nothing at all.
    EXPECT_EQ(LocateResource(Table(), "LEQ_back", "png").location, ResourceLocation::NotFound);
    EXPECT_EQ(LocateResource(Table(), "LEQ_back.png", "ttf").location, ResourceLocation::NotFound);
    EXPECT_EQ(LocateResource(Table(), "", "png").location, ResourceLocation::NotFound);
    EXPECT_EQ(LocateResource(nullptr, "LEQ_back.png", "png").location, ResourceLocation::NotFound);
}

TEST_F(InTempDirectory, FilesOnDiskAreTheFallBackAndResourcesWin) {
    Write("only-on-disk.png", "12345678");
    Write("LEQ_back.png", "a file of the same name");
    Write("sub/LEQ_back.png", "with a directory part");

    const auto disk = LocateResource(Table(), "only-on-disk.png", "png");
    EXPECT_EQ(disk.location, ResourceLocation::File);
    EXPECT_EQ(disk.name, "only-on-disk.png");
    EXPECT_EQ(LocateResource(Table(), "LEQ_back.png", "png").location, ResourceLocation::Embedded);
    const auto withDirectory = LocateResource(Table(), "sub/LEQ_back.png", "png");
    EXPECT_EQ(withDirectory.location, ResourceLocation::File);
    EXPECT_EQ(withDirectory.name, "sub/LEQ_back.png");
    EXPECT_EQ(LocateResource(Table(), "sub", "png").location, ResourceLocation::File);
}

TEST(EmbeddedResources, BytesByNameAndTypeInAnyCase) {
    const auto font = LoadResourceBytes(Table(), "ROBOTO-REGULAR.TTF", "ttf");
    EXPECT_EQ(std::vector<uint8_t>(font.begin(), font.end()), FileBytes(LUMARO_ROBOTO_TTF));
    EXPECT_EQ(LoadResourceBytes(Table(), "Roboto-Regular.ttf", "TTF").data(), font.data());
    EXPECT_TRUE(LoadResourceBytes(Table(), "Roboto-Regular.ttf", "PNG").empty());
    EXPECT_TRUE(LoadResourceBytes(Table(), "missing.png", "PNG").empty());
    // Seven bytes count as missing, eight do not.
    EXPECT_TRUE(LoadResourceBytes(Table(), "seven.png", "PNG").empty());
    EXPECT_EQ(LoadResourceBytes(Table(), "eight.png", "PNG").size(), 8u);
}
