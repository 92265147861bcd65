#include "gui/stml/MSTMLEscape.h"

MString MSTMLEscape(const MString& text)
{
  MString out;
  out.Reserve(text.Length());
  for (std::int32_t i = 0; i < text.Length(); ++i)
  {
    const char16_t c = text.At(i);
    if (c == u'&')
      out += MString("&amp;");
    else if (c == u'<')
      out += MString("&lt;");
    else if (c == u'>')
      out += MString("&gt;");
    else
      out += c;
  }
  return out;
}
