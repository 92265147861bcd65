#include "tools/gallery/MGallery.h"

#include "base/MValueNumber.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MFont.h"
#include "gui/MWindow.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MColorEditor.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MEnvelopeEditorControl.h"
#include "gui/controls/MFileDialog.h"
#include "gui/controls/MGraphEditor.h"
#include "gui/controls/MKeyboardControl.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MListBox.h"
#include "gui/controls/MMenu.h"
#include "gui/controls/MPanel.h"
#include "gui/controls/MPiano.h"
#include "gui/controls/MProgressBar.h"
#include "gui/controls/MScrollBar.h"
#include "gui/controls/MSelector.h"
#include "gui/controls/MSignalGeneratorEditor.h"
#include "gui/controls/MSpacer.h"
#include "gui/controls/MSplitter.h"
#include "gui/controls/MStatic.h"
#include "gui/controls/MSwitcher.h"
#include "gui/controls/MTabSet.h"
#include "gui/controls/MTracker.h"
#include "gui/controls/MTreeControl.h"
#include "gui/controls/MValueButton.h"
#include "gui/controls/MVector2DEditor.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/styles/MTexturedStyle.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace MGallery
{
namespace
{
constexpr std::int32_t kPad = 10;   // around a control inside its state window
constexpr std::int32_t kGap = 10;   // between cells on a sheet
constexpr std::int32_t kLabel = 18; // state name row
constexpr std::int32_t kTitle = 26; // class name row

template <class T>
std::unique_ptr<MControl> Own(std::unique_ptr<T> control)
{
  return std::unique_ptr<MControl>(std::move(control));
}

std::unique_ptr<MValue> Number(double value, double min, double max, const char* format)
{
  auto scale = std::make_unique<MValueDouble>(MValueBinding<double>::Value(value), min, max);
  scale->SetFormat(MString::FromLiteral(format));
  scale->SetDefaultValue(value);
  return scale;
}

MString Text(const char* utf8)
{
  return MString::FromUTF8(utf8);
}

MStringList Words(const char* utf8)
{
  return MStringList::Split(Text(utf8), u'|');
}
} // namespace

const char* StateName(State state)
{
  switch (state)
  {
  case State::Normal:
    return "normal";
  case State::Focused:
    return "focused";
  case State::Highlighted:
    return "highlighted";
  case State::Clicked:
    return "clicked";
  case State::Disabled:
    return "disabled";
  }
  return "normal";
}

std::string MakeSampleFolder()
{
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "tonvera-gallery" / "Library";
  std::error_code error;
  for (const char* folder :
       {"Presets/Factory", "Presets/User", "Samples/Vocals", "Samples/Strings", "Scales"})
    std::filesystem::create_directories(root / folder, error);
  for (const char* file : {"Presets/Gentle vocal.tvp", "Presets/Hard tune.tvp", "Presets/Natural.tvp",
                           "Presets/Wide choir.tvp", "Presets/readme.txt"})
  {
    const std::filesystem::path path = root / file;
    if (!std::filesystem::exists(path, error))
      std::ofstream(path) << "sample\n";
  }
  return root.string();
}

std::vector<Entry> Entries(const std::string& sampleFolder)
{
  const MString folder = MString::FromUTF8(sampleFolder);
  std::vector<Entry> entries;
  const auto add = [&](const char* name, MSize cell, std::function<std::unique_ptr<MControl>()> make,
                       bool isWindow = false) {
    entries.push_back(Entry{name, cell, std::move(make), isWindow});
  };

  // --- containers and texts -----------------------------------------------------------------------
  add("MPanel", {150, 90}, [] {
    auto panel = std::make_unique<MPanel>();
    panel->SetCaption("Scale");
    panel->SetCaptionType(MCaptionType::Small);
    return Own(std::move(panel));
  });
  add("MContainer", {150, 90}, [] {
    auto container = std::make_unique<MContainer>();
    container->SetCaption("Tuning");
    container->SetCaptionType(MCaptionType::Normal);
    MStatic& text = container->Add<MStatic>(MString("A4 = 440 Hz"));
    container->SetClientControl(&text);
    return Own(std::move(container));
  });
  add("MStatic", {150, 24}, [] { return Own(std::make_unique<MStatic>(MString("Pitch correction"))); });
  add("MStaticMultiLine", {170, 60}, [] {
    return Own(std::make_unique<MStaticMultiLine>(
        MString("Speed sets how fast\nthe pitch moves to\nthe target note.")));
  });
  add("MPanelGradient", {150, 60}, [] {
    auto panel = std::make_unique<MPanelGradient>();
    panel->SetText("Tonvera");
    return Own(std::move(panel));
  });
  add("MPanelGradientBlack", {150, 60}, [] {
    auto panel = std::make_unique<MPanelGradientBlack>();
    panel->SetText("Tonvera");
    return Own(std::move(panel));
  });
  add("MSpacer", {60, 30}, [] { return Own(std::make_unique<MSpacer>()); });

  // --- buttons and check boxes --------------------------------------------------------------------
  add("MButton", {110, 26}, [] { return Own(std::make_unique<MButton>(MString("Apply"))); });
  add("MButtonWithInfo", {150, 26},
      [] { return Own(std::make_unique<MButtonWithInfo>(MString("Presets"), MString("Ctrl+P"))); });
  add("MRepeaterButton", {60, 26}, [] { return Own(std::make_unique<MRepeaterButton>(MString("+1"))); });
  add("MColorButton", {130, 26}, [] {
    return Own(std::make_unique<MColorButton>(MColor{0xE0, 0x8A, 0x2E, 0xFF}, MString("Accent")));
  });
  add("MColorSelectButton", {130, 26}, [] {
    auto button = std::make_unique<MColorSelectButton>();
    button->SetColor(MColor{0x3C, 0x8C, 0xE7, 0xFF});
    button->SetText("Blue");
    return Own(std::move(button));
  });
  add("MCheckBox", {150, 24},
      [] { return Own(std::make_unique<MCheckBox>(MString("Keep formants"), MCheckState::On)); });
  add("MCheckBoxWithInfo", {190, 24},
      [] { return Own(std::make_unique<MCheckBoxWithInfo>(MString("Bypass"), MString("MIDI CC 64"))); });

  // --- value controls -----------------------------------------------------------------------------
  add("MKnob", {80, 86}, [] {
    auto knob = std::make_unique<MKnob>();
    knob->SetCaption("Speed");
    knob->BindOwned(Number(35, 0, 100, "{0;.0} ms"));
    return Own(std::move(knob));
  });
  add("MRotator", {80, 86}, [] {
    auto rotator = std::make_unique<MRotator>();
    rotator->SetCaption("Phase");
    rotator->BindOwned(Number(120, 0, 360, "{0;.0}\xB0"));
    return Own(std::move(rotator));
  });
  add("MTracker", {150, 24}, [] {
    auto tracker = std::make_unique<MTracker>();
    tracker->BindOwned(Number(70, 0, 100, "{0;.0} %"));
    return Own(std::move(tracker));
  });
  add("MSwitcher", {130, 24}, [] {
    auto switcher = std::make_unique<MSwitcher>();
    switcher->SetCaption("Formants");
    auto scale = std::make_unique<MValueInt>(MValueBinding<int>::Value(1), 0, 1);
    switcher->BindOwned(std::move(scale));
    return Own(std::move(switcher));
  });
  add("MValueButton", {100, 26}, [] {
    auto button = std::make_unique<MValueButton>();
    button->BindOwned(Number(-12.5, -100, 100, "{0;.1} ct"));
    return Own(std::move(button));
  });

  // --- text entry and choices -----------------------------------------------------------------------
  add("MEdit", {150, 26}, [] { return Own(std::make_unique<MEdit>(MString("Soft vocal"))); });
  add("MComboEdit", {150, 26}, [] {
    auto combo = std::make_unique<MComboEdit>();
    combo->SetChoices(Words("Chromatic|Major|Minor|Pentatonic"));
    combo->SetText("Major");
    return Own(std::move(combo));
  });
  add("MMultiLineEdit", {170, 64}, [] {
    return Own(std::make_unique<MMultiLineEdit>(MString("Verse: gentle\nChorus: hard tune\nBridge: off")));
  });
  add("MSelector", {150, 26}, [] {
    auto selector = std::make_unique<MSelector>();
    selector->SetChoices(Words("C major|G major|D minor|A minor"));
    selector->SetSelection(1);
    return Own(std::move(selector));
  });
  add("MPiano", {230, 70}, [] {
    auto piano = std::make_unique<MPiano>();
    piano->SetRange(48, 25);
    for (int note = 48; note < 73; ++note)
      piano->SetNoteEnabled(note, !MPiano::IsBlackKey(note));
    piano->SetActiveNote(64);
    return Own(std::move(piano));
  });
  add("MKeyboardControl", {230, 70}, [] {
    auto keyboard = std::make_unique<MKeyboardControl>();
    keyboard->SetRange(48, 25);
    keyboard->NoteOn(60, 100);
    keyboard->NoteOn(64, 100);
    keyboard->NoteOn(67, 100);
    return Own(std::move(keyboard));
  });

  // --- lists, menus, tabs and bars ----------------------------------------------------------------
  add("MListBox", {160, 112}, [] {
    auto list = std::make_unique<MListBox>();
    for (const MString& text :
         Words("Gentle vocal|Hard tune|Natural|Wide choir|Robot|Octave down|Subtle|Live"))
      list->AddString(text);
    list->SetSelection(1);
    return Own(std::move(list));
  });
  add("MMenu", {170, 130}, [] {
    auto menu = std::make_unique<MMenu>();
    menu->AddEntry("Undo", "Ctrl+Z");
    menu->AddEntry("Redo", "Ctrl+Y");
    menu->AddSeparator();
    MMenuItem snap(MString("Snap to scale"));
    snap.SetChecked(true);
    menu->AddItem(snap);
    menu->AddEntry("Reset all");
    MMenuItem off(MString("Learn MIDI"));
    off.SetEnabled(false);
    menu->AddItem(off);
    menu->SetSelection(0);
    return Own(std::move(menu));
  });
  add("MMenuBar", {200, 26}, [] {
    auto bar = std::make_unique<MMenuBar>();
    bar->AddTitle(MMenuBarItem{"File", {MMenuItem(MString("Open"), MString("Ctrl+O"))}});
    bar->AddTitle(MMenuBarItem{"Edit", {MMenuItem(MString("Undo"), MString("Ctrl+Z"))}});
    bar->AddTitle(MMenuBarItem{"Help", {MMenuItem(MString("About"))}});
    return Own(std::move(bar));
  });
  add("MTabSet", {200, 90}, [] {
    auto tabs = std::make_unique<MTabSet>();
    tabs->AddTab("Tuning", std::make_unique<MStatic>(MString("Correction settings")));
    tabs->AddTab("Scale", std::make_unique<MStatic>(MString("Notes of the scale")));
    tabs->AddTab("MIDI");
    return Own(std::move(tabs));
  });
  add("MScrollBar", {150, 14}, [] {
    auto bar = std::make_unique<MScrollBar>(false);
    bar->SetRange(100, 30);
    bar->SetScrollPosition(25);
    return Own(std::move(bar));
  });
  add("MScrollBarVertical", {14, 90}, [] {
    auto bar = std::make_unique<MScrollBar>(true);
    bar->SetRange(100, 40);
    bar->SetScrollPosition(50);
    return Own(std::move(bar));
  });
  add("MScroller", {160, 90}, [] {
    auto scroller = std::make_unique<MScroller>();
    auto text = std::make_unique<MStaticMultiLine>(
        MString("Tonvera corrects the pitch\nof a voice towards the notes\nof the chosen scale.\nSpeed: how "
                "fast.\nDepth: how "
                "much.\nDetune: moves everything."));
    text->SetSize(MSize{220, 120});
    scroller->SetContent(std::move(text));
    return Own(std::move(scroller));
  });
  add("MZoomer", {160, 16}, [] {
    auto zoomer = std::make_unique<MZoomer>();
    zoomer->SetRange(0.25, 0.4);
    return Own(std::move(zoomer));
  });
  add("MProgressBar", {160, 18}, [] {
    auto bar = std::make_unique<MProgressBar>();
    bar->SetLabel("Analysing");
    bar->SetProgress(0.62);
    return Own(std::move(bar));
  });
  add("MSplitter", {180, 80}, [] {
    auto splitter = std::make_unique<MSplitter>(true);
    auto left = std::make_unique<MPanel>();
    auto right = std::make_unique<MPanel>();
    splitter->SetPanes(std::move(left), std::move(right));
    splitter->SetRatio(0.4);
    return Own(std::move(splitter));
  });

  // --- trees and files ------------------------------------------------------------------------------
  add("MTreeControl", {170, 120}, [] {
    auto tree = std::make_unique<MTreeControl>();
    MTreeNode& factory = tree->AddNode(nullptr, MString("Factory"));
    tree->AddNode(&factory, MString("Vocals"));
    MTreeNode& instruments = tree->AddNode(&factory, MString("Instruments"));
    tree->AddNode(&instruments, MString("Strings"));
    MTreeNode& user = tree->AddNode(nullptr, MString("User"));
    tree->AddNode(&user, MString("Live"));
    tree->SetExpanded(factory, true);
    tree->SetSelection(&instruments);
    return Own(std::move(tree));
  });
  add("MDirectoryTreeControl", {170, 120}, [folder] {
    auto tree = std::make_unique<MDirectoryTreeControl>();
    tree->SetRootPath(folder);
    return Own(std::move(tree));
  });
  add("MStringListBoxWithTree", {250, 110}, [] {
    auto box = std::make_unique<MStringListBoxWithTree>();
    box->AddGroup("Major", Words("C major|G major|D major|A major"));
    box->AddGroup("Minor", Words("A minor|E minor"));
    box->AddGroup("Other/Modes", Words("Dorian|Lydian"));
    box->GetTree().Select(&box->GetTree().GetRoot().GetChild(0));
    box->GetList().SetSelection(1);
    return Own(std::move(box));
  });
  add("MFileListBox", {180, 112}, [folder] {
    auto list = std::make_unique<MFileListBox>();
    list->SetDirectory(folder + MString("/Presets"));
    list->SetSelection(3);
    return Own(std::move(list));
  });
  add("MFileSelector", {240, 26}, [] {
    auto selector = std::make_unique<MFileSelector>();
    selector->SetPath("Presets/Natural.tvp");
    return Own(std::move(selector));
  });

  // --- editors --------------------------------------------------------------------------------------
  add("MSignalGeneratorEditor", {200, 90}, [] {
    auto editor = std::make_unique<MSignalGeneratorEditor>();
    MSignalShape shape;
    shape.wave = MSignalShape::Wave::Triangle;
    shape.amplitude = 0.8;
    editor->SetShape(shape);
    return Own(std::move(editor));
  });
  add("MSignalGeneratorViewer", {200, 80}, [] {
    auto viewer = std::make_unique<MSignalGeneratorViewer>();
    MSignalShape shape;
    shape.wave = MSignalShape::Wave::Sine;
    shape.amplitude = 0.9;
    viewer->SetShape(shape);
    viewer->SetPeriods(2);
    viewer->SetPlayPosition(0.3);
    return Own(std::move(viewer));
  });
  add("MEnvelopeEditorControl", {200, 100}, [] { return Own(std::make_unique<MEnvelopeEditorControl>()); });
  add("MGraphEditor", {200, 90}, [] { return Own(std::make_unique<MGraphEditor>()); });
  add("MVector2DEditor", {110, 110}, [] {
    auto editor = std::make_unique<MVector2DEditor>();
    editor->SetPoint(0.3, 0.7);
    return Own(std::move(editor));
  });
  add("MColorEditorField", {170, 110}, [] {
    auto field = std::make_unique<MColorEditorField>();
    field->SetColor(MColor{0xE0, 0x8A, 0x2E, 0xFF});
    return Own(std::move(field));
  });
  add("MColorEditor", {220, 200}, [] {
    auto editor = std::make_unique<MColorEditor>();
    editor->SetColor(MColor{0x3C, 0x8C, 0xE7, 0xFF});
    return Own(std::move(editor));
  });

  // --- windows --------------------------------------------------------------------------------------
  // Dialogs are controls (the editor shows them as sheets): each state paints the panel itself.
  add("MMessageDialog", {320, 150}, [] {
    return Own(std::make_unique<MMessageDialog>(MString("Tonvera"),
                                                MString("Replace the current preset\nwith \"Hard tune\"?"),
                                                MMessageDialog::Buttons::YesNo));
  });
  add("MProgressDialog", {320, 150}, [] {
    auto dialog = std::make_unique<MProgressDialog>(MString("Analysing"), MString("Reading the sample..."));
    dialog->SetProgress(0.4);
    return Own(std::move(dialog));
  });
  add("MEditTextDialog", {320, 160}, [] {
    return Own(std::make_unique<MEditTextDialog>(MString("Rename preset"), MString("New name of the preset:"),
                                                 MString("Soft vocal")));
  });
  add("MFileDialog", {340, 290}, [folder] {
    return Own(
        std::make_unique<MFileDialog>(MString("Open preset"), folder + MString("/Presets"), Words("tvp")));
  });
  add(
      "MViewerWindow", {260, 130},
      [] {
        return Own(std::make_unique<MViewerWindow>(
            MString("About"),
            MString("Tonvera\nPitch correction\n\nSpeed, Depth, Detune,\nWidth, Formant shift,\nMix.")));
      },
      true);
  add(
      "MNoteWindow", {220, 60},
      [] {
        auto note = std::make_unique<MNoteWindow>();
        note->SetNote("Depth: how strictly the voice\nfollows the target note.");
        return Own(std::move(note));
      },
      true);
  add(
      "MWindowMenu", {170, 110},
      [] {
        auto popup = std::make_unique<MWindowMenu>();
        popup->GetMenu().AddEntry("Copy", "Ctrl+C");
        popup->GetMenu().AddEntry("Paste", "Ctrl+V");
        popup->GetMenu().AddSeparator();
        popup->GetMenu().AddEntry("Default value");
        return Own(std::move(popup));
      },
      true);
  return entries;
}

std::unique_ptr<MStyle> MakeStyle(const std::string& name)
{
  MTexturedStyleConfiguration configuration;
  configuration.style = MString::FromUTF8(name);
  return std::make_unique<MTexturedStyle>(configuration);
}

namespace
{
/// The control a state acts on: the control itself, or for windows and composites the first
/// control that takes the focus.
MControl* FirstFocusable(MControl& control)
{
  for (std::size_t i = 0; i < control.GetChildCount(); ++i)
  {
    MControl* child = control.GetChild(i);
    if (child->IsVisible() && child->AcceptsFocus())
      return child;
    if (MControl* inner = FirstFocusable(*child))
      return inner;
  }
  return nullptr;
}

MControl* StateTarget(MControl& control, bool isWindow)
{
  if (!isWindow && control.AcceptsFocus())
    return &control;
  MControl* focusable = FirstFocusable(control);
  return focusable != nullptr ? focusable : &control;
}

void ApplyState(MWindow& window, MControl& control, bool isWindow, State state)
{
  MControl* target = StateTarget(control, isWindow);
  switch (state)
  {
  case State::Normal:
    break;
  case State::Focused:
    window.SetFocusControl(target);
    break;
  case State::Highlighted:
  {
    const MRect rect = target->GetWindowRect();
    MSystemEvent move;
    move.code = MSystemEvent::MouseMove;
    move.position = MPoint{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    window.DispatchSystemEvent(move);
    break;
  }
  case State::Clicked:
    target->SetClicked(true);
    break;
  case State::Disabled:
    // A window shows "disabled" through its controls; the window itself stays as it is.
    if (isWindow)
      for (std::size_t i = 0; i < window.GetChildCount(); ++i)
        window.GetChild(i)->SetEnabled(false);
    else
      control.SetEnabled(false);
    break;
  }
}
} // namespace

MBitmap RenderState(MWindowSystemHeadless& system, MStyle& style, const Entry& entry, State state)
{
  std::unique_ptr<MControl> made = entry.make();
  if (entry.isWindow)
  {
    std::unique_ptr<MWindow> window(static_cast<MWindow*>(made.release()));
    window->SetStyle(&style);
    window->SetFlag(MControl::FlagMoveToScreenCenter, false);
    window->SetPosition(MPoint{0, 0});
    window->SetSize(entry.cell);
    window->SetVisible(true);
    window->Open(system);
    ApplyState(*window, *window, true, state);
    MBitmap picture = system.Render(*window);
    window->Close();
    return picture;
  }
  MWindow window;
  window.SetStyle(&style);
  window.SetSize(MSize{entry.cell.x + 2 * kPad, entry.cell.y + 2 * kPad});
  MControl& control = window.AddChild(std::move(made));
  control.SetBounds(MRect::FromSize(kPad, kPad, entry.cell.x, entry.cell.y));
  window.Open(system);
  ApplyState(window, control, false, state);
  MBitmap picture = system.Render(window);
  window.Close();
  return picture;
}

MBitmap RenderSheet(MWindowSystemHeadless& system, MStyle& style, const Entry& entry)
{
  std::vector<MBitmap> states;
  MSize cell;
  for (int s = 0; s < kStateCount; ++s)
  {
    states.push_back(RenderState(system, style, entry, static_cast<State>(s)));
    cell.x = std::max(cell.x, states.back().Width());
    cell.y = std::max(cell.y, states.back().Height());
  }
  cell.x = std::max(cell.x, 72); // room for the state names
  const MSize size{kGap + kStateCount * (cell.x + kGap), kTitle + kLabel + cell.y + kGap};
  // The background is the style's own window background.
  MWindow sheet;
  sheet.SetStyle(&style);
  sheet.SetSize(size);
  sheet.Open(system);
  MBitmap picture = system.Render(sheet);
  sheet.Close();
  MDrawerToMBitmap drawer(picture);
  const MColor text = style.GetColor(MStdColor::Text);
  drawer.AlignedTextOut(MRect{kGap, 0, size.x - kGap, kTitle}, MString::FromUTF8(entry.name),
                        style.GetFont(MStdFont::Bold), text, MAlign::Left | MAlign::VCenter);
  for (int s = 0; s < kStateCount; ++s)
  {
    const std::int32_t x = kGap + s * (cell.x + kGap);
    drawer.AlignedTextOut(
        MRect{x, kTitle, x + cell.x, kTitle + kLabel}, MString::FromLiteral(StateName(static_cast<State>(s))),
        style.GetFont(MStdFont::Small), text.WithAlpha(150), MAlign::Left | MAlign::VCenter);
    const MBitmap& state = states[std::size_t(s)];
    drawer.FillRectangle(MRect::FromSize(x - 1, kTitle + kLabel - 1, state.Width() + 2, state.Height() + 2),
                         text.WithAlpha(28));
    drawer.BitBlt(x, kTitle + kLabel, state, state.Bounds(), MColorOp::Copy);
  }
  return picture;
}

std::unique_ptr<MWindow> BuildLiveWindow(MStyle& style, const std::vector<Entry>& entries)
{
  auto window = std::make_unique<MWindow>();
  window->SetStyle(&style);
  window->SetCaption(MString("Tonvera control gallery - ") + style.GetName());
  const std::int32_t width = 1480;
  std::int32_t x = kGap, y = kGap, rowHeight = 0;
  for (const Entry& entry : entries)
  {
    if (entry.isWindow)
      continue;
    if (x + entry.cell.x + kGap > width)
    {
      x = kGap;
      y += rowHeight + kLabel + kGap;
      rowHeight = 0;
    }
    MStatic& label = window->Add<MStatic>(MString::FromUTF8(entry.name));
    label.SetFont(MStdFont::Small);
    label.SetTextAlignment(MAlign::Left | MAlign::VCenter);
    label.SetBounds(MRect::FromSize(x, y, std::max(entry.cell.x, 120), kLabel));
    MControl& control = window->AddChild(entry.make());
    control.SetBounds(MRect::FromSize(x, y + kLabel, entry.cell.x, entry.cell.y));
    x += std::max(entry.cell.x, 120) + kGap * 2;
    rowHeight = std::max(rowHeight, entry.cell.y);
  }
  window->SetSize(MSize{width, y + rowHeight + kLabel + kGap});
  return window;
}
} // namespace MGallery
