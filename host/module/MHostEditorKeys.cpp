#include "host/module/MHostEditorKeys.h"

#include <array>

namespace MHostEditorKeys
{
namespace
{
// Windows virtual keys of the hosts' numbers 1 .. 57 (0: no counterpart).
// clang-format off
constexpr std::array<std::uint8_t, 58> kVirtualKeys = {
  0,
  0x08, 0x09, 0x0C, 0x0D, 0x13, 0x1B, 0x20, 0x22, // back, tab, clear, return, pause, escape, space, next
  0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x21, 0x22, // end, home, left, up, right, down, page up, page down
  0x29, 0x2A, 0x0D, 0x2C, 0x2D, 0x2E, 0x2F,       // select, print, enter, snapshot, insert, delete, help
  0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66,       // numpad 0 .. 6
  0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D,       // numpad 7 .. 9, multiply, add, separator, subtract
  0x6E, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, // decimal, divide, F1 .. F8
  0x78, 0x79, 0x7A, 0x7B, 0x90, 0x91, 0x10, 0x11, // F9 .. F12, num lock, scroll, shift, control
  0x12, 0xBB,                                     // alt, equals
};
// clang-format on
} // namespace

bool Translate(bool down, std::int32_t character, std::int32_t virtualKey, std::uint32_t modifiers,
               MSystemEvent& event, MSystemEvent* typed)
{
  event = MSystemEvent{};
  if (typed != nullptr)
    *typed = MSystemEvent{MSystemEvent::KeyUp, MPoint{}, 0, 0};
  if ((modifiers & 1u) != 0)
    event.modifiers |= MSystemEvent::ModShift;
  if ((modifiers & 2u) != 0)
    event.modifiers |= MSystemEvent::ModAlt;
  if ((modifiers & 8u) != 0)
    event.modifiers |= MSystemEvent::ModControl;
  event.code = down ? MSystemEvent::KeyDown : MSystemEvent::KeyUp;
  if (virtualKey != 0)
  {
    if (virtualKey < 0 || virtualKey >= static_cast<std::int32_t>(kVirtualKeys.size()) ||
        kVirtualKeys[static_cast<std::size_t>(virtualKey)] == 0)
      return false;
    event.value = kVirtualKeys[static_cast<std::size_t>(virtualKey)];
    // Space comes as a virtual key, yet it types: a name with spaces must reach a text field.
    if (typed != nullptr && down && event.value == 0x20)
      *typed = MSystemEvent{MSystemEvent::Character, MPoint{}, event.modifiers, 0x20};
    return true;
  }
  const std::int32_t key = character >= 'a' && character <= 'z' ? character - ('a' - 'A') : character;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
  {
    event.value = key;
    if (typed != nullptr && down)
      *typed = MSystemEvent{MSystemEvent::Character, MPoint{}, event.modifiers, character};
    return true;
  }
  // Other printable characters only type; their key up means nothing to the toolkit.
  if (!down || character < 0x20 || character == 0x7F || character > 0x10FFFF)
    return false;
  event.code = MSystemEvent::Character;
  event.value = character;
  return true;
}
} // namespace MHostEditorKeys
