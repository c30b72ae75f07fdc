#pragma once

#include "pluginterfaces/base/ipluginbase.h"

namespace plugin::vst3 {

class PluginFactory;

// Supplied by the plug-in module: builds its factory with one reference and
// its classes registered. The entry code calls it whenever no factory is
// alive, so it may run more than once per process. Returns null on failure.
// [ui]
PluginFactory* MakePluginFactory();

// The factory handed out by GetPluginFactory while the host holds it, else
// null. No reference is added; components use it during their set-up calls,
// while the host necessarily still holds the factory that made them.
// [ui]
PluginFactory* LiveFactory() noexcept;

// How often the module has been entered (InitDll/ModuleEntry) and not yet
// left (ExitDll/ModuleExit); never negative.
// [any]
int ModuleEntryCount() noexcept;

// The first dlopen handle a host passed to ModuleEntry, or null while the
// host has only entered through InitDll (which has no handle to give).
// [any]
void* LibraryHandle() noexcept;

// The shared object's own file path (from the dynamic loader), for finding
// files inside the bundle; empty if the loader cannot tell.
// [any]
const char* ModulePath() noexcept;

} // namespace plugin::vst3

// The exported entry points of a Linux .vst3 module. Everything else in the
// module is hidden.
extern "C" {
// A reference to the live factory (one more reference on each call), or a
// fresh one when none is alive; null if it cannot be built.
SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory(); // [ui]
// Called by Linux hosts right after dlopen; counts like InitDll.
SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle); // [ui]
// Called by Linux hosts right before dlclose; counts like ExitDll.
SMTG_EXPORT_SYMBOL bool ModuleExit(); // [ui]
// Increments the entry count; always true.
SMTG_EXPORT_SYMBOL bool InitDll(); // [ui]
// Decrements the entry count: true while it stays at or above 0. An exit
// without a matching entry returns false and leaves the count at 0.
SMTG_EXPORT_SYMBOL bool ExitDll(); // [ui]
}
