#pragma once
// MPresetTree: the user's presets as a tree of folders and presets, kept in "presets.xml".
//
// Document form (root item "presets"):
//   <Directory Name="Vocals">            a folder; holds folders and presets in order
//     <preset name="Lead" .../>          an expanded preset: the settings attributes and sub-items
//     <preset name="Back" compressed="1">78DA...</preset>
//   </Directory>
// A compressed preset holds its expanded item written as a compact UTF-8 document (declaration
// included), compressed with zlib at level 9 and written as upper-case hexadecimal text, two
// digits per byte, high nibble first. "ExchangeIndex" is kept as it is. Items of other names are
// kept but neither listed nor counted.
//
// Trust: presets.xml and exchanged ".mpresets" files are outside input. Load and Import read the
// whole document into a separate tree and check it (size, nesting, counts, required names)
// before anything here changes; on failure they throw MException naming the problem and the tree
// is as it was. Compressed presets are checked only when applied (DecodePreset): one damaged
// preset does not make the rest of the file unusable. Save writes a temporary file beside the
// target and renames it over the target, so a crash or a killed process leaves the old or the new
// document, never a part of one.
//
// Sharing: every instance of the plug-in, in one process or in several, keeps its own tree of
// the same presets.xml. A change is a read-modify-write under the file lock "presets.xml.lock"
// (Change, Commit): the file is read again when it differs from what this tree last read or
// wrote (its bytes' hash), what other instances changed since (added, renamed, replaced,
// removed) is merged into this tree, and then the tree is written. The merge compares three
// trees: the one last read or written (the base), the file now, and this tree; an item is known
// by its kind, its name and its place among items of that kind and name in its folder. Changes
// of both sides are kept; when both changed the same preset, this tree's change wins. Items that
// survive a merge keep their addresses.
//
// Threads: never the audio thread (allocates, blocks on the file system). One thread at a time:
// the owner serialises its callers (the plug-in through its preset lock, see
// MQuorvelAudioEffectPlugin::LockPresets).

#include "base/MString.h"
#include "base/MXmlItem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MFileLock;

class MPresetTree
{
public:
  /// Largest presets.xml or .mpresets file read.
  static constexpr std::uint64_t kMaxFileBytes = 64u << 20;
  /// Most presets in one document, and most folders.
  static constexpr std::int32_t kMaxPresets = 100000;
  static constexpr std::int32_t kMaxFolders = 10000;
  /// Deepest nesting of folders.
  static constexpr std::int32_t kMaxFolderDepth = 64;

  /// Texts of the preset window: new items' names, the overwrite question, the file dialogs'
  /// titles and the exchange files' extension.
  static constexpr const char* kUnnamedPreset = "Unnamed preset";
  static constexpr const char* kNewFolder = "New folder";
  static constexpr const char* kReplaceQuestion = "Are you sure you want to replace selected preset?";
  static constexpr const char* kExportTitle = "Export preset directory";
  static constexpr const char* kImportTitle = "Import preset directory";
  static constexpr const char* kExchangeExtension = "mpresets";
  /// How long a change waits for another instance's change of the file, and what it says then.
  static constexpr std::uint32_t kLockTimeoutMs = 2000;
  static constexpr const char* kFileInUse =
      "The preset file is in use by another program. Please try again in a moment.";

  /// An empty tree (root "presets").
  MPresetTree();
  virtual ~MPresetTree();

  MXmlItem& GetRoot() noexcept { return m_root; }
  const MXmlItem& GetRoot() const noexcept { return m_root; }

  // ---- files ----

  /// Replaces the tree by the document at `path`. Throws MException (the file message, the
  /// reader's message or the check's) and leaves the tree unchanged on any failure.
  void Load(const MString& path);
  /// Replaces the tree by `document` once it passes Check; throws and changes nothing otherwise.
  void SetTree(MXmlItem document);
  /// Writes the tree to `path` (indented UTF-8) through a temporary file and a rename; creates
  /// the folder when missing. Throws MException on failure; the file at `path` is then untouched.
  void Save(const MString& path) const;
  /// Writes `folder` (a "Directory" item of this tree) as an exchange document.
  void ExportFolder(const MXmlItem& folder, const MString& path) const;
  /// Reads an exchange document and appends its folder to `parent` (the root or a folder of this
  /// tree); a folder of the same name there gets " (2)", " (3)", ... appended. Answers how many
  /// presets came in. Throws as Load; the tree is unchanged on failure.
  std::int32_t ImportFolder(const MString& path, MXmlItem& parent);
  /// ImportFolder for a document already read.
  std::int32_t ImportDocument(MXmlItem document, MXmlItem& parent);

  // ---- sharing the file with other instances ----

  /// Locks `path` + ".lock" for a change (waiting up to kLockTimeoutMs); throws MException
  /// kFileInUse when another instance holds it longer, and names the lock file when it cannot be
  /// created.
  static std::unique_ptr<MFileLock> LockFile(const MString& path);
  /// Whether the file at `path` differs in size or modification time from what this tree last
  /// read or wrote. One stat; the preset window asks this on a timer.
  bool ChangedOnDisk(const MString& path) const;
  /// Reads `path` when its bytes differ from what this tree last read or wrote and merges the
  /// changes found there into the tree; answers whether the tree changed. A missing file changes
  /// nothing. Throws as Load (the tree is unchanged then). Needs no lock: the file is only ever
  /// replaced whole.
  bool Synchronize(const MString& path);
  /// The read-modify-write of one change: LockFile, Synchronize, `change` on the merged tree,
  /// then the tree written to `path` (see Save), all under the lock. When reading, `change` or
  /// the writing throws, the tree and the file are as they were; the exception goes on to the
  /// caller.
  void Change(const MString& path, const std::function<void(MPresetTree&)>& change);
  /// Change with nothing to change: writes edits already made to this tree, merged with the
  /// file's.
  void Commit(const MString& path)
  {
    Change(path, [](MPresetTree&) {});
  }
  /// Under the lock: reads `path` when it exists, otherwise makes `initial` the tree and writes
  /// it. Throws as Load and Save.
  void LoadOrCreate(const MString& path, MXmlItem initial);
  /// Counts the changes of the tree by Load, Synchronize and Change (a view compares it).
  std::uint64_t GetChangeCount() const noexcept { return m_changeCount; }

  /// The folder reached from the root by the folder names `folders` (first of each name);
  /// null when there is none. The root for an empty list.
  MXmlItem* FindFolderPath(const std::vector<MString>& folders);
  /// The first folder (`folder` true) or preset named `name` directly in `parent`; null when none.
  static MXmlItem* FindChild(MXmlItem& parent, const MString& name, bool folder);

  /// Checks a document read from outside: the root's name (`rootName`), folder nesting, counts,
  /// "Name" on every folder and "name" on every preset. Throws MException naming the problem.
  static void Check(const MXmlItem& root, const MString& rootName);

  // ---- queries ----

  /// Presets in tree order (depth first, in document order).
  std::vector<MXmlItem*> ListPresets();
  std::int32_t GetPresetCount() const;
  /// The preset at `index` in tree order; throws MException "Index out of range.".
  MXmlItem& GetPreset(std::int32_t index);
  /// The first folder named `name` (case-insensitive), searched depth first; null when none.
  MXmlItem* FindFolder(const MString& name);
  /// Presets held in the folder `name` and its subfolders; 0 when there is no such folder.
  /// The smart randomiser asks this for "Randomizer" and "Randomizer Multi".
  std::int32_t CountPresetsIn(const MString& name);
  /// The item holding `item` in this tree, null for the root or an item of another tree.
  MXmlItem* FindParent(const MXmlItem& item);

  // ---- edits (the preset window calls these) ----

  /// Appends a folder "New folder" (or `name`) to `parent`.
  MXmlItem& AddFolder(MXmlItem& parent, const MString& name = MString::FromLiteral(kNewFolder));
  /// Appends a preset with the given settings (an expanded preset) to `parent`.
  MXmlItem& AddPreset(MXmlItem& parent, const MString& name, const MXmlItem& settings);
  /// Renames a folder or a preset.
  static void Rename(MXmlItem& item, const MString& name);
  /// Removes a folder (with its contents) or a preset; false when `item` is not in this tree.
  bool Remove(const MXmlItem& item);
  /// Converts every expanded preset to the compressed form; answers how many were converted.
  std::int32_t CompressPresets();

  // ---- the preset forms ----

  static bool IsFolder(const MXmlItem& item);
  static bool IsPreset(const MXmlItem& item);
  static bool IsCompressed(const MXmlItem& preset);
  /// The compressed form of an expanded preset (name, "compressed" 1, hexadecimal text).
  static MXmlItem Compress(const MXmlItem& preset);
  /// The expanded item of a preset: a copy of an expanded one, or the decoded text of a
  /// compressed one (hexadecimal, zlib capped at 16 MiB, XML). Throws MException naming the
  /// preset and the problem; `settings` is then unspecified and must be discarded.
  static void DecodePreset(const MXmlItem& preset, MXmlItem& settings);

private:
  /// What identifies the file's content as last read or written: the stat (cheap check) and the
  /// bytes' hash (the check under the lock).
  struct FileStamp
  {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::uint64_t hash = 0;
    bool known = false;
  };
  static bool StatFile(const MString& path, FileStamp& stamp);
  void WriteShared(const MString& path);

  MXmlItem m_root;
  /// The tree as last read from or written to the file: the base of the merge.
  MXmlItem m_base;
  FileStamp m_stamp;
  std::uint64_t m_changeCount = 0;
};
