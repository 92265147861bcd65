#pragma once
// MContainer: a panel that owns its child controls and gives its client rectangle to one of them,
// the client control (a child flagged "clientlayout", or the one set). Arrange runs after every
// size change and when a child is made the client.
//
// Threads: GUI thread; Arrange runs with the tree lock free or held exclusively.

#include "gui/controls/MPanel.h"

class MContainer : public MPanel
{
public:
  MContainer();
  ~MContainer() override;

  /// The client control (fills the client rectangle); null when none.
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
