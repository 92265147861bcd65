#pragma once
// Pass-through stream that digests the data going through it.
//
// Data written are digested and, when a target stream is given, written on to it; data read are
// read from the target (a source then) and digested too. Subclasses supply the digest
// (MMD5Stream computes MD5). GetDigest ends the digest; later data start a new one.
// The target is not owned and must outlive this stream.

#include "base/MStream.h"

#include <cstdint>
#include <vector>

class MHashStream : public MStream
{
public:
  /// `target` may be nullptr: the stream then only digests what is written.
  explicit MHashStream(MStream* target = nullptr) : m_target(target) {}

  MStream* ReturnSubstream() override { return m_target; }
  void Write(const void* buffer, std::size_t byteCount) override;
  /// Reads from the target (throws when there is none) and digests what arrived.
  std::size_t Read(void* buffer, std::size_t byteCount) override;
  /// Flushes the target, if any.
  void Flush() override;
  /// Bytes digested since the digest (re)started.
  std::int64_t GetPosition() override { return m_digested; }

  /// Ends the digest of everything passed since the start (or the previous GetDigest) and answers
  /// it; the next byte starts a new digest.
  std::vector<std::uint8_t> GetDigest();
  /// GetDigest as lower-case hexadecimal text.
  MString GetDigestText();

protected:
  /// Adds bytes to the digest.
  virtual void Update(const std::uint8_t* bytes, std::size_t byteCount) = 0;
  /// Ends the digest, answers it and restarts.
  virtual std::vector<std::uint8_t> Finalize() = 0;

private:
  MStream* m_target;
  std::int64_t m_digested = 0;
};
