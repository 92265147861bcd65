#pragma once
// Layout pages of the gallery: a few small editors described in XML (side bands, a client split
// by ratios, the corner layout, a grid), each loaded through MControl::MXmlLoader into a window
// and rendered at three window sizes, so that a reader sees how the same tree is re-laid out.
//
// Threads: GUI thread of `system`.

#include <filesystem>
#include <string>
#include <vector>

class MStyle;
class MWindowSystemHeadless;

namespace MGallery
{
/// One editor of the layout pages: its name (file name stem), what it shows, its XML document.
struct LayoutSample
{
  const char* name;
  const char* description;
  const char* xml;
};

/// The editors of the layout pages, in display order.
const std::vector<LayoutSample>& LayoutSamples();

/// Writes `outDir`/layouts/<name>_<width>x<height>.png for every sample at each of its three
/// sizes and `outDir`/layouts.html showing them side by side with the XML. Creates the folders.
/// Throws MException when a document does not load or a file cannot be written.
void WriteLayoutPages(const std::filesystem::path& outDir, MWindowSystemHeadless& system, MStyle& style);
} // namespace MGallery
