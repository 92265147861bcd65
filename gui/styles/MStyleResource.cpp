// The resource lookup of the style package. It lives apart from the container code because it
// refers to the embedded bytes, which tools/stylegen (a user of the container code) produces.
#include "gui/styles/MStylePackage.h"

std::span<const std::uint8_t> MStylePackage::FindResource(const MString& name)
{
  return name == MString::FromLiteral(kResourceName) ? GetEmbeddedBytes() : std::span<const std::uint8_t>();
}
