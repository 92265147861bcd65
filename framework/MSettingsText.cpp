#include "framework/MSettingsText.h"

#include <cmath>
#include <limits>

namespace
{
// Index of the first character after leading blanks and an optional sign; answers whether a
// digit (or a point followed by a digit) starts the number there.
bool StartsNumber(const MString& text, bool allowPoint) noexcept
{
  std::int32_t index = 0;
  while (text.At(index) == u' ' || text.At(index) == u'\t')
    ++index;
  if (text.At(index) == u'-' || text.At(index) == u'+')
    ++index;
  const char16_t first = text.At(index);
  if (first >= u'0' && first <= u'9')
    return true;
  if (allowPoint && first == u'.')
  {
    const char16_t next = text.At(index + 1);
    return next >= u'0' && next <= u'9';
  }
  return false;
}
} // namespace

namespace MSettingsText
{
bool ReadDouble(const MString& text, double& value) noexcept
{
  if (!StartsNumber(text, true))
    return false;
  const double number = text.ToDouble();
  // ToDouble saturates overlong numbers at the largest double; such text is no real value.
  if (!std::isfinite(number) || std::fabs(number) == std::numeric_limits<double>::max())
    return false;
  value = number;
  return true;
}

bool ReadInteger(const MString& text, std::int32_t& value) noexcept
{
  if (!StartsNumber(text, false))
    return false;
  const std::int64_t number = text.ToInteger();
  if (number > std::numeric_limits<std::int32_t>::max())
    value = std::numeric_limits<std::int32_t>::max();
  else if (number < std::numeric_limits<std::int32_t>::min())
    value = std::numeric_limits<std::int32_t>::min();
  else
    value = static_cast<std::int32_t>(number);
  return true;
}
} // namespace MSettingsText
