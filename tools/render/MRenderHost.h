#pragma once
// MRenderHost: one plug-in instance as the renderer drives it, on top of the format-neutral test
// host (tools/host). It adds what the renderer needs and what each plug-in interface answers in
// its own way:
// - choosing the host implementation for an interface (VST 2.4 now; VST 3 when tools/host offers
//   it; a built-in pass-through for measuring the renderer itself);
// - telling the instance how many channels it will get (VST 2.4: the speaker arrangement);
// - finding a parameter by the name the user types, and setting it from typed text. VST 2.4
//   has no text-to-value call the plug-in answers, so the value is searched through the display
//   text (MParameterSearch); an interface that parses text itself will do it there.
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
  /// The interface used when the user names none. VST 2.4 until tools/host can host VST 3.
  static constexpr MPluginFormat kDefaultFormat = MPluginFormat::Vst2;
  /// Longest parameter name VST 2.4 passes; longer names arrive cut to this length.
  static constexpr std::size_t kVst2NameChars = 24;

  /// "vst2", "vst3" (case-insensitive); false for anything else.
  static bool ParseFormat(const std::string& text, MPluginFormat& format);
  static const char* FormatName(MPluginFormat format);
  /// Whether this build can host plug-ins through format (VST 3: not until tools/host can).
  static bool FormatAvailable(MPluginFormat format) { return format != MPluginFormat::Vst3; }

  /// The index of the parameter called `wanted` among names: a whole name (ignoring case), else
  /// the part after the last " - " (hosts show group-qualified names such as "Effects - Width").
  /// A name exactly cutChars long (0: names are never cut) may have been cut by the interface:
  /// it also matches a wanted name that begins with it. -1 with a message when none or several
  /// match.
  static int MatchParameterName(const std::vector<std::string>& names, const std::string& wanted,
                                std::size_t cutChars, std::string& error);

  MRenderHost() = default;
  ~MRenderHost();
  MRenderHost(const MRenderHost&) = delete;
  MRenderHost& operator=(const MRenderHost&) = delete;

  /// Creates the host for format and loads the module at path (ignored for the pass-through).
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

  /// Parameter names as the plug-in reports them (read once after loading).
  const std::vector<std::string>& ParameterNames();
  /// FindParameter: MatchParameterName over this plug-in's names with its interface's cut length.
  int FindParameter(const std::string& name, std::string& error);
  /// Sets parameter index from typed text. shown receives the display text afterwards; warning
  /// says when the text was beyond the range and was clamped. On failure the value is unchanged.
  bool SetParameterText(int index, const std::string& text, std::string& shown, std::string& warning,
                        std::string& error);
  /// The display texts at the two ends of the range; the value is left as it was.
  std::pair<std::string, std::string> RangeTexts(int index);

private:
  std::unique_ptr<MTestHost> m_host;
  MPluginFormat m_format = kDefaultFormat;
  std::vector<std::string> m_names;
  bool m_namesRead = false;
  bool m_opened = false;
};
