// The editor library's part of the core: the generic parameter panel and the editor link, the
// default editor window included.

#include "base/MValue.h"
#include "core/parameters/MParameterBuilder.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MAudioPluginEditorWindow.h"
#include "core/plugin/MPluginParameters.h"
#include "gui/MWindow.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MSwitcher.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "tests/core/MCoreTestSupport.h"

#include <gtest/gtest.h>

using MCoreTest::Descriptor;
using MCoreTest::FakeHost;
using MCoreTest::Register;

TEST(MPluginParameters, PanelGivesEachTypeItsControlUnderItsGroupAndSendsEditsToTheHost)
{
  MRelaxed<bool> fxOn{true};
  std::vector<MParameterInfo> table = {
      Descriptor(MParameterInfo::kFloat, "Mix"),      Descriptor(MParameterInfo::kGroup, "Tuning"),
      Descriptor(MParameterInfo::kInteger, "Offset"), Descriptor(MParameterInfo::kEnumeration, "Shape"),
      Descriptor(MParameterInfo::kGroup, "Fx"),
  };
  table[4].group.enabled = &fxOn;
  MAudioPlugin plugin;
  FakeHost host;
  plugin.SetHostAdapter(&host);
  MParameterTable description;
  description.descriptors = table.data();
  description.count = static_cast<std::int32_t>(table.size());
  MParameterIndexMap map;
  MParameterBuilder::Build(plugin, nullptr, description, map, plugin.GetParameterPanelLink());
  ASSERT_EQ(plugin.GetNumParameters(), 4);

  MPluginParameters panel(plugin);
  *plugin.GetParameterPanelLink() = &panel;
  panel.SetSize(MSize{600, 120});
  panel.Build();
  ASSERT_EQ(panel.GetControlCount(), 4);
  const bool isKnob[] = {true, true, false, false}; // float, integer, enumeration, group switch
  for (int index = 0; index < 4; ++index)
    EXPECT_EQ(dynamic_cast<MKnob*>(panel.FindParameterControl(index)) != nullptr, isKnob[index]) << index;
  EXPECT_NE(panel.FindChild(MString("Group Tuning")), nullptr);
  EXPECT_EQ(panel.FindParameterControl(1)->GetValue()->GetStepCount(), 11);

  // Edits reach the parameter and the host; the integer knob steps by whole numbers.
  ASSERT_TRUE(dynamic_cast<MSwitcher*>(panel.FindParameterControl(2))->Advance());
  EXPECT_DOUBLE_EQ(plugin.GetParameter(2), 0.5);
  ASSERT_TRUE(panel.FindParameterControl(1)->Increment(1));
  EXPECT_DOUBLE_EQ(plugin.GetParameter(1), 0.1);
  ASSERT_TRUE(dynamic_cast<MSwitcher*>(panel.FindParameterControl(3))->Advance());
  EXPECT_FALSE(fxOn.Load());
  EXPECT_EQ(host.m_automation, (std::vector<std::pair<std::int32_t, double>>{{2, 0.5}, {1, 0.1}, {3, 0.0}}));

  // A host change shows after the update round, text included.
  plugin.SetParameter(2, 1.0);
  plugin.ProcessAutomationUpdates();
  EXPECT_DOUBLE_EQ(panel.FindParameterControl(2)->GetNormalised(), 1.0);
  EXPECT_EQ(panel.FindParameterControl(2)->GetText(), plugin.GetParameterValueName(2));
}

namespace
{
struct Editor : MAudioPlugin::MEditor
{
  explicit Editor(bool* destroyed) : m_destroyed(destroyed) {}
  ~Editor() override { *m_destroyed = true; }
  void RefreshAdapters(MAudioPlugin::AutomationAdapter* const*, std::int32_t count) override
  {
    m_refreshed += count;
  }
  void SetSize(std::int32_t width, std::int32_t height) override { m_size = {width, height}; }
  MSize GetSize() const override { return MSize{m_size.first, m_size.second}; }
  bool* m_destroyed;
  int m_refreshed = 0;
  std::pair<int, int> m_size{0, 0};
};

struct EditorPlugin : MAudioPlugin
{
  MEditor* CreateEditorControl(MWindowSystemCommon&, MNativeHandle parent) override
  {
    return parent != 0 ? new Editor(&m_destroyed) : nullptr;
  }
  bool m_destroyed = false;
};
} // namespace

TEST(MAudioPluginEditor, EditorOpensResizesThroughTheHostRefreshesAndCloses)
{
  EditorPlugin plugin;
  FakeHost host;
  plugin.SetHostAdapter(&host);
  const auto adapters = Register(plugin, {1, 1});
  MWindowSystemHeadless system;
  EXPECT_FALSE(plugin.OpenEditor(system, 0));
  EXPECT_FALSE(plugin.IsEditorOpen());

  ASSERT_TRUE(plugin.OpenEditor(system, 42));
  EXPECT_TRUE(plugin.IsEditorOpen());
  auto* editor = static_cast<Editor*>(plugin.GetEditor());
  EXPECT_TRUE(plugin.ResizeEditor(640, 480));
  EXPECT_EQ(editor->m_size, std::make_pair(640, 480));

  plugin.NeedUpdateEditor(adapters[0]);
  plugin.NeedUpdateEditor(adapters[1]);
  EXPECT_EQ(plugin.ProcessAutomationUpdates(), 2);
  EXPECT_EQ(editor->m_refreshed, 2);
  EXPECT_EQ(plugin.GetNeedUpdateCount(), 0);

  plugin.DestroyEditor();
  EXPECT_TRUE(plugin.m_destroyed);
  EXPECT_FALSE(plugin.IsEditorOpen());
  EXPECT_EQ(plugin.GetEditor(), nullptr);
}

TEST(MAudioPluginEditor, DefaultEditorIsAWindowWithItsPartsLinkedAndArrangedForItsSize)
{
  MAudioPlugin plugin;
  plugin.m_pluginName = MString("Probe");
  Register(plugin, {2});
  MWindowSystemHeadless system;
  system.Initialize();
  EXPECT_EQ(plugin.GetEditorSize(),
            (MSize{MAudioPlugin::kDefaultEditorWidth, MAudioPlugin::kDefaultEditorHeight}));
  ASSERT_TRUE(plugin.OpenEditor(system, 7));
  MWindow* window = plugin.GetEditor()->GetWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->IsOpen());
  EXPECT_EQ(window->GetSize(), (MSize{720, 522}));
  auto& contents = static_cast<MAudioPluginEditorWindow*>(plugin.GetEditor())->GetContents();
  MControl* panel = contents.FindChild(MString("MainPluginParameters"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->GetParent(), contents.FindChild(MString("PluginParametersContainer")));
  EXPECT_EQ(static_cast<MControl*>(*plugin.GetParameterPanelLink()), panel);
  // Resizing re-arranges: the help line stays at the bottom, the user area fills what is left.
  plugin.GetEditor()->SetSize(900, 600);
  EXPECT_EQ(contents.FindChild(MString("Help"))->GetBounds().bottom, 600 - 4);
  const MRect user = contents.FindChild(MString("UserControls"))->GetBounds();
  EXPECT_EQ(user.Width(), 900 - 2 * MAudioPluginEditorWindow::kMargin);
  EXPECT_LT(user.bottom, contents.FindChild(MString("PluginParametersContainer"))->GetBounds().top);
  plugin.IdleEditor();
  plugin.DestroyEditor();
  EXPECT_EQ(plugin.GetEditor(), nullptr);
  EXPECT_EQ(*plugin.GetParameterPanelLink(), nullptr);
  EXPECT_EQ(plugin.GetEditorSize(), (MSize{720, 522}));
}
