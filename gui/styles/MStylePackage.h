#pragma once
// MStylePackage: the container of the style package "mstyle.mrf" (state bitmaps as PNG plus the
// definition XML of each style), embedded into the library as the resource "mstyle" and written
// at build time by tools/stylegen.
//
// Container layout (every integer little-endian, offsets from the first byte):
//
//   header, 48 bytes
//     0   magic      8 bytes  "MSTYLE\r\n" (4D 53 54 59 4C 45 0D 0A; the CR LF catches text-mode
//                              mangling of the file)
//     8   version    u32      kVersion (1)
//     12  count      u32      number of entries, 1 .. kMaxEntries
//     16  total      u64      size of the whole package in bytes; must equal the input size
//     24  tableMD5   16 bytes MD5 of the entry table (count × 96 bytes)
//     40  reserved   8 bytes  zero
//   entry table, count × 96 bytes, right after the header
//     0   name       64 bytes ASCII, zero-padded; 1 .. 63 characters of [A-Za-z0-9._/-], no "..",
//                              no leading "/"; unique under exact comparison
//     64  offset     u32      first byte of the data
//     68  size       u32      data size in bytes (0 allowed)
//     72  dataMD5    16 bytes MD5 of the data
//     88  reserved   8 bytes  zero
//   data: each entry's bytes, in table order, not overlapping, inside [header + table, total)
//
// Limits: the package is at most kMaxPackageBytes and holds at most kMaxEntries entries.
//
// Names inside the package (the generator's layout, read by MTexturedStyle):
//   "index.xml"            the package index: <stylepackage default="Default"> with one
//                          <style name="..." definition="<folder>/style.xml"/> per style
//   "<folder>/style.xml"   the style definition (element and attribute names: MStyleDefinition.h)
//   "<folder>/<file>.png"  the bitmaps a definition names, relative to its own folder
//
// Failure: the constructor checks everything above (sizes before any read, so nothing is read out
// of bounds) and throws MException with one of the kMessage* texts; a package that constructs is
// sound. Threads: any thread; a constructed package is immutable.

#include "base/MString.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class MStylePackage
{
public:
  static constexpr std::uint32_t kVersion = 1;
  static constexpr std::size_t kHeaderBytes = 48;
  static constexpr std::size_t kEntryBytes = 96;
  static constexpr std::size_t kNameBytes = 64;
  static constexpr std::uint32_t kMaxEntries = 4096;
  static constexpr std::uint64_t kMaxPackageBytes = 64u << 20;
  static constexpr std::array<std::uint8_t, 8> kMagic{0x4D, 0x53, 0x54, 0x59, 0x4C, 0x45, 0x0D, 0x0A};

  /// Resource name under which the package is embedded, and the file name it is built as.
  static constexpr const char* kResourceName = "mstyle";
  static constexpr const char* kFileName = "mstyle.mrf";
  /// Name of the package index entry.
  static constexpr const char* kIndexName = "index.xml";

  // Messages of the reader.
  static constexpr const char* kMessageTruncated = "The style package is truncated.";
  static constexpr const char* kMessageNotAPackage = "The data is not a style package.";
  static constexpr const char* kMessageVersion = "The style package version {0} is not supported.";
  static constexpr const char* kMessageTooLarge = "The style package is too large.";
  static constexpr const char* kMessageEntryCount = "The style package entry count {0} is not valid.";
  static constexpr const char* kMessageTable = "The entry table of the style package is damaged.";
  static constexpr const char* kMessageEntryName = "The style package holds an invalid entry name.";
  static constexpr const char* kMessageDuplicate = "The style package holds the entry \"{0}\" twice.";
  static constexpr const char* kMessageBounds = "The style package entry \"{0}\" lies outside its data.";
  static constexpr const char* kMessageData = "The data of the style package entry \"{0}\" is damaged.";
  static constexpr const char* kMessageMissing = "The style package holds no entry \"{0}\".";

  struct Entry
  {
    MString name;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
  };

  /// An empty package (no entries); Find answers nothing.
  MStylePackage() = default;
  /// Checks `bytes` completely (layout, bounds, names, both digests) and keeps a copy.
  /// Throws MException (kMessage*) on any fault. Allocates.
  explicit MStylePackage(std::span<const std::uint8_t> bytes);

  const std::vector<Entry>& GetEntries() const { return m_entries; }
  bool Has(const MString& name) const { return FindEntry(name) != nullptr; }
  /// Data of the entry of that exact name; throws kMessageMissing when there is none. The span
  /// lives as long as the package.
  std::span<const std::uint8_t> Get(const MString& name) const;
  /// Entry of that exact name, or nullptr.
  const Entry* FindEntry(const MString& name) const;

  /// Whether `name` is a valid entry name (see the layout above).
  static bool IsValidName(const MString& name);

  /// Builds a package from (name, data) pairs in the given order. Throws kMessageEntryName,
  /// kMessageDuplicate, kMessageEntryCount or kMessageTooLarge when the input breaks a rule.
  /// Deterministic: the same input always gives the same bytes.
  struct Source
  {
    MString name;
    std::vector<std::uint8_t> data;
  };
  static std::vector<std::uint8_t> Build(const std::vector<Source>& sources);

  /// The package embedded in the library as resource kResourceName; empty when the build embedded
  /// none. Defined by the generated resource source (or a stub where no package is embedded).
  static std::span<const std::uint8_t> GetEmbeddedBytes();
  /// The bytes of a resource of the library by name: GetEmbeddedBytes() for kResourceName, empty
  /// for any other name. (MStyleResource.cpp; the container code never refers to the embedded
  /// bytes, so stylegen links it without them.)
  static std::span<const std::uint8_t> FindResource(const MString& name);

private:
  std::vector<std::uint8_t> m_bytes;
  std::vector<Entry> m_entries;
};
