#include "base/MMemoryStream.h"

#include "base/MStreamFailure.h"

#include <algorithm>
#include <bit>
#include <cstring>

void MMemoryStream::Buffer::Resize(std::size_t size)
{
  if (size > m_bytes.capacity())
    m_bytes.reserve(std::bit_ceil(size));
  m_bytes.resize(size, 0);
}

MMemoryStream::MMemoryStream() : m_buffer(std::make_shared<Buffer>()) {}

MMemoryStream::MMemoryStream(const void* data, std::size_t byteCount) : m_buffer(std::make_shared<Buffer>())
{
  m_buffer->Resize(byteCount);
  if (byteCount > 0)
    std::memcpy(m_buffer->GetData(), data, byteCount);
}

MMemoryStream::MMemoryStream(std::shared_ptr<Buffer> buffer)
    : m_buffer(buffer ? std::move(buffer) : std::make_shared<Buffer>())
{}

void MMemoryStream::Write(const void* buffer, std::size_t byteCount)
{
  if (byteCount == 0)
    return;
  const std::size_t end = m_position + byteCount;
  if (end < m_position)
    MStreamFailure::Throw("Invalid seek position.");
  if (end > m_buffer->GetSize())
    m_buffer->Resize(end);
  std::memcpy(m_buffer->GetData() + m_position, buffer, byteCount);
  m_position = end;
}

std::size_t MMemoryStream::Read(void* buffer, std::size_t byteCount)
{
  const std::size_t size = m_buffer->GetSize();
  if (m_position >= size)
    return 0;
  const std::size_t count = std::min(byteCount, size - m_position);
  if (count > 0)
    std::memcpy(buffer, m_buffer->GetData() + m_position, count);
  m_position += count;
  return count;
}

void MMemoryStream::Seek(std::int64_t offset, int origin)
{
  std::int64_t base = 0;
  switch (origin)
  {
  case kSeekFromStart:
    base = 0;
    break;
  case kSeekFromCurrent:
    base = static_cast<std::int64_t>(m_position);
    break;
  case kSeekFromEnd:
    base = static_cast<std::int64_t>(m_buffer->GetSize());
    break;
  default:
    MStreamFailure::Throw("Invalid seek origin.");
  }
  // Both terms are far below 2^62 in practice; reject what would overflow or go negative.
  if ((offset < 0 && base + offset < 0) || (offset > 0 && offset > INT64_MAX - base))
    MStreamFailure::Throw("Invalid seek position.");
  m_position = static_cast<std::size_t>(base + offset);
}

void MMemoryStream::Truncate()
{
  if (m_position < m_buffer->GetSize())
    m_buffer->Resize(m_position);
}
