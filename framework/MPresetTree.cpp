#include "framework/MPresetTree.h"

#include "base/MException.h"
#include "base/MFileLock.h"
#include "base/MMemoryStream.h"
#include "base/MStdFileStream.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/plugin/MSettingsFolder.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>

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

// An item's identity within its folder: kind, name, and its place among items of that kind and
// name (two presets may share a name).
using EntryKey = std::tuple<bool, std::string, std::int32_t>;

std::map<EntryKey, std::int32_t> KeysOf(const MXmlItem& folder)
{
  std::map<EntryKey, std::int32_t> keys;
  std::map<std::pair<bool, std::string>, std::int32_t> seen;
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    const MXmlItem& item = folder.GetSubItemAt(index);
    if (!IsEntry(item))
      continue;
    const bool isFolder = MPresetTree::IsFolder(item);
    std::string name = item.GetAttribute(isFolder ? kFolderName : kPresetName, MString()).ToUTF8();
    const std::int32_t ordinal = seen[{isFolder, name}]++;
    keys.emplace(EntryKey{isFolder, std::move(name), ordinal}, index);
  }
  return keys;
}

// Brings into `mine` what changed from `base` to `theirs` in this folder and below: items they
// added are appended, items they removed (or renamed away) go when this side left them as they
// were, presets they replaced are taken when this side left them alone. What this side changed
// stays. Answers whether `mine` changed.
bool MergeFolder(const MXmlItem& base, const MXmlItem& theirs, MXmlItem& mine)
{
  const std::map<EntryKey, std::int32_t> baseKeys = KeysOf(base);
  const std::map<EntryKey, std::int32_t> theirKeys = KeysOf(theirs);
  const std::map<EntryKey, std::int32_t> myKeys = KeysOf(mine);
  bool changed = false;
  std::vector<const MXmlItem*> removals;
  std::vector<std::pair<MXmlItem*, const MXmlItem*>> replacements;
  for (const auto& [key, baseIndex] : baseKeys)
  {
    const auto my = myKeys.find(key);
    if (my == myKeys.end())
      continue; // removed or renamed here: that change stands
    const MXmlItem& before = base.GetSubItemAt(baseIndex);
    MXmlItem& mineItem = mine.GetSubItemAt(my->second);
    const auto their = theirKeys.find(key);
    if (their == theirKeys.end())
    {
      if (mineItem == before)
        removals.push_back(&mineItem);
      continue;
    }
    const MXmlItem& theirItem = theirs.GetSubItemAt(their->second);
    if (theirItem == before)
      continue;
    if (std::get<0>(key))
      changed = MergeFolder(before, theirItem, mineItem) || changed;
    else if (mineItem == before)
      replacements.emplace_back(&mineItem, &theirItem);
  }
  for (const auto& [item, replacement] : replacements)
    *item = *replacement;
  for (const MXmlItem* item : removals)
    for (int index = 0; index < mine.GetSubItemCount(); ++index)
      if (&mine.GetSubItemAt(index) == item)
      {
        mine.RemoveSubItemAt(index);
        break;
      }
  for (const auto& [key, theirIndex] : theirKeys)
    if (baseKeys.find(key) == baseKeys.end())
    {
      mine.AddSubItem(theirs.GetSubItemAt(theirIndex));
      changed = true;
    }
  return changed || !replacements.empty() || !removals.empty();
}

// Writes through a temporary file and a rename (see MStdFileStream::WriteReplacing).
void WriteDocument(const MXmlItem& document, const MString& path)
{
  const std::filesystem::path target = ToPath(path);
  std::error_code error;
  if (target.has_parent_path())
    std::filesystem::create_directories(target.parent_path(), error);
  const bool replaced = MStdFileStream::WriteReplacing(
      path, [&document](MStream& stream) { MXmlWriter::Write(document, stream, false, "utf-8"); });
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
    SetTree(document);
    m_base = std::move(document);
    stamp.hash = HashBytes(bytes.data(), bytes.size());
    m_stamp = stamp;
  });
}

void MPresetTree::SetTree(MXmlItem document)
{
  Check(document, m_root.GetName());
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
  bool changed = false;
  NamingTheFile(path, [&] {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    stamp.hash = HashBytes(bytes.data(), bytes.size());
    if (m_stamp.known && stamp.hash == m_stamp.hash)
      return;
    MXmlItem document;
    ParseDocument(bytes, document);
    Check(document, m_root.GetName());
    changed = MergeFolder(m_base, document, m_root);
    m_base = std::move(document);
  });
  m_stamp = stamp;
  if (changed)
    ++m_changeCount;
  return changed;
}

void MPresetTree::WriteShared(const MString& path)
{
  MMemoryStream stream;
  MXmlWriter::Write(m_root, stream, false, "utf-8");
  const std::shared_ptr<MMemoryStream::Buffer>& buffer = stream.GetBuffer();
  const std::filesystem::path target = ToPath(path);
  std::error_code error;
  if (target.has_parent_path())
    std::filesystem::create_directories(target.parent_path(), error);
  const bool replaced = MStdFileStream::WriteReplacing(
      path, [&buffer](MStream& file) { file.Write(buffer->GetData(), buffer->GetSize()); });
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
  // A failure puts back the tree, its base and its stamp together: a caller that restores its own
  // copy of the tree afterwards (the preset window does) then still merges the file next time.
  MXmlItem root = m_root;
  MXmlItem base = m_base;
  const FileStamp stamp = m_stamp;
  try
  {
    Synchronize(path);
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
}

void MPresetTree::LoadOrCreate(const MString& path, MXmlItem initial)
{
  const std::unique_ptr<MFileLock> lock = LockFile(path);
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
  return folder;
}

MXmlItem& MPresetTree::AddPreset(MXmlItem& parent, const MString& name, const MXmlItem& settings)
{
  MXmlItem preset(settings);
  preset.SetName(kPresetItem);
  preset.RemoveAttribute(kCompressed);
  preset.SetAttribute(kPresetName, name);
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
