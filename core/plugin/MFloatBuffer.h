#pragma once
// Growable sample buffers of the block driver.
//
// MFloatBuffer only grows, to the next power of two of the requested length once it exceeds 2,
// and keeps its storage until destroyed, so a driver that has seen its largest block size no
// longer allocates. MDelayLine is a fixed-length delay (ring buffer) for one channel.
//
// Not thread-safe; the owner serialises access (the plug-in's buffer lock). Ensure and
// Configure allocate; everything else is allocation-free and safe on the audio thread.

#include <cstddef>
#include <cstdint>
#include <memory>

class MFloatBuffer
{
public:
  /// Makes room for at least `samples` floats (existing content is not kept when it grows).
  /// Returns the storage. Throws std::bad_alloc when memory runs out.
  float* Ensure(std::int32_t samples);
  /// As Ensure, then sets the first `samples` floats to zero.
  float* EnsureZeroed(std::int32_t samples);

  float* Data() const noexcept { return m_data.get(); }
  std::int32_t Capacity() const noexcept { return m_capacity; }

  /// Capacity rule shared by every growable array of the driver: n itself up to 2, else the next
  /// power of two not below n.
  static std::int32_t CapacityFor(std::int32_t count) noexcept;

private:
  std::unique_ptr<float[]> m_data;
  std::int32_t m_capacity = 0;
};

class MDelayLine
{
public:
  /// Sets the delay in samples (0: pass through) and clears the line. Allocates.
  void Configure(std::int32_t delaySamples);
  /// Clears the stored samples.
  void Reset() noexcept;
  std::int32_t Delay() const noexcept { return m_delay; }

  /// out[i] = the sample that entered `Delay()` samples earlier; in and out may be the same
  /// buffer. Never allocates.
  void Process(const float* in, float* out, std::int32_t samples) noexcept;
  /// One sample in, the sample from `Delay()` samples earlier out.
  float Tick(float in) noexcept
  {
    if (m_delay == 0)
      return in;
    const float delayed = m_line[static_cast<std::size_t>(m_position)];
    m_line[static_cast<std::size_t>(m_position)] = in;
    if (++m_position == m_delay)
      m_position = 0;
    return delayed;
  }

private:
  std::unique_ptr<float[]> m_line;
  std::int32_t m_delay = 0;
  std::int32_t m_position = 0;
};
