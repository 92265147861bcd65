// STML: what the tags do, the fallbacks for bad input, layout rules, the tuning indicator's
// picture and the HTML of a help text.

#include "base/MException.h"
#include "base/MFormat.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/stml/MSTML.h"
#include "gui/stml/MSTMLControl.h"
#include "tests/base/MExpectMessage.h"
#include "tests/gui/support/MSnapshot.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// Runs of all paragraphs as "text|font|colour" separated by "/"; paragraphs end in "¶".
std::string Runs(const MSTMLContainer& container)
{
  std::string out;
  for (std::size_t i = 0; i < container.GetItemCount(); ++i)
  {
    const MSTMLItem& item = container.GetItem(i);
    if (item.GetKind() != MSTMLItem::Kind::Paragraph)
      continue;
    for (const auto& element : static_cast<const MSTMLParagraph&>(item).elements)
    {
      if (element.object == nullptr)
        out += element.run.text.ToUTF8() + "|" + std::to_string(int(element.run.font)) + "|" +
               std::to_string(int(element.run.color)) + "/";
    }
    out += "¶";
  }
  return out;
}

std::string Parsed(const char* text, bool help = false)
{
  MSTML document;
  if (help)
    document.ParseHelp(MString::FromUTF8(text));
  else
    document.Parse(MString::FromUTF8(text));
  return Runs(document);
}

// Font numbers: 0 normal 1 bold 2 italic 3 small 4..7 large; colours: 0 text 2 highlight 5 red 6 green.
TEST(MSTMLParse, TagsHelpDefinitionsAndFallbacks)
{
  const struct
  {
    const char* text;
    bool help;
    const char* runs;
  } kCases[] = {
      {"<name>Detune</name> defines", true, "Detune|1|5/ defines|0|0/¶"},
      {"see <reference>x</reference>.", true, "see |0|0/x|2|5/.|0|0/¶"},
      {"a<shortcut>Ctrl</shortcut>", true, "a|0|0/¶Ctrl|0|6/¶"},
      {"<example>e</example><range>r</range><value>v</value>", true, "e|2|0/rv|0|6/¶"},
      {"<NAME>x</name>", true, "x|1|5/¶"},
      {"<cd>a</cd><ci>b</ci><cblue><s>c</s></cblue>", false, "a|0|0/b|0|2/c|3|7/¶"},
      {"one<p>two", false, "one|0|0/¶two|0|0/¶"},
      {"a<foo x=1>b</foo>c", false, "abc|0|0/¶"},
      {"<b>a<i>b</b>c</i>", false, "a|1|0/b|2|0/c|0|0/¶"},
      {"</b>a</nothing>", false, "a|0|0/¶"},
      {"<tagset name=big><l2><cred></tagset><big>B</big>", false, "B|5|5/¶"},
      {"<b/>x", false, "x|0|0/¶"},
      {"  spaced \n  out  ", false, "spaced out |0|0/¶"},
      {"dry & wet", false, "dry & wet|0|0/¶"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(Parsed(c.text, c.help), c.runs) << c.text;

  // A U+FFFF character is text, not the end of the input.
  EXPECT_EQ(Parsed("a\xEF\xBF\xBF<b>c</b>"), "a\xEF\xBF\xBF|0|0/c|1|0/¶");
}

TEST(MSTMLParse, AttributesUnquotedPercentConstantsAndColours)
{
  MSTML document;
  document.Parse("<img icon=right width=MaxStdIconSizeX height=50%><rectangle color=550000EE width=7 "
                 "height=\"3\"><indicator value=-20 min=-100 max=100 width=100% height=bogus>");
  const auto& paragraph = static_cast<const MSTMLParagraph&>(document.GetItem(0));
  ASSERT_EQ(paragraph.elements.size(), 3u);
  const auto& image = static_cast<const MSTMLImage&>(*paragraph.elements[0].object);
  EXPECT_EQ(image.icon, 1);
  MSTMLResources resources;
  EXPECT_EQ(image.width.Resolve(200, 0, resources), 16);
  EXPECT_EQ(image.height.Resolve(200, 0, resources), 100);
  const auto& rectangle = static_cast<const MSTMLRectangle&>(*paragraph.elements[1].object);
  EXPECT_EQ(rectangle.color, (MColor{0x55, 0, 0, 0xEE}));
  const auto& indicator = static_cast<const MSTMLIndicator&>(*paragraph.elements[2].object);
  EXPECT_EQ(indicator.height.Resolve(50, 7, resources), 7); // unknown constant: the default
  double from = 0, to = 0;
  indicator.GetBar(from, to);
  EXPECT_DOUBLE_EQ(from, 0.4);
  EXPECT_DOUBLE_EQ(to, 0.5);
}

TEST(MSTMLLayout, SingleLineParagraphsAreNotWrapped)
{
  const MString words("<p>Higher speed makes the results immediately in tune</p>");
  const MString single("<p singleline=1>Higher speed makes the results immediately in tune</p>");
  MSTMLResources resources;
  MSTML wrapped, unwrapped;
  wrapped.Parse(words);
  unwrapped.Parse(single);
  const std::int32_t line = resources.GetFont(MStdFont::Normal).LineHeight();
  EXPECT_GT(wrapped.Layout(110, resources), 3 * line);
  EXPECT_EQ(unwrapped.Layout(110, resources), line);
  EXPECT_GT(unwrapped.GetLayoutSize().x, 250);
  EXPECT_EQ(wrapped.GetLayoutSize().x, 110);
  // Lines never pass the width unless one word is wider.
  for (const auto& placed : static_cast<const MSTMLParagraph&>(wrapped.GetItem(0)).placed)
    EXPECT_LE(placed.rect.right, 110);
}

TEST(MSTMLLayout, TableCellsTakeGivenAutomaticAndRemainingWidths)
{
  MSTML document;
  document.Parse("<tr cellspaces=10><td width=40>a</td><td autosize=1>wide words</td><td>rest</td>"
                 "<td width=25%>q</td></tr>");
  document.Layout(410, MSTMLResources());
  const auto& row = static_cast<const MSTMLTableRow&>(document.GetItem(0));
  ASSERT_EQ(row.cells.size(), 4u);
  const std::int32_t natural = MSTMLResources().GetFont(MStdFont::Normal).TextWidth("wide words");
  EXPECT_EQ(row.cells[0]->GetBounds().Width(), 40);
  EXPECT_EQ(row.cells[1]->GetBounds().Width(), natural);
  EXPECT_EQ(row.cells[3]->GetBounds().Width(), 95); // 25% of 410 - 3 spaces
  EXPECT_EQ(row.cells[2]->GetBounds().Width(), 380 - 40 - natural - 95);
  EXPECT_EQ(row.cells[3]->GetBounds().right, 410);
}

TEST(MSTMLBadInput, FallbacksOrClearExceptionsNeverHangAndMultiplyingTagSetsStopAtABudget)
{
  std::string deepFormat, deepCells, manyTags;
  for (int i = 0; i < 300; ++i)
    deepFormat += "<b>";
  for (int i = 0; i < 40; ++i)
    deepCells += "<tr><td>";
  for (int i = 0; i < 2000; ++i)
    manyTags += "<tr><td autosize=1><td width=99999999%><indicator width=-5 min=1 max=1></tr>";
  const std::string hugeValue = "<td width=" + std::string(100000, '9') + ">x";
  const struct
  {
    std::string text;
    const char* message; // null: parses and lays out
  } kCases[] = {
      {deepFormat, "STML nesting is too deep."},
      {deepCells, "STML nesting is too deep."},
      {manyTags, nullptr},
      {hugeValue, nullptr},
      {"<tr height=2147483647000><td padding=-9 width=-3>x", nullptr},
      {"<tagset name=a><a><b></tagset><a>x", nullptr},
      {"<tagset name=loop><tagset>x</tagset><i></tagset><loop>y</loop></tagset>", nullptr},
      {"<li><li>x</td></tr></td></p>", nullptr},
      {"a <b", "Unexpected end of XML input."},
      {std::string(1 << 21, 'x'), "STML text is too long."},
  };
  for (const auto& c : kCases)
  {
    MSTML document;
    const std::string message = MessageOf([&] {
      document.Parse(MString::FromUTF8(c.text));
      for (std::int32_t width : {-5, 0, 1, 300, 1 << 30})
        document.Layout(width, MSTMLResources());
    });
    EXPECT_EQ(message, c.message == nullptr ? "<no exception>" : c.message) << c.text.substr(0, 60);
    if (c.message != nullptr)
    {
      EXPECT_EQ(document.GetItemCount(), 0u);
    }
  }

  // Tag sets that multiply stop at a budget linear in the text.
  // 58 bytes: every use replays ten uses of itself, eight levels deep (10^8 tags; 27 s before).
  EXPECT_EQ(MessageOf([] {
              MSTML().Parse(MString::FromUTF8("<tagset name=a><a><a><a><a><a><a><a><a><a><a></tagset><a>x"));
            }),
            "STML text has too many items.");
  std::string manyUses; // help texts use their tag sets freely
  for (int i = 0; i < 3000; ++i)
    manyUses += "<reference>r</reference> <shortcut>s</shortcut> <name>n</name> ";
  EXPECT_EQ(MessageOf([&] { MSTML().ParseHelp(MString::FromUTF8(manyUses)); }), "<no exception>");
}

TEST(MSTMLHtml, HelpTextExportsExactly)
{
  MSTMLHtmlPage page("Tonvera");
  page.AddHeading(1, "Parameters");
  page.BeginControlType("Knob");
  page.AddPicture("knob");
  page.AddHelp(
      "<name>Detune</name> defines <i>global</i> pitch change in cents &amp; <cblue alpha=128>x</cblue>.");
  const std::string html = page.Finish().ToUTF8();
  const std::string body = html.substr(html.find("<body>"));
  EXPECT_EQ(body, "<body>\n<h1>Parameters</h1>\n<div class=\"controltypeinfo\">\n<h3>Knob</h3>\n"
                  "<p><img src=\"images/knob.png\" alt=\"knob\"></p>\n"
                  "<p><span class=\"red\"><b>Detune</b></span> defines <i>global</i> pitch change in cents "
                  "&amp; <span class=\"blue\" style=\"opacity:0.50;\">x</span>.</p>\n"
                  "</div>\n</body>\n</html>\n");
}

// The tuning indicator: the note in a 40-pixel cell and two bars on -100..100, drawn by the
// rich-text control in a 300 x 60 window without a style (the built-in defaults).
TEST(MSTMLSnapshot, TuningIndicatorAtSeveralValues)
{
  const MString kTemplate(
      "<tr><td width=40 valign=center><center><l3>{0}</l3></center></td><td><indicator width=100% height=24 "
      "value={1} min=-100 max=100 color=550000EE /><tr height=6></tr><indicator width=100% height=24 "
      "value={2} "
      "min=-100 max=100 color=005500EE />");
  const struct
  {
    const char* name;
    int input;
    int output;
    const char* golden;
  } kCases[] = {
      {"", 0, 0, "stml/indicator_none"},
      {"A", -50, 50, "stml/indicator_a_extremes"},
      {"C#", 23, -4, "stml/indicator_csharp"},
      {"F#", 50, 0, "stml/indicator_fsharp"},
  };
  MWindowSystemHeadless system;
  system.Initialize();
  for (const auto& c : kCases)
  {
    MWindow window;
    window.SetSize(MSize{300, 60});
    MSTMLControl& indicator = window.Add<MSTMLControl>();
    indicator.SetBounds(MRect{0, 0, 300, 60});
    indicator.SetSTML(MFormat::Format(kTemplate, MString::FromUTF8(c.name), c.input, c.output));
    const auto& row = static_cast<const MSTMLTableRow&>(indicator.GetDocument().GetItem(0));
    ASSERT_EQ(row.cells.size(), 2u);
    window.Open(system);
    EXPECT_TRUE(MatchesGolden(RenderWindow(system, window), c.golden));
    window.Close();
  }
}

// Help text in a narrow pane: wrapping, the name in bold red, a list and a rule.
TEST(MSTMLSnapshot, HelpTextWrapsInANarrowPane)
{
  MBitmap surface(240, 150);
  surface.Fill(MColor{0x1E, 0x21, 0x26, 0xFF});
  MDrawerToMBitmap drawer(surface);
  MSTML document;
  document.ParseHelp(
      "<name>Speed</name> defines how quickly the plugin adjusts, when a note has been changed. "
      "See <reference>Depth</reference>.<hline><li>Higher: in tune at once<li><value>0%</value>: "
      "natural<p singleline=1><s>A single line that the pane cannot hold at all</s>");
  document.Layout(224, MSTMLResources());
  document.Draw(drawer, MPoint{8, 8}, MSTMLResources());
  EXPECT_TRUE(MatchesGolden(surface, "stml/help_speed"));
}
} // namespace
