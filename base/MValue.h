#pragma once
// MValue: a value scale. It binds one typed variable (a number, an enumerator, a list index) to
// its range, default, steps, normalised 0..1 mapping, display text, text parsing and XML storage.
//
// Who uses it: every value-bearing control of the GUI (knobs, trackers, switchers) holds one, the
// XML GUI loader creates them from "value" elements, and parameter formatters follow the display
// rules of the unit scales. Families: MValueNumber and its unit scales (MValueNumber.h,
// MValueUnits.h, MValueFrequency.h, MValueStepDouble.h, MValueMIDINote.h), MValueEnum,
// MValueList, and the decorators of MValueScalePower.h.
//
// Threads: no locking inside. A scale belongs to one thread at a time (the GUI thread for
// controls). Text operations allocate, so none of this runs on the audio thread.
//
// Invariant: every write goes through clamping, so after any public operation the variable lies
// in [min, max] (enumerations and lists: [0, count - 1]). Every write, even of an equal value,
// sets the `modified` flag; the scale never clears it, its owner reads and clears it.
//
// Failures: unparseable text never throws; the parsers answer false and leave the variable.

#include "base/MContentData.h"
#include "base/MObject.h"
#include "base/MStorable.h"
#include "base/MString.h"
#include "base/MXmlItem.h"

#include <cstdint>
#include <memory>

/// Declares the MValue operations that a scale family implements itself: the pure ones plus
/// Save, Load and LoadDefinition. MValueEnumBase, MValueListBase and MValueNumber put it in their
/// public section, so the three lists cannot drift apart. Each keeps MValue's contract.
#define MVALUE_SCALE_OPERATIONS                                                                              \
  MString ToString() const override;                                                                         \
  void FromString(const MString& text) override;                                                             \
  bool SetDefault() override;                                                                                \
  bool Save(MXmlItem& item) const override;                                                                  \
  void Load(const MXmlItem& item) override;                                                                  \
  void LoadDefinition(const MXmlItem& item) override;                                                        \
  const MValueTypeInfo& GetTypeInfo() const override;                                                        \
  MString FormatText() const override;                                                                       \
  MContentDataPtr GetContentForNormalised(double x) const override;                                          \
  bool ParseText(const MString& text) override;                                                              \
  void Clamp() override;                                                                                     \
  bool Increment(int steps, int level) override;                                                             \
  bool IncrementFine(int steps) override;                                                                    \
  double GetNormalised() const override;                                                                     \
  bool SetNormalised(double x) override;                                                                     \
  int GetStepCount() const override;

/// Static description of a scale's value kind. Exactly three descriptors exist.
struct MValueTypeInfo
{
  enum class Kind : std::int32_t
  {
    Floating = 0,    ///< all floating-point scales
    Integer = 1,     ///< integer scales
    Enumeration = 2, ///< enumerations and lists
  };
  const char* name;
  Kind kind;

  static const MValueTypeInfo& Floating() noexcept;
  static const MValueTypeInfo& Integer() noexcept;
  static const MValueTypeInfo& Enumeration() noexcept;
};

/// How a scale is bound to its variable: either the scale keeps the value in a cell of its own
/// (Value), or it reads and writes a variable of its owner (Variable), which must outlive it.
template <typename T>
class MValueBinding
{
public:
  static MValueBinding Value(T initial) noexcept { return MValueBinding(nullptr, initial); }
  static MValueBinding Variable(T& variable) noexcept { return MValueBinding(&variable, variable); }

  T* External() const noexcept { return m_external; }
  T Initial() const noexcept { return m_initial; }

private:
  MValueBinding(T* external, T initial) noexcept : m_external(external), m_initial(initial) {}
  T* m_external;
  T m_initial;
};

/// The variable a scale is bound to: a pointer to either the inline cell or an outside variable.
/// Not copyable (a copy would point into the other scale's cell).
template <typename T>
class MValueCell
{
public:
  explicit MValueCell(const MValueBinding<T>& binding) noexcept
      : m_variable(binding.External() ? binding.External() : &m_cell), m_cell(binding.Initial())
  {}
  MValueCell(const MValueCell&) = delete;
  MValueCell& operator=(const MValueCell&) = delete;

  T Read() const noexcept { return *m_variable; }
  void Write(T value) noexcept { *m_variable = value; }
  bool IsExternal() const noexcept { return m_variable != &m_cell; }

private:
  T* m_variable;
  T m_cell;
};

class MValue : public MStorable
{
public:
  /// A text converter replaces the class's own display and parsing. Called with the scale and a
  /// text: an empty text asks for the display text (the result is shown); a non-empty text is
  /// typed input, which the converter writes into the scale (the result is ignored).
  using TextConverter = MString (*)(MValue& value, const MString& text);

  MValue() = default;
  MValue(const MValue&) = delete;
  MValue& operator=(const MValue&) = delete;

  // ---- virtual operations, in slot order ----

  ~MValue() override;

  /// Storage text of the variable (numbers: 6 digits after the point; enumerations: item name).
  virtual MString ToString() const = 0;
  /// Sets the variable from storage text, then clamps.
  virtual void FromString(const MString& text) = 0;
  /// Writes the default into the variable; answers whether the variable changed.
  virtual bool SetDefault() = 0;
  /// Writes attribute `id` into `item`; numbers in general notation with 12 significant digits.
  virtual bool Save(MXmlItem& item) const;
  /// Reads attribute `id` from `item` (a non-number leaves a number unchanged); without the
  /// attribute, SetDefault. Clamps afterwards.
  virtual void Load(const MXmlItem& item);
  /// Reads the definition attributes ("id", "min", "max", "default", "value", "inc", ...).
  /// Missing attributes keep their values; malformed ones never throw.
  virtual void LoadDefinition(const MXmlItem& item);
  virtual const MValueTypeInfo& GetTypeInfo() const = 0;
  /// The display text: the converter's, when one is set; otherwise FormatText.
  virtual MString GetText();
  /// The class's own display text.
  virtual MString FormatText() const = 0;
  /// GetText as shared text content.
  virtual MContentDataPtr GetContent();
  /// The display text the value would have at normalised position x, by the class's own display
  /// rule (a converter is not consulted: it can only describe the variable); the variable is
  /// untouched. x is not limited, so a position beyond 1 shows what lies beyond the range.
  virtual MContentDataPtr GetContentForNormalised(double x) const = 0;
  /// Typed input: through the converter when set, else ParseText; then Clamp. Answers whether
  /// the variable changed (with a converter: true).
  virtual bool SetText(const MString& text);
  /// The class's own parser; answers whether the variable changed; refused text leaves it.
  virtual bool ParseText(const MString& text) = 0;
  /// Forces the variable into its range (after class-specific snapping); sets `modified` when it
  /// changed something.
  virtual void Clamp() = 0;
  /// Coarse step: `steps` times 2^level fine steps, each limited to the largest step. Answers
  /// whether the variable changed.
  virtual bool Increment(int steps, int level) = 0;
  /// Fine step: `steps` times the fine increment. Answers whether the variable changed.
  virtual bool IncrementFine(int steps) = 0;
  /// Position of the variable in [0, 1].
  virtual double GetNormalised() const = 0;
  /// Writes the value at position x (taken as 0..1; not-a-number reads as 0). Answers whether
  /// the variable changed.
  virtual bool SetNormalised(double x) = 0;
  /// Number of discrete positions; 0 for continuous scales.
  virtual int GetStepCount() const = 0;
  /// Content of discrete position i (continuous scales: of position 0).
  virtual MContentDataPtr GetContentForStep(int i) const;
  /// Reserved query; every scale answers 0.
  virtual int GetReserved() const;
  /// Moves to discrete position i (continuous scales: to position 0).
  virtual void SetStep(int i);

  // ---- common state ----

  const MString& GetId() const noexcept { return m_id; }
  void SetId(const MString& id) { m_id = id; }

  bool IsModified() const noexcept { return m_modified != 0; }
  void ClearModified() noexcept { m_modified = 0; }

  /// Installs a converter (null removes it). The scale takes ownership of `holder`, an object
  /// the converter may use, and destroys it with itself or with the next converter.
  void SetTextConverter(TextConverter converter, std::unique_ptr<MObject> holder = nullptr);
  TextConverter GetTextConverter() const noexcept { return m_converter; }
  MObject* GetConverterHolder() const noexcept { return m_converterHolder.get(); }

  /// The storable convention: saving writes the value into the context's item (Save), loading
  /// reads it back (Load).
  void Store(MStoreContext& context) override;

protected:
  void MarkModified() noexcept { m_modified = 1; }
  /// The value of attribute `name` of `item` into `value`; false (value untouched) when absent.
  static bool ReadAttribute(const MXmlItem& item, const MString& name, MString& value);
  /// Sets attribute `name` of `item`.
  static void WriteAttribute(MXmlItem& item, const MString& name, const MString& value);

private:
  MString m_id = "value";
  TextConverter m_converter = nullptr;
  std::unique_ptr<MObject> m_converterHolder;
  std::uint8_t m_modified = 0;
};
