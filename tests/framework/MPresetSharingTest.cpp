// presets.xml shared by several instances of the plug-in, in one process and in several: every
// change is a read-modify-write under the file's lock, merged with what the others saved.
#include "framework/MQuorvelAudioEffectPlugin.h"

#include "base/MFileLock.h"
#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace MFrameworkTest;

namespace
{
// The names of the presets under the top level whose name starts with `prefix`.
std::set<std::string> PresetsOf(MPresetTree& tree, const std::string& prefix)
{
  std::set<std::string> names;
  for (const MXmlItem* preset : tree.ListPresets())
  {
    const std::string name = preset->GetAttribute("name", "").ToUTF8();
    if (name.rfind(prefix, 0) == 0)
      names.insert(name);
  }
  return names;
}

std::set<std::string> PresetsInFile(const std::string& prefix)
{
  MPresetTree tree;
  tree.Load(MQuorvelAudioEffectPlugin::GetPresetFilePath());
  return PresetsOf(tree, prefix);
}

// What one instance's first `count` operations (see Step) leave of its presets.
std::set<std::string> ExpectedNames(const std::string& prefix, int count)
{
  std::set<std::string> names;
  for (int operation = 0; operation < count; ++operation)
  {
    const std::string name = prefix + std::to_string(operation / 3 * 3);
    if (operation % 3 == 0)
      names.insert(name);
    else if (operation % 3 == 1 && names.erase(name) > 0)
      names.insert(name + " renamed");
    else if (operation % 3 == 2 && operation / 3 % 2 == 0)
      names.erase(name + " renamed");
  }
  return names;
}

// One operation of an instance: in turn a new preset, its rename, and every other time its
// deletion. `byName` finds the item by name in the merged tree (ChangePresetTree); otherwise the
// tree is edited first and then saved, as the preset window does.
bool Step(MQuorvelAudioEffectPlugin& plugin, const std::string& prefix, bool byName, int operation)
{
  const MString name = MString::FromUTF8(prefix + std::to_string(operation / 3 * 3));
  const MString renamed = name + MString(" renamed");
  if (operation % 3 == 2 && operation / 3 % 2 != 0)
    return true;
  const auto edit = [&](MQuorvelAudioEffectPlugin::PresetManager& manager) {
    MXmlItem* preset = MPresetTree::FindChild(manager.GetRoot(), operation % 3 == 1 ? name : renamed, false);
    if (operation % 3 == 0)
      manager.SaveCurrent(manager.GetRoot(), name);
    else if (preset != nullptr && operation % 3 == 1)
      MPresetTree::Rename(*preset, renamed);
    else if (preset != nullptr)
      manager.Remove(*preset);
    return operation % 3 == 0 || preset != nullptr;
  };
  MString error;
  bool found = false;
  const bool saved = byName ? plugin.ChangePresetTree([&](auto& manager) { found = edit(manager); }, error)
                            : (found = edit(plugin.GetPresetManager())) && plugin.SavePresetTree(error);
  EXPECT_TRUE(saved && found) << prefix << operation << error.ToUTF8();
  return saved && found;
}

void RemovePresetFile()
{
  std::filesystem::remove(MQuorvelAudioEffectPlugin::GetPresetFilePath().ToUTF8());
}
} // namespace

TEST(MPresetSharingTest, PresetsSavedByOneInstanceSurviveAnotherInTheSameProcess)
{
  RemovePresetFile();
  TestPlugin first, second;
  const std::size_t factory = first.GetPresetManager().ListPresets().size();
  second.GetPresetManager(); // read before the first one's changes: a stale tree
  for (int operation = 0; operation < 100; ++operation)
    ASSERT_TRUE(Step(first, "one ", true, operation) && Step(second, "two ", false, operation));
  EXPECT_EQ(PresetsInFile("one "), ExpectedNames("one ", 100));
  EXPECT_EQ(PresetsInFile("two "), ExpectedNames("two ", 100));
  MPresetTree file;
  file.Load(MQuorvelAudioEffectPlugin::GetPresetFilePath());
  EXPECT_EQ(file.ListPresets().size(), factory + 2 * ExpectedNames("", 100).size());

  // The other instance's view: changed on disk, then merged, with its current preset kept.
  second.SetCurrentPresetIndex(static_cast<std::int32_t>(factory)); // its first own preset
  const MString current =
      second.GetPresetManager().GetPreset(second.GetCurrentPresetIndex()).GetAttribute("name", "");
  const std::uint64_t changes = second.GetPresetTreeChangeCount();
  EXPECT_FALSE(second.PresetFileChanged());
  for (int operation = 100; operation < 104; ++operation)
    ASSERT_TRUE(Step(first, "one ", true, operation));
  EXPECT_TRUE(second.PresetFileChanged());
  EXPECT_TRUE(second.ReloadPresetTree());
  EXPECT_GT(second.GetPresetTreeChangeCount(), changes);
  EXPECT_EQ(PresetsOf(second.GetPresetManager(), "one "), ExpectedNames("one ", 104));
  EXPECT_EQ(second.GetPresetManager().GetPreset(second.GetCurrentPresetIndex()).GetAttribute("name", ""),
            current);
  RemovePresetFile();
}

TEST(MPresetSharingTest, PresetsSavedByOneProcessSurviveAnotherAndAKilledWriterLeavesALoadableFile)
{
  RemovePresetFile();
  {
    TestPlugin parent;
    const std::size_t factory = parent.GetPresetManager().ListPresets().size();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
      TestPlugin plugin;
      bool ok = true;
      for (int operation = 0; operation < 100 && ok; ++operation)
        ok = Step(plugin, "child ", true, operation);
      _exit(ok ? 0 : 1);
    }
    for (int operation = 0; operation < 100; ++operation)
      ASSERT_TRUE(Step(parent, "parent ", false, operation));
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(PresetsInFile("parent "), ExpectedNames("parent ", 100));
    EXPECT_EQ(PresetsInFile("child "), ExpectedNames("child ", 100));
    MPresetTree file;
    file.Load(MQuorvelAudioEffectPlugin::GetPresetFilePath());
    EXPECT_EQ(file.ListPresets().size(), factory + 2 * ExpectedNames("", 100).size());
  }

  // A process killed while it holds the lock and writes: the file loads, the lock is free.
  std::mt19937 random(5);
  for (int round = 0; round < 8; ++round)
  {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
      TestPlugin plugin;
      for (int operation = 0;; ++operation)
        Step(plugin, "killed ", true, operation);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 200));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    MPresetTree back;
    ASSERT_NO_THROW(back.Load(MQuorvelAudioEffectPlugin::GetPresetFilePath())) << round;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(MPresetTree::LockFile(MQuorvelAudioEffectPlugin::GetPresetFilePath()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << round;
  }
  RemovePresetFile();
}

TEST(MPresetSharingTest, AChangeWhileAnotherProgramHoldsTheFileFailsWithAClearMessage)
{
  RemovePresetFile();
  TestPlugin plugin;
  const MString path = MQuorvelAudioEffectPlugin::GetPresetFilePath();
  plugin.GetPresetManager();
  // Run on its own (ctest starts each test in a process of its own), nothing made the folder yet.
  std::filesystem::create_directories(std::filesystem::path(path.ToUTF8()).parent_path());
  MFileLock other(path + MString(".lock"), 0);
  ASSERT_TRUE(other.IsLocked());
  const auto start = std::chrono::steady_clock::now();
  MString error;
  EXPECT_FALSE(plugin.ChangePresetTree(
      [](MQuorvelAudioEffectPlugin::PresetManager& manager) { manager.AddFolder(manager.GetRoot()); },
      error));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(MPresetTree::kLockTimeoutMs));
  EXPECT_EQ(error.ToUTF8(), MPresetTree::kFileInUse);
  EXPECT_EQ(plugin.GetPresetManager().FindFolder(MString("New folder")), nullptr);
  RemovePresetFile();
}

// presets.xml unreadable when two instances start: each one's save keeps the other's (only a file
// still unreadable under the lock is moved aside). A file damaged later is moved aside the same
// way, the kept copy named, and the instance's presets written anew.
TEST(MPresetSharingTest, ADamagedFileWithTwoInstancesKeepsBothSavesAndNamesTheKeptCopy)
{
  RemovePresetFile();
  const std::string path = MQuorvelAudioEffectPlugin::GetPresetFilePath().ToUTF8();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string broken = "<?xml version=\"1.0\"?><presets><preset name=\"cut";
  std::ofstream(path, std::ios::binary) << broken;
  TestPlugin a, b;
  a.GetPresetManager();
  b.GetPresetManager();
  EXPECT_FALSE(a.GetPresetTreeError().IsEmpty());
  EXPECT_FALSE(b.GetPresetTreeError().IsEmpty());
  const auto save = [](TestPlugin& plugin, const char* name) {
    MString note;
    EXPECT_TRUE(
        plugin.ChangePresetTree([&](auto& m) { m.SaveCurrent(m.GetRoot(), MString::FromUTF8(name)); }, note))
        << note.ToUTF8();
    return note.ToUTF8();
  };
  EXPECT_NE(save(a, "Saved by A").find("presets.xml.unreadable"), std::string::npos);
  EXPECT_EQ(save(b, "Saved by B"), "");
  EXPECT_EQ(PresetsInFile("Saved by "), (std::set<std::string>{"Saved by A", "Saved by B"}));
  std::stringstream aside;
  aside << std::ifstream(path + ".unreadable", std::ios::binary).rdbuf();
  EXPECT_EQ(aside.str(), broken);
  EXPECT_FALSE(std::filesystem::exists(path + ".unreadable2"));

  ASSERT_TRUE(a.ReloadPresetTree());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "<presets><Directory";
  const std::string note = save(a, "After the damage");
  EXPECT_NE(note.find("presets.xml.unreadable2"), std::string::npos) << note;
  EXPECT_EQ(PresetsInFile("Saved by "), (std::set<std::string>{"Saved by A", "Saved by B"}));
  EXPECT_EQ(PresetsInFile("After "), std::set<std::string>{"After the damage"});
  RemovePresetFile();
  std::filesystem::remove(path + ".unreadable");
  std::filesystem::remove(path + ".unreadable2");
}
