#include "gui/x11/MX11Input.h"

#include <X11/X.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <iterator>

namespace MX11Input
{
namespace
{
struct KeyEntry
{
  unsigned long keysym;
  std::int32_t key;
};

// Key symbols without a pattern below; the codes are the Windows virtual-key numbers.
constexpr KeyEntry kKeys[] = {
    {XK_BackSpace, MVirtualKey::Back},
    {XK_Tab, MVirtualKey::Tab},
    {XK_ISO_Left_Tab, MVirtualKey::Tab},
    {XK_Return, MVirtualKey::Return},
    {XK_KP_Enter, MVirtualKey::Return},
    {XK_Shift_L, MVirtualKey::Shift},
    {XK_Shift_R, MVirtualKey::Shift},
    {XK_Control_L, MVirtualKey::Control},
    {XK_Control_R, MVirtualKey::Control},
    {XK_Alt_L, MVirtualKey::Menu},
    {XK_Alt_R, MVirtualKey::Menu},
    {XK_ISO_Level3_Shift, MVirtualKey::Menu},
    {XK_Pause, 0x13},
    {XK_Caps_Lock, 0x14},
    {XK_Escape, MVirtualKey::Escape},
    {XK_space, MVirtualKey::Space},
    {XK_KP_Space, MVirtualKey::Space},
    {XK_Prior, MVirtualKey::PageUp},
    {XK_KP_Prior, MVirtualKey::PageUp},
    {XK_Next, MVirtualKey::PageDown},
    {XK_KP_Next, MVirtualKey::PageDown},
    {XK_End, MVirtualKey::End},
    {XK_KP_End, MVirtualKey::End},
    {XK_Home, MVirtualKey::Home},
    {XK_KP_Home, MVirtualKey::Home},
    {XK_Left, MVirtualKey::Left},
    {XK_KP_Left, MVirtualKey::Left},
    {XK_Up, MVirtualKey::Up},
    {XK_KP_Up, MVirtualKey::Up},
    {XK_Right, MVirtualKey::Right},
    {XK_KP_Right, MVirtualKey::Right},
    {XK_Down, MVirtualKey::Down},
    {XK_KP_Down, MVirtualKey::Down},
    {XK_Print, 0x2C},
    {XK_Insert, MVirtualKey::Insert},
    {XK_KP_Insert, MVirtualKey::Insert},
    {XK_Delete, MVirtualKey::Delete},
    {XK_KP_Delete, MVirtualKey::Delete},
    {XK_Super_L, 0x5B},
    {XK_Super_R, 0x5C},
    {XK_Menu, 0x5D},
    {XK_KP_Multiply, 0x6A},
    {XK_KP_Add, 0x6B},
    {XK_KP_Separator, 0x6C},
    {XK_KP_Subtract, 0x6D},
    {XK_KP_Decimal, 0x6E},
    {XK_KP_Divide, 0x6F},
    {XK_Num_Lock, 0x90},
    {XK_Scroll_Lock, 0x91},
    {XK_semicolon, 0xBA},
    {XK_equal, 0xBB},
    {XK_comma, 0xBC},
    {XK_minus, 0xBD},
    {XK_period, 0xBE},
    {XK_slash, 0xBF},
    {XK_grave, 0xC0},
    {XK_bracketleft, 0xDB},
    {XK_backslash, 0xDC},
    {XK_bracketright, 0xDD},
    {XK_apostrophe, 0xDE},
};

constexpr int kCursorShapes[] = {
    XC_left_ptr,          // Arrow
    XC_watch,             // Wait
    XC_crosshair,         // Cross
    XC_xterm,             // IBeam
    XC_hand2,             // Link
    XC_X_cursor,          // No
    XC_pencil,            // Pen
    XC_dotbox,            // Eraser
    XC_tcross,            // Selection
    XC_fleur,             // Move
    XC_sizing,            // Size
    XC_sb_v_double_arrow, // ArrowUD
    XC_sb_h_double_arrow, // ArrowLR
    -1,                   // Hollow
};
} // namespace

std::uint32_t ModifiersFromState(unsigned int state)
{
  std::uint32_t modifiers = 0;
  if (state & Button1Mask)
    modifiers |= MSystemEvent::ModLeftButton;
  if (state & Button2Mask)
    modifiers |= MSystemEvent::ModMiddleButton;
  if (state & Button3Mask)
    modifiers |= MSystemEvent::ModRightButton;
  if (state & ControlMask)
    modifiers |= MSystemEvent::ModControl;
  if (state & Mod1Mask)
    modifiers |= MSystemEvent::ModAlt;
  if (state & ShiftMask)
    modifiers |= MSystemEvent::ModShift;
  return modifiers;
}

std::int32_t VirtualKeyFromKeysym(unsigned long keysym)
{
  if (keysym >= XK_a && keysym <= XK_z)
    return std::int32_t('A' + (keysym - XK_a));
  if (keysym >= XK_A && keysym <= XK_Z)
    return std::int32_t(keysym);
  if (keysym >= XK_0 && keysym <= XK_9)
    return std::int32_t(keysym);
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
    return std::int32_t(0x60 + (keysym - XK_KP_0));
  if (keysym >= XK_F1 && keysym <= XK_F24)
    return std::int32_t(MVirtualKey::F1 + (keysym - XK_F1));
  for (const KeyEntry& entry : kKeys)
    if (entry.keysym == keysym)
      return entry.key;
  return 0;
}

unsigned long KeysymFromVirtualKey(std::int32_t key, unsigned long* alternative)
{
  if (alternative)
    *alternative = 0;
  if (key >= 'A' && key <= 'Z')
    return XK_a + unsigned(key - 'A');
  if (key >= '0' && key <= '9')
    return XK_0 + unsigned(key - '0');
  if (key >= 0x60 && key <= 0x69)
    return XK_KP_0 + unsigned(key - 0x60);
  if (key >= MVirtualKey::F1 && key < MVirtualKey::F1 + 24)
    return XK_F1 + unsigned(key - MVirtualKey::F1);
  unsigned long first = 0;
  for (const KeyEntry& entry : kKeys)
  {
    if (entry.key != key)
      continue;
    if (!first)
      first = entry.keysym;
    else
    {
      if (alternative && !*alternative)
        *alternative = entry.keysym;
      break;
    }
  }
  return first;
}

std::uint32_t CharacterFromKey(const char* text, int length, unsigned long keysym)
{
  // Key symbols 0x01000000 + U carry a code point that Latin-1 text cannot hold.
  if ((keysym & 0xFF000000ul) == 0x01000000ul)
    return std::uint32_t(keysym & 0x00FFFFFFul);
  if (length < 1 || !text)
    return 0;
  // XLookupString writes Latin-1, whose bytes are their own code points. Delete types nothing.
  const std::uint32_t character = static_cast<unsigned char>(text[0]);
  return character == 0x7F ? 0 : character;
}

int CursorFontShape(MStdCursor cursor)
{
  const auto index = static_cast<std::size_t>(cursor);
  return index < std::size(kCursorShapes) ? kCursorShapes[index] : XC_left_ptr;
}

ButtonAction ActionForButton(unsigned int button)
{
  ButtonAction action;
  switch (button)
  {
  case Button1:
    action = {true,
              false,
              0,
              MSystemEvent::LeftDown,
              MSystemEvent::LeftUp,
              MSystemEvent::LeftDoubleClick,
              MSystemEvent::ModLeftButton};
    break;
  case Button2:
    action = {true,
              false,
              0,
              MSystemEvent::MiddleDown,
              MSystemEvent::MiddleUp,
              MSystemEvent::MiddleDoubleClick,
              MSystemEvent::ModMiddleButton};
    break;
  case Button3:
    action = {true,
              false,
              0,
              MSystemEvent::RightDown,
              MSystemEvent::RightUp,
              MSystemEvent::RightDoubleClick,
              MSystemEvent::ModRightButton};
    break;
  case Button4:
  case Button5:
    action.valid = true;
    action.wheel = true;
    action.wheelDelta = button == Button4 ? 120 : -120;
    action.down = action.up = action.doubleClick = MSystemEvent::MouseWheel;
    break;
  default:
    break;
  }
  return action;
}

bool ClickTracker::Press(unsigned long window, unsigned int button, std::uint32_t timeMs, MPoint position)
{
  // Server time is a wrapping 32-bit millisecond counter: the unsigned difference stays right
  // across the wrap.
  const bool isDouble = m_window != 0 && window == m_window && button == m_button &&
                        std::uint32_t(timeMs - m_timeMs) <= kDoubleClickMs &&
                        std::abs(position.x - m_position.x) <= kDoubleClickDistance &&
                        std::abs(position.y - m_position.y) <= kDoubleClickDistance;
  if (isDouble)
  {
    m_window = 0;
    return true;
  }
  m_window = window;
  m_button = button;
  m_timeMs = timeMs;
  m_position = position;
  return false;
}
} // namespace MX11Input
