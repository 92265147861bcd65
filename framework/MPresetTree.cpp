#include "framework/MPresetTree.h"

#include "base/MException.h"
#include "base/MFileLock.h"
#include "base/MMemoryStream.h"
#include "base/MStdFileStream.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/plugin/MSettingsFolder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <utility>

namespace
{
const MString kFolderItem("Directory");
const MString kPresetItem("preset");
const MString kFolderName("Name");
const MString kPresetName("name");
const MString kCompressed("compressed");

using MSettingsFolder::ToPath;

[[noreturn]] void Fail(const MString& message)
{
  throw MException(message);
}

MString Quoted(const MString& text)
{
  MString result("\"");
  result += text;
  result += u'"';
  return result;
}

// Runs `body`; a failure is thrown again with the file's name in front, so the user learns which
// file holds the problem as well as what it is.
template <class Body>
void NamingTheFile(const MString& path, Body&& body)
{
  try
  {
    body();
  }
  catch (const MException& exception)
  {
    Fail(MString("Preset file ") + Quoted(path) + MString(": ") + exception.Message());
  }
}

// Reads a whole file after checking its size: a file far beyond any real preset collection is
// refused before it costs memory.
std::vector<std::uint8_t> ReadBytes(const MString& path)
{
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(ToPath(path), error);
  if (!error && size > MPresetTree::kMaxFileBytes)
    Fail(MString("The file is larger than 64 MiB."));
  MStdFileStream stream(path, MStdFileStream::Mode::Read);
  const std::int64_t length = stream.GetSize();
  if (length < 0 || static_cast<std::uint64_t>(length) > MPresetTree::kMaxFileBytes)
    Fail(MString("The file is larger than 64 MiB."));
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  if (!bytes.empty() && stream.Read(bytes.data(), bytes.size()) != bytes.size())
    Fail(MString("Error reading from file ") + Quoted(path) + MString("."));
  return bytes;
}

void ParseDocument(const std::vector<std::uint8_t>& bytes, MXmlItem& document)
{
  MMemoryStream stream(bytes.data(), bytes.size());
  MXmlReader::Read(stream, document);
}

void ReadDocument(const MString& path, MXmlItem& document)
{
  ParseDocument(ReadBytes(path), document);
}

// FNV-1a: tells whether the file still holds the bytes this tree last read or wrote.
std::uint64_t HashBytes(const std::uint8_t* data, std::size_t size)
{
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t index = 0; index < size; ++index)
    hash = (hash ^ data[index]) * 1099511628211ull;
  return hash;
}

// ---- the three-way merge ----

bool IsEntry(const MXmlItem& item)
{
  return MPresetTree::IsFolder(item) || MPresetTree::IsPreset(item);
}

// ---- identities ----

const MString kId("id");
const MString kRootItem("presets");

std::uint64_t RandomSeed()
{
  std::random_device device;
  const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return (static_cast<std::uint64_t>(device()) << 32 ^ device()) ^ ticks;
}

std::uint64_t Mix(std::uint64_t value)
{
  // splitmix64's finaliser: a bijection that scatters neighbouring inputs.
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

MString HexId(std::uint64_t value)
{
  static constexpr char kDigits[] = "0123456789abcdef";
  char text[17] = {};
  for (int digit = 15; digit >= 0; --digit, value >>= 4)
    text[digit] = kDigits[value & 15];
  return MString::FromUTF8(std::string_view(text, 16));
}

const MString& NameAttribute(const MXmlItem& item)
{
  return MPresetTree::IsFolder(item) ? kFolderName : kPresetName;
}

// Gives the items under `folder` well-formed ids, once each; `place` names the folder's place.
// With `apply` false only answers whether anything would change.
bool RepairIn(const MXmlItem& folder, std::uint64_t seed, std::uint64_t place, std::set<std::string>& taken,
              bool apply)
{
  bool changed = false;
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    const MXmlItem& item = folder.GetSubItemAt(index);
    if (!IsEntry(item))
      continue;
    const std::uint64_t here = Mix(place ^ Mix(static_cast<std::uint64_t>(index) + 1));
    const MString id = MPresetTree::IdOf(item);
    if (!MPresetTree::IsValidId(id) || !taken.insert(id.ToUTF8()).second)
    {
      if (!apply)
        return true;
      MString repaired = HexId(Mix(seed ^ here));
      for (std::uint64_t again = 1; !taken.insert(repaired.ToUTF8()).second; ++again)
        repaired = HexId(Mix(seed ^ here ^ Mix(again)));
      const_cast<MXmlItem&>(item).SetAttribute(kId, repaired);
      changed = true;
    }
    if (MPresetTree::IsFolder(item) && RepairIn(item, seed, here, taken, apply))
    {
      if (!apply)
        return true;
      changed = true;
    }
  }
  return changed;
}

bool HasSoundIds(const MXmlItem& root)
{
  std::set<std::string> taken;
  return !RepairIn(root, 0, 0, taken, false);
}

// ---- the three-way merge ----

// An item as one of the three trees holds it.
struct Version
{
  const MXmlItem* item = nullptr;
  std::string parent; // the folder's id, empty for the top level
  std::int32_t place = 0;
};

struct Indexed
{
  std::map<std::string, Version> items;
  std::map<std::string, std::vector<std::string>> order; // folder id -> its items' ids
};

void IndexFolder(const MXmlItem& folder, const std::string& id, Indexed& index)
{
  std::vector<std::string>& order = index.order[id];
  for (int at = 0; at < folder.GetSubItemCount(); ++at)
  {
    const MXmlItem& item = folder.GetSubItemAt(at);
    if (!IsEntry(item))
      continue;
    std::string itemId = MPresetTree::IdOf(item).ToUTF8();
    index.items[itemId] = Version{&item, id, static_cast<std::int32_t>(order.size())};
    order.push_back(itemId);
    if (MPresetTree::IsFolder(item))
      IndexFolder(item, itemId, index);
  }
}

bool IsSkipped(const MString& attribute, const MXmlItem& item)
{
  return attribute.EqualsName(kId) || attribute.EqualsName(NameAttribute(item));
}

// Whether two versions of an item hold the same content: everything but the name, the id and,
// for a folder, its folders and presets.
bool SameContent(const MXmlItem& a, const MXmlItem& b, bool folder)
{
  if (!a.GetName().EqualsName(b.GetName()) || a.GetText() != b.GetText())
    return false;
  const auto attributes = [](const MXmlItem& item) {
    std::vector<const MAttribute*> list;
    for (int index = 0; index < item.GetAttributeCount(); ++index)
      if (!IsSkipped(item.GetAttributeAt(index).name, item))
        list.push_back(&item.GetAttributeAt(index));
    return list;
  };
  const auto first = attributes(a), second = attributes(b);
  if (first.size() != second.size())
    return false;
  for (std::size_t index = 0; index < first.size(); ++index)
    if (!(*first[index] == *second[index]))
      return false;
  const auto content = [folder](const MXmlItem& item) {
    std::vector<const MXmlItem*> list;
    for (int index = 0; index < item.GetSubItemCount(); ++index)
      if (!folder || !IsEntry(item.GetSubItemAt(index)))
        list.push_back(&item.GetSubItemAt(index));
    return list;
  };
  const auto these = content(a), those = content(b);
  if (these.size() != those.size())
    return false;
  for (std::size_t index = 0; index < these.size(); ++index)
    if (!(*these[index] == *those[index]))
      return false;
  return true;
}

MString NameOf(const MXmlItem& item)
{
  return item.GetAttribute(NameAttribute(item), MString());
}

// What the merge makes of one item.
struct Outcome
{
  bool kept = false;
  const MXmlItem* name = nullptr;    // the version whose name it takes
  const MXmlItem* content = nullptr; // the version whose content it takes
  std::string parent;
  bool movedHere = false; // this side chose its folder
};

// Three versions of a field: the side that changed it, this side when both did.
template <class Same>
const Version& Pick(const Version& base, const Version& theirs, const Version& mine, Same same)
{
  return !same(theirs, base) && same(mine, base) ? theirs : mine;
}

void BuildFolder(const std::string& id, const MXmlItem& source, MXmlItem& into,
                 const std::map<std::string, Outcome>& outcomes,
                 const std::map<std::string, std::vector<std::string>>& children)
{
  for (int index = 0; index < source.GetSubItemCount(); ++index)
    if (!IsEntry(source.GetSubItemAt(index)))
      into.AddSubItem(source.GetSubItemAt(index));
  const auto found = children.find(id);
  if (found == children.end())
    return;
  for (const std::string& childId : found->second)
  {
    const Outcome& outcome = outcomes.at(childId);
    const MXmlItem& content = *outcome.content;
    const MString name = NameOf(*outcome.name);
    const bool named = outcome.name->HasAttribute(NameAttribute(*outcome.name));
    if (MPresetTree::IsPreset(content))
    {
      MXmlItem& made = into.AddSubItem(content);
      if (named)
        made.SetAttribute(kPresetName, name);
      else
        made.RemoveAttribute(kPresetName);
      made.SetAttribute(kId, MString::FromUTF8(childId));
      continue;
    }
    MXmlItem& made = into.AddSubItem(content.GetName());
    std::vector<MAttribute> attributes;
    for (int index = 0; index < content.GetAttributeCount(); ++index)
      if (!IsSkipped(content.GetAttributeAt(index).name, content))
        attributes.push_back(content.GetAttributeAt(index));
    made.SetAttributes(std::move(attributes));
    made.SetText(content.GetText());
    if (named)
      made.SetAttribute(kFolderName, name);
    made.SetAttribute(kId, MString::FromUTF8(childId));
    BuildFolder(childId, content, made, outcomes, children);
  }
}

void CollectIds(const MXmlItem& folder, std::set<std::string>& ids)
{
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    const MXmlItem& item = folder.GetSubItemAt(index);
    if (!IsEntry(item))
      continue;
    ids.insert(MPresetTree::IdOf(item).ToUTF8());
    if (MPresetTree::IsFolder(item))
      CollectIds(item, ids);
  }
}

MXmlItem* FindIdIn(MXmlItem& folder, const MString& id)
{
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    MXmlItem& item = folder.GetSubItemAt(index);
    if (!IsEntry(item))
      continue;
    if (MPresetTree::IdOf(item) == id)
      return &item;
    if (MPresetTree::IsFolder(item))
      if (MXmlItem* found = FindIdIn(item, id))
        return found;
  }
  return nullptr;
}

// The file a write replaces: the target of a symbolic link (a user's synced folder, say), so
// that the link stays and the target is what changes.
MString WriteTarget(const MString& path)
{
  std::error_code error;
  std::filesystem::path file = ToPath(path);
  for (int hop = 0; hop < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(file, error));
       ++hop)
  {
    const std::filesystem::path target = std::filesystem::read_symlink(file, error);
    if (error)
      break;
    file = target.is_absolute() ? target : file.parent_path() / target;
  }
  const std::u8string text = file.u8string();
  return MString::FromUTF8(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

// Writes through a temporary file and a rename (see MStdFileStream::WriteReplacing).
void WriteDocument(const MXmlItem& document, const MString& path)
{
  const std::filesystem::path target = ToPath(path);
  std::error_code error;
  if (target.has_parent_path())
    std::filesystem::create_directories(target.parent_path(), error);
  const bool replaced = MStdFileStream::WriteReplacing(WriteTarget(path), [&document](MStream& stream) {
    MXmlWriter::Write(document, stream, false, "utf-8");
  });
  if (!replaced)
    Fail(MString("Could not replace the preset file ") + Quoted(path) + MString("."));
}

struct CheckCounts
{
  std::int32_t presets = 0;
  std::int32_t folders = 0;
};

void CheckFolder(const MXmlItem& folder, std::int32_t depth, CheckCounts& counts)
{
  if (depth > MPresetTree::kMaxFolderDepth)
    Fail(MString("Preset folders are nested deeper than 64 levels."));
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    const MXmlItem& item = folder.GetSubItemAt(index);
    if (MPresetTree::IsFolder(item))
    {
      if (!item.HasAttribute(kFolderName))
        Fail(MString("Could not find required attribute (Name)."));
      if (++counts.folders > MPresetTree::kMaxFolders)
        Fail(MString("The preset tree holds more than 10000 folders."));
      CheckFolder(item, depth + 1, counts);
    }
    else if (MPresetTree::IsPreset(item))
    {
      if (!item.HasAttribute(kPresetName))
        Fail(MString("Could not find required attribute (name)."));
      if (++counts.presets > MPresetTree::kMaxPresets)
        Fail(MString("The preset tree holds more than 100000 presets."));
    }
  }
}

void CollectPresets(MXmlItem& folder, std::vector<MXmlItem*>& list)
{
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    MXmlItem& item = folder.GetSubItemAt(index);
    if (MPresetTree::IsPreset(item))
      list.push_back(&item);
    else if (MPresetTree::IsFolder(item))
      CollectPresets(item, list);
  }
}

MXmlItem* FindFolderIn(MXmlItem& folder, const MString& name)
{
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    MXmlItem& item = folder.GetSubItemAt(index);
    if (!MPresetTree::IsFolder(item))
      continue;
    if (item.GetAttribute(kFolderName, MString()).EqualsName(name))
      return &item;
    if (MXmlItem* found = FindFolderIn(item, name))
      return found;
  }
  return nullptr;
}

void GiveFreshIds(MXmlItem& folder)
{
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    MXmlItem& item = folder.GetSubItemAt(index);
    if (!IsEntry(item))
      continue;
    item.SetAttribute(kId, MPresetTree::NewId());
    if (MPresetTree::IsFolder(item))
      GiveFreshIds(item);
  }
}

MXmlItem* FindParentIn(MXmlItem& folder, const MXmlItem& target)
{
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    MXmlItem& item = folder.GetSubItemAt(index);
    if (&item == &target)
      return &folder;
    if (MPresetTree::IsFolder(item))
      if (MXmlItem* found = FindParentIn(item, target))
        return found;
  }
  return nullptr;
}
} // namespace

MPresetTree::MPresetTree() : m_root(MString("presets")), m_base(MString("presets")) {}

MPresetTree::~MPresetTree() = default;

// ---- files ------------------------------------------------------------------------------------------

void MPresetTree::Load(const MString& path)
{
  NamingTheFile(path, [&] {
    // The stamp before the bytes: a file replaced in between is read again at the next check.
    FileStamp stamp;
    StatFile(path, stamp);
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    MXmlItem document;
    ParseDocument(bytes, document);
    stamp.hash = HashBytes(bytes.data(), bytes.size());
    // Ids derived from the bytes: every instance reading this file names its items alike.
    RepairIds(document, stamp.hash);
    SetTree(document);
    m_base = std::move(document);
    m_stamp = stamp;
  });
}

void MPresetTree::SetTree(MXmlItem document)
{
  Check(document, m_root.GetName());
  RepairIds(document, 0);
  m_root = std::move(document);
  ++m_changeCount;
}

void MPresetTree::Save(const MString& path) const
{
  WriteDocument(m_root, path);
}

// ---- sharing the file ---------------------------------------------------------------------------

bool MPresetTree::StatFile(const MString& path, FileStamp& stamp)
{
  std::error_code error;
  const std::filesystem::path file = ToPath(path);
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error)
    return false;
  const auto modified = std::filesystem::last_write_time(file, error);
  if (error)
    return false;
  stamp.size = size;
  stamp.modified = static_cast<std::int64_t>(modified.time_since_epoch().count());
  stamp.known = true;
  return true;
}

std::unique_ptr<MFileLock> MPresetTree::LockFile(const MString& path)
{
  const std::filesystem::path target = ToPath(path);
  std::error_code error;
  if (target.has_parent_path())
    std::filesystem::create_directories(target.parent_path(), error);
  const MString lockPath = path + MString(".lock");
  auto lock = std::make_unique<MFileLock>(lockPath, kLockTimeoutMs);
  if (!lock->IsLocked() && !std::filesystem::exists(ToPath(lockPath), error))
    Fail(MString("Could not create the lock file ") + Quoted(lockPath) + MString("."));
  if (!lock->IsLocked())
    Fail(MString::FromLiteral(kFileInUse));
  return lock;
}

bool MPresetTree::ChangedOnDisk(const MString& path) const
{
  FileStamp now;
  if (!StatFile(path, now))
    return false;
  return !m_stamp.known || now.size != m_stamp.size || now.modified != m_stamp.modified;
}

bool MPresetTree::Synchronize(const MString& path)
{
  FileStamp stamp;
  if (!StatFile(path, stamp))
    return false;
  // A reader takes the lock too (Windows cannot replace a file that is being read); while a
  // writer holds it, the file is left for the next look.
  std::unique_ptr<MFileLock> lock;
  if (!m_holdingLock)
  {
    lock = std::make_unique<MFileLock>(path + MString(".lock"), 0);
    if (!lock->IsLocked())
      return false;
    StatFile(path, stamp);
  }
  bool changed = false;
  NamingTheFile(path, [&] {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    stamp.hash = HashBytes(bytes.data(), bytes.size());
    if (m_stamp.known && stamp.hash == m_stamp.hash)
      return;
    MXmlItem document;
    ParseDocument(bytes, document);
    Check(document, m_root.GetName());
    RepairIds(document, stamp.hash);
    changed = Merge(m_base, document, m_root);
    m_base = std::move(document);
  });
  m_stamp = stamp;
  if (changed)
    ++m_changeCount;
  return changed;
}

void MPresetTree::WriteShared(const MString& path)
{
  // Items a caller put in without an id (or with a copied one) get fresh ids now.
  if (!HasSoundIds(m_root))
    RepairIds(m_root, RandomSeed());
  MMemoryStream stream;
  MXmlWriter::Write(m_root, stream, false, "utf-8");
  const std::shared_ptr<MMemoryStream::Buffer>& buffer = stream.GetBuffer();
  const std::filesystem::path target = ToPath(path);
  std::error_code error;
  if (target.has_parent_path())
    std::filesystem::create_directories(target.parent_path(), error);
  const bool replaced = MStdFileStream::WriteReplacing(
      WriteTarget(path), [&buffer](MStream& file) { file.Write(buffer->GetData(), buffer->GetSize()); });
  if (!replaced)
    Fail(MString("Could not replace the preset file ") + Quoted(path) + MString("."));
  FileStamp stamp;
  StatFile(path, stamp);
  stamp.hash = HashBytes(buffer->GetData(), buffer->GetSize());
  m_stamp = stamp;
  m_base = m_root;
  ++m_changeCount;
}

void MPresetTree::Change(const MString& path, const std::function<void(MPresetTree&)>& change)
{
  const std::unique_ptr<MFileLock> lock = LockFile(path);
  const HoldingLock holding(m_holdingLock);
  // A failure puts back the tree, its base and its stamp together: a caller that restores its own
  // copy of the tree afterwards (the preset window does) then still merges the file next time.
  MXmlItem root = m_root;
  MXmlItem base = m_base;
  const FileStamp stamp = m_stamp;
  MString aside;
  try
  {
    try
    {
      Synchronize(path);
    }
    catch (const MException&)
    {
      // Only a file that still cannot be read under the lock is the damaged one: it is kept
      // under another name and this tree, as last read, becomes the file again. A file that
      // cannot be opened at all is left alone (the failure goes to the caller).
      if (!IsDamaged(path))
        throw;
      aside = MSettingsFolder::MoveAside(path);
      if (aside.IsEmpty())
        Fail(MString("Could not move the unreadable file ") + Quoted(path) + MString(" aside."));
      m_stamp = FileStamp();
    }
    change(*this);
    WriteShared(path);
  }
  catch (...)
  {
    m_root = std::move(root);
    m_base = std::move(base);
    m_stamp = stamp;
    throw;
  }
  if (!aside.IsEmpty())
    m_movedAside = aside;
}

MString MPresetTree::TakeMovedAside()
{
  return std::exchange(m_movedAside, MString());
}

bool MPresetTree::IsDamaged(const MString& path) const
{
  std::vector<std::uint8_t> bytes;
  try
  {
    bytes = ReadBytes(path);
  }
  catch (const MException&)
  {
    return false;
  }
  try
  {
    MXmlItem document;
    ParseDocument(bytes, document);
    Check(document, m_root.GetName());
    return false;
  }
  catch (const MException&)
  {
    return true;
  }
}

void MPresetTree::LoadOrCreate(const MString& path, MXmlItem initial)
{
  const std::unique_ptr<MFileLock> lock = LockFile(path);
  const HoldingLock holding(m_holdingLock);
  std::error_code error;
  if (std::filesystem::exists(ToPath(path), error))
  {
    Load(path);
    return;
  }
  m_root = std::move(initial);
  ++m_changeCount;
  WriteShared(path);
}

MXmlItem* MPresetTree::FindFolderPath(const std::vector<MString>& folders)
{
  MXmlItem* folder = &m_root;
  for (const MString& name : folders)
    if ((folder = FindChild(*folder, name, true)) == nullptr)
      return nullptr;
  return folder;
}

MXmlItem* MPresetTree::FindChild(MXmlItem& parent, const MString& name, bool folder)
{
  for (int index = 0; index < parent.GetSubItemCount(); ++index)
  {
    MXmlItem& item = parent.GetSubItemAt(index);
    if (folder ? IsFolder(item) && item.GetAttribute(kFolderName, MString()) == name
               : IsPreset(item) && item.GetAttribute(kPresetName, MString()) == name)
      return &item;
  }
  return nullptr;
}

void MPresetTree::ExportFolder(const MXmlItem& folder, const MString& path) const
{
  if (!IsFolder(folder))
    Fail(MString("Only a preset folder can be exported."));
  WriteDocument(folder, path);
}

std::int32_t MPresetTree::ImportFolder(const MString& path, MXmlItem& parent)
{
  std::int32_t imported = 0;
  NamingTheFile(path, [&] {
    MXmlItem document;
    ReadDocument(path, document);
    imported = ImportDocument(std::move(document), parent);
  });
  return imported;
}

std::int32_t MPresetTree::ImportDocument(MXmlItem document, MXmlItem& parent)
{
  Check(document, kFolderItem);
  if (!document.HasAttribute(kFolderName))
    Fail(MString("Could not find required attribute (Name)."));

  // The combined tree must stay within the limits that a later Load accepts.
  std::int32_t parentDepth = 0;
  for (const MXmlItem* item = &parent; item != &m_root; item = FindParent(*item))
  {
    if (item == nullptr)
      Fail(MString("The import target is not a folder of this preset tree."));
    ++parentDepth;
  }
  std::int32_t importedDepth = 0;
  std::vector<std::pair<const MXmlItem*, std::int32_t>> walk{{&document, 1}};
  while (!walk.empty())
  {
    const auto [item, level] = walk.back();
    walk.pop_back();
    importedDepth = std::max(importedDepth, level);
    for (int index = 0; index < item->GetSubItemCount(); ++index)
      if (IsFolder(item->GetSubItemAt(index)))
        walk.emplace_back(&item->GetSubItemAt(index), level + 1);
  }
  CheckCounts imported;
  CheckFolder(document, 1, imported);
  CheckCounts existing;
  CheckFolder(m_root, 0, existing);
  if (parentDepth + importedDepth > kMaxFolderDepth)
    Fail(MString("Preset folders are nested deeper than 64 levels."));
  if (existing.presets + imported.presets > kMaxPresets)
    Fail(MString("The preset tree holds more than 100000 presets."));
  if (existing.folders + imported.folders + 1 > kMaxFolders)
    Fail(MString("The preset tree holds more than 10000 folders."));

  // A folder of the same name gets a number, so an import never mixes with what is there.
  const MString base = document.GetAttribute(kFolderName, MString());
  MString name = base;
  for (std::int32_t number = 2;; ++number)
  {
    bool taken = false;
    for (int index = 0; index < parent.GetSubItemCount() && !taken; ++index)
      taken = IsFolder(parent.GetSubItemAt(index)) &&
              parent.GetSubItemAt(index).GetAttribute(kFolderName, MString()).EqualsName(name);
    if (!taken)
      break;
    name = base + MString(" (") + MString::FromInteger(number) + MString(")");
  }
  document.SetAttribute(kFolderName, name);
  // What comes in is new here, however often the same file was imported.
  document.SetAttribute(kId, NewId());
  GiveFreshIds(document);
  parent.AddSubItem(std::move(document));
  return imported.presets;
}

void MPresetTree::Check(const MXmlItem& root, const MString& rootName)
{
  if (!root.GetName().EqualsName(rootName))
    Fail(MString("The document holds no preset tree (its root item is ") + Quoted(root.GetName()) +
         MString(", not ") + Quoted(rootName) + MString(")."));
  CheckCounts counts;
  CheckFolder(root, 0, counts);
}

// ---- queries ------------------------------------------------------------------------------------------

std::vector<MXmlItem*> MPresetTree::ListPresets()
{
  std::vector<MXmlItem*> list;
  CollectPresets(m_root, list);
  return list;
}

std::int32_t MPresetTree::GetPresetCount() const
{
  std::vector<MXmlItem*> list;
  CollectPresets(const_cast<MXmlItem&>(m_root), list);
  return static_cast<std::int32_t>(list.size());
}

MXmlItem& MPresetTree::GetPreset(std::int32_t index)
{
  const std::vector<MXmlItem*> list = ListPresets();
  if (index < 0 || static_cast<std::size_t>(index) >= list.size())
    Fail(MString("Index out of range."));
  return *list[static_cast<std::size_t>(index)];
}

MXmlItem* MPresetTree::FindFolder(const MString& name)
{
  return FindFolderIn(m_root, name);
}

std::int32_t MPresetTree::CountPresetsIn(const MString& name)
{
  MXmlItem* folder = FindFolder(name);
  if (folder == nullptr)
    return 0;
  std::vector<MXmlItem*> list;
  CollectPresets(*folder, list);
  return static_cast<std::int32_t>(list.size());
}

MXmlItem* MPresetTree::FindParent(const MXmlItem& item)
{
  return FindParentIn(m_root, item);
}

// ---- edits ------------------------------------------------------------------------------------------

MXmlItem& MPresetTree::AddFolder(MXmlItem& parent, const MString& name)
{
  MXmlItem& folder = parent.AddSubItem(kFolderItem);
  folder.SetAttribute(kFolderName, name);
  folder.SetAttribute(kId, NewId());
  return folder;
}

MXmlItem& MPresetTree::AddPreset(MXmlItem& parent, const MString& name, const MXmlItem& settings)
{
  MXmlItem preset(settings);
  preset.SetName(kPresetItem);
  preset.RemoveAttribute(kCompressed);
  preset.SetAttribute(kPresetName, name);
  preset.SetAttribute(kId, NewId());
  return parent.AddSubItem(std::move(preset));
}

void MPresetTree::Rename(MXmlItem& item, const MString& name)
{
  item.SetAttribute(IsFolder(item) ? kFolderName : kPresetName, name);
}

bool MPresetTree::Remove(const MXmlItem& item)
{
  MXmlItem* parent = FindParent(item);
  if (parent == nullptr)
    return false;
  for (int index = 0; index < parent->GetSubItemCount(); ++index)
    if (&parent->GetSubItemAt(index) == &item)
    {
      parent->RemoveSubItemAt(index);
      return true;
    }
  return false;
}

std::int32_t MPresetTree::CompressPresets()
{
  std::int32_t converted = 0;
  for (MXmlItem* preset : ListPresets())
  {
    if (!preset->HasAttribute(kPresetName) || preset->HasAttribute(kCompressed))
      continue;
    *preset = Compress(*preset);
    ++converted;
  }
  return converted;
}

// ---- the preset forms ---------------------------------------------------------------------------

bool MPresetTree::IsFolder(const MXmlItem& item)
{
  return item.GetName().EqualsName(kFolderItem);
}

bool MPresetTree::IsPreset(const MXmlItem& item)
{
  return item.GetName().EqualsName(kPresetItem);
}

bool MPresetTree::IsCompressed(const MXmlItem& preset)
{
  return preset.HasAttribute(kCompressed);
}

MXmlItem MPresetTree::Compress(const MXmlItem& preset)
{
  MMemoryStream stream;
  MXmlWriter::WriteCompressed(preset, stream);
  const std::shared_ptr<MMemoryStream::Buffer>& buffer = stream.GetBuffer();
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::u16string text;
  text.reserve(buffer->GetSize() * 2);
  for (std::size_t index = 0; index < buffer->GetSize(); ++index)
  {
    const std::uint8_t byte = buffer->GetData()[index];
    text.push_back(static_cast<char16_t>(kDigits[byte >> 4]));
    text.push_back(static_cast<char16_t>(kDigits[byte & 15]));
  }
  MXmlItem result(kPresetItem);
  result.SetAttribute(kPresetName, preset.GetAttribute(kPresetName, MString()));
  if (preset.HasAttribute(kId))
    result.SetAttribute(kId, IdOf(preset));
  result.SetAttribute(kCompressed, MString("1"));
  result.SetText(MString(std::u16string_view(text)));
  return result;
}

void MPresetTree::DecodePreset(const MXmlItem& preset, MXmlItem& settings)
{
  const MString name = preset.GetAttribute(kPresetName, MString());
  if (!IsCompressed(preset))
  {
    settings = preset;
    return;
  }
  const MString& text = preset.GetText();
  const auto fail = [&](const MString& problem) {
    Fail(MString("Preset ") + Quoted(name) + MString(" could not be decoded: ") + problem);
  };
  if (text.Length() % 2 != 0)
    fail(MString("its hexadecimal text has an odd number of digits."));
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(text.Length() / 2));
  for (std::int32_t index = 0; index + 1 < text.Length(); index += 2)
  {
    const int high = MString::HexDigitValue(text.At(index));
    const int low = MString::HexDigitValue(text.At(index + 1));
    if (high < 0 || low < 0)
      fail(MString("invalid character in hexadecimal text at position ") +
           MString::FromInteger(high < 0 ? index : index + 1) + MString("."));
    bytes[static_cast<std::size_t>(index / 2)] = static_cast<std::uint8_t>(high * 16 + low);
  }
  try
  {
    MMemoryStream stream(bytes.data(), bytes.size());
    MXmlReader::ReadCompressed(stream, settings);
  }
  catch (const MException& exception)
  {
    fail(exception.Message());
  }
  if (!IsPreset(settings))
    fail(MString("it holds no preset item."));
}

// ---- identities and the merge ------------------------------------------------------------------

bool MPresetTree::Merge(const MXmlItem& base, const MXmlItem& theirs, MXmlItem& mine,
                        std::vector<MString>* kept)
{
  // Trees whose ids are missing, malformed or repeated are merged as repaired copies; this side
  // is repaired in place with fresh ids (its own new items).
  bool renumbered = !HasSoundIds(mine) && RepairIds(mine, RandomSeed());
  MXmlItem baseCopy, theirCopy;
  const MXmlItem* b = &base;
  const MXmlItem* t = &theirs;
  if (!HasSoundIds(base))
  {
    baseCopy = base;
    RepairIds(baseCopy, 0);
    b = &baseCopy;
  }
  if (!HasSoundIds(theirs))
  {
    theirCopy = theirs;
    RepairIds(theirCopy, 0);
    t = &theirCopy;
  }
  std::set<std::string> mineIds;
  if (kept != nullptr)
    CollectIds(mine, mineIds);
  const auto report = [&] {
    if (kept == nullptr)
      return;
    std::set<std::string> result;
    CollectIds(mine, result);
    kept->clear();
    for (const std::string& id : result)
      if (mineIds.count(id) > 0)
        kept->push_back(MString::FromUTF8(id));
  };
  // Most merges find one side unchanged.
  if (*t == *b)
  {
    report();
    return renumbered;
  }
  if (mine == *b)
  {
    const bool changed = renumbered || !(mine == *t);
    mine = *t;
    report();
    return changed;
  }
  Indexed inBase, inTheirs, inMine;
  IndexFolder(*b, std::string(), inBase);
  IndexFolder(*t, std::string(), inTheirs);
  // An id that names a folder on one side and a preset on another names two items: this side's
  // gets another id, and a base version of the other kind counts as replaced.
  {
    Indexed probe;
    IndexFolder(mine, std::string(), probe);
    for (const auto& [id, version] : probe.items)
    {
      const auto clash = [&, id = id, version = version](const Indexed& other) {
        const auto found = other.items.find(id);
        return found != other.items.end() &&
               MPresetTree::IsFolder(*found->second.item) != MPresetTree::IsFolder(*version.item);
      };
      if (clash(inBase) || clash(inTheirs))
      {
        const_cast<MXmlItem*>(version.item)->SetAttribute(kId, NewId());
        renumbered = true;
      }
    }
  }
  IndexFolder(mine, std::string(), inMine);
  for (auto it = inBase.items.begin(); it != inBase.items.end();)
  {
    const auto their = inTheirs.items.find(it->first);
    if (their != inTheirs.items.end() &&
        MPresetTree::IsFolder(*their->second.item) != MPresetTree::IsFolder(*it->second.item))
      it = inBase.items.erase(it);
    else
      ++it;
  }

  const auto sameName = [](const Version& x, const Version& y) { return NameOf(*x.item) == NameOf(*y.item); };
  const auto sameContent = [](const Version& x, const Version& y) {
    return SameContent(*x.item, *y.item, MPresetTree::IsFolder(*x.item) || x.item->GetName() == kRootItem);
  };
  const auto sameParent = [](const Version& x, const Version& y) { return x.parent == y.parent; };
  const auto unchanged = [&](const Version& x, const Version& y) {
    return sameName(x, y) && sameContent(x, y) && sameParent(x, y);
  };

  std::map<std::string, Outcome> outcomes;
  const auto version = [](const Indexed& index, const std::string& id) -> const Version* {
    const auto found = index.items.find(id);
    return found != index.items.end() ? &found->second : nullptr;
  };
  const auto consider = [&](const std::string& id) {
    if (outcomes.count(id) > 0)
      return;
    const Version* was = version(inBase, id);
    const Version* their = version(inTheirs, id);
    const Version* my = version(inMine, id);
    Outcome& outcome = outcomes[id];
    if (my != nullptr && their != nullptr)
    {
      const Version& before = was != nullptr ? *was : *their; // added on both sides: this side's
      outcome.kept = true;
      outcome.name = Pick(before, *their, *my, sameName).item;
      outcome.content = Pick(before, *their, *my, sameContent).item;
      const Version& parent = Pick(before, *their, *my, sameParent);
      outcome.parent = parent.parent;
      outcome.movedHere = &parent == my && my->parent != their->parent;
      return;
    }
    const Version* side = my != nullptr ? my : their;
    if (side == nullptr)
      return; // removed on both sides
    // Removed on one side: it stays when the other side changed it (or added it).
    outcome.kept = was == nullptr || !unchanged(*was, *side);
    outcome.name = outcome.content = side->item;
    outcome.parent = side->parent;
    outcome.movedHere = side == my;
  };
  for (const Indexed* index : {&inMine, &inTheirs, &inBase})
    for (const auto& [id, unused] : index->items)
      consider(id);

  // The folders a kept item needs are kept too (a removed folder comes back with what the other
  // side put in it).
  for (bool again = true; again;)
  {
    again = false;
    for (auto& [id, outcome] : outcomes)
    {
      if (!outcome.kept || outcome.parent.empty())
        continue;
      const auto parent = outcomes.find(outcome.parent);
      if (parent == outcomes.end() || parent->second.content == nullptr ||
          !MPresetTree::IsFolder(*parent->second.content))
        outcome.parent.clear();
      else if (!parent->second.kept)
        again = parent->second.kept = true;
    }
  }
  // Two sides that moved folders into each other: the one this side moved goes to the top.
  for (auto& [id, outcome] : outcomes)
  {
    while (outcome.kept)
    {
      std::vector<std::string> chain;
      std::string at = id;
      while (!at.empty() && std::find(chain.begin(), chain.end(), at) == chain.end())
      {
        chain.push_back(at);
        at = outcomes.at(at).parent;
      }
      if (at.empty())
        break;
      const auto loop = std::find(chain.begin(), chain.end(), at);
      const auto mover = std::find_if(
          loop, chain.end(), [&](const std::string& member) { return outcomes.at(member).movedHere; });
      Outcome& breaker = outcomes.at(mover != chain.end() ? *mover : at);
      breaker.parent.clear();
      breaker.movedHere = true;
    }
  }

  // Each folder: the other side's order, then what this side placed there in its order.
  std::map<std::string, std::vector<std::string>> children;
  std::set<std::string> placed;
  for (const auto& [folder, order] : inTheirs.order)
    for (const std::string& id : order)
    {
      const Outcome& outcome = outcomes.at(id);
      if (outcome.kept && outcome.parent == folder)
      {
        children[folder].push_back(id);
        placed.insert(id);
      }
    }
  std::vector<std::pair<std::pair<std::int32_t, std::string>, std::string>> rest;
  for (const auto& [id, outcome] : outcomes)
  {
    if (!outcome.kept || placed.count(id) > 0)
      continue;
    const Version* my = version(inMine, id);
    const std::int32_t place =
        my != nullptr && my->parent == outcome.parent ? my->place : std::numeric_limits<std::int32_t>::max();
    rest.push_back({{place, id}, outcome.parent});
  }
  std::sort(rest.begin(), rest.end());
  for (const auto& [key, folder] : rest)
    children[folder].push_back(key.second);

  // The top level's own content (its attributes, items of other kinds) as any item's.
  const Version rootBase{b, {}, 0}, rootTheirs{t, {}, 0}, rootMine{&mine, {}, 0};
  const MXmlItem& rootContent = *Pick(rootBase, rootTheirs, rootMine, sameContent).item;
  MXmlItem result(rootContent.GetName());
  result.SetAttributes([&] {
    std::vector<MAttribute> attributes;
    for (int index = 0; index < rootContent.GetAttributeCount(); ++index)
      attributes.push_back(rootContent.GetAttributeAt(index));
    return attributes;
  }());
  result.SetText(rootContent.GetText());
  BuildFolder(std::string(), rootContent, result, outcomes, children);
  const bool changed = renumbered || !(result == mine);
  mine = std::move(result);
  report();
  return changed;
}

bool MPresetTree::RepairIds(MXmlItem& root, std::uint64_t seed)
{
  std::set<std::string> taken;
  return RepairIn(root, seed, 0, taken, true);
}

MString MPresetTree::NewId()
{
  // A random source per thread, with the clock mixed in: a process forked from another (which
  // copies the source's state) does not repeat its ids.
  thread_local std::mt19937_64 source(RandomSeed());
  const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return HexId(Mix(source() ^ Mix(ticks)));
}

MString MPresetTree::IdOf(const MXmlItem& item)
{
  return item.GetAttribute(kId, MString());
}

bool MPresetTree::IsValidId(const MString& id)
{
  const std::string text = id.ToUTF8();
  if (text.empty() || text.size() > 64)
    return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
  });
}

MXmlItem* MPresetTree::FindById(const MString& id)
{
  return id.IsEmpty() ? nullptr : FindIdIn(m_root, id);
}

std::int32_t MPresetTree::IndexOfPreset(const MString& id)
{
  if (id.IsEmpty())
    return -1;
  const std::vector<MXmlItem*> presets = ListPresets();
  for (std::size_t index = 0; index < presets.size(); ++index)
    if (IdOf(*presets[index]) == id)
      return static_cast<std::int32_t>(index);
  return -1;
}

bool MPresetTree::Move(const MXmlItem& item, MXmlItem& folder)
{
  MXmlItem* parent = FindParent(item);
  if (parent == nullptr || !IsEntry(item) || (&folder != &m_root && !IsFolder(folder)))
    return false;
  for (const MXmlItem* at = &folder; at != nullptr; at = FindParent(*at))
    if (at == &item)
      return false;
  if (parent == &folder)
    return true;
  MXmlItem moved = item;
  Remove(item);
  folder.AddSubItem(std::move(moved));
  return true;
}
