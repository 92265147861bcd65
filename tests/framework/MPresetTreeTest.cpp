// The preset tree and its files: the two preset forms, stepping, damaged or hostile files, and a
// process killed while it writes presets.xml.
#include "framework/MPresetManagerT.h"

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MZLibStream.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

// Records what the manager applies, as a plug-in would take it.
struct Target
{
  void LoadPresetSettings(MXmlItem& settings) { applied.push_back(settings.GetAttribute("value", "")); }
  void SavePresetSettings(MXmlItem&) {}
  std::int32_t GetCurrentPresetIndex() const { return current; }
  void SetCurrentPresetIndex(std::int32_t index) { current = index; }
  std::vector<MString> applied;
  std::int32_t current = -1;
};

MXmlItem Expanded(const std::string& name, const std::string& value)
{
  MXmlItem preset("preset");
  preset.SetAttribute("name", MString::FromUTF8(name));
  preset.SetAttribute("value", MString::FromUTF8(value));
  return preset;
}

struct TempFolder
{
  TempFolder()
      : path(fs::temp_directory_path() / ("tonvera-presets-" + std::to_string(std::random_device{}())))
  {
    fs::create_directories(path);
  }
  ~TempFolder() { fs::remove_all(path); }
  MString File(const char* name) const { return MString::FromUTF8((path / name).string()); }
  fs::path path;
};

std::string ReadBytes(const MString& path)
{
  std::stringstream text;
  text << std::ifstream(path.ToUTF8(), std::ios::binary).rdbuf();
  return text.str();
}
} // namespace

TEST(MPresetTreeTest, CompressingConvertsEachExpandedPresetOnceIntoLevelNineHexOfADocument)
{
  MPresetTree tree;
  tree.GetRoot().AddSubItem(Expanded("Lead", "1"));
  tree.GetRoot().AddSubItem(MPresetTree::Compress(Expanded("Pad", "2")));
  EXPECT_EQ(tree.CompressPresets(), 1);
  EXPECT_EQ(tree.CompressPresets(), 0);

  const MXmlItem& lead = tree.GetPreset(0);
  const std::string hex = lead.GetText().ToUTF8();
  EXPECT_EQ(hex.substr(0, 4), "78DA");
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(lead.GetAttributeCount(), 2); // name and compressed only
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  MMemoryStream source(bytes.data(), bytes.size());
  MZLibStream inflate(source, MZLibStream::Direction::Reading);
  char head[39] = {};
  inflate.Read(head, 38);
  EXPECT_STREQ(head, "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  MXmlItem decoded;
  MPresetTree::DecodePreset(lead, decoded);
  EXPECT_EQ(decoded, Expanded("Lead", "1"));
}

TEST(MPresetTreeTest, SteppingWrapsRoundBothWaysAndAnEmptyTreeDoesNothing)
{
  Target target;
  MPresetManagerT<Target> manager(target);
  EXPECT_EQ(manager.Step(1), -1);
  MXmlItem& folder = manager.AddFolder(manager.GetRoot(), "Sub");
  for (const char* value : {"1", "2", "3"})
    manager.GetRoot().AddSubItem(Expanded(value, value));
  manager.AddPreset(folder, "0", Expanded("", "0")); // tree order: the folder's preset first
  manager.GetRoot().AddSubItem(MPresetTree::Compress(Expanded("4", "4")));

  const int cases[][3] = {{0, -1, 4}, {4, 1, 0}, {-1, 1, 0}, {-1, -1, 4}, {2, -12, 0}, {3, 7, 0}, {9, 1, 0}};
  for (const auto& c : cases)
  {
    target.current = c[0];
    EXPECT_EQ(manager.Step(c[1]), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(target.current, c[2]);
    EXPECT_EQ(target.applied.back().ToInteger(), c[2]);
  }
  EXPECT_THROW(manager.ApplyPresetAt(5), MException);
  EXPECT_EQ(manager.CountPresetsIn("sub"), 1);
  EXPECT_EQ(manager.CountPresetsIn("Randomizer"), 0);
}

TEST(MPresetTreeTest, DamagedOrHostileFilesAreRefusedByNameLeavingTreeAndFileAlone)
{
  const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
  const std::string good = head + "<presets><preset name=\"A\" value=\"1\"/></presets>";
  std::string deep, many;
  for (int i = 0; i < 66; ++i)
    deep = "<Directory Name=\"d\">" + deep + "</Directory>";
  for (int i = 0; i <= MPresetTree::kMaxPresets; ++i)
    many += "<preset name=\"p\"/>";
  const struct
  {
    bool exchange; // an imported .mpresets file rather than presets.xml
    std::string bytes;
    const char* message;
  } cases[] = {
      {false, good.substr(0, good.size() - 12), "Unexpected end of XML input."},
      {false, "\x89PNG\r\n\x1a\n\x01\x02 garbage", "Invalid"},
      {false, "", "does not contain any elements"},
      {false, head + "<html/>", "root item is \"html\""},
      {false, head + "<presets><preset value=\"1\"/></presets>", "required attribute (name)"},
      {false, head + "<presets><Directory/></presets>", "required attribute (Name)"},
      {false, head + "<presets>" + deep + "</presets>", "deeper than 64 levels"},
      {false, head + "<presets>" + many + "</presets>", "more than 100000 presets"},
      {true, head + "<Directory Name=\"x\"><preset name=", "Unexpected end"},
      {true, head + "<presets/>", "root item is \"presets\""},
      {true, head + "<Directory Name=\"x\"><preset/></Directory>", "required attribute (name)"},
      {true, head + deep, "deeper than 64 levels"},
  };
  TempFolder folder;
  const MString path = folder.File("presets.xml");
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.message);
    MPresetTree tree;
    tree.GetRoot().AddSubItem(Expanded("Kept", "1"));
    const MXmlItem before = tree.GetRoot();
    std::ofstream(path.ToUTF8(), std::ios::binary) << c.bytes;
    try
    {
      c.exchange ? static_cast<void>(tree.ImportFolder(path, tree.GetRoot())) : tree.Load(path);
      ADD_FAILURE() << "accepted";
    }
    catch (const MException& exception)
    {
      EXPECT_NE(exception.Message().ToUTF8().find(c.message), std::string::npos)
          << exception.Message().ToUTF8();
    }
    EXPECT_EQ(tree.GetRoot(), before);
    EXPECT_EQ(ReadBytes(path), c.bytes);
  }
  // A file beyond 64 MiB is refused before it is read.
  fs::resize_file(path.ToUTF8(), (64u << 20) + 1);
  MPresetTree tree;
  EXPECT_THROW(tree.Load(path), MException);
}

TEST(MPresetTreeTest, CorruptCompressedPresetsFailOnApplyAndTheTargetKeepsItsState)
{
  MXmlItem bomb = Expanded("x", "");
  bomb.SetText(MString::FromUTF8(std::string(17u << 20, ' '))); // inflates past the 16 MiB cap
  const std::string packed = MPresetTree::Compress(Expanded("x", "1")).GetText().ToUTF8();
  const std::pair<std::string, const char*> cases[] = {
      {"78D", "odd number"},
      {"78DAZZ", "invalid character in hexadecimal text at position 4"},
      {"78DAFFFFFFFF", "invalid content"},
      {packed.substr(0, 30), "truncated"},
      {MPresetTree::Compress(bomb).GetText().ToUTF8(), "exceed the size limit"},
  };
  Target target;
  MPresetManagerT<Target> manager(target);
  for (const auto& [text, expected] : cases)
  {
    MXmlItem& preset = manager.GetRoot().AddSubItem(Expanded("Broken", ""));
    preset.SetAttribute("compressed", "1");
    preset.SetText(MString::FromUTF8(text));
    try
    {
      manager.ApplyPresetAt(manager.GetPresetCount() - 1);
      ADD_FAILURE() << "accepted " << expected;
    }
    catch (const MException& exception)
    {
      const std::string message = exception.Message().ToUTF8();
      EXPECT_NE(message.find("Preset \"Broken\" could not be decoded"), std::string::npos) << message;
      EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
    EXPECT_TRUE(target.applied.empty());
    EXPECT_EQ(target.current, -1);
  }
}

TEST(MPresetTreeTest, ExportedFolderImportsBesideItselfUnderANewNameAndSavesRoundTrip)
{
  TempFolder folder;
  MPresetTree tree;
  MXmlItem& vocals = tree.AddFolder(tree.GetRoot(), "Vocals");
  tree.AddPreset(tree.AddFolder(vocals), "Deep", Expanded("", "1"));
  vocals.AddSubItem(MPresetTree::Compress(Expanded("Packed", "2")));
  tree.ExportFolder(vocals, folder.File("vocals.mpresets"));
  for (const char* name : {"Vocals (2)", "Vocals (3)"})
  {
    EXPECT_EQ(tree.ImportFolder(folder.File("vocals.mpresets"), tree.GetRoot()), 2);
    EXPECT_EQ(tree.GetRoot().GetSubItemAt(tree.GetRoot().GetSubItemCount() - 1).GetAttribute("Name", ""),
              MString::FromUTF8(name));
  }
  EXPECT_TRUE(tree.Remove(tree.GetRoot().GetSubItemAt(2)));
  EXPECT_EQ(tree.GetPresetCount(), 4);
  tree.Save(folder.File("presets.xml"));
  MPresetTree back;
  back.Load(folder.File("presets.xml"));
  EXPECT_EQ(back.GetRoot(), tree.GetRoot());
}

TEST(MPresetTreeTest, AProcessKilledWhileSavingLeavesTheOldOrTheNewFile)
{
  TempFolder folder;
  const MString path = folder.File("presets.xml");
  MPresetTree trees[3];
  for (int t = 0; t < 3; ++t)
    for (int i = 0; i < (t == 2 ? MPresetTree::kMaxPresets : 3000); ++i)
      trees[t].GetRoot().AddSubItem(Expanded(t == 0 ? "old" : "new", std::to_string(i)));
  trees[0].Save(path);

  // A child saving trees 0 and 1 in turn is killed after a random delay; in the last round it
  // saves tree 2, which takes far longer to write than the delay.
  std::mt19937 random(17);
  for (int round = 0; round < 13; ++round)
  {
    const bool huge = round == 12;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
      for (int i = 1;; ++i)
        trees[huge ? 2 : i % 2].Save(path);
    usleep(huge ? 3000 : 2000 + random() % 30000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    MPresetTree back;
    ASSERT_NO_THROW(back.Load(path)) << "round " << round;
    EXPECT_TRUE(back.GetRoot() == trees[0].GetRoot() || back.GetRoot() == trees[1].GetRoot());
  }
  int left = 0; // the last write's temporary file
  for (const auto& entry : fs::directory_iterator(folder.path))
    left += entry.path().extension() == ".tmp" ? 1 : 0;
  EXPECT_GE(left, 1);
}
