#include "base/MBufferingStream.h"

#include "base/MStreamFailure.h"

#include <algorithm>
#include <cstring>

MBufferingStream::~MBufferingStream()
{
  try
  {
    Close();
  }
  catch (...)
  {
    // A destructor must not throw; Close is the place to learn about a failed last write.
  }
}

void MBufferingStream::Open(MStream& underlying, Direction direction, std::size_t blockSize,
                            BlockModificationProcessor* processor)
{
  Close();
  m_blockSize = blockSize > 0 ? blockSize : kDefaultBlockSize;
  m_block.assign(m_blockSize, 0);
  m_underlying = &underlying;
  m_processor = processor;
  m_direction = direction;
  m_used = 0;
  m_consumed = 0;
  m_sourceEnded = false;
  m_position = 0;
}

void MBufferingStream::Close()
{
  if (m_underlying == nullptr)
    return;
  if (m_direction == Direction::Writing)
    Flush();
  m_underlying = nullptr;
}

MStream& MBufferingStream::Underlying() const
{
  if (m_underlying == nullptr)
    MStreamFailure::Throw("Buffering stream has not been initialized.");
  return *m_underlying;
}

MStream* MBufferingStream::ReturnSubstream()
{
  return &Underlying();
}

void MBufferingStream::Write(const void* buffer, std::size_t byteCount)
{
  MStream& underlying = Underlying();
  if (m_direction != Direction::Writing)
    ThrowNotImplemented("write to stream");
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  while (byteCount > 0)
  {
    const std::size_t piece = std::min(byteCount, m_blockSize - m_used);
    std::memcpy(m_block.data() + m_used, bytes, piece);
    m_used += piece;
    bytes += piece;
    byteCount -= piece;
    m_position += static_cast<std::int64_t>(piece);
    if (m_used == m_blockSize)
    {
      if (m_processor != nullptr)
        m_processor->ModifyBlock(m_block.data(), m_used, true);
      underlying.Write(m_block.data(), m_used);
      m_used = 0;
    }
  }
}

void MBufferingStream::Flush()
{
  MStream& underlying = Underlying();
  if (m_direction != Direction::Writing || m_used == 0)
    return;
  if (m_processor != nullptr)
    m_processor->ModifyBlock(m_block.data(), m_used, true);
  const std::size_t count = m_used;
  m_used = 0;
  underlying.Write(m_block.data(), count);
}

bool MBufferingStream::FillBlock()
{
  if (m_sourceEnded)
    return false;
  m_used = Underlying().ReadFully(m_block.data(), m_blockSize);
  m_consumed = 0;
  if (m_used < m_blockSize)
    m_sourceEnded = true;
  if (m_used == 0)
    return false;
  if (m_processor != nullptr)
    m_processor->ModifyBlock(m_block.data(), m_used, false);
  return true;
}

std::size_t MBufferingStream::Read(void* buffer, std::size_t byteCount)
{
  Underlying();
  if (m_direction != Direction::Reading)
    ThrowNotImplemented("read from stream");
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::size_t total = 0;
  while (total < byteCount)
  {
    if (m_consumed == m_used && !FillBlock())
      break;
    const std::size_t piece = std::min(byteCount - total, m_used - m_consumed);
    std::memcpy(bytes + total, m_block.data() + m_consumed, piece);
    m_consumed += piece;
    total += piece;
  }
  m_position += static_cast<std::int64_t>(total);
  return total;
}

bool MBufferingStream::IsEndOfStream()
{
  Underlying();
  if (m_direction != Direction::Reading)
    return false;
  if (m_consumed < m_used)
    return false;
  return !FillBlock();
}

std::int64_t MBufferingStream::GetPosition()
{
  Underlying();
  return m_position;
}
