// The windows the common editor opens: the ABCD morphing editor and the general settings.

#include "framework/MQuorvelAudioEffectPluginWindows.h"

#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "core/plugin/MSettingsFolder.h"
#include "framework/MChannelModes.h"
#include "framework/MQuorvelPresetWindow.h"
#include "framework/MStyleSettings.h"
#include "gui/MDrawer.h"
#include "gui/MGridPlacer.h"
#include "gui/MStyle.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MColorEditor.h"
#include "gui/controls/MSelector.h"
#include "gui/controls/MSheet.h"
#include "gui/controls/MStatic.h"
#include "gui/stml/MSTMLEscape.h"
#include "gui/stml/MSTMLControl.h"
#include "gui/styles/MStylePackage.h"
#include "gui/styles/MTexturedStyle.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>

namespace
{
constexpr std::int32_t kLabelHeight = 20;
constexpr std::int32_t kRowHeight = 24;
constexpr std::int32_t kHelpTimer = 1;
constexpr std::int32_t kHelpTimerMs = 100;

/// A question in STML (the morph warning carries mark-up) with Yes (default) and No.
class QuestionDialog : public MDialog
{
public:
  QuestionDialog(const MString& title, const MString& question)
  {
    SetCaption(title);
    m_text = &Add<MSTMLControl>();
    m_text->SetSTML(MString("<normal>") + question + MString("</normal>"));
    AddButton(MString("Yes"), MModalValue::Yes, true);
    AddButton(MString("No"), MModalValue::No);
    SetSize(MSize{460, 230});
  }

protected:
  void LayoutContent(const MRect& content) override { m_text->SetBounds(content); }

private:
  MSTMLControl* m_text = nullptr;
};

// What the corner letter does not say: whether the slot is the one morphing writes into, or one
// never visited (which blends with the current settings).
MString SlotLabel(const MQuorvelAudioEffectPlugin& plugin, std::int32_t slot)
{
  const MXmlItem& stored = plugin.GetPresetSlot(slot);
  if (slot == plugin.GetPresetIndex())
    return MString("active: will change");
  if (MQuorvelAudioEffectPlugin::IsEmptySlot(stored))
    return MString("empty: live settings");
  return MString();
}

} // namespace

// ---- the pad ------------------------------------------------------------------------------------------

MMorphPad::MMorphPad()
{
  SetId(MString(MQuorvelAudioEffectPlugin::ABCDEditor::kPadId));
  SetDefaultPoint(0.5, 0.5);
}

MPoint MMorphPad::UVToWindow(double u, double v) const
{
  const MPoint local = ToPixels(std::clamp(u, 0.0, 1.0), 1.0 - std::clamp(v, 0.0, 1.0));
  const MPoint origin = GetWindowPosition();
  return MPoint{origin.x + local.x, origin.y + local.y};
}

void MMorphPad::Gesture(bool open)
{
  if (open == m_gestureOpen)
    return;
  m_gestureOpen = open;
  if (m_gesture)
    m_gesture(open);
}

bool MMorphPad::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button == MMouseButton::Left && (modifiers & MSystemEvent::ModDoubleClick) == 0)
    Gesture(true);
  m_fine = (modifiers & MSystemEvent::ModShift) != 0;
  const bool used = MVector2DEditor::OnMouseDown(button, position, modifiers);
  if (!used || !IsClicked())
    Gesture(false);
  return used;
}

bool MMorphPad::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  // A drag started with Shift moves relative to the mouse, ten times finer (the base's way);
  // otherwise the handle stays under the mouse, limited to the pad.
  if (!IsClicked() || m_fine)
    return MVector2DEditor::OnMouseMove(
        position, m_fine ? modifiers | static_cast<std::uint32_t>(MSystemEvent::ModShift) : modifiers);
  const MPoint topLeft = ToPixels(0.0, 1.0);
  const MPoint bottomRight = ToPixels(1.0, 0.0);
  const double width = std::max(1, bottomRight.x - topLeft.x);
  const double height = std::max(1, bottomRight.y - topLeft.y);
  MovePoint((position.x - topLeft.x) / width, (bottomRight.y - position.y) / height);
  return true;
}

bool MMorphPad::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  const bool used = MVector2DEditor::OnMouseUp(button, position, modifiers);
  if (used)
    Gesture(false);
  return used;
}

void MMorphPad::OnCaptureLost()
{
  MVector2DEditor::OnCaptureLost();
  Gesture(false);
}

bool MMorphPad::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  const bool arrow = key == MVirtualKey::Left || key == MVirtualKey::Right || key == MVirtualKey::Up ||
                     key == MVirtualKey::Down;
  if (!arrow || IsClicked())
    return MVector2DEditor::OnKeyDown(key, modifiers);
  Gesture(true);
  const bool used = MVector2DEditor::OnKeyDown(key, modifiers);
  Gesture(false);
  return used;
}

void MMorphPad::Paint(MDrawer& drawer)
{
  MVector2DEditor::Paint(drawer);
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  const MPoint topLeft = ToPixels(0.0, 1.0);
  const MPoint bottomRight = ToPixels(1.0, 0.0);
  const MRect pad{topLeft.x + 4, topLeft.y + 2, bottomRight.x - 3, bottomRight.y - 1};
  if (pad.Width() < 40 || pad.Height() < 40)
    return;
  const MFont& font = style->GetFont(MStdFont::Large2);
  const MColor color = style->GetColor(MStdColor::Text).WithAlpha(IsEnabledInWindow() ? 110 : 50);
  const char* letters[4] = {"A", "B", "C", "D"};
  const MAlignment placement[4] = {MAlign::Left | MAlign::Top, MAlign::Right | MAlign::Top,
                                   MAlign::Left | MAlign::Bottom, MAlign::Right | MAlign::Bottom};
  for (int corner = 0; corner < 4; ++corner)
    drawer.AlignedTextOut(pad, MString::FromLiteral(letters[corner]), font, color, placement[corner]);
}

// ---- the morphing editor ------------------------------------------------------------------------------

MQuorvelAudioEffectPlugin::ABCDEditor::ABCDEditor(MQuorvelAudioEffectPlugin& plugin) : m_plugin(plugin)
{
  SetCaption(MString("ABCD morphing"));
  m_hint = &Add<MStatic>(MString("Drag the handle to blend presets A, B, C and D."));
  m_hint->SetTextAlignment(MAlign::Left);
  for (std::int32_t slot = 0; slot < 4; ++slot)
  {
    MStatic& label = Add<MStatic>(SlotLabel(plugin, slot));
    label.SetId(MString("Slot") + SlotName(slot));
    label.SetTextAlignment(slot % 2 == 0 ? MAlign::Left : MAlign::Right);
    label.SetFont(MStdFont::Small);
    m_labels[static_cast<std::size_t>(slot)] = &label;
  }
  m_pad = &Add<MMorphPad>();
  m_pad->SetHelp(MString("<p><b>ABCD morphing</b><p>Blends the settings of presets A to D. Arrow keys move "
                         "the handle, Shift moves it finer, a double click centres it."));
  // The handle starts where the live state is: on the active slot's corner, else in the centre.
  const std::int32_t active = plugin.GetPresetIndex();
  if (active >= 0 && active < 4)
    m_pad->SetUV(active % 2, active / 2);
  else
    m_pad->SetUV(0.5, 0.5);
  m_pad->GetChangedEvent().Subscribe<&ABCDEditor::OnPadChanged>(this);
  m_pad->m_gesture = [this](bool open) { SetGestures(open); };
  AddButton(MString("Close"), MModalValue::Ok, true);
  SetInitialFocus(m_pad);
  SetSize(MSize{380, 470});
  Layout();
}

MQuorvelAudioEffectPlugin::ABCDEditor::~ABCDEditor()
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::ABCDEditor::~ABCDEditor", [&] {
    // The pad outlives this part of the window (the base destroys the children): it must not
    // call back once the gestures are closed here.
    m_pad->m_gesture = nullptr;
    SetGestures(false);
  });
}

void MQuorvelAudioEffectPlugin::ABCDEditor::LayoutContent(const MRect& content)
{
  m_hint->SetBounds(MRect{content.left, content.top, content.right, content.top + kLabelHeight});
  const std::int32_t top = content.top + kLabelHeight + 6;
  const std::int32_t side = std::max(0, std::min(content.Width(), content.bottom - top - 2 * kLabelHeight));
  const std::int32_t left = content.left + (content.Width() - side) / 2;
  m_pad->SetBounds(MRect{left, top + kLabelHeight, left + side, top + kLabelHeight + side});
  // A little over half the side each: the two labels of a row are short and aligned apart.
  const std::int32_t half = side * 3 / 5;
  const std::int32_t rows[2] = {top, top + kLabelHeight + side};
  for (std::int32_t slot = 0; slot < 4; ++slot)
  {
    const std::int32_t x = left + (slot % 2) * (side - half);
    const std::int32_t y = rows[slot / 2];
    m_labels[static_cast<std::size_t>(slot)]->SetBounds(MRect{x, y, x + half, y + kLabelHeight});
  }
}

void MQuorvelAudioEffectPlugin::ABCDEditor::OnPadChanged(MOnNotifyParams&)
{
  m_plugin.Morph(m_pad->GetU(), m_pad->GetV());
}

void MQuorvelAudioEffectPlugin::ABCDEditor::SetGestures(bool open)
{
  if (!open)
  {
    for (const std::int32_t index : m_openGestures)
      m_plugin.EndAutomationGesture(index);
    m_openGestures.clear();
    return;
  }
  if (!m_openGestures.empty())
    return;
  // Only what the blend can move: a parameter equal in all four corners never changes.
  const auto& corners = m_plugin.m_morphValues;
  for (std::size_t index = 0; index < corners.size(); ++index)
  {
    const auto& value = corners[index];
    if (value[1] != value[0] || value[2] != value[0] || value[3] != value[0])
      m_openGestures.push_back(static_cast<std::int32_t>(index));
  }
  for (const std::int32_t index : m_openGestures)
    m_plugin.BeginAutomationGesture(index);
}

void MQuorvelAudioEffectPlugin::OpenABCDEditor(MControl& origin)
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::OpenABCDEditor", [&] {
    MWindow* owner = origin.GetWindow();
    if (owner == nullptr || MSheet::TopDialog(*owner) != nullptr)
      return;
    // The sheets live in `owner`: their completions never outlive it.
    const auto openPad = [this, owner] {
      PrepareMorph();
      MSheet::Show(*owner, std::make_unique<ABCDEditor>(*this));
    };
    if (!MorphOverwritesActiveSlot())
      return openPad();
    MSheet::Show(*owner, std::make_unique<QuestionDialog>(MString("ABCD morphing"), MorphWarningText()),
                 [this, openPad](MModalValue answer) {
                   if (answer == MModalValue::Yes)
                     SelectSlot(kFirstSlotOutsideMorph);
                   else if (answer != MModalValue::No)
                     return; // dismissed without an answer: no morphing
                   openPad();
                 });
  });
}

// ---- general settings ---------------------------------------------------------------------------------

namespace
{
struct CheckText
{
  const char* key;
  const char* caption;
  const char* help;
};
const CheckText kChecks[3] = {
    {MGeneralSettings::kSurroundActivated, "Activate surround",
     "<p><b>Activate surround</b><p>You may disable surround for some older hosts, which do not support "
     "surround compliant plugins."},
    {MGeneralSettings::kTabletMode, "Tablet mode",
     "<p><b>Tablet mode</b><p>Enables better support for tablets at the expense of worse support for mouse."},
    {MGeneralSettings::kShowConfirmations, "Show confirmations for destructive actions",
     "<p><b>Show confirmations for destructive actions</b><p>Should a confirmation window be shown when "
     "reseting settings etc.?"},
};
const char* const kDefaultNote = "Point at a setting to see what it does.";

// What each main colour tints (the slots of the style's bitmaps).
const char* const kColorHelp[4] = {
    "<p><b>Surface colour</b><p>Tints the editor's background, panels and fields.",
    "<p><b>Control colour</b><p>Tints knobs, sliders, switches and scroll bars.",
    "<p><b>Button colour</b><p>Tints buttons and check boxes.",
    "<p><b>Title colour</b><p>Tints the title bars of panels and windows."};

// One main colour, edited in a sheet over the settings: OK takes it, Cancel leaves it.
class ColorDialog : public MDialog
{
public:
  static constexpr const char* kEditorId = "ColorEditor";
  static constexpr const char* kFieldId = "ColorField";

  ColorDialog(const MString& title, MColor color)
  {
    SetCaption(title);
    m_editor = &Add<MColorEditor>();
    m_editor->SetId(MString(kEditorId));
    m_editor->GetField().SetId(MString(kFieldId));
    m_editor->SetColor(color);
    AddButton(MString("OK"), MModalValue::Ok, true);
    AddButton(MString("Cancel"), MModalValue::Cancel);
    const MSize wanted = m_editor->GetPreferredSize();
    SetSize(MSize{std::max(300, wanted.x + 24), wanted.y + FrameHeight()});
    Layout();
  }
  MColor GetColor() const { return m_editor->GetColor(); }

protected:
  void LayoutContent(const MRect& content) override { m_editor->SetBounds(content); }

private:
  MColorEditor* m_editor = nullptr;
};

struct ActionText
{
  const char* id;
  const char* caption;
  const char* help;
};
const ActionText kActions[3] = {
    {MQuorvelAudioEffectPlugin::SettingsWindow::kSetDefaultsId, "Set default settings",
     "<p><b>Set default settings</b><p>Makes the current settings the ones every new instance of the "
     "plug-in starts with."},
    {MQuorvelAudioEffectPlugin::SettingsWindow::kLoadDefaultsId, "Load default settings",
     "<p><b>Load default settings</b><p>Replaces the current settings of this instance with the default "
     "settings."},
    {MQuorvelAudioEffectPlugin::SettingsWindow::kPanicId, "Panic",
     "<p><b>Panic</b><p>Stops hanging notes and sounds: ends held MIDI notes, restarts the processing and "
     "puts the automatic gain back to unity. The settings stay as they are."},
};
} // namespace

MQuorvelAudioEffectPlugin::SettingsWindow::SettingsWindow(MQuorvelAudioEffectPlugin& plugin)
    : m_plugin(plugin)
{
  SetCaption(MString("General settings"));
  MString error;
  if (!MGeneralSettings::Load(m_values, error))
    m_note = MString("<b>The general settings file could not be read</b> (") + MSTMLEscape(error) +
             MString("). The defaults are shown; the file is kept aside when a setting changes.");
  else
    m_note = MString::FromLiteral(kDefaultNote);

  const bool values[3] = {m_values.surroundActivated, m_values.tabletMode, m_values.showConfirmations};
  for (std::size_t i = 0; i < std::size(kChecks); ++i)
  {
    MCheckBox& check = Add<MCheckBox>(MString::FromLiteral(kChecks[i].caption),
                                      values[i] ? MCheckState::On : MCheckState::Off);
    check.SetId(MString::FromLiteral(kChecks[i].key));
    check.SetHelp(MString::FromLiteral(kChecks[i].help));
    check.GetChangedEvent().Subscribe<&SettingsWindow::OnCheckChanged>(this);
    m_checks[i] = &check;
  }

  m_protectionLabel = &Add<MStatic>(MString("Automation protection"));
  m_protectionLabel->SetTextAlignment(MAlign::Left);
  m_protection = &Add<MSelector>();
  m_protection->SetId(MString(kProtectionId));

  m_channelLabel = &Add<MStatic>(MString("Channel mode"));
  m_channelLabel->SetTextAlignment(MAlign::Left);
  m_channelMode = &Add<MSelector>();
  m_channelMode->SetId(MString(kChannelModeId));
  ShowPluginSettings();
  m_protection->GetChangedEvent().Subscribe<&SettingsWindow::OnProtectionChanged>(this);
  m_channelMode->SetHelp(MString("<p><b>Channel mode</b><p>Which channels the effect processes: both, one of "
                                 "them, the mid or side signal, or up to eight surround channels."));
  m_channelMode->GetChangedEvent().Subscribe<&SettingsWindow::OnChannelModeChanged>(this);
  if (m_plugin.GetEffect() != nullptr && m_plugin.GetEffect()->GetMIDIOutput() != nullptr)
  {
    m_sendNotes = &Add<MCheckBox>(MString("Send detected notes as MIDI"));
    m_sendNotes->SetId(MString(kSendNotesId));
    m_sendNotes->SetHelp(MString(
        "<p><b>Send detected notes as MIDI</b><p>This instance sends the notes it hears to the host as MIDI "
        "notes on channel 1 (to double the voice with an instrument, or to write the melody down). Saved "
        "with the project."));
    m_sendNotes->GetChangedEvent().Subscribe<&SettingsWindow::OnSendNotesChanged>(this);
    ShowPluginSettings();
  }

  m_zoomLabel = &Add<MStatic>(MString("Zoom"));
  m_zoomLabel->SetTextAlignment(MAlign::Left | MAlign::VCenter);
  m_zoom = &Add<MSelector>();
  m_zoom->SetId(MString(kZoomId));
  MStringList zooms;
  zooms.Add(MString("Automatic"));
  std::int32_t zoomChoice = 0;
  for (std::size_t i = 0; i < std::size(MGeneralSettings::kZoomSteps); ++i)
  {
    zooms.Add(MString::FromInteger(MGeneralSettings::kZoomSteps[i]) + MString(" %"));
    if (MGeneralSettings::kZoomSteps[i] == m_values.zoomPercent)
      zoomChoice = static_cast<std::int32_t>(i) + 1;
  }
  m_zoom->SetChoices(zooms);
  m_zoom->SetSelection(zoomChoice);
  m_zoom->SetHelp(MString("<p><b>Zoom</b><p>How large the editor is drawn. Automatic follows the host's "
                          "scale for plug-in windows, else the desktop's."));
  m_zoom->GetChangedEvent().Subscribe<&SettingsWindow::OnZoomChanged>(this);

  for (std::size_t i = 0; i < std::size(kActions); ++i)
  {
    MButton& button = Add<MButton>(MString::FromLiteral(kActions[i].caption));
    button.SetId(MString::FromLiteral(kActions[i].id));
    button.SetHelp(MString::FromLiteral(kActions[i].help));
    m_actions[i] = &button;
  }
  m_actions[0]->GetChangedEvent().Subscribe<&SettingsWindow::OnSetDefaults>(this);
  m_actions[1]->GetChangedEvent().Subscribe<&SettingsWindow::OnLoadDefaults>(this);
  m_actions[2]->GetChangedEvent().Subscribe<&SettingsWindow::OnPanic>(this);

  // The look of every editor: the styles the package holds and the four main colours.
  m_styleConfiguration = MStyleSettings::Load(MStyleSettings::FreshItem::Write);
  m_styleLabel = &Add<MStatic>(MString("Style"));
  m_styleLabel->SetTextAlignment(MAlign::Left | MAlign::VCenter);
  m_colorsLabel = &Add<MStatic>(MString("Colours"));
  m_colorsLabel->SetTextAlignment(MAlign::Left | MAlign::VCenter);
  m_style = &Add<MSelector>();
  m_style->SetId(MString(kStyleId));
  m_style->SetHelp(MString("<p><b>Style</b><p>How every Tonvera editor looks: \"Default\" is dark, "
                           "\"Silver\" is light."));
  try
  {
    const MStylePackage package(
        MStylePackage::FindResource(MString::FromLiteral(MStylePackage::kResourceName)));
    MStringList names;
    for (const MString& name : MTexturedStyle::ListStyles(package))
      names.Add(name);
    m_style->SetChoices(names);
    const MString shown = m_styleConfiguration.style.IsEmpty() ? MTexturedStyle::DefaultStyle(package)
                                                               : m_styleConfiguration.style;
    for (std::int32_t i = 0; i < names.Count(); ++i)
      if (names[i].EqualsName(shown))
        m_style->SetSelection(i);
  }
  catch (const MException&)
  {
    m_style->SetEnabled(false); // no package: the base style draws, nothing to choose
  }
  m_style->GetChangedEvent().Subscribe<&SettingsWindow::OnStyleChanged>(this);
  for (std::size_t i = 0; i < m_colors.size(); ++i)
  {
    MColorButton& color = Add<MColorButton>(m_styleConfiguration.mainColors[i]);
    color.SetId(MString::FromLiteral(kColorIds[i]));
    color.SetHelp(MString::FromLiteral(kColorHelp[i]));
    color.GetChangedEvent().Subscribe<&SettingsWindow::OnColorClicked>(this);
    m_colors[i] = &color;
  }
  m_resetColors = &Add<MButton>(MString("Reset colours"));
  m_resetColors->SetId(MString(kResetColorsId));
  m_resetColors->SetHelp(
      MString("<p><b>Reset colours</b><p>Puts the four colours back as the style has them."));
  m_resetColors->GetChangedEvent().Subscribe<&SettingsWindow::OnResetColors>(this);

  m_help = &Add<MSTMLControl>();
  m_help->SetId(MString(kHelpId));
  AddButton(MString("Close"), MModalValue::Ok, true);
  SetInitialFocus(m_checks[0]);
  SetSize(MSize{500, 424 + 2 * (kRowHeight + 6) + (m_sendNotes != nullptr ? kRowHeight + 6 : 0)});
  ShowHelpFor(nullptr);
  Layout();
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnShown()
{
  // A detached control starts no timer: the tick begins once the sheet holds the window.
  SetTimer(kHelpTimer, kHelpTimerMs);
}

void MQuorvelAudioEffectPlugin::SettingsWindow::LayoutContent(const MRect& content)
{
  constexpr std::int32_t kGap = 6;
  constexpr std::int32_t kLabelWidth = 60;
  constexpr std::int32_t kSwatch = 44;
  const std::int32_t width = content.Width();
  MGridPlacer grid(content, kGap, kGap);
  grid.Skip(4);
  for (MCheckBox* check : m_checks)
    grid.PlaceWide(*check, kRowHeight);
  grid.Skip(kGap);
  grid.PlaceWide(*m_protectionLabel, kLabelHeight);
  grid.PlaceWide(*m_protection, kRowHeight);
  grid.PlaceWide(*m_channelLabel, kLabelHeight);
  grid.PlaceWide(*m_channelMode, kRowHeight);
  // Zoom and style side by side, each after its label; the four main colours after theirs, the
  // reset at the right.
  const MGridColumn zoomAndStyle[4] = {{kLabelWidth, 0},
                                       {width / 2 - kLabelWidth - 2 * kGap, 3 * kGap},
                                       {kLabelWidth, 0},
                                       {MGridColumn::kFill}};
  grid.PlaceRow(zoomAndStyle, {m_zoomLabel, m_zoom, m_styleLabel, m_style}, kRowHeight);
  const MGridColumn colors[7] = {
      {kLabelWidth, 0},          {kSwatch}, {kSwatch}, {kSwatch}, {kSwatch}, {MGridColumn::kFill},
      {std::min(110, width / 4)}};
  grid.PlaceRow(colors,
                {m_colorsLabel, m_colors[0], m_colors[1], m_colors[2], m_colors[3], nullptr, m_resetColors},
                kRowHeight);
  if (m_sendNotes != nullptr)
    grid.PlaceWide(*m_sendNotes, kRowHeight);
  grid.Skip(kGap);
  // The two default buttons share what "Panic" leaves; their captions are the long ones.
  const std::int32_t panic = std::min(100, width / 4);
  const std::int32_t half = std::max(0, (width - panic - 2 * kGap) / 2);
  const MGridColumn actions[4] = {{half}, {half}, {MGridColumn::kFill, 0}, {panic}};
  grid.PlaceRow(actions, {m_actions[0], m_actions[1], nullptr, m_actions[2]}, kRowHeight, 10);
  grid.PlaceWide(*m_help, std::max(0, content.bottom - grid.GetTop()));
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnCheckChanged(MOnNotifyParams&)
{
  m_values.surroundActivated = m_checks[0]->IsChecked();
  m_values.tabletMode = m_checks[1]->IsChecked();
  m_values.showConfirmations = m_checks[2]->IsChecked();
  MString error, aside;
  if (!MGeneralSettings::Save(m_values, error, &aside))
    SetNote(MString("<b>The setting could not be saved</b>: ") + MSTMLEscape(error));
  else if (!aside.IsEmpty())
    SetNote(MString("The unreadable settings file was kept as ") + MSTMLEscape(aside) + MString("."));
  else
    SetNote(MString::FromLiteral(kDefaultNote));
  // Both act at once in this editor: the menus offer the surround mode or not, and the knobs
  // follow the pen or drag.
  ShowPluginSettings();
  m_plugin.RefreshPresetBar();
  if (MWindow* window = GetWindow())
    window->SetTabletMode(m_values.tabletMode);
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnProtectionChanged(MOnNotifyParams&)
{
  const std::int32_t chosen = m_protection->GetSelection();
  if (chosen >= 0 && chosen < kProtectionLevels)
    m_plugin.SetProtectionLevel(chosen);
  UpdateProtectionHelp();
  m_helpSource = nullptr;
  ShowHelpFor(m_protection);
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnChannelModeChanged(MOnNotifyParams&)
{
  const std::int32_t mode = m_channelMode->GetSelection();
  if (mode < 0 || mode == m_plugin.GetChannelMode())
    return;
  // The mode takes effect at the next set-up, which runs now (under the plug-in's locks).
  m_plugin.SetChannelMode(mode);
  m_plugin.InitProcessing();
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnZoomChanged(MOnNotifyParams&)
{
  const std::int32_t choice = m_zoom->GetSelection();
  if (choice < 0 || choice > static_cast<std::int32_t>(std::size(MGeneralSettings::kZoomSteps)))
    return;
  m_values.zoomPercent =
      choice == 0 ? MGeneralSettings::kZoomAutomatic : MGeneralSettings::kZoomSteps[choice - 1];
  MString error;
  if (!MGeneralSettings::Save(m_values, error))
  {
    SetNote(MString("<b>The setting could not be saved</b>: ") + MSTMLEscape(error));
    return;
  }
  // The editor this sheet lies in redraws at the new zoom and asks the host for its new size; the
  // other open editors follow from their next tick.
  m_plugin.FollowZoomChange();
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnSetDefaults(MOnNotifyParams&)
{
  if (m_plugin.SetDefaultSettingsToCurrent())
  {
    SetNote(MString("These settings are now the defaults: every new instance starts with them."));
    return;
  }
  if (m_plugin.IsMirror())
  {
    SetNote(MString("<b>The default settings could not be saved.</b> The host gives this window the "
                    "plug-in's parameters only, not all of its settings."));
    return;
  }
  const MString path = GetConfigurationPath();
  std::error_code error;
  const bool exists = !path.IsEmpty() && std::filesystem::exists(MSettingsFolder::ToPath(path), error);
  SetNote(MString("<b>The default settings could not be saved.</b> ") +
          (exists ? MString("GlobalConfiguration.xml in the settings folder could not be replaced; "
                            "it was left as it is.")
                  : MString("The settings folder could not be written.")));
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnLoadDefaults(MOnNotifyParams&)
{
  // The question is a sheet over this one: the answer comes later, and only while this window is
  // still there.
  m_plugin.GetEditorDialogs().Confirm(
      *m_actions[1], MString("Load default settings"),
      MString("The default settings replace the current settings of this instance. Load them?"),
      [this, alive = GetLifetime()](bool yes) {
        if (!yes || alive.expired())
          return;
        if (!m_plugin.LoadDefaultSettings())
        {
          SetNote(MString("<b>No default settings were loaded</b>: none have been set yet, or the file that "
                          "keeps them could not be read. The current settings stay."));
          return;
        }
        m_plugin.ActualiseAfterLoading();
        ShowPluginSettings();
        SetNote(MString("The default settings were loaded."));
      });
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnPanic(MOnNotifyParams&)
{
  if (m_plugin.Panic())
    SetNote(MString("Held notes end now; the processing restarted and the automatic gain is at unity."));
  else
    SetNote(MString("<b>The processing could not be restarted</b> at the current sample rate; held notes end "
                    "now."));
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnStyleChanged(MOnNotifyParams&)
{
  const std::int32_t chosen = m_style->GetSelection();
  if (chosen < 0 || chosen >= m_style->GetChoices().Count())
    return;
  m_styleConfiguration.style = m_style->GetChoices()[chosen];
  ApplyStyle();
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnColorClicked(MOnNotifyParams& params)
{
  const auto found = std::find(m_colors.begin(), m_colors.end(), params.sender);
  MWindow* window = GetWindow();
  if (found == m_colors.end() || window == nullptr)
    return;
  const std::size_t slot = static_cast<std::size_t>(found - m_colors.begin());
  static constexpr const char* kTitles[4] = {"Surface colour", "Control colour", "Button colour",
                                             "Title colour"};
  auto dialog = std::make_unique<ColorDialog>(MString::FromLiteral(kTitles[slot]),
                                              m_styleConfiguration.mainColors[slot]);
  ColorDialog& editor = *dialog;
  // The colour sheet stacks on this one; its answer comes later, while this sheet still stands.
  MSheet::Show(*window, std::move(dialog), [this, slot, &editor, alive = GetLifetime()](MModalValue answer) {
    if (answer != MModalValue::Ok || alive.expired())
      return;
    m_styleConfiguration.mainColors[slot] = editor.GetColor();
    m_colors[slot]->SetColor(editor.GetColor());
    ApplyStyle();
  });
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnResetColors(MOnNotifyParams&)
{
  for (std::size_t i = 0; i < m_colors.size(); ++i)
  {
    m_styleConfiguration.mainColors[i] = MTexturedStyleConfiguration::DefaultMainColor(static_cast<int>(i));
    m_colors[i]->SetColor(m_styleConfiguration.mainColors[i]);
  }
  ApplyStyle();
}

void MQuorvelAudioEffectPlugin::SettingsWindow::ApplyStyle()
{
  MString error;
  if (!MStyleSettings::Save(m_styleConfiguration, error))
    SetNote(MString("<b>The style could not be saved</b>: ") + MSTMLEscape(error));
  MWindow* window = GetWindow();
  MWindowSystemCommon* system = window != nullptr ? window->GetWindowSystem() : nullptr;
  if (system != nullptr && !MStyleSettings::Apply(*system, m_styleConfiguration))
    SetNote(MString("<b>The style could not be loaded</b>; the editor keeps the one it had."));
}

void MQuorvelAudioEffectPlugin::SettingsWindow::ShowPluginSettings()
{
  MStringList levels;
  for (const ProtectionLevel& level : kProtection)
    levels.Add(MString::FromLiteral(level.name));
  const std::int32_t level = m_plugin.GetProtectionLevel();
  if (level < 0)
  {
    // A block size no level has (an old state): shown as it is until a level is chosen.
    levels.Add(MString("Custom (") + MString::FromInteger(m_plugin.GetMaxLFOBlockSize()) +
               MString(" samples)"));
  }
  m_protection->SetChoices(levels);
  m_protection->SetSelection(level >= 0 ? level : kProtectionLevels);
  UpdateProtectionHelp();
  MStringList modes;
  for (std::int32_t mode = 0; mode < OfferedChannelModeCount(m_values.surroundActivated); ++mode)
    modes.Add(GetChannelModeName(mode));
  m_channelMode->SetChoices(modes);
  m_channelMode->SetSelection(m_plugin.GetChannelMode());
  if (m_sendNotes != nullptr)
    m_sendNotes->SetCheck(m_plugin.GetEffect()->GetMIDIOutput()->IsEnabled() ? MCheckState::On
                                                                             : MCheckState::Off);
}

void MQuorvelAudioEffectPlugin::SettingsWindow::OnSendNotesChanged(MOnNotifyParams&)
{
  if (MAudioEffectPlugin* effect = m_plugin.GetEffect();
      effect != nullptr && effect->GetMIDIOutput() != nullptr)
    effect->GetMIDIOutput()->SetEnabled(m_sendNotes->IsChecked());
  // Part of the project: the host marks it modified.
  m_plugin.ReportStateChangedToHost();
}

void MQuorvelAudioEffectPlugin::SettingsWindow::UpdateProtectionHelp()
{
  const std::int32_t level = m_plugin.GetProtectionLevel();
  MString help("<p><b>Automation protection</b><p>");
  if (level >= 0)
    help += MString::FromLiteral(kProtection[level].help);
  else
    help += MString("Parameter changes are applied every ") +
            MString::FromInteger(m_plugin.GetMaxLFOBlockSize()) + MString(" samples.");
  m_protection->SetHelp(help);
}

void MQuorvelAudioEffectPlugin::SettingsWindow::SetNote(const MString& note)
{
  m_note = note;
  ShowHelpFor(nullptr);
  // Shown until the mouse moves on: the control under it now would replace it at the next tick.
  m_helpSource = GetWindow() != nullptr ? GetWindow()->GetHighlightControl() : nullptr;
}

void MQuorvelAudioEffectPlugin::SettingsWindow::ShowHelpFor(const MControl* control)
{
  MString text;
  for (const MControl* at = control; at != nullptr && at != this && text.IsEmpty(); at = at->GetParent())
    text = at->GetHelp();
  if (text.IsEmpty())
    text = MString("<p>") + m_note;
  m_helpSource = control;
  if (text == m_helpText)
    return;
  try
  {
    m_help->SetSTML(MString("<s>") + text + MString("</s>"), true);
    m_helpText = text;
  }
  catch (const MException&)
  {
    // A malformed text leaves the line as it was.
  }
}

bool MQuorvelAudioEffectPlugin::SettingsWindow::OnTimer(std::int32_t id)
{
  if (id != kHelpTimer)
    return MDialog::OnTimer(id);
  const MControl* hovered = GetWindow() != nullptr ? GetWindow()->GetHighlightControl() : nullptr;
  if (hovered != m_helpSource)
    ShowHelpFor(hovered);
  return true;
}

void MQuorvelAudioEffectPlugin::OpenSettingsWindow(MControl& origin)
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::OpenSettingsWindow", [&] {
    MWindow* owner = origin.GetWindow();
    if (owner == nullptr || MSheet::TopDialog(*owner) != nullptr)
      return;
    MSheet::Show(*owner, std::make_unique<SettingsWindow>(*this));
  });
}
