#pragma once
// What the editor tests' copy of the module lets them see of its open editor, in-process: the
// probe functions are compiled into that module (MEditorProbe.cpp) and looked up with dlsym, so
// they run on the module's own objects. `format` is 2 for an AEffect* instance and 3 for the
// VST 3 edit controller. GUI thread (the test's thread), while the instance is alive.

#include <cstdint>

struct MEditorProbeControl
{
  std::int32_t x = 0; ///< in the editor window's coordinates
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  /// A button: 1 when on. A selector: the chosen index (its text in `text`). A piano: bit i set
  /// when the note first + i is enabled.
  std::int32_t state = 0;
  std::int32_t first = 0; ///< a piano's first note
  char text[512] = {};    ///< text of a text control or a selector's choice (cut, terminated)
};

/// Finds the control with id `id` in the open editor; 1 and the record when found, else 0. With
/// `note` >= 0 the control must be a piano and the rectangle is that note's key.
using MEditorProbeFind = std::int32_t (*)(std::int32_t format, void* instance, const char* id,
                                          std::int32_t note, MEditorProbeControl* control);
/// The plug-in asks its host for a new editor size; answers the plug-in's answer (1: granted).
using MEditorProbeResize = std::int32_t (*)(std::int32_t format, void* instance, std::int32_t width,
                                            std::int32_t height);
/// What the tuning indicator is given: the chosen note and the input and output in cents from
/// it. 0 without an effect.
using MEditorProbeTuning = std::int32_t (*)(std::int32_t format, void* instance, std::int32_t* chosen,
                                            std::int32_t* inputCents, std::int32_t* outputCents);

/// The sheets (dialogs inside the editor) as the editor shows them now.
struct MEditorProbeSheets
{
  std::int32_t count = 0;      ///< sheets shown in the editor window
  std::int64_t modalLoops = 0; ///< modal loops the module's window system has ever entered
  char title[128] = {};        ///< the top sheet's title (cut, terminated)
};
/// 1 and the record while an editor is open, else 0. Find (above) looks in the top sheet first.
using MEditorProbeSheetsOf = std::int32_t (*)(std::int32_t format, void* instance,
                                              MEditorProbeSheets* sheets);
/// The ids of the editor's visible buttons outside the sheets, in tree order, each ended by a
/// newline (cut to `size` bytes, terminated); answers how many.
using MEditorProbeButtons = std::int32_t (*)(std::int32_t format, void* instance, char* ids,
                                             std::int32_t size);
