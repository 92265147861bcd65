#pragma once
// MParameterSearch: the normalised value at which a parameter shows a typed text, for plug-in
// interfaces that cannot parse text themselves (VST 2.4 has no usable text-to-value call).
//
// The search only asks "what does the parameter show at value v?" and assumes that every number
// in the display text moves monotonically with v while the numbers before it stay fixed, which
// holds for the usual displays ("50.0%", "+12.0 cents", "100% wet, 0% dry"):
// - Typed text with numbers is matched number by number: the first typed number is found by
//   bisection on the first number shown, the second within the run of values that show the
//   first, and so on. A number beyond what the parameter can show is clamped to the nearest end;
//   one that falls between two shown steps takes the nearer step.
// - Typed text without numbers ("On", "Off") must equal a shown text (ignoring case and outer
//   spaces); the search samples the range evenly.
// When several values show the typed text, the answer is the end of the range if the run of
// such values reaches it (so "100" on a percentage gives exactly 1), otherwise its middle.
//
// Costs about 30 display queries per typed number. Main thread only; allocates.

#include <functional>
#include <string>
#include <vector>

class MParameterSearch
{
public:
  /// The parameter's display text at normalised value v (0..1). The caller sets the value on
  /// the plug-in, reads the text back and restores the value afterwards.
  using DisplayAt = std::function<std::string(double normalised)>;

  struct Result
  {
    bool found = false;
    double normalised = 0.0;
    bool clamped = false; ///< the typed number lay beyond the range and was clamped
    std::string shown;    ///< the display text at the answer
    std::string message;  ///< why nothing was found
  };

  /// Searches for typed; found = false with a message when no value shows it.
  static Result Find(const DisplayAt& displayAt, const std::string& typed);

  /// The decimal numbers in text, in order, with their signs ("+5.0 cents" → 5, "-3" → -3).
  static std::vector<double> NumbersIn(const std::string& text);

  /// Bisection steps per number: resolves values to 2^-30 of the range, finer than the
  /// 24-bit float in which the plug-ins receive them.
  static constexpr int kBisectionSteps = 30;
  /// Evenly spaced samples when matching texts without numbers.
  static constexpr int kTextSamples = 256;
};
