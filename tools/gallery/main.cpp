// gallery: every control of the toolkit in every state and in both styles.
//
//   gallery [--out DIR] [--style NAME]   writes DIR/<style>/<control>.png and DIR/index.html
//                                        (DIR defaults to out/gallery)
//   gallery --window [--style NAME]      opens the controls in a real window to try them
//                                        (X11 builds only)
//   gallery --help

#include "base/MException.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "tools/gallery/MGallery.h"
#include "tools/gallery/MGalleryHelp.h"

#if defined(TONVERA_GALLERY_X11)
#include "gui/x11/MWindowSystemX11.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
void PrintHelp()
{
  std::puts("gallery: every control in every state (normal, focused, highlighted, clicked, disabled)\n"
            "\n"
            "  --out DIR     folder for the pictures and index.html (default out/gallery)\n"
            "  --style NAME  only this style (Default or Silver; default both)\n"
            "  --overview    also write overview-N.png pages of six sheets each\n"
            "  --window      open the controls in a real window instead (X11)\n"
            "  --help        this text");
}

int WriteGallery(const std::string& out, const std::vector<std::string>& styles, bool overviews)
{
  MWindowSystemHeadless system;
  system.Initialize();
  const std::vector<MGallery::Entry> entries = MGallery::Entries(MGallery::MakeSampleFolder());
  std::ofstream html(std::filesystem::path(out) / "index.html");
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tonvera control gallery</title>\n"
          "<style>body{background:#16181c;color:#e6e8eb;font-family:sans-serif;margin:24px}"
          "h1{font-weight:600}h2{margin-top:32px;color:#e08a2e}img{display:block;margin:10px 0 18px;"
          "image-rendering:pixelated}</style></head><body>\n<h1>Tonvera control gallery</h1>\n"
          "<p>Every control in its five states: normal, focused, highlighted (under the mouse), clicked and "
          "disabled.</p>\n";
  for (const std::string& styleName : styles)
  {
    std::unique_ptr<MStyle> style = MGallery::MakeStyle(styleName);
    const std::filesystem::path folder = std::filesystem::path(out) / styleName;
    std::filesystem::create_directories(folder);
    html << "<h2>" << styleName << "</h2>\n";
    std::vector<MBitmap> page;
    int pageNumber = 0;
    const auto flush = [&] {
      // Overview pages: up to six sheets stacked, to look through the gallery quickly.
      std::int32_t width = 0, height = 0;
      for (const MBitmap& sheet : page)
      {
        width = std::max(width, sheet.Width());
        height += sheet.Height();
      }
      if (page.empty())
        return;
      MBitmap overview(width, height);
      overview.Fill(MColor{0x10, 0x11, 0x13, 0xFF});
      MDrawerToMBitmap drawer(overview);
      std::int32_t y = 0;
      for (const MBitmap& sheet : page)
      {
        drawer.BitBlt(0, y, sheet, sheet.Bounds(), MColorOp::Copy);
        y += sheet.Height();
      }
      overview.SavePNGFile(
          MString::FromUTF8((folder / ("overview-" + std::to_string(++pageNumber) + ".png")).string()));
      page.clear();
    };
    for (const MGallery::Entry& entry : entries)
    {
      const MBitmap sheet = MGallery::RenderSheet(system, *style, entry);
      if (overviews)
      {
        page.push_back(sheet);
        if (page.size() == 6)
          flush();
      }
      sheet.SavePNGFile(MString::FromUTF8((folder / (entry.name + ".png")).string()));
      html << "<img src=\"" << styleName << "/" << entry.name << ".png\" alt=\"" << entry.name << "\">\n";
    }
    flush();
    std::printf("%s: %zu sheets in %s\n", styleName.c_str(), entries.size(), folder.string().c_str());
  }
  // The help of every parameter, in the first style asked for.
  std::unique_ptr<MStyle> pageStyle = MGallery::MakeStyle(styles.front());
  MGallery::WriteHelpPages(out, system, *pageStyle);
  html << "<h2>More</h2>\n<p><a href=\"help.html\">Help of every parameter</a></p>\n";
  html << "</body></html>\n";
  return 0;
}

int OpenWindow(const std::vector<std::string>& styles)
{
#if defined(TONVERA_GALLERY_X11)
  MWindowSystemX11 system;
  system.Initialize();
  std::unique_ptr<MStyle> style = MGallery::MakeStyle(styles.front());
  const std::vector<MGallery::Entry> entries = MGallery::Entries(MGallery::MakeSampleFolder());
  std::unique_ptr<MWindow> window = MGallery::BuildLiveWindow(*style, entries);
  window->SetPosition(MPoint{40, 40});
  // Closing the window ends the program.
  struct Quitter : MEventTarget
  {
    explicit Quitter(MWindowSystemX11& s) : system(s) {}
    void OnClosed(MOnNotifyParams&) { system.Quit(); }
    MWindowSystemX11& system;
  } quitter(system);
  window->GetClosedEvent().Subscribe<&Quitter::OnClosed>(&quitter);
  window->Open(system);
  system.RunMessageLoop();
  window->Close();
  return 0;
#else
  (void)styles;
  std::fputs("gallery: this build has no X11 back end; --window is not available\n", stderr);
  return 2;
#endif
}
} // namespace

int main(int argc, char** argv)
{
  std::string out = "out/gallery";
  std::vector<std::string> styles(std::begin(MGallery::kStyleNames), std::end(MGallery::kStyleNames));
  bool window = false;
  bool overviews = false;
  for (int i = 1; i < argc; ++i)
  {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h")
    {
      PrintHelp();
      return 0;
    }
    if (argument == "--window")
      window = true;
    else if (argument == "--overview")
      overviews = true;
    else if (argument == "--out" && i + 1 < argc)
      out = argv[++i];
    else if (argument == "--style" && i + 1 < argc)
      styles = {argv[++i]};
    else
    {
      std::fprintf(stderr, "gallery: unknown argument %s (see --help)\n", argument.c_str());
      return 2;
    }
  }
  try
  {
    if (window)
      return OpenWindow(styles);
    std::filesystem::create_directories(out);
    return WriteGallery(out, styles, overviews);
  }
  catch (const MException& exception)
  {
    std::fprintf(stderr, "gallery: %s\n", exception.Message().ToUTF8().c_str());
  }
  catch (const std::exception& exception)
  {
    std::fprintf(stderr, "gallery: %s\n", exception.what());
  }
  return 1;
}
