#pragma once
// MPluginSystem: creates effect instances by name through their command functions.
//
// Command functions are registered by pointer, so the framework never includes an effect's
// headers: the module registers "Tonvera" with its command function and the adapter asks for the
// name. A short-lived object: the adapter builds one while it creates its effect.
// Host thread only; allocates.

#include "base/MObject.h"
#include "base/MString.h"
#include "framework/MPlugin.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class MAudioEffectPluginHost;

class MPluginSystem : public MObject
{
public:
  /// Result codes of CreateAudioEffectPlugin.
  static constexpr std::int32_t kCreated = 0;
  static constexpr std::int32_t kNoCommandFunction = 4;
  static constexpr std::int32_t kConnectFailed = 5;
  static constexpr std::int32_t kNoParameterTable = 6;

  MPluginSystem() = default;
  /// A system with one function registered under `name`.
  MPluginSystem(const MString& name, MPluginCommandFunction function);
  ~MPluginSystem() override;

  /// Registers (or replaces) the command function of the effect called `name` (names compare
  /// ignoring case). A null function unregisters it.
  void Register(const MString& name, MPluginCommandFunction function);
  /// The registered function of `name`, or null.
  MPluginCommandFunction Find(const MString& name) const;

  /// Creates the effect `name`: no function registered: 4; connecting fails: 5 (the host object is
  /// deleted, which destroys nothing since nothing connected); no parameter table: 6 (the host
  /// and with it the effect are destroyed). Otherwise OnCreated, command 3, the system and the
  /// name are stored in the host, `host` receives it and the answer is 0.
  std::int32_t CreateAudioEffectPlugin(const MString& name, std::unique_ptr<MAudioEffectPluginHost>& host);

private:
  std::vector<std::pair<MString, MPluginCommandFunction>> m_functions;
};
