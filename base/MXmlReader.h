#pragma once
// Reads an XML document into an item tree.
//
// The input is untrusted (host state, presets, files a user hands over). The reader is iterative,
// keeps its memory proportional to the input, and ends every malformed document in an
// MException; the target item is then cleared or partly filled and the caller discards it.
//
// Encoding: a leading mark selects the codec (FF FE: UTF-16 little-endian; EF BB BF: UTF-8);
// without one the input starts as UTF-8. Without a mark, the "encoding" attribute of the
// declaration switches the codec for the rest of the input, right after the declaration; a
// switch to UTF-16 then expects the FF FE mark at that point ("Invalid UTF8 header." otherwise).
// With a mark the declaration's encoding is not used.
//
// Syntax read: the declaration and other processing instructions (<?...?>), comments
// (<!--...-->), CDATA sections (content taken literally), other <!...> declarations (skipped),
// elements with attribute values in double or single quotes, empty elements, closing tags, text,
// the entities amp, lt, gt, apos, quot and numeric references (&#10; &#x41;). The first element is
// the root; reading stops at its end. Text of an element is the concatenation of its character
// data; a run of only blanks that holds a raw line feed is indentation and is dropped (the writer
// escapes every line feed of a text, so its own texts never contain a raw one).
//
// Messages (MException): "No element name found.", "Invalid closing element syntax.",
// "Invalid special element sequence.", "Invalid character found where attribute expected.",
// "Special character found where attribute expected.", "Invalid element finishing sequence.",
// "The XML does not contain any elements.", and for hostile input:
// "XML nesting is deeper than 256 levels.", "Unexpected end of XML input.",
// `Closing element "<name>" does not match the open element.`, `Invalid entity reference "&<name>".`,
// "Text found outside the root element.", "XML document has too many elements.", the codec
// messages of MEncoding and the stream messages (MZLibStream for the compressed form).
// Main thread or worker threads only.

class MStream;
class MXmlItem;

class MXmlReader
{
public:
  static constexpr int kMaxDepth = 256;
  /// Cap on the number of items in one document (each costs far more memory than its text).
  static constexpr int kMaxItems = 1 << 20;

  /// Clears `root` and reads the document from `stream` into it.
  static void Read(MStream& stream, MXmlItem& root);

  /// The plug-in state form: the document through a zlib stream (output capped at 16 MiB).
  static void ReadCompressed(MStream& stream, MXmlItem& root);
};
