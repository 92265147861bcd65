#include "gui/xml/MXmlLoader.h"

#include "base/MMemoryStream.h"
#include "base/MValueUnits.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "gui/MWindow.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MStatic.h"
#include "gui/controls/MTracker.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/layout/MLayoutList.h"
#include "gui/layout/MLayoutSide.h"
#include "gui/styles/MBaseStyle.h"
#include "tests/base/MExpectMessage.h"
#include "tests/gui/support/MSnapshot.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

using Loader = MControl::MXmlLoader;

namespace
{

MXmlItem Parse(const std::string& text)
{
  MMemoryStream stream(text.data(), text.size());
  MXmlItem root;
  MXmlReader::Read(stream, root);
  return root;
}

// One line per control, depth first: class, id, position and size.
void Describe(const MControl& control, int depth, std::string& out)
{
  const MRect b = control.GetBounds();
  out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + typeid(control).name() + " '" +
         control.GetId().ToUTF8() + "' " + std::to_string(b.left) + "," + std::to_string(b.top) + " " +
         std::to_string(b.Width()) + "x" + std::to_string(b.Height()) + "\n";
  for (std::size_t i = 0; i < control.GetChildCount(); ++i)
    Describe(*control.GetChild(i), depth + 1, out);
}

const char* const kEditor = R"(<window sizex="360" sizey="220">
  <container id="editor" clientlayout="1">
    <top><static id="title" text="Tonvera" sizey="24" layoutratioy="0"/></top>
    <left layoutspace="2">
      <knob id="gain" sizex="56" sizey="64" layoutratiox="0" layoutratioy="0" space="4"><value type="volume" min="0" max="2" value="0.5"/></knob>
      <knob id="tune" sizex="56" sizey="64" layoutratiox="0" layoutratioy="0"><value type="pitch"/></knob>
    </left>
    <bottom><button id="reset" text="Reset" sizex="80" sizey="24" layoutratiox="0" layoutratioy="0" layoutplacement="right,center"/></bottom>
    <vertical>
      <checkbox id="bypass" text="Bypass" sizey="20" layoutratioy="0"/>
      <tracker id="speed"><value type="percents"/></tracker>
    </vertical>
  </container>
</window>)";

void BuildEditorInCode(MWindow& window)
{
  window.SetSize(MSize{360, 220});
  MContainer& editor = window.Add<MContainer>();
  editor.SetId("editor");
  editor.SetFlag(MControl::FlagClientLayout, true);
  MLayoutList& layouts = editor.GetLayouts();
  MLayoutTop& top = layouts.Add<MLayoutTop>();
  MLayoutLeft& left = layouts.Add<MLayoutLeft>();
  left.SetLayoutSpace(2);
  MLayoutBottom& bottom = layouts.Add<MLayoutBottom>();
  MLayoutVertical& body = layouts.Add<MLayoutVertical>();
  const auto place = [](MLayout& layout, MControl& control, const char* id, MSize size,
                        MSize ratio) -> MControl& {
    control.SetId(MString::FromUTF8(id));
    control.SetSize(size);
    control.SetLayoutRatio(ratio);
    layout.AddControlWithoutSpace(control);
    return control;
  };
  place(top, editor.Add<MStatic>(MString("Tonvera")), "title", MSize{0, 24}, MSize{1, 0});
  MKnob& gain = editor.Add<MKnob>();
  place(left, gain, "gain", MSize{56, 64}, MSize{}).SetLayoutSpace(4);
  gain.BindOwned(std::make_unique<MValueVolume>(MValueBinding<double>::Value(0.5), 0, 2));
  MKnob& tune = editor.Add<MKnob>();
  place(left, tune, "tune", MSize{56, 64}, MSize{});
  tune.BindOwned(std::make_unique<MValuePitch>());
  place(bottom, editor.Add<MButton>(MString("Reset")), "reset", MSize{80, 24}, MSize{})
      .SetLayoutPlacement(MAlign::Right);
  place(body, editor.Add<MCheckBox>(MString("Bypass")), "bypass", MSize{0, 20}, MSize{1, 0});
  MTracker& speed = editor.Add<MTracker>();
  place(body, speed, "speed", MSize{}, MSize{1, 1});
  speed.BindOwned(std::make_unique<MValuePercents>());
  editor.SetBounds(window.GetClientRect());
}

} // namespace

TEST(MXmlLoader, EditorFromXmlEqualsTheEditorBuiltInCode)
{
  MBaseStyle style;
  MWindowSystemHeadless system;
  system.Initialize();
  MWindow fromXml;
  MWindow inCode;
  fromXml.SetStyle(&style);
  inCode.SetStyle(&style);
  Loader::Load(fromXml, Parse(kEditor));
  BuildEditorInCode(inCode);

  std::string a;
  std::string b;
  Describe(fromXml, 0, a);
  Describe(inCode, 0, b);
  EXPECT_EQ(a, b);
  auto* gain = dynamic_cast<MKnob*>(fromXml.FindChild("gain"));
  ASSERT_NE(gain, nullptr);
  ASSERT_NE(gain->GetValue(), nullptr);
  EXPECT_EQ(gain->GetNormalised(), inCode.FindChild("gain") != nullptr
                                       ? dynamic_cast<MKnob*>(inCode.FindChild("gain"))->GetNormalised()
                                       : -2);

  fromXml.Open(system);
  inCode.Open(system);
  const MBitmap xmlPicture = RenderWindow(system, fromXml);
  EXPECT_EQ(CountDifferingPixels(xmlPicture, RenderWindow(system, inCode), 0), 0);
  EXPECT_TRUE(MatchesGolden(xmlPicture, "xml_editor"));
}

TEST(MXmlLoader, RegistryBucketsAndNames)
{
  // Expected hashes computed by hand from the rule: XOR of (lower-cased character << position);
  // 16 characters or more: only positions 0, 4, 8, ... (min(length / 4, 8) of them).
  const struct
  {
    const char* name;
    std::uint32_t hash;
  } cases[] = {{"knob", 539},
               {"KNOB", 539},
               {"grid", 519},
               {"vector2deditor", 667040},
               {"signalgeneratoreditor", 6498403},
               {"horizontalobjectlayout", 6997704},
               {"int32", 989}};
  for (const auto& c : cases)
    EXPECT_EQ(Loader::HashName(MString::FromUTF8(c.name)), c.hash) << c.name;

  EXPECT_EQ(Loader::GetNames().size(), 41u);
  EXPECT_EQ(Loader::GetValueNames().size(), 30u);
  std::size_t total = 0;
  for (int bucket = 0; bucket < Loader::kControlBuckets; ++bucket)
  {
    const std::vector<MString> names = Loader::GetBucket(bucket);
    total += names.size();
    for (std::size_t i = 0; i < names.size(); ++i)
    {
      EXPECT_EQ(static_cast<int>(Loader::HashName(names[i]) % 32), bucket);
      if (i > 0)
      {
        EXPECT_LT(names[i - 1].CompareNames(names[i]), 0);
      }
    }
  }
  EXPECT_EQ(total, 41u);
  EXPECT_EQ(Loader::GetBucket(27), std::vector<MString>{MString("knob")}); // 539 % 32
  EXPECT_EQ(Loader::FindCreator(MString("Knob")), Loader::FindCreator(MString("knob")));
  EXPECT_EQ(Loader::FindCreator(MString("knobs")), nullptr);

  const auto valueClass = [](const char* type) {
    auto value = Loader::CreateValue(Parse(std::string("<value type=\"") + type + "\"/>"));
    const MValue* created = value.get();
    return created != nullptr ? std::string(typeid(*created).name()) : std::string("none");
  };
  EXPECT_EQ(valueClass("int"), valueClass("INT32"));
  EXPECT_NE(valueClass("int"), valueClass("int16"));
  EXPECT_EQ(valueClass("nosuchscale"), "none");
}

TEST(MXmlLoader, ErrorsNameTheElementAndAttribute)
{
  const struct
  {
    const char* xml;
    const char* message;
  } cases[] = {
      {"<container><knobb/></container>",
       "Element \"knobb\" at \"container/knobb\": Unknown element name: no control or layout is called so."},
      {"<container><left><knob id=\"g\" sizx=\"3\"/></left></container>",
       "Element \"knob\" (id \"g\") at \"container/left/knob\": Unknown attribute \"sizx\"."},
      {"<container><knob sizex=\"99999\"/></container>",
       "Element \"knob\" at \"container/knob\": Invalid value of attribute \"sizex\" (99999): a decimal "
       "integer in "
       "0..16384 is expected."},
      {"<container><static posy=\"1e3\"/></container>",
       "Element \"static\" at \"container/static\": Invalid value of attribute \"posy\" (1e3): a decimal "
       "integer in "
       "-16384..16384 is expected."},
      {"<container><top space=\"2\"/></container>",
       "Element \"top\" at \"container/top\": Unknown attribute \"space\"."},
      {"<container><knob space=\"2\"/></container>",
       "Element \"knob\" at \"container/knob\": Unknown attribute \"space\"."},
      {"<container><corner><button target=\"corner4\"/></corner></container>",
       "Element \"button\" at \"container/corner/button\": Invalid value of attribute \"target\": Invalid "
       "target for "
       "corner layout."},
      {"<container><panel><left/></panel></container>",
       "Element \"left\" at \"container/panel/left\": A layout belongs inside a container; its parent is "
       "none."},
      {"<container><static><value type=\"int\"/></static></container>",
       "Element \"value\" at \"container/static/value\": Value elements belong directly inside value "
       "controls."},
      {"<container><knob><value type=\"int\" unit=\"dB\"/></knob></container>",
       "Element \"value\" at \"container/knob/value\": Unknown attribute \"unit\"."},
      {"<container><button layoutplacement=\"top,left\"/></container>",
       "Element \"button\" at \"container/button\": Invalid value of attribute \"layoutplacement\": Invalid "
       "MAlignment "
       "identifier to parse (top,left)."},
      {"<container><grid hspan=\"x\"/></container>",
       "Element \"grid\" at \"container/grid\": Unknown attribute \"hspan\"."},
  };
  for (const auto& c : cases)
  {
    MContainer root;
    EXPECT_EQ(MessageOf([&] { Loader::Load(root, Parse(c.xml)); }), c.message) << c.xml;
    EXPECT_EQ(root.GetChildCount(), 0u) << c.xml; // what the failed load built is gone
    EXPECT_TRUE(root.FindLayouts() == nullptr || root.FindLayouts()->GetCount() == 0) << c.xml;
  }
  EXPECT_EQ(MessageOf([] { Loader::Create(Parse("<window/>")); }),
            "Element \"window\": no control class is called so.");
}

TEST(MXmlLoader, HostileDocumentsEndInClearErrors)
{
  std::string deep;
  for (int i = 0; i < 70; ++i)
    deep += "<panel>";
  for (int i = 0; i < 70; ++i)
    deep += "</panel>";
  EXPECT_NE(MessageOf([&] { Loader::Create(Parse(deep)); }).find("nested deeper than 64 levels"),
            std::string::npos);

  std::string wide = "<container>";
  for (int i = 0; i < Loader::kMaxElements + 1; ++i)
    wide += "<control/>";
  wide += "</container>";
  EXPECT_NE(MessageOf([&] { Loader::Create(Parse(wide)); }).find("more than 4096 elements"),
            std::string::npos);

  // A value element whose type is unknown leaves the knob unbound; spans beyond the grid clamp.
  auto built = Loader::Create(Parse(R"(<container sizex="100" sizey="100"><grid columns="2">
      <knob id="k" hspan="2000000000" vspan="-5"><value type="unknown"/></knob><edit maxlength="8"/></grid></container>)"));
  auto* knob = dynamic_cast<MKnob*>(built->FindChild("k"));
  ASSERT_NE(knob, nullptr);
  EXPECT_EQ(knob->GetValue(), nullptr);
}

TEST(MXmlLoader, ControlsJoinTheLayoutOfTheirOwnLayoutElement)
{
  // The knob after the nested "top" element still belongs to "left"; the client control to none.
  auto built = Loader::Create(Parse(R"(<container sizex="200" sizey="100"><left>
      <knob id="a"/><top><button id="b"/></top><knob id="c"/></left><panel id="d" clientlayout="1"/></container>)"));
  const MLayoutList& layouts = *static_cast<MContainer&>(*built).FindLayouts();
  ASSERT_EQ(layouts.GetCount(), 2u);
  EXPECT_EQ(built->FindChild("a")->GetLayout(), layouts.Get(0));
  EXPECT_EQ(built->FindChild("b")->GetLayout(), layouts.Get(1));
  EXPECT_EQ(built->FindChild("c")->GetLayout(), layouts.Get(0));
  EXPECT_EQ(built->FindChild("d")->GetLayout(), nullptr);
  EXPECT_EQ(built->GetChildCount(), 4u); // all children of the container
}
