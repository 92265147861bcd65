#pragma once
// MSTMLEscape: puts plain text (a file path, an error message, a preset name) into STML as text.
// "&", "<", ">" and '"' become the entities the mark-up tokenizer decodes back (&amp; &lt; &gt;
// &quot;), so that a path like "/tmp/<b>" or a message "a < b" shows as written instead of being
// read as mark-up or failing to parse. Everything else passes unchanged.
//
// Threads: any.

#include "base/MString.h"

MString MSTMLEscape(const MString& text);
