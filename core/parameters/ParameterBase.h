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
  /// Adds this parameter's control to the generic panel: a knob or a switch under the
  /// parameter's group heading, with the descriptor's help (GUI thread). Nothing for a
  /// temporary parameter, one without a plug-in or without a panel.
  void CreateEditorControls(MPluginParameters* panel) override;
  /// Refreshes the control in the panel the editor link points to, when there is one.
  void UpdateEditorControls() override;

  MParameterInfo& Info() const noexcept { return *m_descriptor; }
  /// Runs the change notifications unless silent.
  void NotifyChanged(bool silent);

  MParameterOwner* m_owner = nullptr;
  MParameterInfo* m_descriptor = nullptr;
  MPluginParameters** m_editorLink = nullptr;
  std::int32_t m_effectIndex = 0;
};
