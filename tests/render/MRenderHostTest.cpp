#include "tools/render/MRenderHost.h"

#include <gtest/gtest.h>

TEST(MRenderHostTest, FindsParametersByWholeNameLastPartOrCutName)
{
  // Names as hosts see them: group-qualified, and cut to 24 characters by VST 2.4.
  const std::vector<std::string> names = {"C",
                                          "C#",
                                          "Automatic tuning - Depth",
                                          "Automatic tuning - Detun",
                                          "Effects - Dry/wet",
                                          "Effects - Width",
                                          "Other - Width"};
  const struct
  {
    const char* wanted;
    int index; // -1: not found
    const char* message;
  } cases[] = {
      {"C", 0, ""},
      {"c#", 1, ""},
      {"depth", 2, ""},
      {"Automatic tuning - Depth", 2, ""},
      {"Detune", 3, ""}, // cut to "Detun" by the interface
      {"Dry/wet", 4, ""},
      {"Effects - Width", 5, ""},
      {"Width", -1, "ambiguous"},
      {"Det", -1, "unknown parameter \"Det\""},
      {"Speed", -1, "unknown parameter \"Speed\""},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.wanted);
    std::string error;
    EXPECT_EQ(MRenderHost::MatchParameterName(names, c.wanted, MRenderHost::kVst2NameChars, error), c.index);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
  std::string error;
  EXPECT_EQ(MRenderHost::MatchParameterName(names, "Detune", 0, error), -1) << "names that are never cut";

  // An unknown name lists only the offered names and counts the others.
  EXPECT_EQ(MRenderHost::MatchParameterName(names, "Speed", 0, error, {2, 4}), -1);
  EXPECT_EQ(error, "unknown parameter \"Speed\" (the plug-in has \"Automatic tuning - Depth\", "
                   "\"Effects - Dry/wet\"; 5 MIDI controller slots not shown, see --list-params)");
}
