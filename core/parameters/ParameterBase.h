#pragma once
// ParameterBase: the base of the typed parameters that wrap an effect's descriptor.
//
// After a non-silent change it tells the effect (MParameterOwner::OnParameterChanged with the
// effect index; SetParametersChanged when the descriptor has kSetsChangedBit) and queues an
// editor refresh when the editor link is set. Randomisation works on the descriptor itself
// (MParameterInfo::Randomize), silently.
//
// Threads: as MAudioPlugin::AutomationAdapter. Notifications run on the setter's thread; silent
// changes (interpolation on the audio thread) notify nobody and allocate nothing.

#include "core/parameters/MParameterOwner.h"
#include "core/parameters/ParameterMainBase.h"

class MPluginParameters;

class ParameterBase : public ParameterMainBase
{
public:
  ParameterBase() = default;
  ~ParameterBase() override;

  bool CanRandomize() const override;
  void Randomize(double amount) override;

  MParameterInfo& Info() const noexcept { return *m_descriptor; }
  /// Runs the change notifications unless silent.
  void NotifyChanged(bool silent);

  MParameterOwner* m_owner = nullptr;
  MParameterInfo* m_descriptor = nullptr;
  MPluginParameters** m_editorLink = nullptr;
  std::int32_t m_effectIndex = 0;
};
