#pragma once
// MGeneralSettings: the user's general settings, shared by every instance and kept outside the
// plug-in state, in "GeneralSettings.xml" beside "GlobalConfiguration.xml" in the settings
// folder (MSettingsFolder). The document is one item "GeneralSettings" with three attributes:
//   "SurroundActivated"  "1"/"0", default 1: surround layouts may be offered to the host;
//   "TabletMode"         "1"/"0", default 0: input tuned for pens and touch screens;
//   "showconfirmations"  "1"/"0", default 1: destructive actions ask before they run;
//   "Zoom"               the editor's zoom in percent, "100", "125", "150", "175" or "200", or
//                        "0" (default): automatic, the host's content scale, else the desktop's.
// An attribute that is missing or not "0"/"1" keeps its default. Sub-items of the document are
// sections other parts keep there (the editor's style and window state); each is read and
// written whole by its name (LoadSection, SaveSection), and writing the values keeps them.
//
// Reading never fails: a missing file gives the defaults; an unreadable one gives the defaults
// too and says why (Load's error). Writing goes through a temporary file renamed over the old
// one, so a failed or interrupted write leaves the previous file whole; a file that could not be
// read is never overwritten silently: Save first moves it aside as "GeneralSettings.xml.unreadable"
// (numbered when that exists) and says so.
//
// Threads: main/GUI thread (file access; allocates). Never throws.

#include "base/MString.h"

#include <cstdint>

class MXmlItem;

class MGeneralSettings
{
public:
  struct Values
  {
    bool surroundActivated = true;
    bool tabletMode = false;
    bool showConfirmations = true;
    std::int32_t zoomPercent = 0; ///< kZoomAutomatic or one of kZoomSteps
    friend bool operator==(const Values&, const Values&) = default;
  };

  /// Full path of the document; empty when there is no settings folder.
  static MString GetPath();

  /// Reads the document into `values`. True for a readable or missing file (missing: defaults);
  /// false, with the defaults in `values` and `error` naming the problem, for one that cannot be
  /// read.
  static bool Load(Values& values, MString& error);
  /// Writes `values`. False with `error` set when the folder or the file cannot be written (the
  /// old file is then untouched) or an unreadable file could not be moved aside. `movedAside`
  /// receives the new name of an unreadable file that was moved aside (empty otherwise).
  static bool Save(const Values& values, MString& error, MString* movedAside = nullptr);

  /// The section `name` of a readable document into `section`; false (nothing changed) when the
  /// file is missing, unreadable or holds no such section.
  static bool LoadSection(const MString& name, MXmlItem& section);
  /// Writes `section` in place of the section of its name, keeping the values and the other
  /// sections (an unreadable file is moved aside as Save does). False with `error` set on failure.
  static bool SaveSection(const MXmlItem& section, MString& error);

  /// The current values, read from the document (defaults when it cannot be read).
  static Values Current();
  static bool SurroundActivated() { return Current().surroundActivated; }
  static bool TabletMode() { return Current().tabletMode; }
  static bool ShowConfirmations() { return Current().showConfirmations; }

  /// Attribute names in the document (also the names the settings window shows them under).
  static constexpr const char* kSurroundActivated = "SurroundActivated";
  static constexpr const char* kTabletMode = "TabletMode";
  static constexpr const char* kShowConfirmations = "showconfirmations";
  static constexpr const char* kZoom = "Zoom";
  /// The zoom choices: automatic, then the steps in percent.
  static constexpr std::int32_t kZoomAutomatic = 0;
  static constexpr std::int32_t kZoomSteps[5] = {100, 125, 150, 175, 200};
};
