// Cost of a help text, beside a reference measured in the same run:
//   stml help bytes=... us=... reference_us=... ratio_to_reference=... limit_us=100
//     parsing a 2 KB help text (with the help tag definitions in front) and laying it out for a
//     320-pixel pane with the built-in fonts, against measuring the same text's plain words in
//     one line with the same font (MFont::TextWidth over the text without tags), the floor any
//     layout has to pay.
// Times are CPU time per iteration in microseconds.

#include "gui/MFont.h"
#include "gui/stml/MSTML.h"

#include "bench/MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{

MString HelpText()
{
  // The Tonvera help texts in their real mark-up, repeated to 2 KB.
  const char* const kParts[] = {
      "<name>Depth</name> defines how accurate the output should be. With <value>100%</value> depth the "
      "output "
      "usually sounds \"machine-like\", exactly in tune. With lower depth the plugin tolerates more "
      "deviations. ",
      "<name>Speed</name> defines how quickly the plugin adjusts, when a note has been changed. Higher speed "
      "makes the results immediately in tune, but can cause less natural results. See "
      "<reference>Depth</reference>.",
      "<p><name>Keep formants</name> makes the vocoder algorithm try to smaller the altering of the spectral "
      "envelope. <li>Most natural instruments including human voice does not change complete spectrum.",
      "<li>Pitch shifting follows no physical laws, hence the <example>mickey-mouse</example> effect. ",
  };
  std::string text;
  for (int i = 0; text.size() < 2048; ++i)
    text += kParts[i % 4];
  text.resize(2048);
  const auto cut = text.find_last_of('<');
  if (cut != std::string::npos && text.find('>', cut) == std::string::npos)
    text.resize(cut);
  return MString::FromUTF8(text);
}

MString PlainWords(const MString& text)
{
  MString plain;
  bool inTag = false;
  for (std::int32_t i = 0; i < text.Length(); ++i)
  {
    const char16_t c = text.At(i);
    if (c == u'<')
      inTag = true;
    else if (c == u'>')
      inTag = false;
    else if (!inTag)
      plain += c;
  }
  return plain;
}

void HelpParseAndLayout(benchmark::State& state)
{
  const MString text = HelpText();
  const MSTMLResources resources;
  for (auto _ : state)
  {
    MSTML document;
    document.ParseHelp(text);
    benchmark::DoNotOptimize(document.Layout(320, resources));
  }
}

void HelpReferenceMeasure(benchmark::State& state)
{
  const MString plain = PlainWords(HelpText());
  const MSTMLResources resources;
  const MFont& font = resources.GetFont(MStdFont::Normal);
  for (auto _ : state)
    benchmark::DoNotOptimize(font.TextWidth(plain));
}

BENCHMARK(HelpParseAndLayout)->Unit(benchmark::kMicrosecond);
BENCHMARK(HelpReferenceMeasure)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;
  const double help = reporter.Micros("HelpParseAndLayout"),
               reference = reporter.Micros("HelpReferenceMeasure");
  if (help >= 0.0 && reference > 0.0)
    std::printf("stml help bytes=%d us=%.1f reference_us=%.1f ratio_to_reference=%.2f limit_us=100\n",
                HelpText().Length(), help, reference, help / reference);
  return 0;
}
