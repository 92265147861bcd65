#include "base/MZLibStream.h"

#include "base/MStreamFailure.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <exception>

namespace
{
constexpr std::size_t kPiece = 4096;

void ReportToStandardError(const char* message)
{
  std::fprintf(stderr, "%s\n", message);
}

MZLibStream::UsageErrorReporter s_usageErrorReporter = &ReportToStandardError;
} // namespace

struct MZLibStream::State
{
  z_stream stream{};
  unsigned char buffer[kPiece];
  std::size_t pending = 0; // writing: compressed bytes waiting in buffer
  std::uint64_t total = 0; // uncompressed bytes passed so far
  std::uint64_t outputLimit = 0;
  bool ended = false; // reading: the end of the compressed data was reached
};

MZLibStream::MZLibStream(MStream& target, Direction direction, int quality, std::uint64_t outputLimit)
    : m_target(target), m_direction(direction), m_state(std::make_unique<State>()),
      m_uncaughtAtConstruction(std::uncaught_exceptions())
{
  m_state->outputLimit = outputLimit;
  if (direction == Direction::Writing)
  {
    if (deflateInit(&m_state->stream, LevelForQuality(quality)) != Z_OK)
      MStreamFailure::Throw("Could not initialize deflating.");
  }
  else
  {
    if (inflateInit(&m_state->stream) != Z_OK)
      MStreamFailure::Throw("Could not initialize inflating.");
  }
}

MZLibStream::~MZLibStream()
{
  if (m_direction == Direction::Writing)
  {
    // Leaving without Finish loses the end of the data. The destructor must not throw, and
    // while an exception unwinds the caller already knows that the data are incomplete.
    if (!m_finished && std::uncaught_exceptions() == m_uncaughtAtConstruction)
      s_usageErrorReporter("ZLIB stream has not been terminated.");
    if (!m_finished)
      deflateEnd(&m_state->stream);
  }
  else
  {
    inflateEnd(&m_state->stream);
  }
}

int MZLibStream::LevelForQuality(int quality)
{
  return std::clamp((quality - 1) / 10, 0, 9);
}

MZLibStream::UsageErrorReporter MZLibStream::SetUsageErrorReporter(UsageErrorReporter reporter)
{
  const UsageErrorReporter previous = s_usageErrorReporter;
  s_usageErrorReporter = reporter != nullptr ? reporter : &ReportToStandardError;
  return previous;
}

void MZLibStream::Deflate(int flush)
{
  State& state = *m_state;
  for (;;)
  {
    state.stream.next_out = state.buffer + state.pending;
    state.stream.avail_out = static_cast<uInt>(kPiece - state.pending);
    const int result = deflate(&state.stream, flush);
    if (result == Z_STREAM_ERROR)
      MStreamFailure::Throw("Could not compress data.");
    state.pending = kPiece - state.stream.avail_out;
    const bool full = state.stream.avail_out == 0;
    if (full || (flush != Z_NO_FLUSH && state.pending > 0))
    {
      m_target.Write(state.buffer, state.pending);
      state.pending = 0;
    }
    if (flush == Z_FINISH)
    {
      if (result == Z_STREAM_END)
        return;
      if (result == Z_BUF_ERROR && !full)
        MStreamFailure::Throw("Could not compress data.");
      continue; // the compressor still holds data: another piece of at most 4096 bytes
    }
    // No flush requested: stop once the input is consumed and the buffer had room left.
    // A sync flush is complete when deflate left room in the buffer.
    if (state.stream.avail_in == 0 && !full)
      return;
  }
}

void MZLibStream::Write(const void* buffer, std::size_t byteCount)
{
  if (m_direction != Direction::Writing || m_finished)
    ThrowNotImplemented("write to stream");
  State& state = *m_state;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (byteCount > 0)
  {
    const std::size_t piece = std::min<std::size_t>(byteCount, UINT_MAX);
    state.stream.next_in = const_cast<Bytef*>(bytes);
    state.stream.avail_in = static_cast<uInt>(piece);
    Deflate(Z_NO_FLUSH);
    bytes += piece;
    byteCount -= piece;
    state.total += piece;
  }
}

void MZLibStream::Finish()
{
  if (m_direction != Direction::Writing || m_finished)
    return;
  State& state = *m_state;
  state.stream.next_in = nullptr;
  state.stream.avail_in = 0;
  // Bytes still waiting from earlier writes go first, so each later piece is at most 4096.
  if (state.pending > 0)
  {
    m_target.Write(state.buffer, state.pending);
    state.pending = 0;
  }
  Deflate(Z_FINISH);
  m_finished = true;
  deflateEnd(&state.stream);
}

void MZLibStream::Flush()
{
  if (m_direction != Direction::Writing || m_finished)
    return;
  m_state->stream.next_in = nullptr;
  m_state->stream.avail_in = 0;
  Deflate(Z_SYNC_FLUSH);
}

std::size_t MZLibStream::Read(void* buffer, std::size_t byteCount)
{
  if (m_direction != Direction::Reading)
    ThrowNotImplemented("read from stream");
  State& state = *m_state;
  if (state.ended || byteCount == 0)
    return 0;
  // Never produce more than one byte beyond the limit, so a bomb is caught without inflating it.
  const std::uint64_t allowed = state.outputLimit - std::min(state.total, state.outputLimit) + 1;
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>({byteCount, allowed, UINT_MAX}));
  state.stream.next_out = static_cast<Bytef*>(buffer);
  state.stream.avail_out = static_cast<uInt>(wanted);
  while (state.stream.avail_out > 0)
  {
    if (state.stream.avail_in == 0)
    {
      const std::size_t got = m_target.Read(state.buffer, kPiece);
      if (got == 0)
        MStreamFailure::Throw("Source compressed stream is truncated.");
      state.stream.next_in = state.buffer;
      state.stream.avail_in = static_cast<uInt>(got);
    }
    const int result = inflate(&state.stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END)
    {
      state.ended = true;
      break;
    }
    if (result != Z_OK && result != Z_BUF_ERROR)
      MStreamFailure::Throw("Source compressed stream has invalid content.");
  }
  const std::size_t produced = wanted - state.stream.avail_out;
  state.total += produced;
  if (state.total > state.outputLimit)
    MStreamFailure::Throw("Decompressed data exceed the size limit.");
  return produced;
}

bool MZLibStream::IsEndOfStream()
{
  if (m_direction != Direction::Reading)
    return false;
  return m_state->ended;
}

std::int64_t MZLibStream::GetPosition()
{
  return static_cast<std::int64_t>(m_state->total);
}
