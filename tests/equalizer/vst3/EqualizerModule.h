#pragma once

// The built "Lumaro EQ.vst3" bundle, loaded once per test program through the
// hosting library exactly as a DAW loads it, and instances of its one class.

#include "host/HostContext.h"
#include "host/Module.h"
#include "host/ParameterChanges.h"
#include "host/PluginInstance.h"

#include "base/source/fstring.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifndef LUMARO_EQ_BUNDLE
#error "LUMARO_EQ_BUNDLE must name the Lumaro EQ .vst3 bundle"
#endif

namespace eq_module {

using namespace Steinberg;
using namespace Steinberg::Vst;

// The class ID bytes a Linux host sees: the four words, each big-endian.
inline constexpr uint8_t kClassIdBytes[16] = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                              0x43, 0x76, 0x61, 0x6E, 0x32, 0x6C, 0x38, 0x37};

inline constexpr ParamID kBypassId = 0x10000;
inline constexpr ParamID kPresetId = 0x10001;
inline constexpr int32 kParamCount = 10;
inline constexpr ParamID kHpf = 0;
inline constexpr ParamID kLoShelfLevel = 2;
inline constexpr ParamID kMid1Freq = 3;
inline constexpr ParamID kHiShelfLevel = 7;
inline constexpr ParamID kGain = 8;
inline constexpr ParamID kOversampling = 9;

inline void ClassId(TUID cid) {
    std::memcpy(cid, kClassIdBytes, sizeof(TUID));
}

inline std::string ToUtf8(const TChar* text) {
    String string(text);
    string.toMultiByte(kCP_Utf8);
    return string.text8() != nullptr ? std::string(string.text8()) : std::string();
}

inline double ReadDouble(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(bytes.at(at + static_cast<std::size_t>(i))) << (8 * i);
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline int32_t ReadInt32(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(bytes.at(at + static_cast<std::size_t>(i))) << (8 * i);
    return static_cast<int32_t>(bits);
}

inline void AppendDouble(std::vector<uint8_t>& bytes, double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

inline void AppendInt32(std::vector<uint8_t>& bytes, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

// Fixed-seed noise in [-amplitude, amplitude].
inline std::vector<double> Noise(std::size_t count, double amplitude, uint32_t seed) {
    std::vector<double> samples(count);
    uint32_t x = seed * 2654435761u + 1u;
    for (double& s : samples) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        s = amplitude * (static_cast<double>(x) / 2147483648.0 - 1.0);
    }
    return samples;
}

class EqualizerModule : public ::testing::Test {
protected:
    // Loaded once and kept until the process ends. A module with thread-local
    // variables leaves the C library's per-thread blocks for them behind when
    // it is unloaded (a few bytes per thread and load), which the leak
    // checker would report; unloading is covered by the framework's own
    // module tests.
    static void SetUpTestSuite() {
        if (module != nullptr)
            return;
        std::string error;
        module = vst3host::Module::Load(LUMARO_EQ_BUNDLE, &error).release();
        ASSERT_NE(module, nullptr) << error;
    }

    void SetUp() override {
        ASSERT_NE(module, nullptr);
        context = owned(new vst3host::HostContext);
    }

    // An initialized instance with the recording component handler.
    std::unique_ptr<vst3host::PluginInstance> Make() {
        TUID cid;
        ClassId(cid);
        std::string error;
        auto instance = vst3host::PluginInstance::Create(*module, cid, &error);
        EXPECT_TRUE(instance) << error;
        if (instance && instance->Initialize(context->Unknown()) != kResultOk)
            return nullptr;
        return instance;
    }

    // Initialized, set up, active and processing.
    std::unique_ptr<vst3host::PluginInstance> MakeRunning(vst3host::ProcessConfig config = {}) {
        auto instance = Make();
        if (!instance || instance->SetupProcessing(config) != kResultOk ||
            instance->SetActive(true) != kResultOk || instance->SetProcessing(true) != kResultOk)
            return nullptr;
        return instance;
    }

    // Stereo 64-bit processing of a whole signal in blocks of the given sizes
    // (cycled); both channels carry the same input.
    static std::vector<double> Run64(vst3host::PluginInstance& instance,
                                     const std::vector<double>& input,
                                     const std::vector<int32>& blockSizes) {
        std::vector<double> output(input.size(), 0.0);
        std::vector<double> left, right, outLeft, outRight;
        std::size_t position = 0;
        for (std::size_t b = 0; position < input.size(); ++b) {
            const auto frames = static_cast<std::size_t>(std::min<int64_t>(
                blockSizes[b % blockSizes.size()], static_cast<int64_t>(input.size() - position)));
            left.assign(input.begin() + static_cast<std::ptrdiff_t>(position),
                        input.begin() + static_cast<std::ptrdiff_t>(position + frames));
            right = left;
            outLeft.assign(frames, 0.0);
            outRight.assign(frames, 0.0);
            double* in[] = {left.data(), right.data()};
            double* out[] = {outLeft.data(), outRight.data()};
            instance.Process(in, 2, out, 2, static_cast<int32>(frames));
            std::copy(outLeft.begin(), outLeft.end(),
                      output.begin() + static_cast<std::ptrdiff_t>(position));
            position += frames;
        }
        return output;
    }

    static IPtr<IUnitInfo> Units(vst3host::PluginInstance& instance) {
        IUnitInfo* units = nullptr;
        instance.Component()->queryInterface(IUnitInfo::iid, reinterpret_cast<void**>(&units));
        return owned(units);
    }

    static vst3host::Module* module;
    IPtr<vst3host::HostContext> context;
};

inline vst3host::Module* EqualizerModule::module = nullptr;

} // namespace eq_module
