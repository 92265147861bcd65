#pragma once
// Scrolling.
//  - MScrollBar: a horizontal or vertical bar over a range of `total` units of which `page` are
//    visible from `position`. Dragging the thumb moves it with the mouse, a click beside the thumb
//    moves a page, the wheel and the arrow keys move a line, PageUp/PageDown a page, Home/End to
//    the ends. Every user move fires the changed event.
//  - MScroller: a viewport onto one content control larger than itself: scroll bars appear
//    where the content does not fit; the wheel scrolls vertically (Shift: horizontally). The
//    content is a child of an inner viewport control, so it is clipped beside the bars.
//  - MZoomer: a zoom strip showing which part [start, start + length) of 0..1 a view shows.
//    Dragging the window moves it, dragging an end resizes it, the wheel zooms around the centre
//    (down: out), a double click shows everything. Each user change fires the changed event.
//
// Threads: GUI thread.

#include "gui/MControl.h"

#include <cstdint>

class MScrollBar : public MControl
{
public:
  explicit MScrollBar(bool vertical = true);
  ~MScrollBar() override = default;

  bool IsVertical() const { return m_vertical; }
  /// Sets the range (negative values read as 0; page is limited to total), clamps the position;
  /// no changed event.
  void SetRange(std::int32_t total, std::int32_t page);
  std::int32_t GetTotal() const { return m_total; }
  std::int32_t GetPage() const { return m_page; }
  std::int32_t GetScrollPosition() const { return m_position; }
  /// Largest position: total - page.
  std::int32_t GetMaxPosition() const { return m_total - m_page; }
  /// Sets the position (clamped) without the changed event.
  void SetScrollPosition(std::int32_t position);
  /// The user's move: clamps, fires the changed event when it moved.
  bool MoveTo(std::int32_t position);
  void SetLineStep(std::int32_t step) { m_lineStep = step < 1 ? 1 : step; }

  /// The thumb (control coordinates).
  MRect GetThumbRect() const;

  MSize GetPreferredSize() const override;
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  void FillPaint(MControlPaint& paint) const override;

private:
  std::int32_t TrackLength() const;

  bool m_vertical;
  std::int32_t m_total = 100;
  std::int32_t m_page = 10;
  std::int32_t m_position = 0;
  std::int32_t m_lineStep = 1;
  bool m_dragging = false;
  std::int32_t m_grab = 0;
};

class MScroller : public MControl
{
public:
  MScroller();
  ~MScroller() override = default;

  /// Makes `content` the scrolled control (replacing an earlier one); answers it.
  MControl& SetContent(std::unique_ptr<MControl> content);
  MControl* GetContent() const { return m_content; }
  /// The scroll offset (how far the content is moved up and left).
  MPoint GetScrollOffset() const { return m_offset; }
  /// Scrolls (clamped to the content) and moves the content.
  void ScrollTo(MPoint offset);
  /// Recomputes the bars after the content or the viewport changed size.
  void UpdateLayout();
  MScrollBar& GetVerticalBar() { return *m_vertical; }
  MScrollBar& GetHorizontalBar() { return *m_horizontal; }

  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;

protected:
  void OnSizeChanged() override { UpdateLayout(); }

private:
  void OnBarChanged(MOnNotifyParams& params);

  MControl* m_viewport; // clips the content to the part the bars leave
  MControl* m_content = nullptr;
  MScrollBar* m_vertical;
  MScrollBar* m_horizontal;
  MPoint m_offset;
};

class MZoomer : public MControl
{
public:
  MZoomer();
  ~MZoomer() override = default;

  double GetStart() const { return m_start; }
  double GetLength() const { return m_length; }
  /// Sets the shown part (length limited to [min length, 1], start to [0, 1 - length]); no event.
  void SetRange(double start, double length);
  /// The user's change: sets and fires the changed event when it changed.
  bool ChangeRange(double start, double length);
  /// Zooms by `factor` (< 1 in, > 1 out) around the window's centre.
  bool Zoom(double factor);
  static constexpr double kMinLength = 1.0 / 256;

  MRect GetWindowRect() const;

  MSize GetPreferredSize() const override;
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

private:
  enum class Drag
  {
    None,
    Move,
    Start,
    End,
  };

  double m_start = 0.0;
  double m_length = 1.0;
  Drag m_drag = Drag::None;
  std::int32_t m_lastX = 0;
  double m_dragStart = 0.0;
  double m_dragEnd = 1.0;
};
