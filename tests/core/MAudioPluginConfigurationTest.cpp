// Defaults shared by every instance: "GlobalConfiguration.xml" in the settings folder.

#include "base/MStdFileStream.h"
#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MSettingsFolder.h"
#include "gui/MGuiTypes.h"
#include "tests/support/MPrivateSettingsFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{
class StatePlugin : public MAudioPlugin
{
public:
  void Store(MStoreContext& context) override
  {
    MAudioPlugin::Store(context);
    context.Store(MString("Gain"), m_gain);
  }
  double m_gain = 0.0;
};

// Points the settings folder at a fresh temporary folder for each test.
class MAudioPluginConfiguration : public ::testing::Test
{
protected:
  std::filesystem::path Document() const { return m_root / "Tonvera" / "GlobalConfiguration.xml"; }

  const MTestSupport::MScopedSettingsFolder m_settings{
      std::string("tonvera-core-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  const std::filesystem::path m_root = m_settings.Folder();
};
} // namespace

TEST_F(MAudioPluginConfiguration, WithoutADocumentInTheSettingsFolderThereAreNoDefaultsAndModeZero)
{
  StatePlugin plugin;
  EXPECT_FALSE(plugin.LoadDefaultSettings());
  EXPECT_EQ(plugin.GetEditorMode(), 0);

  // The document lies in the settings folder, which follows the configuration home.
  EXPECT_EQ(MAudioPlugin::GetConfigurationPath().ToUTF8(), Document().string());
}

TEST_F(MAudioPluginConfiguration, DefaultsStoredByOneInstanceLoadIntoAnother)
{
  StatePlugin first;
  first.m_gain = 0.625;
  ASSERT_TRUE(first.SetDefaultSettingsToCurrent());

  MXmlItem document;
  {
    // Closed again before the next write: Windows does not replace a file that is open.
    MStdFileStream stream(MString::FromUTF8(Document().string()), MStdFileStream::Mode::Read);
    MXmlReader::Read(stream, document);
  }
  EXPECT_EQ(document.GetName().ToUTF8(), "Configuration");
  ASSERT_TRUE(document.HasSubItem(MString("DefaultSettings")));

  StatePlugin second;
  EXPECT_TRUE(second.LoadDefaultSettings());
  EXPECT_DOUBLE_EQ(second.m_gain, 0.625);

  first.m_gain = 0.25;
  ASSERT_TRUE(first.SetDefaultSettingsToCurrent());
  EXPECT_TRUE(second.LoadDefaultSettings());
  EXPECT_DOUBLE_EQ(second.m_gain, 0.25) << "the defaults are replaced, not added";
}

TEST_F(MAudioPluginConfiguration, RewritingTheDefaultsKeepsTheOtherEntries)
{
  std::filesystem::create_directories(Document().parent_path());
  {
    std::ofstream file(Document());
    file << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Configuration><EditorMode>2</EditorMode>"
            "<TabletMode>1</TabletMode></Configuration>";
  }
  StatePlugin plugin;
  EXPECT_EQ(plugin.GetEditorMode(), 2);
  EXPECT_EQ(plugin.GetTabletMode(), 1);
  ASSERT_TRUE(plugin.SetDefaultSettingsToCurrent());
  EXPECT_EQ(plugin.GetEditorMode(), 2);
  EXPECT_EQ(plugin.GetTabletMode(), 1);
  EXPECT_TRUE(plugin.LoadDefaultSettings());
}

TEST_F(MAudioPluginConfiguration, MalformedDocumentReadsAsEmptyWithoutThrowing)
{
  std::filesystem::create_directories(Document().parent_path());
  {
    std::ofstream file(Document());
    file << "<Configuration><DefaultSettings Gain=\"0.5\"><unclosed>";
  }
  StatePlugin plugin;
  EXPECT_FALSE(plugin.LoadDefaultSettings());
  EXPECT_EQ(plugin.GetEditorMode(), 0);
  EXPECT_DOUBLE_EQ(plugin.m_gain, 0.0);
  EXPECT_TRUE(plugin.SetDefaultSettingsToCurrent()) << "a broken document is kept aside and replaced";
  EXPECT_TRUE(plugin.LoadDefaultSettings());
  std::ifstream aside(Document().string() + ".unreadable");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}),
            "<Configuration><DefaultSettings Gain=\"0.5\"><unclosed>");
}

TEST_F(MAudioPluginConfiguration, EditorSizeComesFromTheDocumentWithinItsLimits)
{
  struct Case
  {
    const char* entries;
    MSize size;
  };
  const Case cases[] = {
      {"", {720, 522}},
      {"<EditorWidth>900</EditorWidth><EditorHeight>560</EditorHeight>", {900, 560}},
      {"<EditorWidth>10</EditorWidth><EditorHeight>99999999999</EditorHeight>", {480, 4096}},
      {"<EditorWidth>wide</EditorWidth><EditorHeight>-3</EditorHeight>", {720, 522}},
  };
  std::filesystem::create_directories(Document().parent_path());
  for (const Case& c : cases)
  {
    {
      std::ofstream file(Document());
      file << "<Configuration>" << c.entries << "<EditorMode>1</EditorMode></Configuration>";
    }
    StatePlugin plugin;
    EXPECT_EQ(plugin.GetDefaultEditorSize(), c.size) << c.entries;
    EXPECT_EQ(plugin.GetEditorSize(), c.size) << "without an editor, the size it will open with";
  }
}
