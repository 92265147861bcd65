#pragma once
// Drives controls through a window's event dispatch, as a back end would, without a window
// system: positions are window coordinates.

#include "gui/MWindow.h"

#include <cstdint>
#include <memory>

struct MControlsHarness
{
  MWindow window;

  MControlsHarness() { window.SetSize(MSize{400, 300}); }

  template <class T>
  T& Place(std::unique_ptr<T> control, const MRect& bounds)
  {
    T& placed = *control;
    window.AddChild(std::move(control));
    placed.SetBounds(bounds);
    return placed;
  }
  // Places a new control of type T bound to `value`.
  template <class T, class Value>
  T& PlaceBound(std::unique_ptr<Value> value, const MRect& bounds)
  {
    auto control = std::make_unique<T>();
    control->BindOwned(std::move(value));
    return Place(std::move(control), bounds);
  }

  void Send(MSystemEvent::Code code, MPoint position = {}, std::uint32_t modifiers = 0,
            std::int32_t value = 0)
  {
    window.DispatchSystemEvent(MSystemEvent{code, position, modifiers, value});
  }
  void Click(MPoint p, std::uint32_t modifiers = 0)
  {
    Send(MSystemEvent::LeftDown, p, modifiers | MSystemEvent::ModLeftButton);
    Send(MSystemEvent::LeftUp, p, modifiers);
  }
  void Drag(MPoint from, MPoint to, std::uint32_t modifiers = 0)
  {
    Send(MSystemEvent::LeftDown, from, modifiers | MSystemEvent::ModLeftButton);
    Send(MSystemEvent::MouseMove, to, modifiers | MSystemEvent::ModLeftButton);
    Send(MSystemEvent::LeftUp, to, modifiers);
  }
  void Key(std::int32_t key, std::uint32_t modifiers = 0)
  {
    Send(MSystemEvent::KeyDown, {}, modifiers, key);
    Send(MSystemEvent::KeyUp, {}, modifiers, key);
  }
  void Type(const char* text)
  {
    for (; *text != 0; ++text)
      Send(MSystemEvent::Character, {}, 0, static_cast<unsigned char>(*text));
  }
};

inline MPoint Centre(const MControl& control)
{
  const MRect r = control.GetWindowRect();
  return MPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}
