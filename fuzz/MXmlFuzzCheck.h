#pragma once
// Shared by the fuzz targets: what every tree that the reader accepted must satisfy.

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"

#include <cstdio>
#include <cstdlib>

// A tree read from any input must write in both forms and read back equal; a failure here is a
// reader/writer disagreement, reported as a crash so that libFuzzer keeps the input.
inline void CheckRoundTrip(const MXmlItem& tree)
{
  for (const bool compact : {true, false})
  {
    for (const MString& encoding : {MString("utf-8"), MString("utf-16")})
    {
      MMemoryStream stream;
      MXmlItem back;
      try
      {
        MXmlWriter::Write(tree, stream, compact, encoding);
        stream.Seek(0, MStream::kSeekFromStart);
        MXmlReader::Read(stream, back);
      }
      catch (const MException& exception)
      {
        std::fprintf(stderr, "round trip failed: %s\n", exception.what());
        std::abort();
      }
      if (!(back == tree))
      {
        std::fprintf(stderr, "round trip changed the tree (%s, %s)\n", compact ? "compact" : "indented",
                     encoding.ToUTF8().c_str());
        std::abort();
      }
    }
  }
}
