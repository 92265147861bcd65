#include "tools/render/MEditorSnapshot.h"

#include "core/plugin/MAudioPlugin.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/styles/MTexturedStyle.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>

namespace
{
// Any non-zero handle: the headless system places the editor in it without looking it up.
constexpr MNativeHandle kParent = 1;
constexpr std::size_t kBlock = 512;

// A host that takes every request and answers nothing; size requests are granted, as a host that
// can resize its window does.
class SilentHost : public MAudioPluginAdapter
{
public:
  void SendAutomation(std::int32_t, double) override {}
  void SendBypassAutomation(bool) override {}
  void GenerateMIDIEvent(std::int32_t, const std::uint8_t*) override {}
  void ReportLatency() override {}
  bool ChangeEditorSize(std::int32_t, std::int32_t) override { return true; }
};

// Chooses the named scale in the effect's tuning panel; a type the effect does not know is left.
void ChooseScale(MAudioEffectPluginToAudioPluginAdapter& adapter, const MScaleText::Choice& scale)
{
  auto* effect = dynamic_cast<TonveraAudioEffectPlugin*>(adapter.GetEffect());
  if (effect == nullptr || scale.root < 0)
    return;
  for (int kind = 0; kind < TonveraAudioEffectPlugin::kScaleKindCount; ++kind)
  {
    std::string name = TonveraAudioEffectPlugin::ScaleName(kind);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == scale.type)
      effect->SelectScale(kind, scale.root);
  }
}

// Plays mono sound through the plug-in on both of its channels, in host-sized blocks.
void Play(MAudioPlugin& plugin, std::span<const float> sound)
{
  std::vector<float> left(kBlock);
  std::vector<float> right(kBlock);
  std::vector<float> outLeft(kBlock);
  std::vector<float> outRight(kBlock);
  float* inputs[MAudioPlugin::kPointersPerBus] = {left.data(), right.data()};
  float* outputs[MAudioPlugin::kPointersPerBus] = {outLeft.data(), outRight.data()};
  for (std::size_t start = 0; start < sound.size(); start += kBlock)
  {
    const std::size_t count = std::min<std::size_t>(kBlock, sound.size() - start);
    std::copy_n(sound.begin() + static_cast<std::ptrdiff_t>(start), count, left.begin());
    std::copy_n(sound.begin() + static_cast<std::ptrdiff_t>(start), count, right.begin());
    plugin.Process(inputs, outputs, static_cast<std::int32_t>(count), true);
  }
}

bool Draw(MAudioPlugin& plugin, const MEditorSnapshot::Setup& setup, MBitmap& picture, std::string& error)
{
  auto* adapter = dynamic_cast<MAudioEffectPluginToAudioPluginAdapter*>(&plugin);
  if (!setup.state.empty() &&
      (adapter == nullptr || !adapter->LoadState(setup.state.data(), setup.state.size())))
  {
    error = "the editor's plug-in refused the state of the loaded module";
    return false;
  }
  if (adapter != nullptr)
    ChooseScale(*adapter, setup.scale);
  // Prepared as a host prepares it before showing the editor.
  const std::vector<MString> channels(2, MString("Channel"));
  plugin.SetChannelNames(channels, channels);
  plugin.SetSampleRate(setup.playbackRateHz);
  plugin.SetBlockSize(kBlock);
  plugin.InitProcessing();

  MWindowSystemHeadless system;
  system.Initialize();
  MTexturedStyle style; // the package's default style, as the module's window system has
  system.SetDefaultStyle(&style);
  if (!plugin.OpenEditor(system, kParent))
  {
    error = "the plug-in's editor did not open";
    return false;
  }
  // Closed before the window system and the style go, however this function is left.
  struct EditorCloser
  {
    MAudioPlugin& plugin;
    ~EditorCloser() { plugin.DestroyEditor(); }
  } closer{plugin};
  Play(plugin, setup.playback);
  // A host's first idle ticks: pending updates, the indicator and layout run before the picture.
  for (int tick = 0; tick < 3; ++tick)
    plugin.IdleEditor();
  MWindow* window = plugin.GetEditor() != nullptr ? plugin.GetEditor()->GetWindow() : nullptr;
  bool drawn = false;
  if (window != nullptr)
  {
    try
    {
      picture = system.Render(*window);
      drawn = !picture.IsEmpty();
    }
    catch (const std::exception& exception)
    {
      error = std::string("the editor could not be drawn: ") + exception.what();
    }
  }
  if (!drawn && error.empty())
    error = "the plug-in's editor has no window to draw";
  return drawn;
}
} // namespace

bool MEditorSnapshot::Render(const Setup& setup, MBitmap& picture, std::string& error)
{
  SilentHost host;
  bool drawn = false;
  try
  {
    std::unique_ptr<MAudioPlugin> plugin(CreateTonveraPlugin());
    if (plugin == nullptr)
      error = "the plug-in could not be created for its editor";
    else
    {
      plugin->SetHostAdapter(&host);
      drawn = Draw(*plugin, setup, picture, error);
    }
  }
  catch (const std::exception& exception)
  {
    error = std::string("drawing the editor failed: ") + exception.what();
  }
  // Creating the plug-in made the library object; nothing else in this program uses it.
  MModuleLibrary::Shutdown();
  return drawn;
}
