#include "tools/gallery/MGalleryLayouts.h"

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/stml/MSTML.h"
#include "gui/xml/MXmlLoader.h"

#include <cstring>
#include <fstream>

namespace MGallery
{
namespace
{
// The three window sizes of every sample: small, wide and tall-ish, then very wide and flat.
constexpr MSize kSizes[] = {MSize{300, 200}, MSize{460, 280}, MSize{640, 190}};

// Every editor keeps a 6-pixel margin (occupy-border) before its own layouts.

// Bands docked to the edges (a stretching empty control pushes Reset to the right), the client
// control in the remainder.
const char* const kSideBands = R"(<window sizex="300" sizey="200">
  <container id="editor" clientlayout="1">
    <occupyborder deflayoutborderx="6" deflayoutbordery="6"/>
    <top><static text="Side bands: top, left, right, bottom" sizey="22" layoutratioy="0"/></top>
    <left>
      <knob id="depth" sizex="48" sizey="56" layoutratiox="0" layoutratioy="0"><value type="percents" value="0.6"/></knob>
      <knob id="speed" sizex="48" sizey="56" layoutratiox="0" layoutratioy="0"><value type="percents" value="0.3"/></knob>
    </left>
    <right>
      <button text="Load" sizex="64" sizey="24" layoutratiox="0" layoutratioy="0"/>
      <button text="Save" sizex="64" sizey="24" layoutratiox="0" layoutratioy="0"/>
    </right>
    <bottom>
      <checkbox text="Bypass" sizex="90" sizey="22" layoutratiox="0" layoutratioy="0"/>
      <control layoutratiox="1" layoutratioy="0"/>
      <button text="Reset" sizex="72" sizey="24" layoutratiox="0" layoutratioy="0" layoutplacement="right,center"/>
    </bottom>
    <panel id="client" clientlayout="1" captiontype="normal" caption="Client: the rest"/>
  </container>
</window>)";

// A client layout split by ratios: 1 : 2 : 1 across inside a nested container, below it a fixed
// strip and one more ratio row (2 : fixed : 1 down).
const char* const kRatios = R"(<window sizex="300" sizey="200">
  <container id="editor" clientlayout="1">
    <occupyborder deflayoutborderx="6" deflayoutbordery="6"/>
    <top><static text="Ratios 1 : 2 : 1 across; 2 : 36 px : 1 down" sizey="22" layoutratioy="0"/></top>
    <vertical>
      <container id="row" layoutratiox="1" layoutratioy="2">
        <horizontal>
          <panel captiontype="normal" caption="ratio 1" layoutratiox="1" layoutratioy="1"/>
          <panel captiontype="normal" caption="ratio 2" layoutratiox="2" layoutratioy="1"/>
          <panel captiontype="normal" caption="ratio 1" layoutratiox="1" layoutratioy="1"/>
        </horizontal>
      </container>
      <panel captiontype="normal" caption="fixed 36 px" sizey="36" layoutratiox="1" layoutratioy="0"/>
      <panel captiontype="normal" caption="ratio 1" layoutratiox="1" layoutratioy="1"/>
    </vertical>
  </container>
</window>)";

// The corner layout: four corner controls, the four embedded bands between them, and the client.
const char* const kCorner = R"(<window sizex="300" sizey="200">
  <container id="editor" clientlayout="1">
    <occupyborder deflayoutborderx="6" deflayoutbordery="6"/>
    <corner>
      <button text="corner0" target="corner0" sizex="72" sizey="28" layoutratiox="0" layoutratioy="0"/>
      <button text="corner1" target="corner1" sizex="72" sizey="28" layoutratiox="0" layoutratioy="0"/>
      <button text="corner2" target="corner2" sizex="72" sizey="28" layoutratiox="0" layoutratioy="0"/>
      <button text="corner3" target="corner3" sizex="72" sizey="28" layoutratiox="0" layoutratioy="0"/>
      <panel target="top" captiontype="small" caption="top band" sizey="28" layoutratiox="1" layoutratioy="0"/>
      <panel target="bottom" captiontype="small" caption="bottom band" sizey="28" layoutratiox="1" layoutratioy="0"/>
      <panel target="left" captiontype="small" caption="left" sizex="48" layoutratiox="0" layoutratioy="1"/>
      <panel target="right" captiontype="small" caption="right" sizex="48" layoutratiox="0" layoutratioy="1"/>
    </corner>
    <panel id="client" clientlayout="1" captiontype="normal" caption="Client"/>
  </container>
</window>)";

// A grid of three columns: knobs in single cells, panels spanning two and three cells.
const char* const kGrid = R"(<window sizex="300" sizey="200">
  <container id="editor" clientlayout="1">
    <occupyborder deflayoutborderx="6" deflayoutbordery="6"/>
    <top><static text="Grid: 3 columns, spans 2 and 3" sizey="22" layoutratioy="0"/></top>
    <grid columns="3">
      <knob sizex="44" sizey="50" layoutratiox="1" layoutratioy="0"><value type="percents" value="0.2"/></knob>
      <knob sizex="44" sizey="50" layoutratiox="1" layoutratioy="0"><value type="percents" value="0.5"/></knob>
      <knob sizex="44" sizey="50" layoutratiox="1" layoutratioy="0"><value type="percents" value="0.8"/></knob>
      <panel hspan="2" captiontype="normal" caption="hspan 2" layoutratiox="1" layoutratioy="1"/>
      <panel captiontype="normal" caption="1 cell" layoutratiox="1" layoutratioy="1"/>
      <panel hspan="3" captiontype="normal" caption="hspan 3" sizey="32" layoutratiox="1" layoutratioy="0"/>
    </grid>
  </container>
</window>)";

void LoadWindow(MWindow& window, const char* xml)
{
  MMemoryStream stream(xml, std::strlen(xml));
  MControl::MXmlLoader::LoadDocument(window, stream);
}

std::string SizeName(MSize size)
{
  return std::to_string(size.x) + "x" + std::to_string(size.y);
}
} // namespace

const std::vector<LayoutSample>& LayoutSamples()
{
  static const std::vector<LayoutSample> samples = {
      {"side-bands", "Bands docked to the four edges; the client panel takes what is left.", kSideBands},
      {"client-ratios",
       "A client split by ratios: the free space is shared 1 : 2 : 1 across and 2 : 1 down "
       "beside a fixed strip.",
       kRatios},
      {"corner",
       "The corner layout: a control in each corner, the embedded bands between them, the "
       "client inside.",
       kCorner},
      {"grid",
       "A grid of three columns; cells stretch with the window, spanning panels take the gaps "
       "between their cells.",
       kGrid},
  };
  return samples;
}

void WriteLayoutPages(const std::filesystem::path& outDir, MWindowSystemHeadless& system, MStyle& style)
{
  const std::filesystem::path folder = outDir / "layouts";
  std::filesystem::create_directories(folder);
  std::ofstream html(outDir / "layouts.html");
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tonvera layouts</title>\n"
          "<style>body{background:#16181c;color:#e6e8eb;font-family:sans-serif;margin:24px}"
          "h2{margin-top:32px;color:#e08a2e}img{margin:8px 16px 8px 0;vertical-align:top}"
          "pre{background:#0e0f11;padding:10px;overflow:auto;font-size:12px}</style></head><body>\n"
          "<h1>Tonvera layouts</h1>\n<p>Each editor is one XML document, loaded once and shown at three "
          "window sizes.</p>\n";
  for (const LayoutSample& sample : LayoutSamples())
  {
    MWindow window;
    window.SetStyle(&style);
    LoadWindow(window, sample.xml);
    window.Open(system);
    html << "<h2>" << sample.name << "</h2>\n<p>" << sample.description << "</p>\n<div>";
    for (const MSize size : kSizes)
    {
      window.SetSize(size);
      const std::string file = std::string(sample.name) + "_" + SizeName(size) + ".png";
      system.Render(window).SavePNGFile(MString::FromUTF8((folder / file).string()));
      html << "<img src=\"layouts/" << file << "\" alt=\"" << sample.name << " at " << SizeName(size)
           << "\">";
    }
    window.Close();
    html << "</div>\n<pre>" << EscapeHtml(MString::FromUTF8(sample.xml)).ToUTF8() << "</pre>\n";
  }
  html << "</body></html>\n";
  if (!html.flush())
    throw MException(MString::FromUTF8("Cannot write " + (outDir / "layouts.html").string() + "."));
}
} // namespace MGallery
