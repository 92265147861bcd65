#pragma once
// Push buttons.
//  - MButton: a text button. A left click (press and release over the button), Space or Return
//    while focused "clicks" it: Click fires the changed event. A toggle button (SetToggle) flips
//    its on state with each click and keeps the pressed look while on.
//  - MButtonWithInfo: a button with a second, smaller text at its right edge (a shortcut, a
//    current choice, "▸").
//  - MRepeaterButton: clicks once when pressed and then repeats while the mouse stays down over
//    it (first repeat after kDelayMs, then every kPeriodMs), driven by a window timer.
//  - MColorButton: a button that shows a colour swatch beside its text.
//  - MColorSelectButton: a colour button whose click offers a palette in a popup menu; choosing
//    an entry sets the colour and fires the changed event.
//
// Threads: GUI thread. Input handlers run with the window's tree lock held shared.

#include "gui/controls/MControlContent.h"

#include <cstdint>
#include <memory>
#include <vector>

class MWindowMenu;

class MButton : public MControlContent
{
public:
  MButton();
  explicit MButton(const MString& text);
  ~MButton() override = default;

  /// A toggle button stays pressed while on.
  void SetToggle(bool toggle) { m_toggle = toggle; }
  bool IsToggle() const { return m_toggle; }
  bool IsOn() const { return m_on; }
  /// Sets the on state without firing the changed event.
  void SetOn(bool on);

  /// What a click does: flips a toggle, fires the changed event. Called by the input handlers;
  /// callable by code to click on the user's behalf.
  virtual void Click();
  /// Number of clicks so far (tests and repeaters read it).
  std::int32_t GetClickCount() const { return m_clickCount; }

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void FillPaint(MControlPaint& paint) const override;

protected:
  /// Whether the left button went down on the button and is still held.
  bool IsPressing() const { return m_pressing; }
  /// The button was released (or the capture lost); ends the pressed look.
  virtual void EndPress();

private:
  bool m_toggle = false;
  bool m_on = false;
  bool m_pressing = false;
  std::int32_t m_clickCount = 0;
};

class MButtonWithInfo : public MButton
{
public:
  MButtonWithInfo();
  MButtonWithInfo(const MString& text, const MString& info);
  ~MButtonWithInfo() override = default;

  const MString& GetInfo() const { return m_info; }
  void SetInfo(const MString& info);

  MSize GetPreferredSize() const override;
  /// The button with the text on the left and the info, in the small font, on the right.
  void Paint(MDrawer& drawer) override;

private:
  MString m_info;
};

class MRepeaterButton : public MButton
{
public:
  static constexpr std::int32_t kDelayMs = 400;
  static constexpr std::int32_t kPeriodMs = 60;

  MRepeaterButton();
  explicit MRepeaterButton(const MString& text);
  ~MRepeaterButton() override = default;

  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  /// Repeats the click while pressed over the button (the first tick switches to the period).
  bool OnTimer(std::int32_t id) override;

protected:
  void EndPress() override;

private:
  static constexpr std::int32_t kTimerId = 1;
  bool m_inside = false;
  bool m_repeating = false;
};

class MColorButton : public MButton
{
public:
  MColorButton();
  explicit MColorButton(MColor color, const MString& text = MString());
  ~MColorButton() override = default;

  MColor GetColor() const { return m_color; }
  /// Sets the colour (no changed event) and invalidates.
  void SetColor(MColor color);

  MSize GetPreferredSize() const override;
  /// The button, a swatch (a checkerboard under translucent colours) and the text beside it.
  void Paint(MDrawer& drawer) override;
  /// Reads "color" (RRGGBBAA) besides the content attributes.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;

private:
  MColor m_color{0xE0, 0x8A, 0x2E, 0xFF};
};

class MColorSelectButton : public MColorButton
{
public:
  MColorSelectButton();
  ~MColorSelectButton() override;

  /// The colours offered (named). Default: a palette of twelve.
  struct Entry
  {
    MString name;
    MColor color;
  };
  void SetPalette(std::vector<Entry> palette) { m_palette = std::move(palette); }
  const std::vector<Entry>& GetPalette() const { return m_palette; }
  /// Takes palette entry `index` as the colour and fires the changed event; false outside.
  bool ChoosePaletteEntry(std::int32_t index);

  /// Opens the palette in a popup menu below the button (nothing without an open window).
  void Click() override;
  /// The colour button with a drop-down mark at the right.
  void Paint(MDrawer& drawer) override;

private:
  std::vector<Entry> m_palette;
  std::unique_ptr<MWindowMenu> m_popup;
};
