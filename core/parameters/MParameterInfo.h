#pragma once
// MParameterInfo: an effect's description of one parameter, and the current value itself.
//
// The effect keeps its descriptors in a table (MParameterTable) and reads the current value
// straight from them while processing. For each host-visible descriptor the framework makes a
// typed parameter (ParameterFloatT and friends) that maps between the host's normalised value
// 0..1 and the descriptor's plain value.
//
// Threads: the value fields and the flags are relaxed atomics: the host's parameter thread or
// the GUI thread writes them, the audio thread reads them (and writes the smoothed value while
// interpolating). Everything else is set up once before the descriptor is used.
//
// Ranges: a float or integer descriptor must have maximum != minimum, an enumeration at least
// two names; otherwise the normalised value is undefined (the typed parameters answer 0 then).

#include "base/MString.h"
#include "core/plugin/MRelaxed.h"

#include <cstdint>

struct MParameterInfo
{
  // flags
  static constexpr std::uint8_t kHostVisible = 0x01;
  static constexpr std::uint8_t kInterpolated = 0x08;
  static constexpr std::uint8_t kInterpolating = 0x10;
  static constexpr std::uint8_t kSetsChangedBit = 0x20;
  static constexpr std::uint8_t kRandomizable = 0x40;
  // flags2
  /// A setting of the instance rather than of the sound (how it runs, not what it makes): a
  /// preset that holds no value for it leaves it as it is. A stored state still sets it.
  static constexpr std::uint8_t kKeptByPresets = 0x01;
  static constexpr std::uint8_t kEndsGroup = 0x08;
  static constexpr std::uint8_t kRandomWholeNumbers = 0x40;
  /// Added in a later version: its host slot comes after every slot the effect had before
  /// (MParameterBuilder's appended pass), so the older slots keep their indices and IDs.
  static constexpr std::uint8_t kAppendedSlot = 0x80;

  enum Type : std::int32_t
  {
    kNone = 0,
    kFloat = 1,
    kInteger = 2,
    kEnumeration = 3,
    kBoolean = 4,
    kGroup = 5,
    kText = 7,
  };

  /// The unit a float or integer value is shown in, for hosts that draw the control themselves
  /// with a unit of their own: kPercent shows the plain value times 100, the others the plain value.
  enum Unit : std::int32_t
  {
    kNoUnit = 0,
    kPercent = 1,
    kCents = 2,
    kSemitones = 3,
    kDecibels = 4,
  };

  enum Curve : std::int32_t
  {
    kLinear = 0,
    kQuadratic = 1,
    kQuartic = 2,
  };

  /// Formatter: with an empty `input`, writes the text of the descriptor's current value into
  /// `result`; with a non-empty `input`, parses it and stores the plain value into the
  /// descriptor's value field. Called on the GUI or host thread; may allocate; must not throw
  /// for any input text.
  using Formatter = void (*)(MString& result, MParameterInfo& info, const MString& input);

  struct FloatFields
  {
    double minimum = 0.0;
    double maximum = 1.0;
    double defaultValue = 0.0;
    MRelaxed<double> value{0.0};
    MRelaxed<double> smoothed{0.0};
    MRelaxed<double> previous{0.0};
  };

  struct IntegerFields
  {
    std::int32_t minimum = 0;
    std::int32_t maximum = 1;
    std::int32_t defaultValue = 0;
    MRelaxed<std::int32_t> value{0};
    MRelaxed<std::int32_t> smoothed{0};
  };

  struct EnumerationFields
  {
    const char* const* names = nullptr;
    std::int32_t count = 0;
    std::int32_t defaultIndex = 0;
    MRelaxed<std::int32_t> value{0};
  };

  struct BooleanFields
  {
    MRelaxed<bool> value{false};
  };

  struct GroupFields
  {
    /// The switch that turns the group on; null for a heading without a switch.
    MRelaxed<bool>* enabled = nullptr;
  };

  MRelaxed<std::uint8_t> flags{0};
  std::uint8_t flags2 = 0;
  std::int32_t type = kNone;
  MString name;
  MString key;
  MString help;
  MString text3;
  MString text4;
  Formatter formatter = nullptr;
  MString format;
  std::int32_t orderKey = 0;
  FloatFields floating;
  IntegerFields integer;
  EnumerationFields enumeration;
  BooleanFields boolean;
  GroupFields group;
  MString text;
  std::int32_t curve = kLinear;
  std::int32_t unit = kNoUnit;

  bool Has(std::uint8_t flag) const noexcept { return (flags.Load() & flag) != 0; }

  /// The detail text: join(fourth text, third text).
  MString Detail() const;

  /// Randomises the current value (descriptor level; only with kRandomizable): `amount` 1 draws
  /// a fresh value, less moves the value by up to +-amount of its range. Silent: no notification;
  /// the caller re-initialises processing. Draws from the module-wide generator. Any non-audio
  /// thread; never allocates.
  void Randomize(double amount) noexcept;
};

/// An effect's table of descriptors, as the framework reads it to build the typed parameters.
struct MParameterTable
{
  /// flags bit 6: the effect wants host time information; bit 7: `pointers` is used as well.
  static constexpr std::uint8_t kWantsTimeInfo = 0x40;
  static constexpr std::uint8_t kHasPointerList = 0x80;

  std::uint8_t flags = 0;
  MParameterInfo* descriptors = nullptr;
  std::int32_t count = 0;
  MParameterInfo* specials = nullptr;
  std::int32_t specialCount = 0;
  MParameterInfo** pointers = nullptr;
  std::int32_t pointerCount = 0;
};
