#pragma once
// MContainer: a panel that owns its child controls and arranges them. Layouts come later; today a
// container only keeps its client control (a child flagged "clientlayout") filling the client
// rectangle. Arrange runs after every size change and when a child is marked client.
//
// Threads: GUI thread; Arrange runs with the tree lock free or held exclusively.

#include "gui/controls/MPanel.h"

class MContainer : public MPanel
{
public:
  MContainer();
  ~MContainer() override = default;

  /// The client control (fills the space the layouts leave); null when none.
  MControl* GetClientControl() const { return m_client; }
  /// Makes `control` (a child, or null) the client control and arranges.
  void SetClientControl(MControl* control);

  /// Places the children. Default: the client control (or the first child flagged
  /// FlagClientLayout) fills the client rectangle.
  virtual void Arrange();

protected:
  void OnSizeChanged() override { Arrange(); }

private:
  MControl* m_client = nullptr;
};
