#pragma once
// Character codecs of the XML reader and writer.
//
// A codec turns bytes into Unicode code points and back, one character at a time, and reads or
// writes the byte-order mark of its encoding. Codecs are stateless singletons: GetCodec answers
// a reference that lives for the whole program.
//
// Names accepted by GetCodec (all compared with the name folding of MString::CompareNames):
//   "utf8", "utf-8"                       UTF8Codec
//   "utf16", "utf-16"                     UTF16Codec (little-endian, mark FF FE)
//   code-page table (names separated by ";"):
//     "us-ascii;ascii"                    ASCIICodec
//     "windows-1252;cp1252"               TableCodec, Western European Windows code page
//     "iso-8859-1;latin1;latin-1"         TableCodec, Latin-1
// Any other name throws MException "No codec found for encoding <name>.".
//
// Decoding hostile input never reads past the bytes given; malformed sequences throw MException
// ("Invalid UTF-8 sequence.", "Invalid UTF-16 sequence.", "Invalid character for ASCII
// encoding."). Thread-safe (no state).

#include "base/MString.h"

#include <cstddef>
#include <cstdint>

class MStream;

class MEncoding
{
public:
  class Codec
  {
  public:
    virtual ~Codec() = default;
    /// Decodes the character at the start of `bytes` (`available` bytes readable). Answers the
    /// bytes it took, or 0 when the character needs more bytes than are available.
    virtual std::size_t Decode(const std::uint8_t* bytes, std::size_t available,
                               char32_t& character) const = 0;
    /// Encodes one code point into `bytes` (room for GetMaxCharSize() bytes). Answers the count,
    /// or 0 when the encoding cannot represent the character.
    virtual std::size_t Encode(char32_t character, std::uint8_t* bytes) const = 0;
    /// Checks the mark at the start of `bytes` (at least kMaxHeaderSize readable unless the input
    /// ends sooner) and answers its length; throws when a required mark is missing.
    virtual std::size_t ReadHeader(const std::uint8_t* bytes, std::size_t available) const;
    /// Writes the mark, if the encoding has one.
    virtual void WriteHeader(MStream& stream) const;
    virtual std::size_t GetMinCharSize() const = 0;
    virtual std::size_t GetMaxCharSize() const = 0;
    /// The canonical name of the encoding ("utf-8", "utf-16", "windows-1252", ...).
    virtual MString GetName() const = 0;
  };

  class ASCIICodec;
  class UTF8Codec;
  class UTF16Codec;
  class TableCodec;

  static constexpr std::size_t kMaxHeaderSize = 4;

  /// The codec of that encoding name; throws "No codec found for encoding <name>.".
  static const Codec& GetCodec(const MString& name);
};

class MEncoding::ASCIICodec : public MEncoding::Codec
{
public:
  std::size_t Decode(const std::uint8_t* bytes, std::size_t available, char32_t& character) const override;
  std::size_t Encode(char32_t character, std::uint8_t* bytes) const override;
  std::size_t GetMinCharSize() const override { return 1; }
  std::size_t GetMaxCharSize() const override { return 1; }
  MString GetName() const override { return "us-ascii"; }
};

class MEncoding::UTF8Codec : public MEncoding::Codec
{
public:
  /// Strict: overlong forms, surrogates and values above U+10FFFF are rejected.
  std::size_t Decode(const std::uint8_t* bytes, std::size_t available, char32_t& character) const override;
  std::size_t Encode(char32_t character, std::uint8_t* bytes) const override;
  std::size_t GetMinCharSize() const override { return 1; }
  std::size_t GetMaxCharSize() const override { return 4; }
  MString GetName() const override { return "utf-8"; }
};

class MEncoding::UTF16Codec : public MEncoding::Codec
{
public:
  /// Little-endian; surrogate pairs combine, a lone surrogate is rejected.
  std::size_t Decode(const std::uint8_t* bytes, std::size_t available, char32_t& character) const override;
  std::size_t Encode(char32_t character, std::uint8_t* bytes) const override;
  /// Requires FF FE; otherwise throws "Invalid UTF8 header." (the message the format has always
  /// carried for this case).
  std::size_t ReadHeader(const std::uint8_t* bytes, std::size_t available) const override;
  void WriteHeader(MStream& stream) const override;
  std::size_t GetMinCharSize() const override { return 2; }
  std::size_t GetMaxCharSize() const override { return 4; }
  MString GetName() const override { return "utf-16"; }
};

/// An 8-bit code page: bytes 0..127 are ASCII, bytes 128..255 map through a table.
class MEncoding::TableCodec : public MEncoding::Codec
{
public:
  /// `names`: the accepted names separated by ";" (the first is canonical); `upperHalf`: the
  /// code points of bytes 128..255. Both must live for the whole program.
  TableCodec(const char* names, const char16_t* upperHalf) : m_names(names), m_upperHalf(upperHalf) {}

  std::size_t Decode(const std::uint8_t* bytes, std::size_t available, char32_t& character) const override;
  std::size_t Encode(char32_t character, std::uint8_t* bytes) const override;
  std::size_t GetMinCharSize() const override { return 1; }
  std::size_t GetMaxCharSize() const override { return 1; }
  MString GetName() const override;
  /// True when `name` is one of the accepted names.
  bool Accepts(const MString& name) const;

private:
  const char* m_names;
  const char16_t* m_upperHalf;
};
