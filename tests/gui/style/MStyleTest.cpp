// Styles: configuration defaults and damaged values, the tint's pixel rules, geometry, and that
// every control type paints inside its own rectangle in every style and state. With the
// environment variable TONVERA_STYLE_SHEET set to a path prefix, the paint test also writes one
// contact sheet per style (every type × state) as <prefix>-<style>.png.

#include "base/MXmlItem.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MDrawerUsingStyle.h"
#include "gui/styles/MTexturedStyle.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{
const MControlType kTypes[] = {MControlType::Window,   MControlType::Panel,       MControlType::Control,
                               MControlType::Static,   MControlType::Button,      MControlType::CaptionButton,
                               MControlType::CheckBox, MControlType::Tracker,     MControlType::Rotator,
                               MControlType::Knob,     MControlType::HScrollBar,  MControlType::VScrollBar,
                               MControlType::Edit,     MControlType::Switcher,    MControlType::ProgressBar,
                               MControlType::ListBox,  MControlType::TreeControl, MControlType::TabSet,
                               MControlType::Menu,     MControlType::MenuBar,     MControlType::NoBackground};

std::unique_ptr<MStyle> MakeStyle(int which)
{
  if (which == 0)
    return std::make_unique<MBaseStyle>();
  MTexturedStyleConfiguration configuration;
  configuration.style = MString::FromLiteral(which == 1 ? "Default" : "Silver");
  return std::make_unique<MTexturedStyle>(configuration);
}
} // namespace

TEST(MStyleConfigurationTest, FreshItemCarriesTheDocumentedDefaults)
{
  MXmlItem item("Colors");
  MTexturedStyleConfiguration::Fresh().Save(item);
  EXPECT_EQ(item.GetAttribute("Style", ""), MString("Silver"));
  EXPECT_EQ(item.GetAttribute("maincolor0", ""), MString("AEDCF8D8"));
  EXPECT_EQ(item.GetAttribute("maincolor1", ""), MString("F10A0FFF"));
  EXPECT_EQ(item.GetAttribute("maincolor2", ""), MString("E7819BF3"));
  EXPECT_EQ(item.GetAttribute("maincolor3", ""), MString("E33012FF"));
  EXPECT_EQ(item.GetAttribute("changecontrast", "").ToDouble(), 1.0);
  EXPECT_EQ(item.GetAttribute("multiplysaturation", "").ToDouble(), 1.0);
  MTexturedStyleConfiguration loaded;
  loaded.Load(item);
  EXPECT_EQ(loaded, MTexturedStyleConfiguration::Fresh());
  EXPECT_TRUE(loaded.IsNeutral());
}

TEST(MStyleConfigurationTest, DamagedValuesKeepTheirDefaults)
{
  struct Case
  {
    const char* name;
    const char* value;
  };
  const Case cases[] = {{"maincolor0", "blue"},          {"maincolor1", "F10A0"},
                        {"changecontrast", "x"},         {"changecontrast", "9"},
                        {"changebrightness", "-2"},      {"changesaturation", "nan"},
                        {"multiplysaturation", "1e999"}, {"changebrightness", "0.5junk"},
                        {"accent", "GGGGGGGG"},          {"fontsize", "200"}};
  for (const Case& c : cases)
  {
    MXmlItem item("Colors");
    item.SetAttribute(MString::FromNarrow(c.name), MString::FromNarrow(c.value));
    MTexturedStyleConfiguration configuration;
    configuration.Load(item);
    EXPECT_EQ(configuration, MTexturedStyleConfiguration()) << c.name << "=" << c.value;
  }
  MXmlItem good("Colors");
  good.SetAttribute("changebrightness", "-0.25");
  good.SetAttribute("maincolor2", "102030");
  MTexturedStyleConfiguration configuration;
  configuration.Load(good);
  EXPECT_EQ(configuration.brightness, -0.25);
  EXPECT_EQ(configuration.mainColors[2], (MColor{0x10, 0x20, 0x30, 0xFF}));
}

TEST(MStyleTintTest, PixelRulesAsDocumentedAlsoInTheStyleBitmaps)
{
  const MColor amber{0xF2, 0xA2, 0x3A, 0xFF};
  const MColor grey{0x40, 0x40, 0x40, 0xFF};
  EXPECT_EQ(MStyleTint().Apply(amber, 1), amber); // the defaults change nothing

  MTexturedStyleConfiguration hue;
  hue.mainColors[1] = MColor{0x0A, 0xF1, 0x0F, 0xFF}; // the default red turned green: +120°
  const MStyleTint shifted(hue);
  const MColor turned = shifted.Apply(amber, 1);
  EXPECT_GT(turned.b, turned.r); // amber (≈34°) → ≈154°, a sea green
  EXPECT_GT(turned.g, turned.b);
  EXPECT_EQ(shifted.Apply(grey, 1), grey);   // greys keep their hue
  EXPECT_EQ(shifted.Apply(amber, 0), amber); // other slots untouched

  struct Case
  {
    double contrast, brightness;
    MColor in, out;
  };
  const Case cases[] = {
      {2.0, 0.0, MColor{100, 128, 200, 255}, MColor{72, 128, 255, 255}},
      {1.0, 0.1, MColor{100, 128, 250, 77}, MColor{126, 154, 255, 77}},
      {0.0, 0.0, MColor{10, 20, 250, 255}, MColor{128, 128, 128, 255}},
  };
  for (const Case& c : cases)
  {
    MTexturedStyleConfiguration adjust;
    adjust.contrast = c.contrast;
    adjust.brightness = c.brightness;
    EXPECT_EQ(MStyleTint(adjust).Apply(c.in, 2), c.out) << c.contrast << " " << c.brightness;
  }
  MTexturedStyleConfiguration gray;
  gray.multiplySaturation = 0;
  const MColor flat = MStyleTint(gray).Apply(amber, 0);
  EXPECT_TRUE(flat.r == flat.g && flat.g == flat.b);

  // A main colour changed recolours the style's bitmaps of that slot only.
  MTexturedStyleConfiguration configuration;
  const MTexturedStyle plain(MStylePackage::GetEmbeddedBytes(), configuration);
  configuration.mainColors[2] = MColor{0x0A, 0x60, 0xF1, 0xFF};
  const MTexturedStyle tinted(MStylePackage::GetEmbeddedBytes(), configuration);
  const MBitmap* before = plain.GetImage("checkbox_on.png");
  const MBitmap* after = tinted.GetImage("checkbox_on.png");
  ASSERT_TRUE(before != nullptr && after != nullptr);
  EXPECT_FALSE(*before == *after);
  EXPECT_TRUE(*plain.GetImage("panel_normal.png") == *tinted.GetImage("panel_normal.png"));
}

TEST(MStyleTest, StylesAreSelectedByName)
{
  MTexturedStyleConfiguration configuration;
  EXPECT_EQ(MTexturedStyle(configuration).GetName(), MString("Default")); // empty → package default
  configuration.style = "silver";
  MTexturedStyle style(configuration);
  EXPECT_EQ(style.GetName(), MString("Silver"));
  MXmlItem item("Colors");
  item.SetAttribute("Style", "NoSuchStyle");
  style.LoadConfiguration(item);
  EXPECT_EQ(style.GetName(), MString("Default"));
  MXmlItem saved("Colors");
  style.SaveConfiguration(saved);
  EXPECT_EQ(saved.GetAttribute("Style", ""), MString("NoSuchStyle")); // the user's choice is kept
}

TEST(MStyleTest, ClientRectAndControlSizeAreInverse)
{
  for (int which = 0; which < 3; ++which)
  {
    const auto style = MakeStyle(which);
    for (MControlType type : kTypes)
      for (MCaptionType caption :
           {MCaptionType::None, MCaptionType::Small, MCaptionType::Normal, MCaptionType::Large})
      {
        const MSize client{57, 31};
        const MSize outer = style->GetControlSize(type, caption, client);
        const MRect rect = style->GetClientRect(type, caption, outer);
        EXPECT_EQ((MSize{rect.Width(), rect.Height()}), client)
            << which << " " << int(type) << " " << int(caption);
        const MRect tiny = style->GetClientRect(type, caption, MSize{3, 2});
        EXPECT_TRUE(tiny.left >= 0 && tiny.top >= 0 && tiny.right <= 3 && tiny.bottom <= 2 &&
                    tiny.Width() >= 0);
      }
    EXPECT_EQ(style->GetMetric(MStyle::MetricSpacing), 6);
    EXPECT_EQ(style->GetMetric(-1), 0);
    EXPECT_GE(style->GetFont(MStdFont::Large4).LineHeight(), style->GetFont(MStdFont::Large1).LineHeight());
    EXPECT_LT(style->GetFont(MStdFont::Small).LineHeight(), style->GetFont(MStdFont::Normal).LineHeight());
  }
}

TEST(MStyleTest, EveryTypePaintsInsideItsRectangleInEveryState)
{
  constexpr std::int32_t kCell = 96, kCellH = 64, kMargin = 6;
  constexpr int kStates = 6; // normal, focused, highlighted, clicked, disabled, focused + highlighted
  const std::uint32_t sentinel = 0xFF12E07Bu;
  const char* sheetName = std::getenv("TONVERA_STYLE_SHEET");
  const int typeCount = int(std::size(kTypes));
  MBitmap sheet;
  if (sheetName != nullptr)
    sheet = MBitmap((kCell + 2 * kMargin) * kStates, (kCellH + 2 * kMargin) * typeCount);

  for (int which = 0; which < 3; ++which)
  {
    const auto style = MakeStyle(which);
    for (int t = 0; t < typeCount; ++t)
      for (int state = 0; state < kStates; ++state)
      {
        const MControlType type = kTypes[t];
        MBitmap target(kCell + 2 * kMargin, kCellH + 2 * kMargin);
        target.Fill(MColor::FromARGB(sentinel));
        MDrawerToMBitmap drawer(target);
        // The backdrop the control sits on, as a window would paint it.
        drawer.FillRectangle(MRect::FromSize(kMargin, kMargin, kCell, kCellH),
                             style->GetColor(MStdColor::Dark));
        drawer.FillRectangle(MRect::FromSize(kMargin, kMargin, kCell, kCellH),
                             style->GetName() == "Silver" ? MColor{0xD3, 0xD6, 0xDA, 0xFF}
                                                          : MColor{0x23, 0x27, 0x2D, 0xFF});
        drawer.SetOrigin(MPoint{kMargin, kMargin});
        MControlPaint paint;
        paint.type = type;
        const bool compact = type == MControlType::CheckBox || type == MControlType::Edit ||
                             type == MControlType::Button || type == MControlType::Switcher ||
                             type == MControlType::ProgressBar || type == MControlType::HScrollBar;
        paint.rect =
            type == MControlType::VScrollBar                              ? MRect{0, 0, 14, kCellH}
            : type == MControlType::Knob || type == MControlType::Rotator ? MRect{0, 0, 56, 56}
            : compact                                                     ? MRect{0, 0, kCell,
                              type == MControlType::ProgressBar || type == MControlType::HScrollBar ? 12 : 24}
                                                                          : MRect{0, 0, kCell, kCellH};
        if (type == MControlType::Switcher)
          paint.rect = MRect{0, 0, 44, 22};
        if (type == MControlType::Panel || type == MControlType::Window)
          paint.captionType = state % 2 == 0 ? MCaptionType::Normal : MCaptionType::Small;
        paint.caption = "Pitch";
        paint.text = MString::FromLiteral(type == MControlType::Edit ? "440.0 Hz" : "Correct");
        paint.textAlignment = type == MControlType::Edit || type == MControlType::CheckBox
                                  ? MAlignment(MAlign::Left | MAlign::VCenter)
                                  : MAlignment(MAlign::Center);
        paint.focused = state == 1 || state == 5;
        paint.highlighted = state == 2 || state == 5;
        paint.clicked = state == 3;
        paint.disabled = state == 4;
        paint.check =
            state == 3 ? MCheckState::Grayed : (state % 2 == 0 ? MCheckState::On : MCheckState::Off);
        paint.value = 0.15 + 0.15 * state;
        paint.value2 = type == MControlType::HScrollBar || type == MControlType::VScrollBar ? 0.3
                       : (type == MControlType::Knob && state == 2)                         ? 0.5
                                                                                            : -1.0;
        style->PaintControl(drawer, paint);
        const MRect client =
            style->GetClientRect(type, paint.captionType, MSize{paint.rect.Width(), paint.rect.Height()});
        if (type == MControlType::ListBox || type == MControlType::TreeControl || type == MControlType::Menu)
        {
          const std::int32_t row = style->GetMetric(MStyle::MetricRowHeight);
          for (int r = 0; r < 3; ++r)
          {
            MControlPaint rowPaint = paint;
            rowPaint.text = MString::FromLiteral(r == 0 ? "Major" : r == 1 ? "Minor" : "Chromatic");
            rowPaint.clicked = r == 1;
            rowPaint.highlighted = r == 2 && state == 2;
            style->PaintContent(
                drawer, MRect{client.left, client.top + r * row, client.right, client.top + (r + 1) * row},
                rowPaint);
          }
        }
        else if (type == MControlType::TabSet || type == MControlType::MenuBar)
        {
          for (int r = 0; r < 2; ++r)
          {
            MControlPaint tab = paint;
            tab.text = MString::FromLiteral(r == 0 ? "Scale" : "MIDI");
            tab.clicked = r == 0;
            tab.highlighted = r == 1 && state == 2;
            style->PaintContent(drawer, MRect{r * 46, 0, r * 46 + 46, 24}, tab);
          }
        }
        else if (type != MControlType::Knob && type != MControlType::Rotator &&
                 type != MControlType::Tracker && type != MControlType::Switcher &&
                 type != MControlType::ProgressBar && type != MControlType::HScrollBar &&
                 type != MControlType::VScrollBar)
          style->PaintContent(drawer, client, paint);

        // Nothing outside the control's rectangle changed.
        const MRect inside = paint.rect.Offset(kMargin, kMargin);
        int changed = 0;
        for (std::int32_t y = 0; y < target.Height(); ++y)
          for (std::int32_t x = 0; x < target.Width(); ++x)
            if (!inside.Contains(MPoint{x, y}) &&
                !MRect::FromSize(kMargin, kMargin, kCell, kCellH).Contains(MPoint{x, y}) &&
                target.GetPixel(x, y) != sentinel)
              ++changed;
        EXPECT_EQ(changed, 0) << style->GetName() << " type " << int(type) << " state " << state;
        // ... and inside the cell but outside the control, the backdrop is untouched too.
        const MColor backdrop = target.GetColor(kMargin + kCell - 1, kMargin + kCellH - 1);
        if (!inside.Contains(MPoint{kMargin + kCell - 1, kMargin + kCellH - 1}))
        {
          EXPECT_EQ(backdrop, style->GetName() == "Silver" ? (MColor{0xD3, 0xD6, 0xDA, 0xFF})
                                                           : (MColor{0x23, 0x27, 0x2D, 0xFF}));
        }

        if (sheetName != nullptr)
        {
          MDrawerToMBitmap sheetDrawer(sheet);
          sheetDrawer.BitBlt(state * target.Width(), t * target.Height(), target, target.Bounds(),
                             MColorOp::Copy);
        }
      }
    // One sheet per style: <name>-<style>.png.
    if (sheetName != nullptr)
      sheet.SavePNGFile(MString::FromUTF8(sheetName) + "-" + style->GetName() + ".png");
  }
}

TEST(MDrawerUsingStyleTest, HelpersDrawWhatTheStyleWould)
{
  MBaseStyle style;
  MBitmap viaHelper(80, 30), direct(80, 30);
  MDrawerUsingStyle<MDrawerToMBitmap> drawer(style, viaHelper);
  drawer.DrawFrame(MControlType::Button, MRect{2, 2, 78, 28}, MControlState{.highlighted = true});
  drawer.DrawStyledText(MRect{2, 2, 78, 28}, "Hz", MStdColor::Highlight, MStdFont::Bold);
  MDrawerToMBitmap plain(direct);
  MControlPaint paint;
  paint.type = MControlType::Button;
  paint.rect = MRect{2, 2, 78, 28};
  paint.highlighted = true;
  style.PaintControl(plain, paint);
  plain.AlignedTextOut(MRect{2, 2, 78, 28}, "Hz", style.GetFont(MStdFont::Bold),
                       style.GetColor(MStdColor::Highlight));
  EXPECT_TRUE(viaHelper == direct);
  EXPECT_NE(viaHelper.GetPixel(40, 15), 0u);
}

namespace
{
// `image` (when given) is the entry "S/image.png".
std::vector<std::uint8_t> PackageWithDefinition(const std::string& definition, const MBitmap* image = nullptr)
{
  const std::string index =
      "<stylepackage default=\"S\"><style name=\"S\" definition=\"S/style.xml\"/></stylepackage>";
  std::vector<MStylePackage::Source> entries = {
      {"index.xml", std::vector<std::uint8_t>(index.begin(), index.end())},
      {"S/style.xml", std::vector<std::uint8_t>(definition.begin(), definition.end())}};
  if (image != nullptr)
    entries.push_back({"S/image.png", image->SavePNG()});
  return MStylePackage::Build(entries);
}
} // namespace

TEST(MTexturedStyleTest, WhatThePackageLacksIsDrawnByTheBaseStyle)
{
  MTexturedStyle textured(PackageWithDefinition("<style><button borderx=\"4\"/></style>"),
                          MTexturedStyleConfiguration());
  MBaseStyle base;
  for (MControlType type : {MControlType::Knob, MControlType::Button, MControlType::ListBox})
  {
    MBitmap a(60, 60), b(60, 60);
    MDrawerToMBitmap da(a), db(b);
    MControlPaint paint;
    paint.type = type;
    paint.rect = MRect{0, 0, 60, 60};
    paint.value = 0.7;
    textured.PaintControl(da, paint);
    base.PaintControl(db, paint);
    EXPECT_TRUE(a == b) << int(type);
  }
}

TEST(MTexturedStyleTest, MalformedDefinitionValuesAreReported)
{
  struct Case
  {
    const char* definition;
    const char* message;
  };
  const Case cases[] = {
      {"<style><knob baseangle=\"wide\"/></style>",
       "Invalid value \"wide\" for \"baseangle\" in the style definition."},
      {"<style><button normalalpha=\"300\"/></style>",
       "Invalid value \"300\" for \"normalalpha\" in the style definition."},
      {"<style colors=\"accent\"/>", "Invalid value \"accent\" for \"colors\" in the style definition."},
      {"<style><checkbox hspace=\"big\"/></style>",
       "Invalid value \"big\" for \"hspace\" in the style definition."},
      {"<style><panel captiontextop=\"Glow\"/></style>", "Invalid MColorOp identifier to parse (Glow)."},
      {"<style><button normal=\"missing.png\"/></style>",
       "The style package holds no entry \"S/missing.png\"."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MessageOf([&] {
                MTexturedStyle style(PackageWithDefinition(c.definition), MTexturedStyleConfiguration());
              }),
              c.message)
        << c.definition;
}

TEST(MTexturedStyleTest, DefinitionFontsAndCheckBoxSpacingApply)
{
  const MTexturedStyle style(
      PackageWithDefinition(
          "<style><fonts><font name=\"large4\" height=\"40\" bold=\"1\" spacebetweenchars=\"2\"/></fonts>"
          "<checkbox hspace=\"10\"/></style>"),
      MTexturedStyleConfiguration());
  EXPECT_EQ(style.GetFont(MStdFont::Large4).pixelHeight, 40);
  EXPECT_TRUE(style.GetFont(MStdFont::Large4).bold);
  EXPECT_EQ(style.GetFont(MStdFont::Large4).extraSpacing, 2);
  EXPECT_EQ(style.GetFont(MStdFont::Small).pixelHeight, 10); // no entry: the base style's font
  EXPECT_EQ(style.GetClientRect(MControlType::CheckBox, MCaptionType::None, MSize{100, 20}).left, 25);
}

TEST(MTexturedStyleTest, OnlyTheImagesSomeControlShowsAreDecoded)
{
  MTexturedStyleConfiguration silver;
  silver.style = "Silver";
  for (const MTexturedStyleConfiguration& configuration : {MTexturedStyleConfiguration(), silver})
  {
    const MTexturedStyle style(configuration);
    for (const char* shown : {"knob_normal.png", "checkbox_on.png", "caption_normal.png", "row_selected.png"})
      EXPECT_NE(style.GetImage(MString::FromUTF8(shown)), nullptr) << shown;
    // Splitters, value buttons, radio buttons and check-box controls have no control type.
    for (const char* unused : {"splitter_v.png", "splitter_h.png", "valuebutton_normal.png"})
      EXPECT_EQ(style.GetImage(MString::FromUTF8(unused)), nullptr) << unused;
  }
  // A file named only where nothing reads it need not be in the package; keys no control draws
  // are not even checked.
  EXPECT_EQ(MessageOf([] {
              MTexturedStyle style(
                  PackageWithDefinition(
                      "<style bitmap=\"gone.png\" iconcolor=\"blue\" defaultcontrolsizes=\"knob\">"
                      "<cursor name=\"arrow\" hotx=\"-1\"/><splitter vimage=\"gone.png\"/>"
                      "<knob valuebutton=\"gone.png\" linecolor=\"x\" arrowsize=\"x\"/></style>"),
                  MTexturedStyleConfiguration());
            }),
            "<no exception>");
}

TEST(MTexturedStyleTest, CaptionTextCombinesWithTheCaptionImageByItsOperation)
{
  MBitmap bar(8, 8);
  MDrawerToMBitmap(bar).FillRectangle(bar.Bounds(), MColor{0x40, 0x80, 0xC0, 0xFF});
  const auto render = [&](const std::string& op, const char* caption) {
    MTexturedStyle style(
        PackageWithDefinition("<style><panel><normalcaption image=\"image.png\" captiontextop=\"" + op +
                                  "\"/></panel></style>",
                              &bar),
        MTexturedStyleConfiguration());
    MBitmap target(120, 40);
    MDrawerToMBitmap drawer(target);
    MControlPaint paint;
    paint.type = MControlType::Panel;
    paint.captionType = MCaptionType::Normal;
    paint.rect = MRect{0, 0, 120, 40};
    paint.caption = MString::FromUTF8(caption);
    style.PaintControl(drawer, paint);
    return target;
  };
  const MBitmap plain = render("Alphablend", "Title");
  EXPECT_FALSE(plain == render("Alphablend", "")) << "the title shows";
  EXPECT_TRUE(render("None", "Title") == render("None", "")) << "None draws no text";
  EXPECT_FALSE(render("Invert", "Title") == plain);
  EXPECT_FALSE(render("Invert", "Title") == render("Invert", ""));
}

TEST(MTexturedStyleTest, HugeAndOddControlSizesPaintWithoutFault)
{
  MTexturedStyle style{MTexturedStyleConfiguration()};
  MBitmap target(64, 64);
  MDrawerToMBitmap drawer(target);
  const MRect sizes[] = {
      {0, 0, 30000, 20}, {0, 0, 20, 30000}, {0, 0, 5000, 5000}, {0, 0, 1, 1}, {-50, -50, 3, 3}};
  for (const MRect& rect : sizes)
    for (MControlType type : kTypes)
    {
      MControlPaint paint;
      paint.type = type;
      paint.rect = rect;
      paint.value = 0.5;
      paint.captionType = MCaptionType::Large;
      style.PaintControl(drawer, paint);
      style.PaintContent(drawer, rect, paint);
    }
  SUCCEED();
}
