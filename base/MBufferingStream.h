#pragma once
// Buffers the reads or the writes of an underlying stream in blocks, and may pass every block
// through a BlockModificationProcessor (a block cipher or checksum, say) on its way.
//
// The direction is chosen by Open. Reading fills a block from the underlying stream (looping
// over short reads), lets the processor modify it and hands it out; writing collects a block,
// lets the processor modify it and writes it out. The last block may be shorter than the block
// size. Using the stream before Open throws "Buffering stream has not been initialized.".
// The underlying stream and the processor are not owned and must outlive the stream.
// Main thread or worker threads only (allocates in Open).

#include "base/MStream.h"

#include <cstdint>
#include <vector>

class MBufferingStream : public MStream
{
public:
  /// Modifies blocks in place on their way through a buffering stream.
  class BlockModificationProcessor
  {
  public:
    virtual ~BlockModificationProcessor() = default;
    /// Called once per block, in stream order. `writing` tells the direction. `size` is the
    /// block size, or less for the last block.
    virtual void ModifyBlock(std::uint8_t* block, std::size_t size, bool writing) = 0;
  };

  enum class Direction
  {
    Reading,
    Writing,
  };

  static constexpr std::size_t kDefaultBlockSize = 4096;

  MBufferingStream() = default;
  /// Writes a pending block; errors are swallowed here, so call Close to see them.
  ~MBufferingStream() override;

  MBufferingStream(const MBufferingStream&) = delete;
  MBufferingStream& operator=(const MBufferingStream&) = delete;

  /// Starts buffering `underlying` (closing an earlier one first). A block size of 0 means the
  /// default.
  void Open(MStream& underlying, Direction direction, std::size_t blockSize = kDefaultBlockSize,
            BlockModificationProcessor* processor = nullptr);
  /// Writes a pending block (writing) and detaches from the underlying stream.
  void Close();
  bool IsOpen() const { return m_underlying != nullptr; }

  MStream* ReturnSubstream() override;
  void Write(const void* buffer, std::size_t byteCount) override;
  std::size_t Read(void* buffer, std::size_t byteCount) override;
  /// Writing: writes the pending partial block (processed) to the underlying stream.
  void Flush() override;
  bool IsEndOfStream() override;
  /// Bytes passed through this stream so far.
  std::int64_t GetPosition() override;

private:
  MStream& Underlying() const;
  bool FillBlock();

  MStream* m_underlying = nullptr;
  BlockModificationProcessor* m_processor = nullptr;
  Direction m_direction = Direction::Reading;
  std::vector<std::uint8_t> m_block;
  std::size_t m_blockSize = 0;
  std::size_t m_used = 0;     // writing: bytes collected; reading: bytes in the block
  std::size_t m_consumed = 0; // reading: bytes of the block already handed out
  bool m_sourceEnded = false;
  std::int64_t m_position = 0;
};
