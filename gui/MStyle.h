#pragma once
// MStyle: how every control looks. Controls never pick colours or sizes of their own: they
// describe themselves in an MControlPaint and let the window's style draw frame, background,
// caption, state image and value indicator (knob arc, tracker thumb, check mark ...). Controls
// with content no style type covers (piano keys, curves, meters) draw with the drawer using the
// style's colours and fonts.
//
// MBaseStyle draws with configurable colours and fonts; MTexturedStyle draws from the bitmaps of
// the style package "mstyle.mrf", tinted by the four main colours of its configuration.
//
// Threads: GUI thread only. Painting never throws out of PaintControl/PaintContent (a failing
// drawer primitive is contained by the drawer).

#include "base/MEventTarget.h"
#include "gui/MGuiTypes.h"

#include <atomic>
#include <cstdint>

class MDrawer;
class MFont;
class MXmlItem;

/// Check state of check boxes and switches; names as MEnumerations::CheckBoxState().
enum class MCheckState : std::int32_t
{
  Off,
  On,
  Grayed,
};

/// What a control tells its style when it is painted.
struct MControlPaint
{
  MControlType type = MControlType::Control;
  MCaptionType captionType = MCaptionType::None;
  /// Whole control in its own coordinates (left = top = 0).
  MRect rect;
  MString caption;
  /// Text content (button label, displayed value); may be empty.
  MString text;
  MStdFont font = MStdFont::Normal;
  MAlignment textAlignment = MAlign::Center;
  bool focused = false;
  bool highlighted = false; ///< under the mouse
  bool clicked = false;     ///< pressed, or a toggled button that is on
  bool disabled = false;
  MCheckState check = MCheckState::Off;
  /// Normalised position 0..1 of value controls (knob, rotator, tracker, scroll bar thumb start,
  /// progress); negative when the control has none.
  double value = -1.0;
  /// Second normalised figure where a type needs one (scroll-bar thumb length, bipolar origin).
  double value2 = -1.0;
};

class MStyle : public MEventTarget
{
public:
  /// Standard metrics. Index 0 is the spacing between laid-out controls.
  enum Metric : std::int32_t
  {
    MetricSpacing = 0,
    MetricBorder = 1,    ///< frame width of panels and edit fields
    MetricRowHeight = 2, ///< height of one list, menu or edit line
    MetricScrollBar = 3, ///< width of a vertical scroll bar
    MetricKnobSize = 4,  ///< default knob diameter
    MetricButtonHeight = 5,
    MetricCount
  };

  ~MStyle() override = default;

  /// Name of the style ("Default", "Silver", "Base").
  virtual MString GetName() const = 0;
  /// Standard metric in pixels; 0 for an unknown index.
  virtual std::int32_t GetMetric(std::int32_t index) const = 0;

  /// Client area of a control of `type` with a caption of `captionType` and outer size `size`,
  /// in the control's coordinates (never larger than the control, never negative).
  virtual MRect GetClientRect(MControlType type, MCaptionType captionType, MSize size) const = 0;
  /// Outer size needed for a client area of `clientSize`.
  virtual MSize GetControlSize(MControlType type, MCaptionType captionType, MSize clientSize) const = 0;

  /// Background, frame, caption, state image and value indicator of a control.
  virtual void PaintControl(MDrawer& drawer, const MControlPaint& paint) = 0;
  /// Text content inside `rect` (usually the client rectangle) with the paint's font, alignment
  /// and state colours. For ListBox, TreeControl, Menu, MenuBar and TabSet it paints one row (or
  /// tab) in `rect`: paint.clicked marks the selected row (the active tab), paint.highlighted the
  /// row under the mouse.
  virtual void PaintContent(MDrawer& drawer, const MRect& rect, const MControlPaint& paint) = 0;

  /// The cursor over a value control that drags along one axis; `wanted` is the double arrow of
  /// that axis (ArrowUD or ArrowLR). Default: `wanted`. A style whose definition offers no cursor
  /// of that shape answers the hand (Link) instead.
  virtual MStdCursor GetDragCursor(MStdCursor wanted) const { return wanted; }

  virtual MColor GetColor(MStdColor color) const = 0;
  virtual const MFont& GetFont(MStdFont font) const = 0;

  /// Reads the colour configuration (attribute names "Style", "maincolor0".."maincolor3",
  /// "changecontrast", "changebrightness", "changesaturation", "multiplysaturation"); unknown or
  /// malformed values keep their defaults. Re-tints at once.
  virtual void LoadConfiguration(const MXmlItem& item) = 0;
  virtual void SaveConfiguration(MXmlItem& item) const = 0;

  /// Names how the style draws now (palette, images, fonts): a new number, unique in the process,
  /// after every change, so controls that keep a picture of what a style drew know when to draw
  /// again (a style made afresh at the address of one gone has a number of its own too).
  std::uint64_t GetRevision() const { return m_revision; }

protected:
  /// Derived styles call it whenever what they draw changed.
  void Changed()
  {
    static std::atomic<std::uint64_t> s_last{0};
    m_revision = s_last.fetch_add(1, std::memory_order_relaxed) + 1;
  }

private:
  std::uint64_t m_revision = 0;
};
