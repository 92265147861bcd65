#pragma once
// Colour editing.
//  - MColorEditorField: a saturation/brightness square for the current hue with a hue strip
//    beside it. Dragging in the square sets saturation (x) and brightness (y), dragging in the
//    strip sets the hue; arrow keys nudge saturation and brightness (Shift: finer). Each user
//    change fires the changed event.
//  - MColorEditor: a panel combining the field, an opacity tracker, a swatch of the result and
//    a hexadecimal entry (RRGGBB or RRGGBBAA). Editing any part updates the others and fires the
//    editor's changed event.
//
// Threads: GUI thread.

#include "base/MValueNumber.h"
#include "gui/controls/MPanel.h"

#include <cstdint>
#include <memory>

class MColorButton;
class MEdit;
class MTracker;

/// Hue (0..1), saturation (0..1), value (0..1) of a colour; conversions keep alpha aside.
struct MHsv
{
  double h = 0.0;
  double s = 0.0;
  double v = 0.0;

  static MHsv FromColor(MColor color);
  MColor ToColor(std::uint8_t alpha = 255) const;
};

class MColorEditorField : public MControl
{
public:
  MColorEditorField();
  ~MColorEditorField() override = default;

  MColor GetColor() const { return m_hsv.ToColor(m_alpha); }
  /// Sets the colour without the changed event (hue kept for greys).
  void SetColor(MColor color);
  const MHsv& GetHsv() const { return m_hsv; }
  /// The user's change (limited to range); fires the changed event when it changed.
  bool ChangeHsv(const MHsv& hsv);

  MRect GetSquareRect() const;
  MRect GetHueRect() const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

private:
  enum class Drag
  {
    None,
    Square,
    Hue,
  };
  void DragTo(MPoint position);

  MHsv m_hsv{0.08, 0.8, 0.88};
  std::uint8_t m_alpha = 255;
  Drag m_drag = Drag::None;
};

class MColorEditor : public MPanel
{
public:
  MColorEditor();
  ~MColorEditor() override;

  MColor GetColor() const { return m_color; }
  /// Sets the colour in every part without the changed event.
  void SetColor(MColor color);
  MColorEditorField& GetField() { return *m_field; }
  MEdit& GetHexEdit() { return *m_hex; }
  MTracker& GetAlphaTracker() { return *m_alpha; }

  MSize GetPreferredSize() const override;

protected:
  void OnSizeChanged() override;

private:
  void OnFieldChanged(MOnNotifyParams& params);
  void OnAlphaChanged(MOnNotifyParams& params);
  void OnHexChanged(MOnNotifyParams& params);
  /// Shows m_color in the parts other than `source`, then fires the changed event.
  void Update(const MControl* source, bool notify);

  MColor m_color{0xE0, 0x8A, 0x2E, 0xFF};
  double m_alphaValue = 1.0;
  MValueDouble m_alphaScale;
  MColorEditorField* m_field;
  MTracker* m_alpha;
  MColorButton* m_swatch;
  MEdit* m_hex;
  bool m_updating = false;
};
