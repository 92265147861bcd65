// Plain text put into STML (paths and error messages in help lines) reads back as the same text.

#include "gui/stml/MSTMLEscape.h"

#include "gui/stml/MSTML.h"

#include <gtest/gtest.h>

TEST(MSTMLEscape, PathsAndMessagesWithMarkupCharactersStayText)
{
  // Unescaped, the first would turn bold, the second would not even parse ("<" without a name).
  const char* const texts[] = {"/home/<b>ob</b>/GeneralSettings.xml", "expected '>' at 3 < 4 & more",
                               "&lt; is not an entity here", "plain"};
  for (const char* raw : texts)
  {
    const MString text = MString::FromUTF8(raw);
    MSTML document;
    ASSERT_NO_THROW(document.Parse(MString("<p>") + MSTMLEscape(text))) << raw;
    const std::string html = document.ToHtml().ToUTF8();
    EXPECT_NE(html.find(EscapeHtml(text).ToUTF8()), std::string::npos) << raw << " -> " << html;
    EXPECT_EQ(html.find("<b>"), std::string::npos) << raw;
  }
}
