// The preset tree and its files: the two preset forms, stepping, damaged or hostile files, and a
// process killed while it writes presets.xml.
#include "framework/MPresetManagerT.h"

#include "base/MFileLock.h"
#include "base/MHexaStream.h"
#include "base/MMemoryStream.h"
#include "base/MXmlReader.h"
#include "base/MZLibStream.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
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
  fs::path path = fs::temp_directory_path() / ("tonvera-presets-" + std::to_string(std::random_device{}()));
  TempFolder() { fs::create_directories(path); }
  ~TempFolder() { fs::remove_all(path); }
  MString File(const char* name) const { return MString::FromUTF8((path / name).string()); }
};
} // namespace

TEST(MPresetTreeTest, ExpandedPresetsCompressOnceToLevelNineHexAndSteppingWrapsRoundBothWays)
{
  Target target;
  MPresetManagerT<Target> manager(target);
  EXPECT_EQ(manager.Step(1), -1);
  MXmlItem& folder = manager.AddFolder(manager.GetRoot(), "Sub");
  manager.GetRoot().AddSubItem(MPresetTree::Compress(Expanded("1", "1")));
  for (const char* value : {"2", "3", "4"})
    manager.GetRoot().AddSubItem(Expanded(value, value));
  manager.AddPreset(folder, "0", Expanded("", "0")); // tree order: the folder's preset first
  EXPECT_EQ(manager.CompressPresets(), 4);
  EXPECT_EQ(manager.CompressPresets(), 0);
  const std::string hex = manager.GetPreset(0).GetText().ToUTF8();
  EXPECT_EQ(hex.substr(0, 4), "78DA");
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  MMemoryStream text(hex.data(), hex.size());
  MHexaStream bytes(text);
  MZLibStream inflate(bytes, MZLibStream::Direction::Reading);
  char head[39] = {};
  inflate.Read(head, 38);
  EXPECT_STREQ(head, "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  const int cases[][3] = {{0, -1, 4}, {4, 1, 0}, {-1, 1, 0}, {-1, -1, 4}, {2, -12, 0}, {9, 1, 0}};
  for (const auto& c : cases)
  {
    target.current = c[0];
    EXPECT_EQ(manager.Step(c[1]), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(target.applied.back().ToInteger(), c[2]);
  }
  EXPECT_THROW(manager.ApplyPresetAt(5), MException);
}

TEST(MPresetTreeTest, DamagedOrHostileFilesAreRefusedByNameLeavingTreeAndFileAlone)
{
  const std::string head = "<?xml version=\"1.0\"?>";
  std::string deep, many;
  for (int i = 0; i < 66; ++i)
    deep = "<Directory Name=\"d\">" + deep + "</Directory>";
  for (int i = 0; i <= MPresetTree::kMaxPresets; ++i)
    many += "<preset name=\"p\"/>";
  const std::tuple<bool, std::string, const char*> cases[] = {
      // imported?, file, message
      {false, head + "<presets><preset name=\"A\"/></pre", "Unexpected end of XML input."},
      {false, "\x89PNG\r\n\x1a\n\x01\x02 garbage", "Invalid"},
      {false, head + "<html/>", "root item is \"html\""},
      {false, head + "<presets><preset value=\"1\"/></presets>", "required attribute (name)"},
      {false, head + "<presets><Directory/></presets>", "required attribute (Name)"},
      {false, head + "<presets>" + deep + "</presets>", "deeper than 64 levels"},
      {false, head + "<presets>" + many + "</presets>", "more than 100000 presets"},
      {true, head + "<presets/>", "root item is \"presets\""},
      {true, head + "<Directory Name=\"x\"><preset/></Directory>", "required attribute (name)"},
      {true, head + deep, "deeper than 64 levels"}};
  TempFolder folder;
  const MString path = folder.File("presets.xml");
  for (const auto& [exchange, bytes, message] : cases)
  {
    MPresetTree tree;
    tree.GetRoot().AddSubItem(Expanded("Kept", "1"));
    const MXmlItem before = tree.GetRoot();
    std::ofstream(path.ToUTF8(), std::ios::binary) << bytes;
    const std::string error = MessageOf([&, exchange = exchange] {
      exchange ? static_cast<void>(tree.ImportFolder(path, tree.GetRoot())) : tree.Load(path);
    });
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_EQ(tree.GetRoot(), before);
    std::stringstream kept;
    kept << std::ifstream(path.ToUTF8(), std::ios::binary).rdbuf();
    EXPECT_EQ(kept.str(), bytes);
  }
  fs::resize_file(path.ToUTF8(), (64u << 20) + 1); // refused before it is read
  EXPECT_THROW(MPresetTree().Load(path), MException);
  // A sound exchange file imports beside a folder of the same name.
  MPresetTree tree;
  tree.ExportFolder(tree.AddFolder(tree.GetRoot(), "Vocals"), path);
  EXPECT_EQ(tree.ImportFolder(path, tree.GetRoot()), 0);
  EXPECT_EQ(tree.GetRoot().GetSubItemAt(1).GetAttribute("Name", ""), MString("Vocals (2)"));
}

TEST(MPresetTreeTest, CorruptCompressedPresetsFailOnApplyAndTheTargetKeepsItsState)
{
  MMemoryStream bomb; // hexadecimal zlib text that inflates past the 16 MiB cap
  MHexaStream hex(bomb);
  MZLibStream deflate(hex, MZLibStream::Direction::Writing);
  const std::string blanks(1 << 20, ' ');
  for (int mebibyte = 0; mebibyte < 17; ++mebibyte)
    deflate.Write(blanks.data(), blanks.size());
  deflate.Finish();
  const std::string packed = MPresetTree::Compress(Expanded("x", "1")).GetText().ToUTF8();
  const std::pair<std::string, const char*> cases[] = {
      {"78D", "odd number"},
      {"78DAZZ", "invalid character in hexadecimal text at position 4"},
      {"78DAFFFFFFFF", "invalid content"},
      {packed.substr(0, 30), "truncated"},
      {std::string(reinterpret_cast<const char*>(bomb.GetBuffer()->GetData()), bomb.GetBuffer()->GetSize()),
       "exceed the size limit"}};
  Target target;
  MPresetManagerT<Target> manager(target);
  for (const auto& [text, expected] : cases)
  {
    MXmlItem& preset = manager.GetRoot().AddSubItem(Expanded("Broken", ""));
    preset.SetAttribute("compressed", "1");
    preset.SetText(MString::FromUTF8(text));
    const std::string error = MessageOf([&] { manager.ApplyPresetAt(manager.GetPresetCount() - 1); });
    EXPECT_EQ(error.find("Preset \"Broken\" could not be decoded"), 0u) << error;
    EXPECT_NE(error.find(expected), std::string::npos) << error;
    EXPECT_TRUE(target.applied.empty());
    EXPECT_EQ(target.current, -1);
  }
}

TEST(MPresetTreeTest, AProcessKilledWhileSavingLeavesTheOldOrTheNewFile)
{
  TempFolder folder;
  const MString path = folder.File("presets.xml");
  MPresetTree trees[3];
  for (int t = 0; t < 3; ++t)
    for (int i = 0; i < (t == 2 ? MPresetTree::kMaxPresets : 3000); ++i)
      trees[t].GetRoot().AddSubItem(Expanded(t == 0 ? "old" : "new", std::to_string(i)));
  for (MPresetTree& tree : trees)
    MPresetTree::RepairIds(tree.GetRoot(), 1); // as read back
  trees[0].Save(path);
  // Saving trees 0 and 1 in turn, killed after a random delay; last, tree 2, far slower to write.
  std::mt19937 random(17);
  for (int round = 0; round < 13; ++round)
  {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
      for (int i = 1;; ++i)
        trees[round == 12 ? 2 : i % 2].Save(path);
    usleep(round == 12 ? 3000 : 2000 + random() % 30000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    MPresetTree back;
    ASSERT_NO_THROW(back.Load(path)) << "round " << round;
    EXPECT_TRUE(back.GetRoot() == trees[0].GetRoot() || back.GetRoot() == trees[1].GetRoot());
  }
  const auto last = [](const fs::directory_entry& entry) { return entry.path().extension() == ".tmp"; };
  EXPECT_TRUE(std::any_of(fs::directory_iterator(folder.path), fs::directory_iterator(), last));
}

// Files as users keep them: a presets.xml that links into a synced folder stays a link and its
// target is what changes; a lock file this account may only read locks all the same.
TEST(MPresetTreeTest, ASymlinkIsKeptAndALockWithAReadOnlyFileStillLocks)
{
  TempFolder folder;
  fs::create_directories(folder.path / "synced");
  const MString target = folder.File("synced/presets.xml");
  const MString link = folder.File("presets.xml");
  MPresetTree first;
  first.AddPreset(first.GetRoot(), "Old", Expanded("", "1"));
  first.Save(target);
  fs::create_symlink("synced/presets.xml", link.ToUTF8());
  MPresetTree tree;
  tree.Load(link);
  tree.Change(link, [](MPresetTree& t) { t.AddPreset(t.GetRoot(), "New", Expanded("", "2")); });
  EXPECT_TRUE(fs::is_symlink(link.ToUTF8()));
  MPresetTree back;
  back.Load(target);
  EXPECT_EQ(back.GetPresetCount(), 2);

  const std::string lock = (folder.path / "other.lock").string();
  std::ofstream(lock).put('\n');
  fs::permissions(lock, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto lockedByAnother = [&](bool held) {
    std::unique_ptr<MFileLock> holder =
        held ? std::make_unique<MFileLock>(MString::FromUTF8(lock), 0) : nullptr;
    const pid_t child = fork();
    if (child == 0)
    {
      // Another account: root would open the file for writing whatever its mode.
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        _exit(3);
      _exit(MFileLock(MString::FromUTF8(lock), 0).IsLocked() ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(lockedByAnother(false), 0) << "a read-only lock file locks";
  EXPECT_EQ(lockedByAnother(true), 1) << "and excludes the holder's lock";
}

// presets.xml and controllersets.xml as the last release wrote them (equal names, both preset
// forms, nested folders): every instance reads them as they are, with the same ids, and they gain
// ids on their first write, nothing else changing.
TEST(MPresetTreeTest, OldFilesLoadUnchangedAndGainIdsOnTheirFirstWrite)
{
  TempFolder folder;
  for (const char* name : {"presets-7.10.xml", "controllersets-7.10.xml"})
  {
    const MString path = folder.File(name);
    fs::copy_file(fs::path(TONVERA_FRAMEWORK_TEST_DATA) / name, path.ToUTF8());
    MXmlItem original;
    {
      std::ifstream in(path.ToUTF8(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), {});
      MMemoryStream stream(bytes.data(), bytes.size());
      MXmlReader::Read(stream, original);
    }
    ASSERT_EQ(original.GetAttribute("id", ""), MString()) << name;
    MPresetTree one, two;
    one.Load(path);
    two.Load(path);
    EXPECT_TRUE(one.GetRoot() == two.GetRoot()) << name << ": the same ids in every instance";
    one.Commit(path);
    MPresetTree written;
    written.Load(path);
    EXPECT_TRUE(written.GetRoot() == one.GetRoot()) << name;
    std::set<std::string> ids;
    std::function<void(MXmlItem&)> strip = [&](MXmlItem& folder) {
      for (int index = 0; index < folder.GetSubItemCount(); ++index)
      {
        MXmlItem& item = folder.GetSubItemAt(index);
        EXPECT_TRUE(MPresetTree::IsValidId(MPresetTree::IdOf(item)) &&
                    ids.insert(MPresetTree::IdOf(item).ToUTF8()).second)
            << name;
        item.RemoveAttribute("id");
        if (MPresetTree::IsFolder(item))
          strip(item);
      }
    };
    MXmlItem stripped = written.GetRoot();
    strip(stripped);
    EXPECT_TRUE(stripped == original) << name << ": nothing but the ids changed";
    EXPECT_FALSE(two.Synchronize(path)) << name << ": the other instance had the same ids";
  }
}
