#include "TestGainModule.h"
#include "host/HostContext.h"
#include "host/PluginInstance.h"

#include <dlfcn.h>

using namespace Steinberg;

namespace {

using EntryFunction = bool (*)();
using GetFactoryFunction = IPluginFactory*(PLUGIN_API*)();

// The count a release leaves behind, read without changing it.
uint32 ReferencesOf(FUnknown* object) {
    object->addRef();
    return object->release();
}

} // namespace

TEST(ModuleEntry, InitAndExitCountEntriesAndRefuseAnUnmatchedExit) {
    auto module = test_gain::LoadModule();
    ASSERT_TRUE(module);
    auto initDll = reinterpret_cast<EntryFunction>(module->Symbol("InitDll"));
    auto exitDll = reinterpret_cast<EntryFunction>(module->Symbol("ExitDll"));
    auto moduleExit = reinterpret_cast<EntryFunction>(module->Symbol("ModuleExit"));
    ASSERT_TRUE(initDll && exitDll && moduleExit);

    // Loading entered once through ModuleEntry.
    EXPECT_TRUE(initDll());  // 2
    EXPECT_TRUE(initDll());  // 3
    EXPECT_TRUE(exitDll());  // 2
    EXPECT_TRUE(exitDll());  // 1
    EXPECT_TRUE(exitDll());  // 0
    EXPECT_FALSE(exitDll()); // would be -1: refused
    EXPECT_FALSE(moduleExit());
    // The refused exits left the count at 0, so one entry makes it 1 again
    // and the exit-on-unload still balances.
    EXPECT_TRUE(initDll());
    EXPECT_TRUE(exitDll());
    EXPECT_FALSE(exitDll());
    EXPECT_TRUE(initDll());
}

TEST(ModuleEntry, GetPluginFactoryReturnsTheLiveFactoryWithOneMoreReference) {
    auto module = test_gain::LoadModule();
    ASSERT_TRUE(module);
    auto getFactory = reinterpret_cast<GetFactoryFunction>(module->Symbol("GetPluginFactory"));
    ASSERT_TRUE(getFactory);

    const uint32 before = ReferencesOf(module->Factory());
    IPluginFactory* first = getFactory();
    IPluginFactory* second = getFactory();
    EXPECT_EQ(first, module->Factory());
    EXPECT_EQ(second, first);
    EXPECT_EQ(ReferencesOf(first), before + 2);
    first->release();
    second->release();
    EXPECT_EQ(ReferencesOf(module->Factory()), before);
}

// Holds the library open without the Module wrapper, so that the test owns
// every reference to the factory.
TEST(ModuleEntry, FactoryIsRebuiltAfterItsFinalReleaseWithoutTheOldHostContext) {
    const std::string path = vst3host::Module::LibraryPathFor(TEST_GAIN_BUNDLE);
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto moduleEntry = reinterpret_cast<bool (*)(void*)>(dlsym(library, "ModuleEntry"));
    auto moduleExit = reinterpret_cast<EntryFunction>(dlsym(library, "ModuleExit"));
    auto getFactory = reinterpret_cast<GetFactoryFunction>(dlsym(library, "GetPluginFactory"));
    ASSERT_TRUE(moduleEntry && moduleExit && getFactory);
    ASSERT_TRUE(moduleEntry(library));

    IPtr<vst3host::HostContext> factoryContext = owned(new vst3host::HostContext);
    IPtr<vst3host::HostContext> initContext = owned(new vst3host::HostContext);
    TUID cid;
    test_gain::ExpectedClassId(cid);

    IPluginFactory* factory = getFactory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(ReferencesOf(factory), 1u);
    {
        FUnknownPtr<IPluginFactory3> factory3(factory);
        ASSERT_TRUE(factory3);
        ASSERT_EQ(factory3->setHostContext(factoryContext->Unknown()), kResultOk);
    }
    EXPECT_EQ(ReferencesOf(factoryContext->Unknown()), 2u); // ours and the factory's

    // While that factory lives, an instance finds the run loop through the
    // factory's host context.
    {
        Vst::IAudioProcessor* processor = nullptr;
        ASSERT_EQ(factory->createInstance(cid, Vst::IAudioProcessor::iid,
                                          reinterpret_cast<void**>(&processor)),
                  kResultOk);
        FUnknownPtr<IPluginBase> base(processor);
        ASSERT_EQ(base->initialize(initContext->Unknown()), kResultOk);
        EXPECT_EQ(factoryContext->RunLoop().TimerCount(), 1u);
        EXPECT_EQ(initContext->RunLoop().TimerCount(), 0u);
        base->terminate();
        EXPECT_EQ(factoryContext->RunLoop().TimerCount(), 0u);
        processor->release();
    }

    EXPECT_EQ(factory->release(), 0u);
    EXPECT_EQ(ReferencesOf(factoryContext->Unknown()), 1u); // released with the factory

    IPluginFactory* rebuilt = getFactory();
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_EQ(ReferencesOf(rebuilt), 1u);
    EXPECT_EQ(rebuilt->countClasses(), 1);
    {
        Vst::IAudioProcessor* processor = nullptr;
        ASSERT_EQ(rebuilt->createInstance(cid, Vst::IAudioProcessor::iid,
                                          reinterpret_cast<void**>(&processor)),
                  kResultOk);
        FUnknownPtr<IPluginBase> base(processor);
        ASSERT_EQ(base->initialize(initContext->Unknown()), kResultOk);
        // No factory context any more: the initialize context's run loop.
        EXPECT_EQ(factoryContext->RunLoop().TimerCount(), 0u);
        EXPECT_EQ(initContext->RunLoop().TimerCount(), 1u);
        base->terminate();
        processor->release();
    }
    EXPECT_EQ(rebuilt->release(), 0u);

    EXPECT_TRUE(moduleExit());
    dlclose(library);
}

TEST(ModuleEntry, OnlyTheEntryPointsAreVisibleToTheDynamicLinker) {
    auto module = test_gain::LoadModule();
    ASSERT_TRUE(module);
    for (const char* name : {"GetPluginFactory", "ModuleEntry", "ModuleExit", "InitDll", "ExitDll"})
        EXPECT_NE(module->Symbol(name), nullptr) << name;
    // plugin::vst3::MakePluginFactory() and plugin::vst3::LiveFactory(),
    // mangled by hand from the Itanium C++ ABI.
    EXPECT_EQ(module->Symbol("_ZN6plugin4vst317MakePluginFactoryEv"), nullptr);
    EXPECT_EQ(module->Symbol("_ZN6plugin4vst311LiveFactoryEv"), nullptr);
    // An SDK function compiled into the module.
    EXPECT_EQ(module->Symbol("_ZN9Steinberg7FObject7releaseEv"), nullptr);
}
