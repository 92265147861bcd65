#include "tools/gallery/MGalleryHelp.h"

#include "base/MException.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "gui/MWindow.h"
#include "gui/controls/MStatic.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/stml/MSTML.h"
#include "gui/stml/MSTMLControl.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace MGallery
{
namespace
{
constexpr std::int32_t kPad = 12;
constexpr std::int32_t kTitle = 24;

// "Depth: 0 to 1, default 0.5" for a floating parameter, "Automatic tuning (group)" for a group.
std::string TitleOf(const MParameterInfo& info)
{
  std::string title = info.name.ToUTF8();
  if (info.type == MParameterInfo::kGroup)
    return title + " (group)";
  char range[96];
  std::snprintf(range, sizeof range, ": %g to %g, default %g", info.floating.minimum, info.floating.maximum,
                info.floating.defaultValue);
  return title + range;
}

// One parameter's picture: the title line, then the help text laid out for kHelpWidth.
void RenderHelp(MWindowSystemHeadless& system, MStyle& style, const MParameterInfo& info,
                const std::filesystem::path& file)
{
  MWindow window;
  window.SetStyle(&style);
  MStatic& title = window.Add<MStatic>(MString::FromUTF8(TitleOf(info)));
  title.SetFont(MStdFont::Bold);
  title.SetTextAlignment(MAlign::Left | MAlign::VCenter);
  title.SetBounds(MRect::FromSize(kPad, kPad, kHelpWidth, kTitle));
  MSTMLControl& text = window.Add<MSTMLControl>();
  text.SetSTML(info.help, true);
  text.SetSize(MSize{kHelpWidth, 1});
  const std::int32_t height = std::max(text.GetPreferredSize().y, 1);
  text.SetBounds(MRect::FromSize(kPad, kPad + kTitle, kHelpWidth, height));
  window.SetSize(MSize{kHelpWidth + 2 * kPad, kPad + kTitle + height + kPad});
  window.Open(system);
  system.Render(window).SavePNGFile(MString::FromUTF8(file.string()));
  window.Close();
}
} // namespace

std::string HelpFileStem(const std::string& key, const std::string& name)
{
  if (!key.empty())
    return key;
  std::string stem;
  for (const char c : name)
    if (std::isalnum(static_cast<unsigned char>(c)))
      stem += c;
  return stem.empty() ? "Parameter" : stem;
}

void WriteHelpPages(const std::filesystem::path& outDir, MWindowSystemHeadless& system, MStyle& style)
{
  const std::filesystem::path folder = outDir / "help";
  std::filesystem::create_directories(folder);
  // The effect's own descriptors: building it only fills them (no sample rate, no processing).
  TonveraAudioEffectPlugin effect;
  std::ofstream html(outDir / "help.html");
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tonvera parameter help</title>\n"
          "<style>body{background:#16181c;color:#e6e8eb;font-family:sans-serif;margin:24px;max-width:900px}"
          "h2{margin-top:32px;color:#e08a2e}img{display:block;margin:8px 0}"
          ".stml{background:#23262c;padding:10px "
          "14px}.red{color:#e8645c}.green{color:#5cc27a}.blue{color:#6aa6ec}"
          ".highlight{color:#e08a2e}.l1{font-size:115%}.l2{font-size:140%}.l3{font-size:170%}.l4{font-size:"
          "215%}</style></head><body>\n"
          "<h1>Tonvera parameter help</h1>\n<p>The help text of every parameter: as the editor draws it, "
          "then as exported to HTML.</p>\n";
  for (int index = 0; index < TonveraAudioEffectPlugin::kParameterCount; ++index)
  {
    const MParameterInfo& info = effect.GetParameterInfo(index);
    const std::string stem = HelpFileStem(info.key.ToUTF8(), info.name.ToUTF8());
    RenderHelp(system, style, info, folder / (stem + ".png"));
    MSTML document;
    document.ParseHelp(info.help);
    html << "<h2 id=\"" << stem << "\">" << EscapeHtml(MString::FromUTF8(TitleOf(info))).ToUTF8() << "</h2>\n"
         << "<img src=\"help/" << stem << ".png\" alt=\"" << stem << "\">\n<div class=\"stml\">"
         << document.ToHtml().ToUTF8() << "</div>\n";
  }
  html << "</body></html>\n";
  if (!html.flush())
    throw MException(MString::FromUTF8("Cannot write " + (outDir / "help.html").string() + "."));
}
} // namespace MGallery
