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
#include "gui/controls/MPanel.h"

#include <cstdint>
#include <vector>

class MControlValue;
class MStatic;

// A sanitizer's dynamic-type check of a call names the callee's class's type information, which
// for a panel lives in the editor library; the core's functions that call a panel leave that one
// check out so that the core still links without the editor library in such a build.
#if defined(__clang__) || defined(__GNUC__)
#define M_CORE_PANEL_CALL __attribute__((no_sanitize("vptr")))
#else
#define M_CORE_PANEL_CALL
#endif

class MPluginParameters : public MPanel
{
public:
  /// What an adapter tells the panel about one of its slots.
  struct ControlRequest
  {
    /// Global host index of the slot (0 .. GetNumParameters() - 1).
    std::int32_t index = 0;
    /// Heading of the section the control goes to; empty: a section without heading.
    MString group;
    /// STML help text (shown with the help definitions in front).
    MString help;
    /// Discrete positions of the value (integers, enumerations, booleans); 0 for continuous.
    std::int32_t steps = 0;
    /// The knob's arc grows from the middle (ranges symmetric around zero).
    bool bipolar = false;
  };

  explicit MPluginParameters(MAudioPlugin& plugin);
  /// Clears the plug-in's link to this panel (when it still points here).
  ~MPluginParameters() override;

  // The calls the core makes on a panel (EndGestures, AddParameterControl, RefreshParameter)
  // are virtual: the core reaches them through the panel's own table and so links without the
  // editor library, which builds the panels. The core's functions that make them are marked
  // M_CORE_PANEL_CALL (see below).

  /// Closes every gesture still open (a drag the editor's closing cuts short) towards the host.
  virtual void EndGestures();

  /// Removes every control, asks each adapter to add its own (by order key, then adapter order)
  /// and arranges.
  void Build();
  /// Adds the control of one slot (see the file comment); null for an index outside the
  /// host-visible slots or one that already has a control.
  virtual MControlValue* AddParameterControl(const ControlRequest& request);
  /// Re-reads the value and display text of slot `index` into its control (nothing when it has
  /// none).
  virtual void RefreshParameter(std::int32_t index);
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
