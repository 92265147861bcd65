#pragma once
// The control gallery: every control class of the toolkit built with sample content, painted in
// its five states (normal, focused, highlighted, clicked, disabled) side by side on one sheet per
// class. The gallery program writes the sheets as PNG files with an HTML page and can open the
// controls in a real window; the golden-snapshot test compares the same sheets.
//
// Sheets are painted through the headless window system: each state is a window of its own
// holding one instance of the control, so focus, highlight and capture of one state cannot leak
// into another. Window classes (dialogs, popups) are their own window in each state.
//
// Threads: GUI thread of the given window system.

#include "gui/MBitmap.h"
#include "gui/MControl.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class MStyle;
class MWindow;
class MWindowSystemHeadless;

namespace MGallery
{
enum class State
{
  Normal,
  Focused,
  Highlighted,
  Clicked,
  Disabled,
};
inline constexpr int kStateCount = 5;
const char* StateName(State state);

/// One control class: how to make a sample instance and how large its cell is.
struct Entry
{
  std::string name; ///< class name, also the file name of its sheet
  MSize cell;       ///< the control's size in its cell
  /// Makes the sample control (for window classes: the window, which must be an MWindow).
  std::function<std::unique_ptr<MControl>()> make;
  bool isWindow = false;
};

/// Every gallery entry, in display order. Entries that list folders use `sampleFolder` (made by
/// MakeSampleFolder) so that the pictures do not depend on the machine.
std::vector<Entry> Entries(const std::string& sampleFolder);

/// Creates (once) a small fixed folder tree for the file and directory controls; answers it.
std::string MakeSampleFolder();

/// The gallery's styles by name ("Default", "Silver").
std::unique_ptr<MStyle> MakeStyle(const std::string& name);
inline const char* const kStyleNames[] = {"Default", "Silver"};

/// Paints one control in `state` in a window of its own and answers the picture.
MBitmap RenderState(MWindowSystemHeadless& system, MStyle& style, const Entry& entry, State state);
/// The sheet of an entry: a title row, then the five states side by side with their names.
MBitmap RenderSheet(MWindowSystemHeadless& system, MStyle& style, const Entry& entry);

/// Builds one window holding a live instance of every control (the --window gallery).
std::unique_ptr<MWindow> BuildLiveWindow(MStyle& style, const std::vector<Entry>& entries);
} // namespace MGallery
