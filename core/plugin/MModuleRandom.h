#pragma once
// The module-wide random generator used by parameter randomisation.
//
// One 32-bit state for the whole module: s <- s * 214013 + 2531011 (wrapping), and the value of
// a draw is ((s >> 16) & 0x7FFF) / 32767, a double in [0, 1]. Every randomisation of every
// plug-in instance in the module draws from the same sequence.
//
// Any thread; lock-free (one atomic read-modify-write per draw, so two threads never receive
// the same state); never allocates.

#include <cstdint>

namespace MModuleRandom
{
/// Advances the state once and returns the new state.
std::uint32_t NextState() noexcept;

/// The value of a state: ((state >> 16) & 0x7FFF) / 32767.
constexpr double ValueOf(std::uint32_t state) noexcept
{
  return static_cast<double>((state >> 16) & 0x7FFFu) * (1.0 / 32767.0);
}

/// Advances the state once and returns its value in [0, 1].
inline double Next() noexcept
{
  return ValueOf(NextState());
}

/// Sets the state (tests reproduce sequences with it).
void Seed(std::uint32_t state) noexcept;
} // namespace MModuleRandom
