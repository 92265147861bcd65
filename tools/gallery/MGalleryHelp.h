#pragma once
// Help pages of the gallery: the STML help text of every Tonvera parameter (the effect's own
// descriptors, groups included), drawn by an MSTMLControl at a readable width under a title line
// with the parameter's name and range, and exported as HTML through MSTML::ToHtml.
//
// Threads: GUI thread of `system`.

#include <filesystem>
#include <string>

class MStyle;
class MWindowSystemHeadless;

namespace MGallery
{
/// Width of the help text in the pictures (pixels).
inline constexpr int kHelpWidth = 420;

/// File name stem of a parameter's picture: its key, or for a group (no key) its name with
/// everything but letters and digits left out.
std::string HelpFileStem(const std::string& key, const std::string& name);

/// Writes `outDir`/help/<stem>.png for every parameter and `outDir`/help.html with a section
/// per parameter (its picture and the exported HTML of its help). Creates the folders. Throws
/// MException when a help text does not parse or a file cannot be written.
void WriteHelpPages(const std::filesystem::path& outDir, MWindowSystemHeadless& system, MStyle& style);
} // namespace MGallery
