// The control tree without a window system: XML attributes, saved state, painting order and
// clipping, value binding.

#include "base/MValueNumber.h"
#include "base/MXmlItem.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MWindow.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MControlValue.h"
#include "gui/controls/MPanel.h"
#include "gui/controls/MStatic.h"
#include "tests/base/MExpectMessage.h"
#include "tests/gui/support/MRecordingStyle.h"

#include <gtest/gtest.h>

namespace
{

MXmlItem ItemWith(std::initializer_list<std::pair<const char*, const char*>> attributes)
{
  MXmlItem item("control");
  for (const auto& [name, value] : attributes)
    item.SetAttribute(MString::FromUTF8(name), MString::FromUTF8(value));
  return item;
}

TEST(MControlAttributes, EveryAttributeSurvivesReadWriteRead)
{
  const MXmlItem source = ItemWith({
      {"id", "depth"},
      {"visible", "0"},
      {"controltype", "knob"},
      {"enabled", "0"},
      {"tabstop", "1"},
      {"font", "large2"},
      {"posx", "-7"},
      {"posy", "12"},
      {"sizex", "40"},
      {"sizey", "50"},
      {"minclientsizex", "30"},
      {"minclientsizey", "31"},
      {"autodetectminimalsize", "1"},
      {"overlaycontrol", "1"},
      {"adaptsize", "1"},
      {"plastic", "1"},
      {"plasticadaptsize", "1"},
      {"collapsable", "1"},
      {"collapsed", "1"},
      {"layoutratiox", "3"},
      {"layoutratioy", "4"},
      {"layoutborderx", "5"},
      {"layoutbordery", "6"},
      {"clientlayout", "1"},
      {"layoutplacement", "right,bottom"},
      {"layoutsaveratio", "1"},
      {"caption", "Depth"},
      {"captiontype", "LARGE"},
      {"showhelp", "1"},
      {"help", "<b>How strict</b>"},
      {"useparenthelp", "1"},
      {"closeonescape", "1"},
      {"movetoscreencenter", "1"},
      {"autosavestate", "1"},
      {"enablesavestate", "0"},
      {"savewindowpos", "1"},
      {"savewindowsize", "1"},
      {"savesubcontrolstate", "0"},
  });
  MControl first;
  first.LoadAttributes(source);
  EXPECT_EQ(first.GetControlType(), MControlType::Knob);
  EXPECT_EQ(first.GetFont(), MStdFont::Large2);
  EXPECT_EQ(first.GetCaptionType(), MCaptionType::Large);
  EXPECT_EQ(first.GetLayoutPlacement(), MAlign::Right | MAlign::Bottom);
  EXPECT_EQ(first.GetPosition(), (MPoint{-7, 12}));
  EXPECT_EQ(first.GetSize(), (MSize{40, 50}));
  EXPECT_FALSE(first.IsVisible());
  EXPECT_TRUE(first.HasFlag(MControl::FlagClientLayout));
  EXPECT_FALSE(first.HasFlag(MControl::FlagSaveSubControlState));

  MXmlItem written("control");
  first.SaveAttributes(written);
  // Every attribute read is written back with the same meaning.
  for (int i = 0; i < source.GetAttributeCount(); ++i)
    EXPECT_TRUE(written.HasAttribute(source.GetAttributeAt(i).name))
        << source.GetAttributeAt(i).name.ToUTF8();
  MControl second;
  second.LoadAttributes(written);
  MXmlItem rewritten("control");
  second.SaveAttributes(rewritten);
  EXPECT_EQ(written, rewritten);
  EXPECT_EQ(second.GetFlags(), first.GetFlags());
}

TEST(MControlAttributes, UnknownEnumerationNamesNameTheAttribute)
{
  const struct
  {
    const char* attribute;
    const char* value;
    const char* message;
  } cases[] = {
      {"controltype", "knobby",
       "Invalid value of attribute \"controltype\": Invalid MControlType identifier to parse (knobby)."},
      {"font", "huge", "Invalid value of attribute \"font\": Invalid MStdFont identifier to parse (huge)."},
      {"captiontype", "",
       "Invalid value of attribute \"captiontype\": Invalid MCaptionType identifier to parse ()."},
  };
  for (const auto& c : cases)
  {
    MControl control;
    EXPECT_EQ(MessageOf([&] { control.LoadAttributes(ItemWith({{c.attribute, c.value}})); }), c.message);
  }
}

// --- saved state -------------------------------------------------------------------------------------

struct StateCase
{
  const char* name;
  std::uint32_t windowFlags;
  bool expectPosition;
  bool expectSize;
  bool expectChild;
};

TEST(MControlState, WindowStateFollowsItsSaveFlags)
{
  const StateCase cases[] = {
      {"everything",
       MControl::FlagSaveWindowPos | MControl::FlagSaveWindowSize | MControl::FlagSaveSubControlState, true,
       true, true},
      {"position only", MControl::FlagSaveWindowPos, true, false, false},
      {"size and children", MControl::FlagSaveWindowSize | MControl::FlagSaveSubControlState, false, true,
       true},
  };
  for (const StateCase& c : cases)
  {
    SCOPED_TRACE(c.name);
    const auto make = [&c] {
      auto window = std::make_unique<MWindow>();
      for (MControl::Flag flag :
           {MControl::FlagSaveWindowPos, MControl::FlagSaveWindowSize, MControl::FlagSaveSubControlState})
        window->SetFlag(flag, (c.windowFlags & flag) != 0);
      MPanel& panel = window->Add<MPanel>();
      panel.SetId("scale");
      panel.SetFlag(MControl::FlagCollapsable, true);
      return window;
    };
    auto saved = make();
    saved->SetBounds(MRect::FromSize(100, 120, 300, 200));
    saved->SetMaximized(true);
    static_cast<MPanel*>(saved->FindChild("scale"))->SetCollapsed(true);
    MXmlItem state("state");
    saved->SaveState(state);
    EXPECT_EQ(state.HasAttribute("windowposx"), c.expectPosition);
    EXPECT_EQ(state.HasAttribute("windowsizex"), c.expectSize);
    EXPECT_EQ(state.HasSubItem("scale"), c.expectChild);

    auto loaded = make();
    loaded->SetBounds(MRect::FromSize(1, 2, 30, 40));
    loaded->LoadState(state);
    EXPECT_EQ(loaded->GetPosition(), c.expectPosition ? (MPoint{100, 120}) : (MPoint{1, 2}));
    EXPECT_EQ(loaded->GetSize(), c.expectSize ? (MSize{300, 200}) : (MSize{30, 40}));
    EXPECT_TRUE(loaded->IsMaximized());
    EXPECT_EQ(loaded->FindChild("scale")->IsCollapsed(), c.expectChild);
  }
}

TEST(MControlState, DisabledSavingWritesAndAppliesNothing)
{
  MPanel panel;
  panel.SetFlag(MControl::FlagCollapsable, true);
  panel.SetCollapsed(true);
  panel.SetFlag(MControl::FlagEnableSaveState, false);
  MXmlItem state("state");
  panel.SaveState(state);
  EXPECT_EQ(state.GetAttributeCount(), 0);
  state.SetAttribute("collapsed", "0");
  panel.LoadState(state);
  EXPECT_TRUE(panel.IsCollapsed());
}

// --- tree and painting -----------------------------------------------------------------------------------

TEST(MControlTree, FindChildSearchesDepthFirstAndRemovalForgetsFocus)
{
  MWindow window;
  MPanel& outer = window.Add<MPanel>();
  MPanel& inner = outer.Add<MPanel>();
  MStatic& label = inner.Add<MStatic>(MString("Speed"));
  label.SetId("speed");
  EXPECT_EQ(window.FindChild("speed"), &label);
  EXPECT_EQ(window.FindChild("nothing"), nullptr);
  EXPECT_EQ(label.GetWindow(), &window);

  label.SetFlag(MControl::FlagTabStop, true);
  label.SetFocus();
  EXPECT_TRUE(label.IsFocused());
  std::unique_ptr<MControl> removed = outer.RemoveChild(inner);
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(window.GetFocusControl(), nullptr);
  EXPECT_EQ(label.GetWindow(), nullptr);
  EXPECT_EQ(window.FindChild("speed"), nullptr);
}

TEST(MControlTree, PaintsParentsFirstClippedToParentAndDirtyAreaOnAPlainBackgroundWithoutAStyle)
{
  MRecordingStyle style;
  MWindow window;
  window.SetStyle(&style);
  window.SetSize(MSize{100, 80});
  MPanel& panel = window.Add<MPanel>();
  panel.SetBounds(MRect::FromSize(10, 10, 50, 40));
  MStatic& inside = panel.Add<MStatic>();
  inside.SetBounds(MRect::FromSize(30, 20, 40, 40)); // sticks out of the panel
  MStatic& hidden = panel.Add<MStatic>();
  hidden.SetBounds(MRect::FromSize(0, 0, 5, 5));
  hidden.SetVisible(false);
  MPanel& collapsed = window.Add<MPanel>();
  collapsed.SetBounds(MRect::FromSize(70, 0, 30, 30));
  collapsed.SetFlag(MControl::FlagCollapsable, true);
  collapsed.SetCollapsed(true);
  collapsed.Add<MStatic>().SetBounds(MRect::FromSize(0, 0, 10, 10));

  MBitmap surface(100, 80);
  MDrawerToMBitmap drawer(surface);
  window.PaintSurface(drawer, MRect{0, 0, 100, 80});
  ASSERT_EQ(style.calls.size(), 4u);
  EXPECT_EQ(style.calls[0].paint.type, MControlType::Window);
  EXPECT_EQ(style.calls[1].origin, (MPoint{10, 10}));
  EXPECT_EQ(style.calls[2].origin, (MPoint{40, 30}));
  EXPECT_EQ(style.calls[2].clip, (MRect{40, 30, 60, 50})); // cut by the panel
  EXPECT_EQ(style.calls[3].origin, (MPoint{70, 0}));       // collapsed: its child is not painted
  EXPECT_EQ(surface.GetColor(59, 49), MRecordingStyle::ColorOf(style.calls[2].paint));
  EXPECT_EQ(surface.GetColor(65, 45), MRecordingStyle::ColorOf(style.calls[0].paint));

  style.calls.clear();
  window.PaintSurface(drawer, MRect{0, 60, 20, 80}); // only the window is touched
  ASSERT_EQ(style.calls.size(), 1u);
  EXPECT_EQ(style.calls[0].clip, (MRect{0, 60, 20, 80}));

  // Without a style, window and panel have a plain background.
  window.SetStyle(nullptr);
  window.PaintSurface(drawer, MRect{0, 0, 100, 80});
  EXPECT_EQ(surface.GetColor(11, 11), MWindow::kPlainBackground);
  EXPECT_EQ(surface.GetColor(99, 79), MWindow::kPlainBackground);
}

TEST(MControlValue, OperationsChangeTheValueNotifyAndShowIt)
{
  double depth = 0.25;
  MValueDouble value(MValueBinding<double>::Variable(depth), 0.0, 1.0);
  MControlValue control;
  control.Bind(&value);
  int notified = 0;
  struct Counter : MEventTarget
  {
    int* count;
    void On(MOnNotifyParams&) { ++*count; }
  } counter;
  counter.count = &notified;
  control.GetChangedEvent().Subscribe<&Counter::On>(&counter);

  EXPECT_TRUE(control.SetNormalised(0.5));
  EXPECT_DOUBLE_EQ(depth, 0.5);
  EXPECT_FALSE(control.SetNormalised(0.5)); // no change, no notification
  EXPECT_TRUE(control.Increment(1));
  EXPECT_GT(depth, 0.5);
  EXPECT_TRUE(control.SetValueText("0.75"));
  EXPECT_DOUBLE_EQ(depth, 0.75);
  EXPECT_EQ(notified, 3);
  EXPECT_EQ(control.GetText(), value.GetText());
  MControlPaint paint;
  control.FillPaint(paint);
  EXPECT_DOUBLE_EQ(paint.value, 0.75);

  control.Bind(nullptr);
  EXPECT_FALSE(control.SetNormalised(0.1));
  EXPECT_EQ(control.GetNormalised(), -1.0);
}

TEST(MControlContent, MinimalSizeFollowsTheTextWhenAskedTo)
{
  MRecordingStyle style;
  MWindow window;
  window.SetStyle(&style);
  MStatic& single = window.Add<MStatic>(MString("Formant shift"));
  MStaticMultiLine& multi = window.Add<MStaticMultiLine>(MString("Speed\nFormant shift\nDepth"));
  for (MControlContent* control :
       {static_cast<MControlContent*>(&single), static_cast<MControlContent*>(&multi)})
  {
    control->SetMinimalClientSize(MSize{5, 5});
    control->SetCaptionType(MCaptionType::Small);
    EXPECT_EQ(control->GetMinimalSize(), (MSize{5, 5 + MRecordingStyle::kCaptionHeight}));
    control->SetFlag(MControl::FlagAutoDetectMinimalSize, true);
  }
  const MFont& font = style.GetFont(MStdFont::Normal);
  const std::int32_t width = font.TextWidth("Formant shift");
  ASSERT_GT(width, font.TextWidth("Speed"));
  EXPECT_EQ(single.GetMinimalSize(), (MSize{width, font.LineHeight() + MRecordingStyle::kCaptionHeight}));
  EXPECT_EQ(multi.GetMinimalSize(), (MSize{width, 3 * font.LineHeight() + MRecordingStyle::kCaptionHeight}));
}

TEST(MContainer, ClientControlFillsTheClientArea)
{
  MRecordingStyle style;
  MWindow window;
  window.SetStyle(&style);
  MContainer& container = window.Add<MContainer>();
  container.SetCaptionType(MCaptionType::Normal);
  MPanel& client = container.Add<MPanel>();
  client.SetFlag(MControl::FlagClientLayout, true);
  container.SetSize(MSize{60, 50});
  EXPECT_EQ(client.GetBounds(), (MRect{0, MRecordingStyle::kCaptionHeight, 60, 50}));
}

} // namespace
