#include "framework/MPresetTree.h"

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MStdFileStream.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/plugin/MSettingsFolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

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

// Reads a whole document from a file after checking its size: a file far beyond any real preset
// collection is refused before it costs memory.
void ReadDocument(const MString& path, MXmlItem& document)
{
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(ToPath(path), error);
  if (!error && size > MPresetTree::kMaxFileBytes)
    Fail(MString("The file is larger than 64 MiB."));
  MStdFileStream stream(path, MStdFileStream::Mode::Read);
  MXmlReader::Read(stream, document);
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

MPresetTree::MPresetTree() : m_root(MString("presets")) {}

MPresetTree::~MPresetTree() = default;

// ---- files ------------------------------------------------------------------------------------------

void MPresetTree::Load(const MString& path)
{
  NamingTheFile(path, [&] {
    MXmlItem document;
    ReadDocument(path, document);
    SetTree(std::move(document));
  });
}

void MPresetTree::SetTree(MXmlItem document)
{
  Check(document, m_root.GetName());
  m_root = std::move(document);
}

void MPresetTree::Save(const MString& path) const
{
  WriteDocument(m_root, path);
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
