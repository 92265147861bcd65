#pragma once
// Hexadecimal text on top of another stream.
//
// Writing turns each byte into two upper-case digits from "0123456789ABCDEF", high nibble first,
// with no separators or line breaks, and passes the text on in pieces of at most 256 characters
// (128 bytes). Reading takes the text in pieces of at most 256 characters and turns each pair of
// digits into one byte, high nibble first; digits are 0-9, A-F and a-f, and any other character
// throws "Invalid character in hexadecimal text.". A trailing odd digit is dropped; reading
// stops when the underlying stream has no more text.
// The underlying stream is not owned and must outlive this one.

#include "base/MStream.h"

class MHexaStream : public MStream
{
public:
  explicit MHexaStream(MStream& underlying) : m_underlying(underlying) {}

  MStream* ReturnSubstream() override { return &m_underlying; }
  void Write(const void* buffer, std::size_t byteCount) override;
  std::size_t Read(void* buffer, std::size_t byteCount) override;
  /// Flushes the underlying stream.
  void Flush() override { m_underlying.Flush(); }

private:
  MStream& m_underlying;
  bool m_ended = false;
};
