#pragma once

#include "host/Module.h"
#include "testplugin/TestGainIds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Paths of the "Test Gain" bundle, set by the build.
#ifndef TEST_GAIN_BUNDLE
#error "TEST_GAIN_BUNDLE must name the Test Gain .vst3 bundle"
#endif

namespace test_gain {

inline std::unique_ptr<vst3host::Module> LoadModule() {
    std::string error;
    auto module = vst3host::Module::Load(TEST_GAIN_BUNDLE, &error);
    EXPECT_TRUE(module) << error;
    return module;
}

// The class ID as the 16 bytes a host compares: each word big-endian.
inline void ExpectedClassId(Steinberg::TUID cid) {
    for (int word = 0; word < 4; ++word)
        for (int byte = 0; byte < 4; ++byte)
            cid[4 * word + byte] =
                static_cast<char>((kClassIdWords[word] >> (24 - 8 * byte)) & 0xFF);
}

} // namespace test_gain
