#pragma once
// MRenderHost: one plug-in instance as the renderer drives it, on top of the format-neutral test
// host (tools/host). It adds what the renderer needs and what each plug-in interface answers in
// its own way:
// - choosing the host implementation for an interface (VST 3, VST 2.4, or a built-in
//   pass-through for measuring the renderer itself);
// - telling the instance how many channels it will get (the speaker or bus arrangement);
// - finding a parameter by the name the user types, and setting it from typed text. VST 3
//   plug-ins parse the text themselves (getParamValueByString); VST 2.4 has no such call, so
//   there the value is searched through the display text (MParameterSearch), as it also is
//   when a VST 3 plug-in refuses the text;
// - handing each parameter change to the processor at once (VST 3 delivers changes with the
//   next processed block; an empty block does it outside playback), so that values read back,
//   display texts and the state show it.
//
// Main thread only. Failures answer false or -1 with a message; nothing throws except
// allocation failure.

#include "tools/host/MTestHost.h"

#include <memory>
#include <string>
#include <vector>

enum class MPluginFormat
{
  Vst2,
  Vst3,
  PassThrough,
};

class MRenderHost
{
public:
  /// The interface used when the user names none.
  static constexpr MPluginFormat kDefaultFormat = MPluginFormat::Vst3;
  /// Longest parameter name VST 2.4 passes; longer names arrive cut to this length.
  static constexpr std::size_t kVst2NameChars = 24;

  /// "vst2", "vst3" (case-insensitive); false for anything else.
  static bool ParseFormat(const std::string& text, MPluginFormat& format);
  static const char* FormatName(MPluginFormat format);

  /// The index of the parameter called `wanted` among names: a whole name (ignoring case), else
  /// the part after the last " - " (hosts show group-qualified names such as "Effects - Width").
  /// A name exactly cutChars long (0: names are never cut) may have been cut by the interface:
  /// it also matches a wanted name that begins with it. -1 with a message when none or several
  /// match; when none does, the message lists the names at the indices in `offered` (every name
  /// when it is empty) and counts the rest as MIDI controller slots.
  static int MatchParameterName(const std::vector<std::string>& names, const std::string& wanted,
                                std::size_t cutChars, std::string& error,
                                const std::vector<int>& offered = {});

  MRenderHost() = default;
  ~MRenderHost();
  MRenderHost(const MRenderHost&) = delete;
  MRenderHost& operator=(const MRenderHost&) = delete;

  /// Creates the host for format and loads the module at path (ignored for the pass-through; for
  /// VST 3 a bundle folder or the library inside it).
  bool Load(MPluginFormat format, const std::string& modulePath, std::string& error);
  bool IsLoaded() const { return m_host != nullptr && m_host->IsLoaded(); }
  MPluginFormat Format() const { return m_format; }
  /// The loaded host; only valid while IsLoaded().
  MTestHost& Host() { return *m_host; }

  /// Opens the instance (where the interface separates opening from activating) so that state
  /// and parameters can be set before processing starts.
  bool Open(std::string& error);
  /// Tells the instance it gets `channels` channels on each side (where the interface can; a
  /// plug-in that refuses keeps its own layout and gets silence on the rest), then activates it
  /// at the rate and largest block.
  bool Prepare(double sampleRateHz, int maxBlockSamples, int channels, std::string& error);
  /// The plug-in's state bytes with every parameter change made so far included (empty with a
  /// message when the plug-in gives none).
  std::vector<std::uint8_t> SaveState(std::string& error);

  /// Parameter names as the plug-in reports them (read once after loading).
  const std::vector<std::string>& ParameterNames();
  /// The indices of the parameters a user sets: all but the slots a VST 3 plug-in publishes only
  /// to receive MIDI controllers (IMidiMapping), which hosts fill from MIDI, not from a user.
  const std::vector<int>& UserParameters();
  /// FindParameter: MatchParameterName over this plug-in's names with its interface's cut length;
  /// an unknown name is answered with the list of UserParameters().
  int FindParameter(const std::string& name, std::string& error);
  /// Sets parameter index from typed text. shown receives the display text afterwards; warning
  /// says when the text was beyond the range and was clamped. On failure the value is unchanged.
  bool SetParameterText(int index, const std::string& text, std::string& shown, std::string& warning,
                        std::string& error);
  /// Sets parameter index to a normalised value and, through VST 3, hands it to the processor at
  /// once (an empty block), so that reading it back, the display text and the state all show it.
  void SetParameter(int index, float value);
  /// The display texts at the two ends of the range; the value is left as it was.
  std::pair<std::string, std::string> RangeTexts(int index);

private:
  /// Through VST 3: processes an empty block so that queued changes reach the processor.
  void FlushChanges();

  std::unique_ptr<MTestHost> m_host;
  MPluginFormat m_format = kDefaultFormat;
  std::vector<std::string> m_names;
  bool m_namesRead = false;
  std::vector<int> m_userParameters;
  bool m_userParametersRead = false;
  bool m_opened = false;
  bool m_prepared = false;
};
