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
  double value = -1.0; ///< normalised value of a value control, else -1
  char text[128] = {}; ///< text of a text control (cut, terminated)
};

/// Finds the control with id `id` in the open editor; 1 and the record when found, else 0.
using MEditorProbeFind = std::int32_t (*)(std::int32_t format, void* instance, const char* id,
                                          MEditorProbeControl* control);
/// The plug-in asks its host for a new editor size; answers the plug-in's answer (1: granted).
using MEditorProbeResize = std::int32_t (*)(std::int32_t format, void* instance, std::int32_t width,
                                            std::int32_t height);
