#pragma once
// Writes an XML item tree as a document.
//
// Output: the codec's mark (UTF-16 writes FF FE), the declaration
// `<?xml version="1.0" encoding="<encoding>"?>` with the caller's encoding name, then the root
// item. Compact form (the plug-in state): no line breaks at all:
//     <name a="1" b="2"/>            an item with neither text nor sub-items
//     <name a="1">text<sub/></name>  otherwise: text first, then the sub-items in order
// Indented form (files meant for people): the same tokens, with a line feed after the
// declaration and after every item, and one tab per nesting level before each item. An item that
// has text keeps its whole content on its own line in compact form, so indentation never becomes
// part of a text; MXmlReader drops the indentation again.
//
// Attribute values and text escape six characters as entities: & &amp; < &lt; > &gt; ' &apos;
// " &quot; and line feed &#10;. A character the encoding cannot represent is written as a
// numeric reference (&#N;) in values and text, and as "?" in names. Output goes to the stream in
// pieces of about 1024 characters.
//
// Failures (MException): "XML entity cannot have empty name." for an item or attribute without
// a name; "XML nesting is deeper than 256 levels." (such a tree could not be read back);
// "No codec found for encoding <name>."; stream errors pass through. Main thread or worker
// threads only.

#include "base/MString.h"

class MStream;
class MXmlItem;

class MXmlWriter
{
public:
  static constexpr int kMaxDepth = 256;

  static void Write(const MXmlItem& root, MStream& stream, bool compact = true,
                    const MString& encoding = "utf-8");

  /// The plug-in state form: compact UTF-8 through a zlib stream of quality 100, finished.
  static void WriteCompressed(const MXmlItem& root, MStream& stream);
};
