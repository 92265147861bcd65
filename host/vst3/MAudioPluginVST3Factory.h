#pragma once
// The module's VST 3 entry: the class factory with its one class "Tonvera", and the function
// that creates the plug-in an adapter wraps.
//
// GetPluginFactory, ModuleEntry and ModuleExit (InitDll and ExitDll on Windows) are defined as
// exported C functions in MAudioPluginVST3Factory.cpp; the module that links this library
// exports them. The host calls them on its main thread.

#include "sdk/vst3/VST3Base.h"

class MAudioPlugin;

namespace MAudioPluginVST3Factory
{
/// The class ID: the four-character codes 'Qrvl', 'Vxen', 'Tnvr', 'Tnvr'.
constexpr Steinberg::FUID kClassId = Steinberg::MakeFUID(0x5172766C, 0x5678656E, 0x546E7672, 0x546E7672);

/// Creates an adapter around a freshly created plug-in and answers its IAudioProcessor
/// interface with one reference; null when the plug-in could not be created.
Steinberg::FUnknown* CreateInstance(void* context);
} // namespace MAudioPluginVST3Factory

/// The plug-in each new VST 3 instance wraps, owned by the caller; null on failure. The module
/// build defines it over the effect (MAudioPluginVST3PluginCreation.cpp); a test module may
/// define its own.
MAudioPlugin* CreateVST3HostedPlugin();
