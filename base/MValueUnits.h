#pragma once
// Unit scales over a double variable: percent, volume, pan, time, pitch ratio, degrees and the
// signal generator's shape blend. Each adds its own display rule and (except pitch) its own
// parser; mapping and steps are those of MValueNumber unless stated.
//
// The unit parsers read typed text as a C decimal number (leading blanks skipped, the longest
// numeric prefix taken, a trailing unit ignored, 0 when there is no number) and convert it by the
// class's rule. Display texts reach hosts and are exact; the examples below are the rules.
//
// GUI thread only; text operations allocate.

#include "base/MValueNumber.h"

/// A fraction shown in percent: 0.005 shows "0.50%" (two decimals below 1 %), 0.5 "50.0%".
/// Typed p (percent) sets p × 0.01.
class MValuePercents : public MValueDouble
{
public:
  /// Value 0, range 0..1, inc 0.001, maxinc 0.01.
  MValuePercents();
  MValuePercents(const MValueBinding<double>& binding, double min, double max);

  static MString Text(double fraction);

protected:
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};

/// A linear gain shown in decibels: 0 shows "silence", 0.5 "-6.02 dB" (two decimals below
/// 10 dB in magnitude), 0.01 "-40.0 dB". Typed d (dB) sets 10^(d / 20); typing "silence" sets 0.
class MValueVolume : public MValueDouble
{
public:
  /// Value 1, range 0..1, inc 0.0004, maxinc 0.1.
  MValueVolume();
  /// inc 0.0004 and maxinc 0.1, or a hundredth of the range and ten times that when the range
  /// is narrower than 0.04.
  MValueVolume(const MValueBinding<double>& binding, double min, double max);

  static MString Text(double gain);

protected:
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};

/// A position -1 (left) .. 1 (right): 0 shows "center", -0.255 "25% left", 0.5 "50% right"
/// (whole percent, truncated). Typed p sets p × 0.01; a text ending in "left" ("25% left") sets
/// the left side, so displayed texts read back.
class MValuePan : public MValueDouble
{
public:
  /// Value 0, range -1..1, inc 0.01, maxinc 0.1.
  MValuePan();
  MValuePan(const MValueBinding<double>& binding, double min, double max);

  static MString Text(double position);

protected:
  double ContentValueAtNormalised(double x) const override;
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};

/// Seconds shown in milliseconds: 0 shows "0 ms", 0.00005 "0.050 ms", 0.0005 "0.50 ms",
/// 0.005 "5.0 ms", 0.25 "250 ms" (whole milliseconds from 10 ms). Typed m (ms) sets m × 0.001.
class MValueTimeMS : public MValueDouble
{
public:
  /// Value 1, range 0..1, inc 0.001, maxinc 0.01.
  MValueTimeMS();
  MValueTimeMS(const MValueBinding<double>& binding, double min, double max);

  static MString Text(double seconds);

protected:
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};

/// A pitch ratio shown and read through the format "{0;+.02}" (1 shows "+1.00").
class MValuePitch : public MValueDouble
{
public:
  /// Value 1, range 0.25..4, inc 0.0375, maxinc 0.375.
  MValuePitch();
  /// inc 0.1 and maxinc 1, or a hundredth of the range and ten times that when the range is
  /// narrower than 10.
  MValuePitch(const MValueBinding<double>& binding, double min, double max);
};

/// A fraction of a full turn: 0 shows "0° (0%)", 0.25 "90° (25.0%)". Typed d (degrees) sets
/// d / 360.
class MValueDegreesFrom01 : public MValueDouble
{
public:
  /// Value 0, range 0..1.
  MValueDegreesFrom01();
  MValueDegreesFrom01(const MValueBinding<double>& binding, double min, double max);

  static MString Text(double fraction);

protected:
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};

/// A blend position 0..15 over the signal generator's sixteen shapes: whole positions show the
/// shape's name, others the blend of two neighbours ("75% Sine, 25% Triangle"). Typed numbers
/// go through the format; a shape name or a blend text as displayed reads back too.
class MValueSignalGeneratorShape : public MValueDouble
{
public:
  static constexpr int kShapeCount = 16;

  /// Value 5, range 0..15, inc 0.015, maxinc 0.15.
  MValueSignalGeneratorShape();
  MValueSignalGeneratorShape(const MValueBinding<double>& binding, double min, double max);

  /// Name of shape `index` (0..15); empty outside.
  static MString ShapeName(int index);
  static MString Text(double position);

protected:
  /// The content of position x shows shape position 15 × x, whatever the range.
  double ContentValueAtNormalised(double x) const override;
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};
