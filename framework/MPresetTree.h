#pragma once
// MPresetTree: the user's presets as a tree of folders and presets, kept in "presets.xml".
//
// Document form (root item "presets"):
//   <Directory Name="Vocals" id="...">     a folder; holds folders and presets in order
//     <preset name="Lead" id="..." .../>   an expanded preset: the settings attributes and sub-items
//     <preset name="Back" id="..." compressed="1">78DA...</preset>
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
// removed, moved) is merged into this tree, and then the tree is written. The merge compares
// three trees: the one last read or written (the base), the file now, and this tree (see Merge).
//
// Identity: every folder and preset carries an "id" attribute that stays with it through
// renames, moves and replacements, so that two items of one name are never confused. A document
// read without ids (older files, hand-edited ones) gets them at once, derived from its bytes and
// the items' places, so every instance that reads the same file gives every item the same id;
// ids that are malformed or repeated are repaired the same way. The file gains them on its next
// write. New items (saved, added, imported) get fresh random ids. Items are found again by id
// (FindById), never by an address kept across a merge: a merge rebuilds the tree.
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
  /// tree); a folder of the same name there gets " (2)", " (3)", ... appended. Everything that
  /// comes in gets fresh ids. Answers how many presets came in. Throws as Load; the tree is
  /// unchanged on failure.
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
  /// nothing. Takes the file's lock while it reads (Windows cannot replace a file being read);
  /// when another instance holds it, reads nothing and answers false. Throws as Load (the tree
  /// is unchanged then).
  bool Synchronize(const MString& path);
  /// The read-modify-write of one change: LockFile, Synchronize, `change` on the merged tree,
  /// then the tree written to `path` (see Save), all under the lock. A file that cannot be read
  /// as a document under the lock (damaged, by whatever) is moved aside as
  /// "<path>.unreadable[N]" (TakeMovedAside names it) and this tree written in its place; a file
  /// that can be read is never moved. When reading, `change` or the writing throws, the tree and
  /// the file are as they were; the exception goes on to the caller. A symbolic link at `path`
  /// stays: its target is replaced.
  void Change(const MString& path, const std::function<void(MPresetTree&)>& change);
  /// Change with nothing to change: writes edits already made to this tree, merged with the
  /// file's.
  void Commit(const MString& path)
  {
    Change(path, [](MPresetTree&) {});
  }
  /// The name the last Change kept a damaged file under; empty when none. Clears it.
  MString TakeMovedAside();
  /// Under the lock: reads `path` when it exists, otherwise makes `initial` the tree and writes
  /// it. Throws as Load and Save.
  void LoadOrCreate(const MString& path, MXmlItem initial);
  /// Counts the changes of the tree by Load, Synchronize and Change (a view compares it).
  std::uint64_t GetChangeCount() const noexcept { return m_changeCount; }

  /// The three-way merge of Synchronize: brings into `mine` what changed from `base` to
  /// `theirs`, item by item (by id). Per item, its name, its content (a preset's settings, a
  /// folder's other attributes) and its folder each take the side that changed it, this side
  /// when both did. A removal stands unless the other side changed the item since the base: an
  /// edit of an item the other side removed is kept (the item comes back with the edit, and so do
  /// the folders it needs), so nobody's work is lost. Order: the folders hold their items in
  /// `theirs`'s order, followed by the items this side placed there (added, moved or brought
  /// back), in this side's order; so every instance that merges ends with the same tree. A
  /// folder moved into itself by the two sides together goes to the top level. `mine` with no
  /// change of its own since `base` ends equal to `theirs`. All three trees must carry ids
  /// (RepairIds). Answers whether `mine` changed; `kept`, when given, hears the ids of the items
  /// of `mine` that the result holds.
  static bool Merge(const MXmlItem& base, const MXmlItem& theirs, MXmlItem& mine,
                    std::vector<MString>* kept = nullptr);
  /// Gives every folder and preset under `root` lacking a well-formed id, or repeating one met
  /// before in document order, the id derived from `seed` and its place. Answers whether any
  /// changed.
  static bool RepairIds(MXmlItem& root, std::uint64_t seed);
  /// A fresh id: 16 hexadecimal digits from a random source.
  static MString NewId();
  /// The id of a folder or preset; empty when it has none.
  static MString IdOf(const MXmlItem& item);
  /// Whether `id` is well-formed: 1 to 64 characters from letters, digits, '-' and '_'.
  static bool IsValidId(const MString& id);
  /// The folder or preset of this tree with the id `id`; null when it is not there (any more).
  MXmlItem* FindById(const MString& id);
  /// The place in tree order of the preset with id `id`; -1 when none.
  std::int32_t IndexOfPreset(const MString& id);
  /// Moves `item` (a folder or preset of this tree) to the end of `folder` (the root or a folder
  /// of this tree, not `item` nor one inside it); false when that is not possible.
  bool Move(const MXmlItem& item, MXmlItem& folder);

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

  /// Appends a folder "New folder" (or `name`) to `parent`, with a fresh id.
  MXmlItem& AddFolder(MXmlItem& parent, const MString& name = MString::FromLiteral(kNewFolder));
  /// Appends a preset with the given settings (an expanded preset) to `parent`, with a fresh id.
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
  /// Whether the file at `path` can be read but holds no sound preset document.
  bool IsDamaged(const MString& path) const;

  MXmlItem m_root;
  /// The tree as last read from or written to the file: the base of the merge.
  MXmlItem m_base;
  FileStamp m_stamp;
  std::uint64_t m_changeCount = 0;
  MString m_movedAside;
  /// Set while Change or LoadOrCreate holds the file's lock.
  bool m_holdingLock = false;
  struct HoldingLock
  {
    explicit HoldingLock(bool& flag) : m_flag(flag) { m_flag = true; }
    ~HoldingLock() { m_flag = false; }
    HoldingLock(const HoldingLock&) = delete;
    HoldingLock& operator=(const HoldingLock&) = delete;
    bool& m_flag;
  };
};
