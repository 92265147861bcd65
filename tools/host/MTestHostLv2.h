#pragma once
// MTestHostLv2: an LV2 host on liblilv for the tests. It finds a plug-in by URI in the bundles
// LV2_PATH names (lilv_world_load_all), instantiates it with urid:map and the options of a bounded
// block length, connects a buffer to every port and drives it through the common MTestHost
// surface. The module path of LoadModule is the plug-in's URI.
//
// Parameters are the control inputs in port order (their index is the port's); state is the
// plug-in's state interface, saved and restored through this host's own store and retrieve, so the
// bytes of each property are visible. Presets and state files go through lilv's state API as a
// host's preset menu and session do; the MIDI events of an atom output that supports them are kept
// until read. The UI part loads the plug-in's X11 UI from its binary as a
// host without a UI library does: ui:parent, ui:idleInterface, ui:resize, ui:touch, and
// instance-access when asked for; its port writes reach the control ports and are recorded as
// edits (touch grab and release as gesture begin and end); the atom output's events reach it at its
// idle.
//
// Threads: one thread drives the host; the plug-in's UI calls back on it.

#include "tools/host/MTestHost.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class MTestHostLv2 : public MTestHost
{
public:
  MTestHostLv2();
  ~MTestHostLv2() override;
  MTestHostLv2(const MTestHostLv2&) = delete;
  MTestHostLv2& operator=(const MTestHostLv2&) = delete;

  /// `uri`: the plug-in's URI, looked up in the bundles of LV2_PATH.
  MTestHostStatus LoadModule(const std::string& uri) override;
  bool IsLoaded() const override;
  /// Instantiates at the rate with bufsz:maxBlockLength = maxBlockSamples (0: no block length
  /// option at all), activates, and runs an empty block so that the latency port is set.
  bool Activate(double sampleRateHz, int maxBlockSamples) override;
  bool Deactivate() override;
  bool Process(float** inputs, float** outputs, int samples) override;
  void Close() override;

  int NumInputs() const override;
  int NumOutputs() const override;
  /// Control inputs (the plug-in's parameters and the enabled switch).
  int NumParameters() const override;
  /// The latency output port's value.
  int LatencySamples() const override;
  float GetParameter(int index) override;
  void SetParameter(int index, float value) override;
  std::string ParameterName(int index) override;
  std::string ParameterDisplay(int index) override;
  /// The bytes of the plug-in's state property; empty when it saved none or several.
  std::vector<std::uint8_t> GetState() override;
  bool SetState(const std::vector<std::uint8_t>& bytes) override;
  bool SendMidi(const std::vector<MTestHostMidiEvent>& events) override;

  /// The loaded plug-in's ports: count, and per port its symbol, name, group symbol (empty:
  /// none), range and whether it has a property (a URI such as lv2:toggled) or a class.
  struct PortInfo
  {
    std::string symbol;
    std::string name;
    std::string group;
    float minimum = 0.0f;
    float maximum = 0.0f;
    float defaultValue = 0.0f;
    std::vector<std::string> classes;
    std::vector<std::string> properties;
    std::string designation;
    std::string unit;                                  // the units:unit URI, empty for none
    std::vector<std::pair<float, std::string>> points; // scale points: value, label; by value
  };
  std::vector<PortInfo> Ports() const;

  /// The plug-in's presets as lilv lists them: URI and label.
  std::vector<std::pair<std::string, std::string>> Presets();
  /// Loads preset `uri` with lilv_state_restore as a host's preset menu does: the state through the
  /// plug-in's interface, then the port values; with `portsOnly` as a host without the state
  /// interface does. False when it cannot.
  bool LoadPreset(const std::string& uri, bool portsOnly = false);
  /// Saves the instance (state and control inputs) as lilv does into `folder`/state.ttl, and
  /// restores such a file (a session's plug-in state or a preset the host saved).
  bool SaveStateFile(const std::string& folder);
  bool LoadStateFile(const std::string& path);
  /// MIDI events of the plug-in's MIDI output since the last call, offsets inside their block.
  std::vector<MTestHostMidiEvent> TakeMidiOutput();

  // ---- the UI ----
  /// Opens the plug-in's first UI in the X11 window `parent` (on $DISPLAY); with instance-access
  /// when `instanceAccess`. False when it cannot (LastError says why).
  bool OpenUi(unsigned long parent, bool instanceAccess);
  /// Hands the UI the atom output's events since the last idle (port_event, atom:eventTransfer),
  /// then calls its idle; false when the UI asked to close or none is open.
  bool IdleUi();
  void CloseUi();
  /// The UI's widget (its X11 window), 0 when none is open.
  unsigned long UiWidget() const;
  /// Port writes and touches of the UI since the last TakeEdits.
  std::vector<MTestHostEdit> TakeEdits();
  /// Sends the UI the value of control port `index`, as a host does after a change.
  void NotifyUi(int index);

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};
