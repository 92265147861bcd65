#include "tools/render/MParameterSearch.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace
{
std::string TrimmedLower(const std::string& text)
{
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
    ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
    --end;
  std::string result = text.substr(begin, end - begin);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return result;
}

// Displays round to a few decimals, and the typed text is parsed by the same conversion, so
// equal texts give equal doubles; the tolerance only absorbs different spellings ("80", "80.00").
bool Same(double a, double b)
{
  return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

// The runs of values that show the wanted text: the end of the range when the run reaches it
// (a display that saturates, "100%" for everything above some value, means the end), else its
// middle.
double Choose(double lo, double hi)
{
  if (lo <= 0.0 && hi >= 1.0)
    return 0.5;
  if (lo <= 0.0)
    return 0.0;
  if (hi >= 1.0)
    return 1.0;
  return 0.5 * (lo + hi);
}

class NumberProbe
{
public:
  explicit NumberProbe(const MParameterSearch::DisplayAt& displayAt) : m_displayAt(displayAt) {}

  std::optional<double> At(double v, std::size_t level) const
  {
    const std::vector<double> numbers = MParameterSearch::NumbersIn(m_displayAt(v));
    if (level >= numbers.size())
      return std::nullopt;
    return numbers[level];
  }

private:
  const MParameterSearch::DisplayAt& m_displayAt;
};

MParameterSearch::Result FindText(const MParameterSearch::DisplayAt& displayAt, const std::string& typed)
{
  const std::string wanted = TrimmedLower(typed);
  const int samples = MParameterSearch::kTextSamples;
  int bestFirst = -1;
  int bestLast = -1;
  int runFirst = -1;
  for (int i = 0; i <= samples; ++i)
  {
    const bool match = TrimmedLower(displayAt(static_cast<double>(i) / samples)) == wanted;
    if (match && runFirst < 0)
      runFirst = i;
    if (runFirst >= 0 && (!match || i == samples))
    {
      const int runLast = match ? i : i - 1;
      if (bestFirst < 0 || runLast - runFirst > bestLast - bestFirst)
      {
        bestFirst = runFirst;
        bestLast = runLast;
      }
      runFirst = -1;
    }
  }
  MParameterSearch::Result result;
  if (bestFirst < 0)
  {
    result.message = "no value shows \"" + typed + "\" (it shows \"" + displayAt(0.0) + "\" .. \"" +
                     displayAt(1.0) + "\")";
    return result;
  }
  result.found = true;
  result.normalised =
      Choose(static_cast<double>(bestFirst) / samples, static_cast<double>(bestLast) / samples);
  return result;
}
} // namespace

std::vector<double> MParameterSearch::NumbersIn(const std::string& text)
{
  std::vector<double> numbers;
  const char* s = text.c_str();
  std::size_t i = 0;
  while (i < text.size())
  {
    const auto digitAt = [&](std::size_t k) {
      return k < text.size() && std::isdigit(static_cast<unsigned char>(s[k]));
    };
    std::size_t start = i;
    bool isNumber = digitAt(i) || (s[i] == '.' && digitAt(i + 1));
    if (!isNumber && (s[i] == '+' || s[i] == '-'))
      isNumber = digitAt(i + 1) || (s[i + 1] == '.' && digitAt(i + 2));
    if (!isNumber)
    {
      ++i;
      continue;
    }
    char* end = nullptr;
    const double value = std::strtod(s + start, &end);
    numbers.push_back(value);
    i = std::max<std::size_t>(static_cast<std::size_t>(end - s), start + 1);
  }
  return numbers;
}

MParameterSearch::Result MParameterSearch::Find(const DisplayAt& displayAt, const std::string& typed)
{
  const std::vector<double> wanted = NumbersIn(typed);
  if (wanted.empty())
  {
    Result result = FindText(displayAt, typed);
    if (result.found)
      result.shown = displayAt(result.normalised);
    return result;
  }

  const NumberProbe probe(displayAt);
  Result result;
  double lo = 0.0;
  double hi = 1.0;
  for (std::size_t level = 0; level < wanted.size(); ++level)
  {
    const double t = wanted[level];
    const std::optional<double> atLo = probe.At(lo, level);
    const std::optional<double> atHi = probe.At(hi, level);
    if (!atLo || !atHi)
    {
      if (level == 0)
      {
        result.message = "its display shows no number to match \"" + typed + "\" (it shows \"" +
                         displayAt(0.0) + "\" .. \"" + displayAt(1.0) + "\")";
        return result;
      }
      break; // the display has fewer numbers than typed: what matched so far decides
    }
    if (Same(*atLo, *atHi))
    {
      if (Same(*atLo, t))
        continue;
      result.clamped = true;
      break;
    }
    const bool rising = *atHi > *atLo;
    // reached: at or past t in the direction the number moves; beyond: strictly past it.
    const auto reached = [&](double g) { return Same(g, t) || (rising ? g > t : g < t); };
    const auto beyond = [&](double g) { return !Same(g, t) && (rising ? g > t : g < t); };
    if (!reached(*atHi))
    {
      lo = hi;
      result.clamped = true;
      break;
    }
    if (beyond(*atLo))
    {
      hi = lo;
      result.clamped = true;
      break;
    }
    // a: the first value that reaches t; b: the last value not beyond it. The bisections keep
    // one end on each side of the condition.
    double a = lo;
    if (!reached(*atLo))
    {
      double l = lo;
      double h = hi;
      for (int step = 0; step < kBisectionSteps; ++step)
      {
        const double m = 0.5 * (l + h);
        const std::optional<double> g = probe.At(m, level);
        (g && reached(*g) ? h : l) = m;
      }
      a = h;
    }
    double b = hi;
    if (beyond(*atHi))
    {
      double l = lo;
      double h = hi;
      for (int step = 0; step < kBisectionSteps; ++step)
      {
        const double m = 0.5 * (l + h);
        const std::optional<double> g = probe.At(m, level);
        (g && beyond(*g) ? h : l) = m;
      }
      b = l;
    }
    const std::optional<double> atA = probe.At(a, level);
    if (atA && Same(*atA, t))
    {
      lo = a;
      hi = std::max(a, b);
      continue;
    }
    // t falls between two shown steps: b shows the step before it, a the step after.
    const std::optional<double> atB = probe.At(b, level);
    const bool takeA = !atB || (atA && std::fabs(*atA - t) <= std::fabs(*atB - t));
    lo = hi = takeA ? a : b;
    break;
  }
  result.found = true;
  result.normalised = lo == hi ? lo : Choose(lo, hi);
  result.shown = displayAt(result.normalised);
  return result;
}
