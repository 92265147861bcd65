#pragma once
// MContainer: a panel that owns its child controls and arranges them. Its layouts
// (gui/layout/MLayoutList.h) run in list order inside the client rectangle; what they leave goes
// to the client control (a child flagged "clientlayout"). Without layouts the client control
// fills the client rectangle. Arrange runs after every size change and when a child is marked
// client.
//
// Threads: GUI thread; Arrange runs with the tree lock free or held exclusively.

#include "gui/controls/MPanel.h"

#include <memory>

class MLayoutList;

class MContainer : public MPanel
{
public:
  MContainer();
  ~MContainer() override;

  /// The client control (fills the space the layouts leave); null when none.
  MControl* GetClientControl() const { return m_client; }
  /// Makes `control` (a child, or null) the client control and arranges.
  void SetClientControl(MControl* control);

  /// Places the children. Default: the client control (or the first child flagged
  /// FlagClientLayout) fills the client rectangle.
  virtual void Arrange();

  /// The layouts of this container (created empty on first use).
  MLayoutList& GetLayouts();
  /// Null while the container has never had layouts.
  MLayoutList* FindLayouts() const { return m_layouts.get(); }
  /// With layouts: what the layouts and the client control need at least (MLayoutList), as an
  /// outer size; otherwise the panel's minimal size.
  MSize GetMinimalSize() const override;
  /// With layouts: what they need at the children's current sizes; otherwise the minimal size.
  MSize GetPreferredSize() const override;

protected:
  void OnSizeChanged() override { Arrange(); }

private:
  MControl* m_client = nullptr;
  std::unique_ptr<MLayoutList> m_layouts;
};
