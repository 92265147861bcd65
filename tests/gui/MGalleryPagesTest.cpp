#include "tools/gallery/MGalleryHelp.h"

#include "base/MString.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "gui/MBitmap.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/styles/MTexturedStyle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace
{
namespace fs = std::filesystem;

std::string ReadText(const fs::path& file)
{
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Pages : ::testing::Test
{
  void SetUp() override
  {
    // A folder per test: the tests of this suite run as parallel processes.
    out = fs::path(::testing::TempDir()) / (std::string("tonvera-gallery-pages-") +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(out);
    system.Initialize();
  }
  void TearDown() override { fs::remove_all(out); }

  fs::path out;
  MWindowSystemHeadless system;
  MTexturedStyle style{MTexturedStyleConfiguration{}};
};

MBitmap LoadPicture(const fs::path& file)
{
  EXPECT_TRUE(fs::exists(file)) << file;
  return MBitmap::LoadPNGFile(MString::FromUTF8(file.string()));
}
} // namespace

TEST_F(Pages, HelpOfEveryParameterAsPictureAndHtml)
{
  MGallery::WriteHelpPages(out, system, style);
  const std::string html = ReadText(out / "help.html");
  TonveraAudioEffectPlugin effect;
  for (int index = 0; index < TonveraAudioEffectPlugin::kParameterCount; ++index)
  {
    const MParameterInfo& info = effect.GetParameterInfo(index);
    const std::string stem = MGallery::HelpFileStem(info.key.ToUTF8(), info.name.ToUTF8());
    const MBitmap picture = LoadPicture(out / "help" / (stem + ".png"));
    EXPECT_EQ(picture.Width(), MGallery::kHelpWidth + 24) << stem;
    EXPECT_GT(picture.Height(), 24 + 2 * 12 + 10) << stem; // title and at least one line of text
    EXPECT_NE(html.find("help/" + stem + ".png"), std::string::npos) << stem;
  }
  // The <name> tag of the help definitions is exported (not dropped as text), "&" escaped.
  EXPECT_NE(html.find("Dry/wet"), std::string::npos);
  EXPECT_NE(html.find("dry &amp; wet"), std::string::npos);
  EXPECT_EQ(html.find("<name>"), std::string::npos);

  // The file stems of keys and groups.
  EXPECT_EQ(MGallery::HelpFileStem("AutoTuneDepth", "Depth"), "AutoTuneDepth");
  EXPECT_EQ(MGallery::HelpFileStem("", "Automatic tuning"), "Automatictuning");
  EXPECT_EQ(MGallery::HelpFileStem("", "?!"), "Parameter");
}
