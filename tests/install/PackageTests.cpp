// The Debian package as `make deb` builds it (CPack on this build tree),
// unpacked with dpkg-deb -x as a user's machine would install it: its name,
// control fields and file list, and the bundle and lumaro-render from inside
// it working as the built ones do.

#include "InstallTestSupport.h"

#include "host/Module.h"
#include "host/PluginInstance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

namespace {

using namespace install_test;
using namespace Steinberg;
namespace fs = std::filesystem;

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string Field(const fs::path& package, const std::string& name) {
    const CommandResult field = RunCommand({"dpkg-deb", "-f", package.string(), name});
    EXPECT_EQ(field.exitStatus, 0) << field.output;
    return Trimmed(field.output);
}

// The Debian package that holds a library of this machine's architecture,
// as the package database says.
std::string OwningPackage(const std::string& library) {
    const std::string multiarch =
        Trimmed(RunCommand({"dpkg-architecture", "-qDEB_HOST_MULTIARCH"}).output);
    const CommandResult owner = RunCommand({"dpkg", "-S", "*/" + multiarch + "/" + library});
    EXPECT_EQ(owner.exitStatus, 0) << owner.output;
    return owner.output.substr(0, owner.output.find_first_of(":,"));
}

// One 64-bit stereo block of noise through the bundle's one class, as a
// host runs it. The module stays loaded until the process ends: unloading a
// module with thread-local storage leaves the C library's per-thread blocks
// behind, which the leak checker would report.
std::vector<double> RenderBlock(const fs::path& bundle) {
    constexpr int32 kFrames = 512;
    static auto* loaded = new std::vector<std::unique_ptr<vst3host::Module>>;
    std::string error;
    loaded->push_back(vst3host::Module::Load(bundle.string(), &error));
    vst3host::Module* module = loaded->back().get();
    EXPECT_NE(module, nullptr) << error;
    if (module == nullptr || module->Classes().size() != 1)
        return {};
    std::vector<double> output;
    {
        auto instance =
            vst3host::PluginInstance::Create(*module, module->Classes().front().cid, &error);
        EXPECT_TRUE(instance) << error;
        vst3host::ProcessConfig config;
        config.symbolicSampleSize = Vst::kSample64;
        config.maxBlockFrames = kFrames;
        if (!instance || instance->Initialize(nullptr) != kResultOk ||
            instance->SetupProcessing(config) != kResultOk ||
            instance->SetActive(true) != kResultOk || instance->SetProcessing(true) != kResultOk)
            return {};
        std::vector<double> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
        uint32_t x = 12345;
        for (int32 i = 0; i < kFrames; ++i) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            left[i] = 0.5 * (static_cast<double>(x) / 2147483648.0 - 1.0);
            right[i] = -0.5 * left[i];
        }
        double* in[] = {left.data(), right.data()};
        double* out[] = {outLeft.data(), outRight.data()};
        EXPECT_EQ(instance->Process(in, 2, out, 2, kFrames), kResultOk);
        output = outLeft;
        output.insert(output.end(), outRight.begin(), outRight.end());
    }
    return output;
}

TEST(DebianPackage, UnpacksIntoAWorkingPlugInAndRenderer) {
    ScratchFolder scratch;
    const CommandResult built =
        RunCommand({CPACK_COMMAND, "--config", std::string(BUILD_DIR) + "/CPackConfig.cmake", "-B",
                    (scratch.Path() / "package").string()});
    ASSERT_EQ(built.exitStatus, 0) << built.output;
    const std::string architecture = Trimmed(RunCommand({"dpkg", "--print-architecture"}).output);
    const fs::path package =
        scratch.Path() / "package" / ("lumaro-eq_" PROJECT_VERSION "_" + architecture + ".deb");
    ASSERT_TRUE(fs::is_regular_file(package)) << built.output;

    EXPECT_EQ(Field(package, "Package"), "lumaro-eq");
    EXPECT_EQ(Field(package, "Version"), PROJECT_VERSION);
    EXPECT_EQ(Field(package, "Architecture"), architecture);
    // Read off the binaries: the C library, and the resampler the module
    // links, under whatever name this distribution gives its package.
    const std::string depends = Field(package, "Depends");
    for (const std::string& needed : {OwningPackage("libc.so.6"), OwningPackage("libsoxr.so.0")})
        EXPECT_NE(depends.find(needed + " ("), std::string::npos) << needed << " in " << depends;

    const fs::path root = scratch.Path() / "root";
    const CommandResult unpacked = RunCommand({"dpkg-deb", "-x", package.string(), root.string()});
    ASSERT_EQ(unpacked.exitStatus, 0) << unpacked.output;
    const fs::path bundle = root / "usr/lib/vst3/Lumaro EQ.vst3";
    const std::vector<std::string> expected{
        "usr/bin/lumaro-render",
        "usr/lib/vst3/Lumaro EQ.vst3/Contents/x86_64-linux/Lumaro EQ.so",
        "usr/share/doc/lumaro-eq/Apache-2.0",
        "usr/share/doc/lumaro-eq/copyright",
    };
    EXPECT_EQ(FilesBelow(root), expected);
    const std::string copyright = ReadFile(root / "usr/share/doc/lumaro-eq/copyright");
    for (const char* covered : {"Corvane Audio", "Steinberg", "Roboto", "Apache-2.0"})
        EXPECT_NE(copyright.find(covered), std::string::npos) << covered;
    EXPECT_NE(ReadFile(root / "usr/share/doc/lumaro-eq/Apache-2.0").find("Apache License"),
              std::string::npos);

    // The packaged (stripped) module computes what the built one does.
    const std::vector<double> packaged = RenderBlock(bundle);
    const std::vector<double> reference = RenderBlock(LUMARO_EQ_BUNDLE);
    ASSERT_FALSE(packaged.empty());
    EXPECT_EQ(packaged, reference);
    EXPECT_TRUE(
        std::all_of(packaged.begin(), packaged.end(), [](double s) { return std::isfinite(s); }));

    const CommandResult listed = RunCommand(
        {(root / "usr/bin/lumaro-render").string(), "--list", "--plugin", bundle.string()});
    ASSERT_EQ(listed.exitStatus, 0) << listed.output;
    const CommandResult builtList =
        RunCommand({RENDER_PROGRAM, "--list", "--plugin", LUMARO_EQ_BUNDLE});
    EXPECT_EQ(listed.output, builtList.output);
    EXPECT_NE(listed.output.find("Oversampling"), std::string::npos);
}

} // namespace
