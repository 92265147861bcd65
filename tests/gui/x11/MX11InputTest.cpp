#include "gui/x11/MX11Input.h"

#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include <vector>

namespace
{
TEST(MX11InputTest, KeySymbolsMapOntoVirtualKeysAndBack)
{
  struct Case
  {
    unsigned long keysym;
    std::int32_t key;
  };
  const Case cases[] = {
      {XK_a, 'A'},
      {XK_Z, 'Z'},
      {XK_0, '0'},
      {XK_9, '9'},
      {XK_Return, MVirtualKey::Return},
      {XK_KP_Enter, MVirtualKey::Return},
      {XK_BackSpace, MVirtualKey::Back},
      {XK_ISO_Left_Tab, MVirtualKey::Tab},
      {XK_Shift_R, MVirtualKey::Shift},
      {XK_Control_L, MVirtualKey::Control},
      {XK_Alt_L, MVirtualKey::Menu},
      {XK_Escape, MVirtualKey::Escape},
      {XK_KP_Left, MVirtualKey::Left},
      {XK_Page_Down, MVirtualKey::PageDown},
      {XK_Delete, MVirtualKey::Delete},
      {XK_F1, MVirtualKey::F1},
      {XK_F12, MVirtualKey::F1 + 11},
      {XK_KP_7, 0x67},
      {XK_minus, 0xBD},
      {XK_dead_acute, 0},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(MX11Input::VirtualKeyFromKeysym(c.keysym), c.key) << std::hex << c.keysym;
    if (!c.key)
      continue;
    // Back to a key symbol: the same physical key (lower case for letters, the left modifier).
    unsigned long alternative = 1;
    const unsigned long keysym = MX11Input::KeysymFromVirtualKey(c.key, &alternative);
    EXPECT_EQ(MX11Input::VirtualKeyFromKeysym(keysym), c.key) << std::hex << c.keysym;
  }
  unsigned long right = 0;
  EXPECT_EQ(MX11Input::KeysymFromVirtualKey(MVirtualKey::Shift, &right),
            static_cast<unsigned long>(XK_Shift_L));
  EXPECT_EQ(right, static_cast<unsigned long>(XK_Shift_R));
  EXPECT_EQ(MX11Input::KeysymFromVirtualKey(0x07, &right), 0ul);
  EXPECT_EQ(right, 0ul);
}

TEST(MX11InputTest, TypedCharactersComeFromLatin1TextOrUnicodeKeySymbols)
{
  struct Case
  {
    const char* text;
    int length;
    unsigned long keysym;
    std::uint32_t character;
  };
  const Case cases[] = {
      {"a", 1, XK_a, 'a'},
      {"\xE9", 1, XK_eacute, 0xE9}, // Latin-1 byte above 0x7F is its own code point
      {"\r", 1, XK_Return, 0x0D},   // control characters are typed too
      {"\x7F", 1, XK_Delete, 0},    // Delete types nothing
      {"", 0, XK_Left, 0},
      {"", 0, 0x010020AC, 0x20AC},  // euro sign through its Unicode key symbol
      {"?", 1, 0x01000411, 0x0411}, // the key symbol wins over a substituted byte
  };
  for (const Case& c : cases)
    EXPECT_EQ(MX11Input::CharacterFromKey(c.text, c.length, c.keysym), c.character) << std::hex << c.keysym;
}

TEST(MX11InputTest, StateMasksButtonsAndCursorsTranslateToTheirCounterparts)
{
  EXPECT_EQ(MX11Input::ModifiersFromState(ShiftMask | ControlMask | Mod1Mask | Button1Mask | Button2Mask |
                                          Button3Mask),
            std::uint32_t(MSystemEvent::ModShift | MSystemEvent::ModControl | MSystemEvent::ModAlt |
                          MSystemEvent::ModLeftButton | MSystemEvent::ModMiddleButton |
                          MSystemEvent::ModRightButton));
  EXPECT_EQ(MX11Input::ModifiersFromState(LockMask | Mod2Mask), 0u) << "caps and num lock are no modifiers";

  struct Case
  {
    unsigned int button;
    MSystemEvent::Code down, up, doubleClick;
    std::int32_t wheel;
  };
  const Case cases[] = {
      {1, MSystemEvent::LeftDown, MSystemEvent::LeftUp, MSystemEvent::LeftDoubleClick, 0},
      {2, MSystemEvent::MiddleDown, MSystemEvent::MiddleUp, MSystemEvent::MiddleDoubleClick, 0},
      {3, MSystemEvent::RightDown, MSystemEvent::RightUp, MSystemEvent::RightDoubleClick, 0},
      {4, MSystemEvent::MouseWheel, MSystemEvent::MouseWheel, MSystemEvent::MouseWheel, 120},
      {5, MSystemEvent::MouseWheel, MSystemEvent::MouseWheel, MSystemEvent::MouseWheel, -120},
  };
  for (const Case& c : cases)
  {
    const MX11Input::ButtonAction action = MX11Input::ActionForButton(c.button);
    ASSERT_TRUE(action.valid) << c.button;
    EXPECT_EQ(action.down, c.down) << c.button;
    EXPECT_EQ(action.up, c.up) << c.button;
    EXPECT_EQ(action.doubleClick, c.doubleClick) << c.button;
    EXPECT_EQ(action.wheel, c.wheel != 0) << c.button;
    EXPECT_EQ(action.wheelDelta, c.wheel) << c.button;
  }
  EXPECT_FALSE(MX11Input::ActionForButton(6).valid) << "horizontal wheel";
  EXPECT_FALSE(MX11Input::ActionForButton(0).valid);

  // Every standard cursor has a shape.
  for (int i = 0; i <= static_cast<int>(MStdCursor::Hollow); ++i)
  {
    const int shape = MX11Input::CursorFontShape(static_cast<MStdCursor>(i));
    if (static_cast<MStdCursor>(i) == MStdCursor::Hollow)
      EXPECT_EQ(shape, -1);
    else
      EXPECT_TRUE(shape >= 0 && shape < 154 && shape % 2 == 0) << i; // even glyphs of the cursor font
  }
}

TEST(MX11InputTest, DoubleClicksNeedTheSameButtonAndWindowWithinTimeAndDistance)
{
  struct Press
  {
    unsigned long window;
    unsigned int button;
    std::uint32_t timeMs;
    MPoint position;
    bool isDouble;
  };
  struct Case
  {
    const char* name;
    std::vector<Press> presses;
  };
  const Case cases[] = {
      {"quick pair", {{7, 1, 1000, {10, 10}, false}, {7, 1, 1300, {12, 8}, true}}},
      {"too slow", {{7, 1, 1000, {10, 10}, false}, {7, 1, 1401, {10, 10}, false}}},
      {"too far", {{7, 1, 1000, {10, 10}, false}, {7, 1, 1100, {15, 10}, false}}},
      {"other button", {{7, 1, 1000, {10, 10}, false}, {7, 3, 1100, {10, 10}, false}}},
      {"other window", {{7, 1, 1000, {10, 10}, false}, {8, 1, 1100, {10, 10}, false}}},
      {"triple is double then single",
       {{7, 1, 1000, {10, 10}, false}, {7, 1, 1100, {10, 10}, true}, {7, 1, 1200, {10, 10}, false}}},
      {"server time wraps", {{7, 1, 0xFFFFFF00u, {0, 0}, false}, {7, 1, 0x40u, {0, 0}, true}}},
  };
  for (const Case& c : cases)
  {
    MX11Input::ClickTracker tracker;
    for (const Press& p : c.presses)
      EXPECT_EQ(tracker.Press(p.window, p.button, p.timeMs, p.position), p.isDouble) << c.name;
  }
}

} // namespace
