#pragma once
// MAudioEffectPluginHost: the host object of an audio effect (see MPluginHost). It adds the
// effect's parameter table (command 2) and the effect-specific queries, each through the
// command function.

#include "framework/MPluginHost.h"

#include <cstdint>

struct MParameterTable;
class MAudioEffectPlugin;

class MAudioEffectPluginHost : public MPluginHost
{
public:
  explicit MAudioEffectPluginHost(MPluginCommandFunction function);
  ~MAudioEffectPluginHost() override;

  /// Slot 3: asks the effect for its parameter table (command 2) and keeps it; null when the
  /// effect has none.
  virtual const MParameterTable* FetchParameterTable();
  /// Slot 4: the effect object (command 7), or null when the answer is not an audio effect.
  virtual MAudioEffectPlugin* FetchEffect();
  /// Slot 5: the effect's tail size in samples (command 105); 0 when the command fails.
  virtual std::int32_t GetTailSize();

  const MParameterTable* GetParameterTable() const noexcept { return m_parameterTable; }

private:
  const MParameterTable* m_parameterTable = nullptr;
};
