#pragma once
// zlib (RFC 1950) compression or decompression on top of another stream.
//
// The direction is fixed at construction. The target stream is not owned and must outlive this
// one.
//
// Writing: the quality 0..100 maps to the compression level (quality - 1) / 10 (integer
// division) clamped to 0..9, so 100 gives level 9 and 0 or 1 give level 0 (stored, no
// compression). Data written is compressed into an internal buffer whose full pieces go to the
// target. Finish must be called once at the end: it flushes the compressor in pieces of at most
// 4096 bytes. Destroying a writing stream that was not finished is a usage error: the destructor
// reports "ZLIB stream has not been terminated." through the usage-error reporter (it never
// throws), unless the stream is destroyed while an exception unwinds.
//
// Reading: compressed bytes are pulled from the source as needed. Input that is hostile or
// damaged ends in MException, never in a crash or unbounded memory:
//   corrupt data      "Source compressed stream has invalid content."
//   data cut short    "Source compressed stream is truncated."
//   too much output   "Decompressed data exceed the size limit." (the limit defaults to 16 MiB)
// Bytes that follow the end of the compressed data are ignored.
//
// Messages at construction: "Could not initialize deflating.", "Could not initialize inflating.".
// Main thread or worker threads only (allocates).

#include "base/MStream.h"

#include <cstdint>
#include <memory>

class MZLibStream : public MStream
{
public:
  enum class Direction
  {
    Writing, ///< compress what is written into the target
    Reading, ///< decompress what the source holds
  };

  /// Default cap of the decompressed size: host state and presets are far smaller.
  static constexpr std::uint64_t kDefaultOutputLimit = 16u << 20;

  /// Receives usage errors that cannot be thrown (from destructors). Default: standard error.
  using UsageErrorReporter = void (*)(const char* message);

  /// `quality` applies to writing only. `outputLimit` applies to reading only.
  MZLibStream(MStream& target, Direction direction, int quality = 100,
              std::uint64_t outputLimit = kDefaultOutputLimit);
  ~MZLibStream() override;

  MZLibStream(const MZLibStream&) = delete;
  MZLibStream& operator=(const MZLibStream&) = delete;

  /// The compression level that a quality maps to.
  static int LevelForQuality(int quality);

  /// Replaces the usage-error reporter (process-wide); nullptr restores the default. Answers the
  /// previous one. Meant for start-up and tests.
  static UsageErrorReporter SetUsageErrorReporter(UsageErrorReporter reporter);

  /// Ends the compressed data and writes what remains to the target. Writing streams only; a
  /// second call does nothing.
  void Finish();

  MStream* ReturnSubstream() override { return &m_target; }
  void Write(const void* buffer, std::size_t byteCount) override;
  std::size_t Read(void* buffer, std::size_t byteCount) override;
  /// Writing: flushes the compressor (a sync point) so that all data written so far reaches the
  /// target. Reading streams do nothing.
  void Flush() override;
  /// Reading: true once the end of the compressed data has been reached.
  bool IsEndOfStream() override;
  /// Uncompressed bytes written or read so far.
  std::int64_t GetPosition() override;

private:
  struct State;

  void Deflate(int flush);

  MStream& m_target;
  Direction m_direction;
  std::unique_ptr<State> m_state;
  bool m_finished = false;
  int m_uncaughtAtConstruction = 0;
};
