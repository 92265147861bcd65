#pragma once
// MTestHost: a host for built plug-in modules, independent of the plug-in interface.
//
// A test, the renderer or a validator loads a module through one implementation per interface
// (MTestHostVst2 now; a VST 3 one later) and drives it through this common surface: load,
// activate at a rate and block size, process, parameters, state, MIDI, close. Interface-specific
// calls live on the implementations.
//
// Threads: one host object is driven from one thread at a time; the plug-in may call back from
// any thread it likes (automation, events), and those records are kept under a lock.
// Failures: calls answer false, 0, an empty text or an empty byte vector, and LastError() says
// what went wrong; nothing throws except allocation failure.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// Outcome of loading a module.
enum class MTestHostStatus
{
  Ok,
  ModuleNotFound, ///< the file is missing or the loader refused it
  EntryMissing,   ///< the module exports none of the interface's entry points
  NullEffect,     ///< the entry point answered null (the plug-in refused this host)
  BadMagic,       ///< the entry point answered a record without the interface's magic
};

/// Short English name of a status ("module not found", ...).
const char* MTestHostStatusText(MTestHostStatus status);

/// The transport the host reports to the plug-in. Positions in quarter notes, tempo in beats
/// per minute. While playing, each processed block advances the positions.
struct MTestHostTransport
{
  bool available = true; ///< false: the host answers "no time information"
  bool playing = false;
  bool recording = false;
  bool cycleActive = false;
  double samplePosition = 0.0; ///< samples since the song start
  double ppqPosition = 0.0;
  double barStartPosition = 0.0;
  double tempo = 120.0;
  double cycleStart = 0.0;
  double cycleEnd = 0.0;
  int timeSigNumerator = 4;
  int timeSigDenominator = 4;
};

/// One short MIDI message at a sample offset inside the block it belongs to.
struct MTestHostMidiEvent
{
  std::int32_t sampleOffset = 0;
  std::uint8_t bytes[3] = {0, 0, 0};
};

/// A parameter change the plug-in reported to the host.
struct MTestHostAutomation
{
  int index = 0;
  float value = 0.0f;
};

/// One step of an edit as the host saw it, in the order the plug-in made them: a gesture's begin
/// or end on a parameter, or a value (VST 3 performEdit, VST 2.4 audioMasterAutomate).
struct MTestHostEdit
{
  enum class Kind
  {
    Begin,
    Perform,
    End,
  };
  Kind kind = Kind::Perform;
  int index = 0;
  float value = 0.0f; ///< Perform only
  bool operator==(const MTestHostEdit&) const = default;
};

/// The edits as one line, each step a word: "B3" begin on 3, "P3=0.25" a value (%g), "E3" end.
std::string MTestHostEditText(const std::vector<MTestHostEdit>& edits);

/// A DAW's lock discipline: one non-recursive lock held around the host's program, state and
/// parameter calls into the plug-in, and taken again by the callbacks through which the plug-in
/// reports (restart, dirty, edits, display updates, size and I/O changes). A report made while its
/// own thread holds the lock would deadlock such a host; here it is recorded as re-entrant
/// instead, and the call goes on. Off until enabled; Hold then takes the lock for a scope.
class MTestHostLock
{
public:
  class Held
  {
  public:
    explicit Held(MTestHostLock* lock) : m_lock(lock)
    {
      if (m_lock != nullptr)
        m_lock->Lock();
    }
    ~Held()
    {
      if (m_lock != nullptr)
        m_lock->Unlock();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

  private:
    MTestHostLock* m_lock;
  };

  void SetEnabled(bool enabled) { m_enabled = enabled; }
  bool IsEnabled() const { return m_enabled; }
  /// Holds the lock until the result goes (nothing while disabled).
  [[nodiscard]] Held Hold() { return Held(m_enabled ? this : nullptr); }
  /// A report callback named `what` arrives: recorded when its thread holds the lock, else it
  /// waits for the lock as the host would.
  void Enter(const std::string& what);
  /// The re-entrant reports so far (taken: the record empties).
  std::vector<std::string> TakeReentrant();

private:
  void Lock();
  void Unlock();

  bool m_enabled = false;
  std::mutex m_mutex;
  std::atomic<std::thread::id> m_owner{};
  std::mutex m_recordMutex;
  std::vector<std::string> m_reentrant;
};

class MTestHost
{
public:
  virtual ~MTestHost() = default;

  /// Loads the module at path and creates one plug-in instance from it (the instance is not yet
  /// open). Unloads whatever was loaded before.
  virtual MTestHostStatus LoadModule(const std::string& path) = 0;
  /// True between a successful LoadModule and Close.
  virtual bool IsLoaded() const = 0;
  /// Opens the instance if needed, sets rate and largest block, and starts processing.
  virtual bool Activate(double sampleRateHz, int maxBlockSamples) = 0;
  /// Stops processing (the instance stays open).
  virtual bool Deactivate() = 0;
  /// Processes one block of samples: inputs and outputs hold NumInputs()/NumOutputs() channel
  /// pointers; outputs are overwritten. inputs may equal outputs (in place).
  virtual bool Process(float** inputs, float** outputs, int samples) = 0;
  /// Destroys the instance and unloads the module.
  virtual void Close() = 0;

  virtual int NumInputs() const = 0;
  virtual int NumOutputs() const = 0;
  virtual int NumParameters() const = 0;
  /// Latency the plug-in reports, in samples.
  virtual int LatencySamples() const = 0;

  /// Normalised value 0..1 of parameter index (0 when the index is not valid).
  virtual float GetParameter(int index) = 0;
  virtual void SetParameter(int index, float value) = 0;
  virtual std::string ParameterName(int index) = 0;
  virtual std::string ParameterDisplay(int index) = 0;
  /// The index of the first parameter whose name holds `word`, -1 when none does (names as the
  /// host sees them: with their group, and cut to 24 characters by VST 2.4).
  int FindParameter(const std::string& word)
  {
    for (int index = 0; index < NumParameters(); ++index)
      if (ParameterName(index).find(word) != std::string::npos)
        return index;
    return -1;
  }

  /// The plug-in's whole state as bytes, and back; SetState answers whether it was taken.
  virtual std::vector<std::uint8_t> GetState() = 0;
  virtual bool SetState(const std::vector<std::uint8_t>& bytes) = 0;

  /// Delivers MIDI events for the next block.
  virtual bool SendMidi(const std::vector<MTestHostMidiEvent>& events) = 0;

  /// What went wrong last (empty after success).
  const std::string& LastError() const { return m_lastError; }
  /// The host's lock around its calls into the plug-in (see MTestHostLock).
  MTestHostLock& HostLock() { return m_hostLock; }
  /// The transport reported from the next block on.
  MTestHostTransport& Transport() { return m_transport; }

protected:
  std::string m_lastError;
  MTestHostLock m_hostLock;
  MTestHostTransport m_transport;
};
