#include "gui/MBitmap.h"

#include "base/MException.h"
#include "base/MFormat.h"

#include <algorithm>

void MBaseBitmap::CheckSize(std::int64_t width, std::int64_t height)
{
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
  {
    throw MException(MFormat::Format("Bitmap size {0} x {1} is out of range.", width, height));
  }
}

MBitmap::MBitmap(std::int32_t width, std::int32_t height)
{
  Resize(width, height);
}

void MBitmap::Resize(std::int32_t width, std::int32_t height)
{
  CheckSize(width, height);
  const std::size_t count = std::size_t(width) * std::size_t(height);
  if (m_pixels.size() < count)
  {
    m_pixels.resize(count);
  }
  m_width = width;
  m_height = height;
  Clear();
}

void MBitmap::Fill(MColor color) noexcept
{
  std::fill_n(m_pixels.begin(), std::size_t(m_width) * std::size_t(m_height), color.ToARGB());
}

void MBitmap::Clear() noexcept
{
  std::fill_n(m_pixels.begin(), std::size_t(m_width) * std::size_t(m_height), 0u);
}

std::uint32_t MBitmap::GetPixel(std::int32_t x, std::int32_t y) const noexcept
{
  if (x < 0 || y < 0 || x >= m_width || y >= m_height)
  {
    return 0;
  }
  return Row(y)[x];
}

void MBitmap::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb) noexcept
{
  if (x >= 0 && y >= 0 && x < m_width && y < m_height)
  {
    Row(y)[x] = argb;
  }
}

MAlphaMask::MAlphaMask(std::int32_t width, std::int32_t height)
{
  Resize(width, height);
}

void MAlphaMask::Resize(std::int32_t width, std::int32_t height)
{
  CheckSize(width, height);
  m_values.assign(std::size_t(width) * std::size_t(height), 0);
  m_width = width;
  m_height = height;
}

void MAlphaMask::Fill(std::uint8_t value) noexcept
{
  std::fill(m_values.begin(), m_values.end(), value);
}

std::uint8_t MAlphaMask::Get(std::int32_t x, std::int32_t y) const noexcept
{
  if (x < 0 || y < 0 || x >= m_width || y >= m_height)
  {
    return 0;
  }
  return Row(y)[x];
}

MAlphaMask MAlphaMask::FromAlpha(const MBitmap& bitmap)
{
  MAlphaMask mask(bitmap.Width(), bitmap.Height());
  const std::size_t count = std::size_t(bitmap.Width()) * std::size_t(bitmap.Height());
  for (std::size_t i = 0; i < count; ++i)
  {
    mask.m_values[i] = std::uint8_t(bitmap.Pixels()[i] >> 24);
  }
  return mask;
}
