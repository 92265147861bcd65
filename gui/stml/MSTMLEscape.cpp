#include "gui/stml/MSTMLEscape.h"

#include "gui/stml/MSTML.h"

MString MSTMLEscape(const MString& text)
{
  // The mark-up tokenizer decodes the same named entities as HTML (&quot; included).
  return EscapeHtml(text);
}
