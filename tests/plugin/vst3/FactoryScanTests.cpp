#include "TestGainModule.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <string_view>

using namespace Steinberg;

namespace {

// A fixed-size record field holds exactly text, then zero bytes to its end.
template <typename Char, std::size_t N>
::testing::AssertionResult HoldsExactly(const Char (&field)[N], std::string_view text) {
    if (text.size() >= N)
        return ::testing::AssertionFailure() << "text longer than the field";
    for (std::size_t i = 0; i < text.size(); ++i)
        if (field[i] != static_cast<Char>(static_cast<unsigned char>(text[i])))
            return ::testing::AssertionFailure() << "differs at " << i;
    for (std::size_t i = text.size(); i < N; ++i)
        if (field[i] != 0)
            return ::testing::AssertionFailure() << "non-zero byte at " << i << " of " << N;
    return ::testing::AssertionSuccess();
}

class FactoryScan : public ::testing::Test {
protected:
    void SetUp() override {
        module = test_gain::LoadModule();
        ASSERT_TRUE(module);
        factory = module->Factory();
        test_gain::ExpectedClassId(cid);
    }

    std::unique_ptr<vst3host::Module> module;
    IPluginFactory* factory = nullptr;
    TUID cid;
};

} // namespace

TEST_F(FactoryScan, FactoryInfoCarriesTheVendorRecordZeroFilled) {
    PFactoryInfo info;
    std::memset(static_cast<void*>(&info), 0x5A, sizeof(info));
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_TRUE(HoldsExactly(info.vendor, test_gain::kVendor));
    EXPECT_TRUE(HoldsExactly(info.url, test_gain::kUrl));
    EXPECT_TRUE(HoldsExactly(info.email, test_gain::kEmail));
    EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
    EXPECT_EQ(info.flags, 16);
    EXPECT_EQ(factory->getFactoryInfo(nullptr), kInvalidArgument);
}

TEST_F(FactoryScan, ClassInfoRecordsDescribeTheOneClass) {
    ASSERT_EQ(factory->countClasses(), 1);

    PClassInfo info;
    ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
    EXPECT_EQ(std::memcmp(info.cid, cid, sizeof(TUID)), 0);
    EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
    EXPECT_TRUE(HoldsExactly(info.category, "Audio Module Class"));
    EXPECT_TRUE(HoldsExactly(info.name, test_gain::kClassName));

    FUnknownPtr<IPluginFactory2> factory2(factory);
    ASSERT_TRUE(factory2);
    PClassInfo2 info2;
    std::memset(static_cast<void*>(&info2), 0x5A, sizeof(info2));
    ASSERT_EQ(factory2->getClassInfo2(0, &info2), kResultOk);
    EXPECT_EQ(std::memcmp(info2.cid, cid, sizeof(TUID)), 0);
    EXPECT_EQ(info2.cardinality, 0x7FFFFFFF);
    EXPECT_TRUE(HoldsExactly(info2.category, "Audio Module Class"));
    EXPECT_TRUE(HoldsExactly(info2.name, test_gain::kClassName));
    EXPECT_EQ(info2.classFlags, test_gain::kClassFlags);
    EXPECT_TRUE(HoldsExactly(info2.subCategories, test_gain::kSubCategories));
    EXPECT_TRUE(HoldsExactly(info2.vendor, ""));
    EXPECT_TRUE(HoldsExactly(info2.version, test_gain::kVersion));
    EXPECT_TRUE(HoldsExactly(info2.sdkVersion, test_gain::kSdkVersion));

    FUnknownPtr<IPluginFactory3> factory3(factory);
    ASSERT_TRUE(factory3);
    PClassInfoW wide;
    std::memset(static_cast<void*>(&wide), 0x5A, sizeof(wide));
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_EQ(std::memcmp(wide.cid, cid, sizeof(TUID)), 0);
    EXPECT_TRUE(HoldsExactly(wide.category, "Audio Module Class"));
    EXPECT_TRUE(HoldsExactly(wide.name, test_gain::kClassName));
    EXPECT_TRUE(HoldsExactly(wide.subCategories, test_gain::kSubCategories));
    EXPECT_TRUE(HoldsExactly(wide.vendor, ""));
    EXPECT_TRUE(HoldsExactly(wide.version, test_gain::kVersion));
    EXPECT_TRUE(HoldsExactly(wide.sdkVersion, test_gain::kSdkVersion));
    EXPECT_EQ(wide.classFlags, test_gain::kClassFlags);
}

TEST_F(FactoryScan, OutOfRangeClassIndexesAreRefused) {
    PClassInfo info;
    PClassInfo2 info2;
    FUnknownPtr<IPluginFactory2> factory2(factory);
    EXPECT_NE(factory->getClassInfo(1, &info), kResultOk);
    EXPECT_NE(factory->getClassInfo(-1, &info), kResultOk);
    EXPECT_NE(factory2->getClassInfo2(1, &info2), kResultOk);
    EXPECT_NE(factory->getClassInfo(0, nullptr), kResultOk);
}

TEST_F(FactoryScan, CreateInstanceRefusesUnknownClassesAndInterfaces) {
    TUID wrong;
    std::memcpy(wrong, cid, sizeof(TUID));
    wrong[15] ^= 1;
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->createInstance(wrong, Vst::IComponent::iid, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);

    // The class exists but is not a factory.
    object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->createInstance(cid, IPluginFactory::iid, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);

    EXPECT_EQ(factory->createInstance(cid, Vst::IComponent::iid, nullptr), kInvalidArgument);
}

TEST_F(FactoryScan, CreateInstanceHandsOutTheAskedInterfaceWithOneReference) {
    for (const FUID* iid :
         {&Vst::IComponent::iid, &Vst::IAudioProcessor::iid, &Vst::IEditController::iid}) {
        FUnknown* object = nullptr;
        ASSERT_EQ(factory->createInstance(cid, *iid, reinterpret_cast<void**>(&object)), kResultOk);
        ASSERT_NE(object, nullptr);
        // The creation reference is gone: the host's is the only one.
        EXPECT_EQ(object->release(), 0u);
    }
}
