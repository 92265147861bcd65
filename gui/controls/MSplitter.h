#pragma once
// MSplitter: a panel split into two panes by a divider the user drags (left/right panes when
// horizontal, top/bottom when vertical). The split is a ratio of the room (0..1), kept when the
// splitter resizes; each pane keeps at least kMinPane pixels. A double click on the divider
// restores the even split. Each user move fires the changed event.
//
// Threads: GUI thread.

#include "gui/controls/MPanel.h"

#include <cstdint>
#include <memory>

class MSplitter : public MPanel
{
public:
  static constexpr std::int32_t kDivider = 6;
  static constexpr std::int32_t kMinPane = 16;

  explicit MSplitter(bool horizontal = true);
  ~MSplitter() override = default;

  /// Makes `first` and `second` the panes (owned, replacing earlier ones; null leaves a pane
  /// empty).
  void SetPanes(std::unique_ptr<MControl> first, std::unique_ptr<MControl> second);
  MControl* GetFirstPane() const { return m_first; }
  MControl* GetSecondPane() const { return m_second; }
  double GetRatio() const { return m_ratio; }
  /// Sets the split (limited to 0..1, not-a-number reads as 0.5) without the changed event.
  void SetRatio(double ratio);
  MRect GetDividerRect() const;

  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  /// The resize arrow of the split's direction over the divider (and while dragging).
  MStdCursor GetCursor(MPoint position) const override;
  void Paint(MDrawer& drawer) override;

protected:
  void OnSizeChanged() override { Arrange(); }

private:
  void Arrange();
  std::int32_t Room() const;

  bool m_horizontal;
  double m_ratio = 0.5;
  MControl* m_first = nullptr;
  MControl* m_second = nullptr;
  bool m_dragging = false;
  std::int32_t m_grab = 0;
};
