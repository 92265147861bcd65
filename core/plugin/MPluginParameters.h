#pragma once
// MPluginParameters: the generic parameter panel of the plug-in editor.
//
// One control per host-visible parameter: a knob for float and integer parameters, a switch for
// booleans and enumerations, each showing the parameter's name, its display text (value and
// units) and, as its help, the parameter's STML help text. Controls are grouped under the
// headings of the effect's parameter groups, side by side, in the order of the adapters' order
// keys (GetOrderKey; registration order among equal keys)
// (a run of controls of one group is one section).
//
// How it is filled: MAudioPlugin creates the panel inside the editor, stores it in its parameter
// panel link (GetParameterPanelLink) and calls Build, which asks every adapter to add its
// controls (AutomationAdapter::CreateEditorControls -> AddParameterControl). Adapters whose
// values change elsewhere (host automation, SetParameter from the host, settings loaded) are
// queued by the plug-in and refreshed on the GUI thread through UpdateEditorControls ->
// RefreshParameter.
//
// Edits go to the host as gestures: mouse down on a control -> BeginAutomationGesture, every
// change -> SetParameterFromEditor (which sets the slot and sends the value), release ->
// EndAutomationGesture; a wheel step, a key or a typed value is one begin/change/end of its own.
// A gesture still open when the editor closes is closed towards the host then (EndGestures, from
// MAudioPlugin::DestroyParameterPanel).
//
// Threads: GUI thread only (the host's UI thread).

#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MParameterPanelCalls.h"
#include "gui/controls/MPanel.h"

#include <cstdint>
#include <vector>

class MControlValue;
class MStatic;

class MPluginParameters : public MPanel, public MParameterPanelCalls
{
public:
  explicit MPluginParameters(MAudioPlugin& plugin);
  /// Clears the plug-in's link to this panel (when it still points here).
  ~MPluginParameters() override;

  // The calls the core makes (MParameterPanelCalls).
  void EndGestures() override;
  MControlValue* AddParameterControl(const ControlRequest& request) override;
  void RefreshParameter(std::int32_t index) override;

  /// Removes every control, asks each adapter to add its own (by order key, then adapter order)
  /// and arranges.
  void Build();
  void RefreshAll();
  /// The control of slot `index`; null when none.
  MControlValue* FindParameterControl(std::int32_t index) const;
  std::int32_t GetControlCount() const { return static_cast<std::int32_t>(m_entries.size()); }
  /// Id of the control of slot `index` ("Parameter<index>"), for FindChild.
  static MString ControlId(std::int32_t index);

  /// Lays the sections out side by side: each as wide as its share of the controls, a heading
  /// line, the controls in one row below it. Cells are equal unless a control's display texts
  /// would not fit one; that control then gets the width it needs from the cells with room to
  /// spare.
  void Arrange();
  MSize GetPreferredSize() const override;

  /// Arranges once more at the first paint with a style when the last arrangement had none (the
  /// panel is built before the window opens, when texts can only be estimated), then paints.
  void Paint(MDrawer& drawer) override;

protected:
  void OnSizeChanged() override { Arrange(); }

private:
  struct Entry
  {
    std::int32_t index = 0;
    MControlValue* control = nullptr;
    std::size_t section = 0;
  };
  struct Section
  {
    MString name;
    MStatic* heading = nullptr;
    std::int32_t count = 0;
  };

  const Entry* FindEntry(const MObject* control) const;
  /// The width the control's caption and its display texts along the range need (at most a
  /// full cell).
  std::int32_t NeededWidth(const Entry& entry) const;
  /// The entries by column, in order: one knob, or up to two switches of one section stacked.
  std::vector<std::vector<std::size_t>> Columns() const;
  void OnGesture(MOnItemParams<bool>& params);
  void OnControlChanged(MOnNotifyParams& params);

  MAudioPlugin& m_plugin;
  bool m_arrangedWithStyle = false;
  std::vector<Entry> m_entries;
  std::vector<Section> m_sections;
};
