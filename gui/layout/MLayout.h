#pragma once
// MLayout: places a group of a container's child controls inside the rectangle the container's
// earlier layouts left free, and measures what that group needs.
//
// A container (MContainer, through its MLayoutList) runs its layouts in list order: each one gets
// the free rectangle, positions its controls in it and answers what is left for the next layout;
// the client control takes the remainder. The same code answers the container's minimal and
// preferred size: a layout is "computed" with a size computer (MinimalSizeComputer or
// CurrentSizeComputer) that answers each control's width and height as the layout sees it and
// collects the size the layouts need. Every algorithm is written once against SizeComputer and
// runs measuring (Compute) or placing (Arrange).
//
// Spacing: every layout keeps g = the style's MetricSpacing + "layoutspace" (never below 0)
// between neighbouring controls and after a band. Only visible controls take part, except that
// the switch layout measures all of its controls.
//
// Distribution along an axis (client layouts and the bands of side layouts; shown for a vertical
// run, the horizontal one is symmetric):
//  1. Each visible control with ratio y 0, or collapsed, adds its computed height to the fixed
//     total; the others add their ratio to the ratio total. A plastic control first gets its
//     height for the available width (MLayoutPlastic, through the style's client conversions).
//     Every control adds its "space" + g to the fixed total.
//  2. available = height of the free rectangle - fixed total + g, at least 0.
//  3. In order, a ratio control gets ratio * available_left / ratio_left (integer division), and
//     both left-overs shrink, so the rounding remainders fall to the last ratio controls; a fixed
//     control keeps its height. Ratios 1 and 2 over 100 pixels give 33 and 67.
//  4. Across: ratio x 0 and not plastic keeps its width, placed left (left + border x), right
//     (flush with the right edge less border x) or centred; otherwise it fills less 2 * border x.
//  5. Along, inside its slot: ratio y 0 and not plastic keeps its height, placed top, bottom or
//     centred the same way; otherwise it fills the slot less 2 * border y.
//  6. The next slot starts after the slot + "space" + g.
//
// Hostile numbers: sizes, borders, spaces and "layoutspace" are clamped to 0..kMaxExtent, ratios
// to 0..kMaxRatio (a negative ratio counts as 0: fixed size), all sums run in 64 bits and the
// final positions are clamped into the 32-bit coordinate range; no loop depends on a size.
//
// Threads: GUI thread. Arrange moves controls (SetPosition/SetSize take the tree lock themselves;
// MLayoutList holds it exclusively around a whole arrangement). Compute changes nothing.

#include "base/MObject.h"
#include "base/MString.h"
#include "gui/MGuiTypes.h"

#include <cstdint>
#include <vector>

class MControl;
class MLayoutList;
class MStyle;
class MXmlItem;

class MLayout : public MObject
{
public:
  /// Largest size, border, space or spacing a layout uses (pixels); larger values are clamped.
  static constexpr std::int64_t kMaxExtent = 1 << 24;
  /// Largest layout ratio; larger ones are clamped.
  static constexpr std::int64_t kMaxRatio = 1 << 20;

  enum class Axis : std::int32_t
  {
    X,
    Y,
  };

  /// Free rectangle with inclusive edges (right = left + width - 1); empty when right < left or
  /// bottom < top. 64-bit so that no sum of hostile sizes overflows.
  struct FreeRect
  {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = -1;
    std::int64_t bottom = -1;

    static FreeRect FromRect(const MRect& rect)
    {
      return FreeRect{rect.left, rect.top, rect.right - 1, rect.bottom - 1};
    }
    /// Half-open rectangle, empty ones as MRect{}; coordinates clamped to the 32-bit range.
    MRect ToRect() const;
    std::int64_t Width() const { return right >= left ? right - left + 1 : 0; }
    std::int64_t Height() const { return bottom >= top ? bottom - top + 1 : 0; }
    std::int64_t Extent(Axis axis) const { return axis == Axis::X ? Width() : Height(); }
    bool IsEmpty() const { return right < left || bottom < top; }
  };

  /// A control's extents as a layout sees them, and the size the layouts computed so far need.
  ///
  /// Measuring model: the computer keeps what the bands run so far took from the free rectangle
  /// on each axis (both edges together, gaps included) and the largest total any stage needed;
  /// GetNeededSize answers that total. Layouts report through the Need* members.
  class SizeComputer
  {
  public:
    /// `style` (may be null) gives the spacing metric and the client conversions.
    explicit SizeComputer(const MStyle* style) : m_style(style) {}
    virtual ~SizeComputer() = default;

    /// Width / height of `control` with 2 * its layout border, clamped to 0..3 * kMaxExtent.
    virtual std::int64_t Width(const MControl& control) const = 0;
    virtual std::int64_t Height(const MControl& control) const = 0;
    /// What the container's client control needs on `axis` (no border).
    virtual std::int64_t ClientExtent(const MControl& control, Axis axis) const = 0;
    std::int64_t Extent(const MControl& control, Axis axis) const
    {
      return axis == Axis::X ? Width(control) : Height(control);
    }

    const MStyle* GetStyle() const { return m_style; }
    /// g for a layout with `layoutSpace`: the style's spacing metric + layoutSpace, 0..kMaxExtent.
    std::int64_t Spacing(std::int64_t layoutSpace) const;

    /// A band of `thickness` across `axis` (X: a left or right band) and `length` along the other
    /// axis, followed by a gap `gap` (none when the band is empty).
    void NeedBand(Axis axis, std::int64_t thickness, std::int64_t length, std::int64_t gap);
    /// A stage that fills what is left and needs `x` by `y` there.
    void NeedArea(std::int64_t x, std::int64_t y);
    /// A margin of `x` on the left and right and `y` on the top and bottom.
    void NeedMargin(std::int64_t x, std::int64_t y);
    /// What every stage reported so far needs, clamped to 0..INT32_MAX.
    MSize GetNeededSize() const;

  private:
    const MStyle* m_style;
    std::int64_t m_consumedX = 0;
    std::int64_t m_consumedY = 0;
    std::int64_t m_needX = 0;
    std::int64_t m_needY = 0;
  };

  /// Arrangement and preferred size: plastic controls answer their minimal size; others their
  /// collapsed size on an axis where collapsed and non-zero, else their size.
  class CurrentSizeComputer : public SizeComputer
  {
  public:
    using SizeComputer::SizeComputer;
    std::int64_t Width(const MControl& control) const override;
    std::int64_t Height(const MControl& control) const override;
    /// The client control's preferred size.
    std::int64_t ClientExtent(const MControl& control, Axis axis) const override;
  };

  /// Minimal size: the control's minimal size (the style's outer size for its minimal client
  /// size), raised to its current size on an axis where it has no ratio and is not plastic;
  /// a collapsed control needs height 0.
  class MinimalSizeComputer : public SizeComputer
  {
  public:
    using SizeComputer::SizeComputer;
    std::int64_t Width(const MControl& control) const override;
    std::int64_t Height(const MControl& control) const override;
    /// The client control's minimal size.
    std::int64_t ClientExtent(const MControl& control, Axis axis) const override;
  };

  /// Bits of GetControlFlags.
  enum ControlFlag : std::uint8_t
  {
    ControlFlagPlastic = 1,     ///< a control is plastic
    ControlFlagAdaptSize = 2,   ///< a control adapts its size (adaptsize or plasticadaptsize)
    ControlFlagCollapsable = 4, ///< a control can collapse
    ControlFlagCollapsed = 8,   ///< a control is collapsed
    ControlFlagStretchX = 16,   ///< a control has ratio x > 0 (the layout can grow in width)
    ControlFlagStretchY = 32,   ///< a control has ratio y > 0
  };

  MLayout();
  MLayout(const MLayout&) = delete;
  MLayout& operator=(const MLayout&) = delete;
  /// Unlinks every control that is still linked to this layout.
  ~MLayout() override;

  // --- virtual operations, in slot order -----------------------------------------------------

  /// 1. Reads "layoutspace", "deflayoutborderx" and "deflayoutbordery" (decimal integers, optional
  /// sign, blanks around allowed); absent ones keep their values. Anything else throws
  /// MException naming the attribute; values are clamped to -kMaxExtent..kMaxExtent.
  virtual void LoadAttributes(const MXmlItem& item);
  /// 2. Reads this layout's attributes of a control it manages from the control's element.
  /// Default: nothing.
  virtual void LoadControlAttributes(MControl& control, const MXmlItem& item);
  /// 3. Takes `control` over: leaves its previous layout, gets the default borders where they are
  /// >= 0, is linked to this layout and appended. The control should be a child of the
  /// container running this layout; other controls are skipped when arranging.
  virtual void AddControl(MControl& control);
  /// 4. Unlinks `control` (nothing when it is not in this layout). Never throws: controls call it
  /// from their destructors.
  virtual void RemoveControl(MControl& control) noexcept;
  /// 5. AddControl, then the control's space = 0.
  virtual void AddControlWithoutSpace(MControl& control);
  /// 6. Calls RemoveControl.
  virtual void DetachControl(MControl& control);
  /// 7. Measures: answers the free rectangle left after this layout and reports what it needs to
  /// `computer`. Changes nothing.
  virtual FreeRect Compute(SizeComputer& computer, const FreeRect& free);
  /// 8. Positions the controls inside `free` and answers what is left (also reports the need).
  virtual FreeRect Arrange(CurrentSizeComputer& computer, const FreeRect& free);
  /// 9. Arrange in a half-open rectangle with the current sizes under `style`; answers what is
  /// left, half-open.
  virtual MRect ArrangeRect(const MStyle* style, const MRect& free);
  /// 10. Arrange in `free` with a fresh CurrentSizeComputer under `style`.
  virtual FreeRect ArrangeFree(const MStyle* style, const FreeRect& free);
  /// 11. OR of the ControlFlag bits of the visible controls.
  virtual std::uint8_t GetControlFlags() const;

  // --- fields ---------------------------------------------------------------------------------
  std::int32_t GetLayoutSpace() const { return m_layoutSpace; }
  void SetLayoutSpace(std::int32_t space);
  /// Border given to controls added later; -1 = none (the control keeps its own).
  MSize GetDefaultBorder() const { return m_defaultBorder; }
  void SetDefaultBorder(MSize border);

  std::size_t GetControlCount() const { return m_entries.size(); }
  MControl* GetControl(std::size_t index) const
  {
    return index < m_entries.size() ? m_entries[index].control : nullptr;
  }
  bool Contains(const MControl& control) const;

  /// The list this layout belongs to (set by MLayoutList); null while free.
  MLayoutList* GetList() const { return m_list; }

protected:
  struct Entry
  {
    MControl* control = nullptr;
    std::int32_t hspan = 0; ///< grid: cells spanned across (0 = the grid's default)
    std::int32_t vspan = 1; ///< grid: cells spanned down
  };

  /// The one algorithm of a layout: measures (place false) or also positions the controls.
  virtual FreeRect Run(SizeComputer& computer, const FreeRect& free, bool place) = 0;

  /// Whether `control` takes part now: visible, and a child of the running container if any.
  bool TakesPart(const MControl& control) const;
  /// The GetControlFlags bits of one control.
  static std::uint8_t FlagsOf(const MControl& control);
  /// Whether `control` is a child of the running container (always true without one).
  bool BelongsToContainer(const MControl& control) const;

  /// Takes `control` over as AddControl does (leaves its previous layout, default borders, link,
  /// appended to this layout's list).
  void Adopt(MControl& control);
  /// Appends `control` to `layout`'s list without linking it (a layout embedded in `owner`, which
  /// holds the link) and makes `owner` the layout whose container decides what takes part.
  static void AppendUnlinked(MLayout& layout, MControl& control, const MLayout& owner);

  /// What a run of controls along `along` needs, and the distribution itself.
  struct LineNeed
  {
    std::int64_t along = 0;  ///< the distribution's length
    std::int64_t across = 0; ///< the thickest control
  };
  /// Distributes `controls` along `along` inside `free` (see the file comment) with gap `g`;
  /// positions them when `place`. Answers what the run needs.
  static LineNeed DistributeLine(SizeComputer& computer, const std::vector<MControl*>& controls,
                                 const FreeRect& free, Axis along, std::int64_t g, bool place);

  /// A slot of a distribution: start and length along the axis.
  struct Slot
  {
    std::int64_t start = 0;
    std::int64_t length = 0;
  };
  /// One item of a distribution: its fixed extent (used when ratio is 0) and the gap after it.
  struct Item
  {
    std::int64_t extent = 0;
    std::int64_t ratio = 0;
    std::int64_t space = 0;
  };
  /// Steps 1-3 and 6 of the distribution over [start, start + length - 1]: fills `slots` (one per
  /// item) and answers the length the items need (fixed parts, gaps, and the ratio parts large
  /// enough for every ratio item to get its extent).
  static std::int64_t Distribute(const std::vector<Item>& items, std::int64_t start, std::int64_t length,
                                 std::int64_t g, std::vector<Slot>* slots);
  /// Steps 4-5: the rectangle of `control` inside the cell [cellStart, cellStart + cellLength)
  /// on each axis, by its ratio, plastic flag, border and placement.
  /// With `limitToCell`, a kept extent is at most the cell less the borders.
  static FreeRect PlaceInCell(const SizeComputer& computer, const MControl& control, const FreeRect& cell,
                              bool limitToCell = false);
  /// Moves and resizes `control` to `rect` (clamped to the coordinate range).
  static void Apply(MControl& control, const FreeRect& rect);

  /// The extent of a plastic `control` on `axis` when it has `otherExtent` pixels on the other
  /// axis (its border included there): the style turns that into a client extent, the control
  /// (MLayoutPlastic) answers its client extent on `axis`, the style turns it back. Without
  /// MLayoutPlastic: its minimal size. Border included in the answer; `clientExtent` (optional)
  /// receives the client extent.
  static std::int64_t PlasticExtent(const SizeComputer& computer, const MControl& control, Axis axis,
                                    std::int64_t otherExtent, std::int32_t* clientExtent);

  /// Links `control` to `layout` (null: unlinks). For layouts that keep controls in embedded
  /// layouts.
  static void Link(MControl& control, MLayout* layout) noexcept;
  static MLayout* LinkOf(const MControl& control) noexcept;

  /// Clamps helpers shared by the family.
  static std::int64_t ClampExtent(std::int64_t value);
  static std::int64_t ClampRatio(std::int64_t value);
  /// The visible controls of the entries that take part.
  std::vector<MControl*> PartakingControls() const;

  std::vector<Entry> m_entries;
  std::int32_t m_layoutSpace = 0;
  MSize m_defaultBorder{-1, -1};

private:
  friend class MLayoutList;
  MLayoutList* m_list = nullptr;
  const MLayout* m_owner = nullptr; // the layout this one is embedded in
};

/// Implemented by controls whose extent on one axis follows from the other (wrapped text, rich
/// text): layouts ask it for plastic controls.
class MLayoutPlastic
{
public:
  virtual ~MLayoutPlastic() = default;
  /// Client extent along `axis` that the control needs when its client extent on the other axis
  /// is `otherClientExtent` pixels. GUI thread; must not change the tree.
  virtual std::int32_t GetPlasticClientExtent(MLayout::Axis axis, std::int32_t otherClientExtent) const = 0;
};

/// Reads integer attribute `name` of `item` strictly (see MLayout::LoadAttributes) into `value`,
/// clamped to [minimum, maximum]. Answers whether the attribute was present.
bool MLayoutReadInteger(const MXmlItem& item, const char* name, std::int64_t minimum, std::int64_t maximum,
                        std::int32_t& value);
