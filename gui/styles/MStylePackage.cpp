#include "gui/styles/MStylePackage.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MMD5Stream.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

namespace
{
std::uint32_t ReadU32(const std::uint8_t* p)
{
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

std::uint64_t ReadU64(const std::uint8_t* p)
{
  return std::uint64_t(ReadU32(p)) | (std::uint64_t(ReadU32(p + 4)) << 32);
}

void WriteU32(std::uint8_t* p, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    p[i] = std::uint8_t(value >> (8 * i));
}

void WriteU64(std::uint8_t* p, std::uint64_t value)
{
  WriteU32(p, std::uint32_t(value));
  WriteU32(p + 4, std::uint32_t(value >> 32));
}

std::vector<std::uint8_t> Digest(const std::uint8_t* data, std::size_t size)
{
  MMD5Stream md5;
  if (size > 0)
    md5.Write(data, size);
  return md5.GetDigest();
}

bool IsNameCharacter(char16_t c)
{
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
         c == u'_' || c == u'/' || c == u'-';
}

[[noreturn]] void Fail(const char* message)
{
  throw MException(MString::FromLiteral(message));
}

[[noreturn]] void Fail(const char* format, const MString& argument)
{
  throw MException(MFormat::Format(MString::FromLiteral(format), argument));
}
} // namespace

bool MStylePackage::IsValidName(const MString& name)
{
  if (name.IsEmpty() || name.Length() >= std::int32_t(kNameBytes) || name.At(0) == u'/' ||
      name.Find("..") >= 0)
    return false;
  for (std::int32_t i = 0; i < name.Length(); ++i)
    if (!IsNameCharacter(name.At(i)))
      return false;
  return true;
}

MStylePackage::MStylePackage(std::span<const std::uint8_t> bytes)
{
  const std::size_t size = bytes.size();
  // A prefix of the magic is a package cut short; anything else is not a package at all.
  const std::size_t magicPart = std::min(size, kMagic.size());
  if (!std::equal(bytes.begin(), bytes.begin() + std::ptrdiff_t(magicPart), kMagic.begin()))
    Fail(kMessageNotAPackage);
  if (size < kHeaderBytes)
    Fail(kMessageTruncated);
  const std::uint8_t* header = bytes.data();
  const std::uint32_t version = ReadU32(header + 8);
  if (version != kVersion)
    throw MException(MFormat::Format(MString::FromLiteral(kMessageVersion), std::int64_t(version)));
  const std::uint32_t count = ReadU32(header + 12);
  if (count == 0 || count > kMaxEntries)
    throw MException(MFormat::Format(MString::FromLiteral(kMessageEntryCount), std::int64_t(count)));
  const std::uint64_t total = ReadU64(header + 16);
  if (total > kMaxPackageBytes || size > kMaxPackageBytes)
    Fail(kMessageTooLarge);
  if (total > size)
    Fail(kMessageTruncated);
  if (total < size)
    Fail(kMessageNotAPackage);
  const std::uint64_t dataStart = kHeaderBytes + std::uint64_t(count) * kEntryBytes;
  if (dataStart > total)
    Fail(kMessageTruncated);
  for (std::size_t i = 40; i < kHeaderBytes; ++i)
    if (header[i] != 0)
      Fail(kMessageTable);
  const std::uint8_t* table = header + kHeaderBytes;
  const std::vector<std::uint8_t> tableDigest = Digest(table, std::size_t(count) * kEntryBytes);
  if (!std::equal(tableDigest.begin(), tableDigest.end(), header + 24))
    Fail(kMessageTable);

  // The table digest matched, so what follows catches packages written wrongly (or forged).
  std::set<std::string> names;
  std::uint64_t previousEnd = dataStart;
  m_entries.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i)
  {
    const std::uint8_t* entry = table + std::size_t(i) * kEntryBytes;
    const auto nameEnd = std::find(entry, entry + kNameBytes, std::uint8_t(0));
    if (nameEnd == entry + kNameBytes ||
        std::any_of(nameEnd, entry + kNameBytes, [](std::uint8_t b) { return b != 0; }))
      Fail(kMessageEntryName);
    const std::string narrow(reinterpret_cast<const char*>(entry), std::size_t(nameEnd - entry));
    const MString name = MString::FromNarrow(narrow);
    if (!IsValidName(name))
      Fail(kMessageEntryName);
    if (!names.insert(narrow).second)
      Fail(kMessageDuplicate, name);
    const std::uint32_t offset = ReadU32(entry + 64);
    const std::uint32_t length = ReadU32(entry + 68);
    if (offset < previousEnd || std::uint64_t(offset) + length > total)
      Fail(kMessageBounds, name);
    for (std::size_t k = 88; k < kEntryBytes; ++k)
      if (entry[k] != 0)
        Fail(kMessageTable);
    const std::vector<std::uint8_t> dataDigest = Digest(header + offset, length);
    if (!std::equal(dataDigest.begin(), dataDigest.end(), entry + 72))
      Fail(kMessageData, name);
    previousEnd = std::uint64_t(offset) + length;
    m_entries.push_back(Entry{name, offset, length});
  }
  m_bytes.assign(bytes.begin(), bytes.end());
}

const MStylePackage::Entry* MStylePackage::FindEntry(const MString& name) const
{
  for (const Entry& entry : m_entries)
    if (entry.name == name)
      return &entry;
  return nullptr;
}

std::span<const std::uint8_t> MStylePackage::Get(const MString& name) const
{
  const Entry* entry = FindEntry(name);
  if (entry == nullptr)
    Fail(kMessageMissing, name);
  return std::span<const std::uint8_t>(m_bytes.data() + entry->offset, entry->size);
}

std::vector<std::uint8_t> MStylePackage::Build(const std::vector<Source>& sources)
{
  if (sources.empty() || sources.size() > kMaxEntries)
    throw MException(MFormat::Format(MString::FromLiteral(kMessageEntryCount), std::int64_t(sources.size())));
  std::uint64_t total = kHeaderBytes + std::uint64_t(sources.size()) * kEntryBytes;
  std::set<std::string> names;
  for (const Source& source : sources)
  {
    if (!IsValidName(source.name))
      Fail(kMessageEntryName);
    if (!names.insert(source.name.ToNarrow()).second)
      Fail(kMessageDuplicate, source.name);
    total += source.data.size();
    if (total > kMaxPackageBytes)
      Fail(kMessageTooLarge);
  }

  std::vector<std::uint8_t> bytes(std::size_t(total), 0);
  std::copy(kMagic.begin(), kMagic.end(), bytes.begin());
  WriteU32(bytes.data() + 8, kVersion);
  WriteU32(bytes.data() + 12, std::uint32_t(sources.size()));
  WriteU64(bytes.data() + 16, total);
  std::uint8_t* table = bytes.data() + kHeaderBytes;
  std::size_t offset = kHeaderBytes + sources.size() * kEntryBytes;
  for (std::size_t i = 0; i < sources.size(); ++i)
  {
    std::uint8_t* entry = table + i * kEntryBytes;
    const std::string name = sources[i].name.ToNarrow();
    std::memcpy(entry, name.data(), name.size());
    WriteU32(entry + 64, std::uint32_t(offset));
    WriteU32(entry + 68, std::uint32_t(sources[i].data.size()));
    const std::vector<std::uint8_t> digest = Digest(sources[i].data.data(), sources[i].data.size());
    std::copy(digest.begin(), digest.end(), entry + 72);
    std::copy(sources[i].data.begin(), sources[i].data.end(), bytes.begin() + std::ptrdiff_t(offset));
    offset += sources[i].data.size();
  }
  const std::vector<std::uint8_t> tableDigest = Digest(table, sources.size() * kEntryBytes);
  std::copy(tableDigest.begin(), tableDigest.end(), bytes.begin() + 24);
  return bytes;
}
