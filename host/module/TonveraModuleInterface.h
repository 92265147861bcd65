#pragma once
// The module's effect entry points: the effect's command function, the library initialisation
// for modules that share this library, and the creation of the whole plug-in for a host adapter.
//
// All of them are host-thread functions that never let an exception out.

#include "base/MString.h"
#include "framework/MPlugin.h"

#include <cstdint>

class MAudioPlugin;
class Module;

/// What a sharing module hands to MLibraryDLLInitialize.
struct MLibraryInitializationRecord
{
  /// Five 64-bit process-wide settings (may be null: left as they are).
  const std::int64_t* settings = nullptr;
  /// A sixth setting.
  std::int64_t extraSetting = 0;
  /// The library name given to a newly created library object.
  MString libraryName;
};

extern "C"
{

  /// The effect's command function. A null instance creates a new TonveraAudioEffectPlugin for this
  /// call: command 7 then answers it (the caller owns it from then on); command 0 hands it out when
  /// the connect succeeds and deletes it when refused; with any other command it is deleted after
  /// answering, as nobody holds it. Command 7 on an instance answers the instance; every other
  /// command goes to the effect's command handler (unknown commands answer -1). A failure answers 0
  /// for creation and -1 otherwise.
  std::int64_t TonveraAudioEffectPluginInterface(void* instance, std::int64_t command,
                                                 MPluginCommandBlock* block);

  /// Copies the record's settings into the process-wide settings and answers the library object,
  /// creating it first (named after the record, window system not started) when there is none.
  /// Null record or failure: null.
  Module* MLibraryDLLInitialize(const MLibraryInitializationRecord* record);
}

/// The plug-in a host adapter wraps: initialises the library, creates an MQuorvelAudioEffectPlugin
/// named "Tonvera" (vendor "Quorvel") over TonveraAudioEffectPluginInterface and answers its
/// MAudioPlugin part, owned by the caller; null when any step failed (nothing is leaked then).
MAudioPlugin* CreateTonveraPlugin();
/// The same plug-in as a mirror (MAudioPlugin::MakeMirror) for an editor that reaches its instance
/// through the host alone: parameters and editor, no processing, no shared files.
MAudioPlugin* CreateTonveraMirror();
