#pragma once
// Streams for the stream suites: the bytes a memory stream holds, and a stream that implements
// only Read and hands out at most `piece` bytes per call, like a pipe, so that what is built on
// Read alone must cope with short reads.

#include "base/MMemoryStream.h"
#include "base/MStream.h"

#include <algorithm>
#include <cstring>
#include <string>

inline std::string BytesOf(const MMemoryStream& stream)
{
  const auto& buffer = *stream.GetBuffer();
  return {reinterpret_cast<const char*>(buffer.GetData()), buffer.GetSize()};
}

class MShortReadStream : public MStream
{
public:
  explicit MShortReadStream(std::string bytes, std::size_t piece = 1)
      : m_bytes(std::move(bytes)), m_piece(piece)
  {}

  std::size_t Read(void* buffer, std::size_t byteCount) override
  {
    const std::size_t count = std::min({byteCount, m_piece, m_bytes.size() - m_position});
    std::memcpy(buffer, m_bytes.data() + m_position, count);
    m_position += count;
    return count;
  }
  std::size_t Position() const { return m_position; }

private:
  std::string m_bytes;
  std::size_t m_piece;
  std::size_t m_position = 0;
};
