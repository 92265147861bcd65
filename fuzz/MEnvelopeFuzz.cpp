// Fuzz target: a stored envelope (XML text, as settings and presets carry it) loaded, built and
// read. Rejections must be MException. An accepted envelope must save and load back bit for bit,
// build, and read finite values everywhere, and exactly its silence after the silence start.

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "modulation/MEnvelopeComputer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
void Require(bool condition, const char* what)
{
  if (!condition)
  {
    std::fprintf(stderr, "envelope check failed: %s\n", what);
    std::abort();
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  MEnvelope envelope;
  try
  {
    MMemoryStream stream(data, size);
    MXmlItem item;
    MXmlReader::Read(stream, item);
    envelope.Load(item);
  }
  catch (const MException&)
  {
    return 0;
  }

  MXmlItem saved("Envelope");
  envelope.Save(saved);
  MEnvelope back;
  back.Load(saved);
  Require(back.GetPointCount() == envelope.GetPointCount(), "point count survives saving");
  for (int i = 0; i < envelope.GetPointCount(); ++i)
    Require(std::memcmp(&back.GetPoint(i), &envelope.GetPoint(i), sizeof(MEnvelope::ControlPoint)) == 0,
            "points survive saving bit for bit");

  MEnvelopeComputer computer;
  computer.Build(envelope);
  double low = -1.0, high = 1.0;
  if (envelope.GetPointCount() > 0)
  {
    low = envelope.GetPoint(0).x - 1.0;
    high = envelope.GetPoints().back().x + 1.0;
  }
  std::vector<double> fill(257);
  computer.FillDoubles(fill.data(), low, (high - low) / 256.0, 257);
  for (const double value : fill)
    Require(std::isfinite(value), "filled values are finite");
  for (const MEnvelope::ControlPoint& point : envelope.GetPoints())
  {
    Require(std::isfinite(computer.ValueAt(point.x)), "values at the points are finite");
    Require(std::isfinite(computer.LeftDerivative(point.x)) &&
                std::isfinite(computer.RightDerivative(point.x)),
            "derivatives at the points are finite");
  }
  const double silence = computer.GetSilenceStart();
  if (silence < MEnvelopeComputer::kForever)
    for (const double x : {silence, silence + 1e-3, silence + 1.0, std::max(high, silence)})
      Require(std::fabs(computer.ValueAt(x)) < 1e-40, "the curve is silent after the silence start");
  return 0;
}
