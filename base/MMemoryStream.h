#pragma once
// Growable in-memory byte stream.
//
// The bytes live in a shared, reference-counted Buffer that may outlive the stream: the host-state
// code writes the plug-in state into a memory stream, keeps GetBuffer() and hands its data pointer
// to the host, which may read it after the stream is gone. Several streams may share one buffer;
// they then see each other's writes (each keeps its own position).
//
// Position rules: seeking supports all three origins; a position below 0 throws "Invalid seek
// position."; a position past the end is allowed: reading there answers 0 bytes and writing
// there first fills the gap with zeros. Truncate cuts the data at the position.
// Main thread or worker threads only (allocates).

#include "base/MStream.h"

#include <cstdint>
#include <memory>
#include <vector>

class MMemoryStream : public MStream
{
public:
  /// The shared byte block {reference count (the shared_ptr's), data, size}.
  class Buffer
  {
  public:
    const std::uint8_t* GetData() const { return m_bytes.data(); }
    std::uint8_t* GetData() { return m_bytes.data(); }
    std::size_t GetSize() const { return m_bytes.size(); }

    /// Resizes to `size` bytes, new bytes zero; capacity grows in powers of two.
    void Resize(std::size_t size);

  private:
    std::vector<std::uint8_t> m_bytes;
  };

  /// An empty stream on a new buffer.
  MMemoryStream();
  /// A stream on a new buffer holding a copy of `byteCount` bytes, positioned at the start.
  MMemoryStream(const void* data, std::size_t byteCount);
  /// A stream on an existing buffer (shared, not copied), positioned at the start.
  explicit MMemoryStream(std::shared_ptr<Buffer> buffer);

  /// The buffer, to keep the bytes beyond the stream's life.
  const std::shared_ptr<Buffer>& GetBuffer() const { return m_buffer; }

  MStream* ReturnSubstream() override { return nullptr; }
  void Write(const void* buffer, std::size_t byteCount) override;
  std::size_t Read(void* buffer, std::size_t byteCount) override;
  void Seek(std::int64_t offset, int origin) override;
  std::int64_t GetPosition() override { return static_cast<std::int64_t>(m_position); }
  void Flush() override {}
  bool IsEndOfStream() override { return m_position >= m_buffer->GetSize(); }
  void Truncate() override;
  std::int64_t GetSize() override { return static_cast<std::int64_t>(m_buffer->GetSize()); }

private:
  std::shared_ptr<Buffer> m_buffer;
  std::size_t m_position = 0;
};
