#include "gui/xml/MXmlLoader.h"

#include "base/MEnumerations.h"
#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MValueEnum.h"
#include "base/MValueFrequency.h"
#include "base/MValueNumber.h"
#include "base/MValueStepDouble.h"
#include "base/MValueUnits.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "gui/MWindow.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MColorEditor.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MControlValue.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MFileDialog.h"
#include "gui/controls/MGraphEditor.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MListBox.h"
#include "gui/controls/MMenu.h"
#include "gui/controls/MPanel.h"
#include "gui/controls/MProgressBar.h"
#include "gui/controls/MScrollBar.h"
#include "gui/controls/MSignalGeneratorEditor.h"
#include "gui/controls/MSplitter.h"
#include "gui/controls/MStatic.h"
#include "gui/controls/MSwitcher.h"
#include "gui/controls/MTabSet.h"
#include "gui/controls/MTracker.h"
#include "gui/controls/MTreeControl.h"
#include "gui/controls/MVector2DEditor.h"
#include "gui/layout/MLayoutCorner.h"
#include "gui/layout/MLayoutGrid.h"
#include "gui/layout/MLayoutList.h"
#include "gui/layout/MLayoutOccupyBorder.h"
#include "gui/layout/MLayoutSide.h"
#include "gui/layout/MLayoutSwitch.h"

#include <algorithm>
#include <array>

using Loader = MControl::MXmlLoader;

struct MControl::MXmlLoader::Build
{
  std::vector<const MXmlItem*> path;       ///< elements from the root to the one being built
  int elements = 0;                        ///< elements built so far
  const char* const* memberKeys = nullptr; ///< attributes the current layout reads from members
  bool located = false;                    ///< the exception in flight already names its element
};

namespace
{

// --- registry ---------------------------------------------------------------------------------------

template <class Entry, int Buckets>
class Table
{
public:
  void Add(std::unique_ptr<Entry> entry)
  {
    const MString& name = entry->GetName();
    std::vector<const Entry*>& bucket = m_buckets[Loader::HashName(name) % Buckets];
    auto at = std::lower_bound(bucket.begin(), bucket.end(), name, [](const Entry* a, const MString& b) {
      return a->GetName().CompareNames(b) < 0;
    });
    if (at != bucket.end() && (*at)->GetName().EqualsName(name))
      return; // first registration wins
    bucket.insert(at, entry.get());
    m_entries.push_back(std::move(entry));
  }

  const Entry* Find(const MString& name) const
  {
    const std::vector<const Entry*>& bucket = m_buckets[Loader::HashName(name) % Buckets];
    auto at = std::lower_bound(bucket.begin(), bucket.end(), name, [](const Entry* a, const MString& b) {
      return a->GetName().CompareNames(b) < 0;
    });
    return at != bucket.end() && (*at)->GetName().EqualsName(name) ? *at : nullptr;
  }

  std::vector<MString> Names() const
  {
    std::vector<MString> names;
    for (const auto& entry : m_entries)
      names.push_back(entry->GetName());
    return names;
  }

  std::vector<MString> Bucket(int index) const
  {
    std::vector<MString> names;
    if (index >= 0 && index < Buckets)
      for (const Entry* entry : m_buckets[static_cast<std::size_t>(index)])
        names.push_back(entry->GetName());
    return names;
  }

private:
  std::vector<std::unique_ptr<Entry>> m_entries; // registration order
  std::array<std::vector<const Entry*>, Buckets> m_buckets;
};

// Attributes of every layout element, and the extra keys of some classes (null-ended lists).
constexpr const char* kSideKeys[] = {"layoutspace", "deflayoutborderx", "deflayoutbordery", nullptr};
constexpr const char* kGridKeys[] = {"layoutspace", "deflayoutborderx", "deflayoutbordery", "columns",
                                     "rows",        "verticalfill",     "columnspancount",  nullptr};
constexpr const char* kSideMemberKeys[] = {"space", nullptr};
constexpr const char* kGridMemberKeys[] = {"hspan", "vspan", nullptr};
constexpr const char* kCornerMemberKeys[] = {"target", nullptr};
constexpr const char* kNoKeys[] = {nullptr};
constexpr const char* kValueKeys[] = {"type", "id",     "min",    "max",  "default", "value",
                                      "inc",  "maxinc", "format", "step", nullptr};

struct Registry
{
  Table<Loader::Creator, Loader::kControlBuckets> controls;
  Table<Loader::ValueCreator, Loader::kValueBuckets> values;

  Registry()
  {
    AddLayout<MLayoutGrid>("grid", kGridKeys, kGridMemberKeys);
    AddLayout<MLayoutTop>("top", kSideKeys, kSideMemberKeys);
    AddLayout<MLayoutLeft>("left", kSideKeys, kSideMemberKeys);
    AddLayout<MLayoutRight>("right", kSideKeys, kSideMemberKeys);
    AddLayout<MLayoutBottom>("bottom", kSideKeys, kSideMemberKeys);
    AddLayout<MLayoutCorner>("corner", kSideKeys, kCornerMemberKeys);
    AddLayout<MLayoutVertical>("vertical", kSideKeys, kSideMemberKeys);
    AddLayout<MLayoutHorizontal>("horizontal", kSideKeys, kSideMemberKeys);
    AddLayout<MLayoutSwitch>("overlay", kSideKeys, kNoKeys);
    AddLayout<MLayoutOccupyBorder>("occupyborder", kSideKeys, kNoKeys);
    AddControl<MControl>("control");
    AddControl<MPanel>("panel");
    AddControl<MContainer>("container");
    AddControl<MStatic>("static");
    AddControl<MStaticMultiLine>("multilinestatic");
    AddControl<MButton>("button");
    AddControl<MRepeaterButton>("repeaterbutton");
    AddControl<MCheckBox>("checkbox");
    AddControl<MComboEdit>("comboedit");
    AddControl<MEdit>("edit");
    AddControl<MMultiLineEdit>("multilineedit");
    AddControl<MTabSet>("tabset");
    AddControl<MListBox>("listbox");
    AddControl<MTreeControl>("treecontrol");
    AddControl<MMenuBar>("menubar");
    AddControl<MProgressBar>("progressbar");
    AddControl<MScrollBar>("scrollbar");
    AddControl<MTracker>("tracker");
    AddControl<MRotator>("rotator");
    AddControl<MKnob>("knob");
    AddControl<MZoomer>("zoomer");
    AddControl<MSplitter>("splitter");
    AddControl<MSwitcher>("switcher");
    AddControl<MDirectoryTreeControl>("directorytree");
    AddControl<MColorEditor>("coloreditor");
    AddControl<MColorSelectButton>("colorselectbutton");
    AddControl<MFileListBox>("filelistbox");
    AddControl<MFileSelector>("fileselector");
    AddControl<MGraphEditor>("grapheditor");
    AddControl<MSignalGeneratorEditor>("signalgeneratoreditor");
    AddControl<MVector2DEditor>("vector2deditor");

    AddValue<MValueInt>("int");
    AddValue<MValueInt>("int32");
    AddValue<MValueInt64>("int64");
    AddValue<MValueShort>("int16");
    AddValue<MValueFloat>("float");
    AddValue<MValueDouble>("double");
    AddValue<MValueStepDouble>("stepdouble");
    AddValue<MValuePercents>("percents");
    AddValue<MValueSignalGeneratorShape>("signalgeneratorshape");
    AddValue<MValueFrequency>("frequency");
    AddValue<MValueFrequencyLog>("frequencylog");
    AddValue<MValueFrequencyLinear>("frequencylinear");
    AddValue<MValueVolume>("volume");
    AddValue<MValuePan>("panorama");
    AddValue<MValuePitch>("pitch");
    AddValue<MValueTimeMS>("timems");
    AddEnum("stdicon", &MEnumerations::StdIcon);
    AddEnum("stdbitmap", &MEnumerations::StdBitmap);
    AddEnum("stdcursor", &MEnumerations::StdCursor);
    AddEnum("stdfont", &MEnumerations::StdFont);
    AddEnum("stdcolor", &MEnumerations::StdColor);
    AddEnum("horizontalobjectlayout", &MEnumerations::HorizontalObjectLayout);
    AddEnum("verticalobjectlayout", &MEnumerations::VerticalObjectLayout);
    AddEnum("language", &MEnumerations::LocaleLanguage);
    AddEnum("country", &MEnumerations::LocaleCountry);
    AddEnum("threadpriority", &MEnumerations::ThreadPriority);
    AddEnum("controltype", &MEnumerations::ControlType);
    AddEnum("captiontype", &MEnumerations::CaptionType);
    AddEnum("modalvalue", &MEnumerations::ModalValue);
    AddEnum("checkboxstate", &MEnumerations::CheckBoxState);
  }

  template <class T>
  void AddControl(const char* name)
  {
    controls.Add(std::make_unique<Loader::Control<T>>(name));
  }
  template <class T>
  void AddLayout(const char* name, const char* const* keys, const char* const* memberKeys)
  {
    controls.Add(std::make_unique<Loader::Layout<T>>(name, keys, memberKeys));
  }
  template <class T>
  void AddValue(const char* name)
  {
    values.Add(std::make_unique<Loader::Value<T>>(name));
  }
  void AddEnum(const char* name, const MEnumeration& (*table)())
  {
    values.Add(std::make_unique<Loader::EnumValue>(name, table));
  }
};

const Registry& GetRegistry()
{
  static const Registry registry;
  return registry;
}

// --- checks -------------------------------------------------------------------------------------

bool InKeys(const char* const* keys, const MString& name)
{
  for (; keys != nullptr && *keys != nullptr; ++keys)
    if (name.EqualsName(MString::FromLiteral(*keys)))
      return true;
  return false;
}

[[noreturn]] void ThrowUnknownAttribute(const MString& name)
{
  throw MException(MFormat::Format("Unknown attribute \"{0}\".", name));
}

void CheckKeys(const MXmlItem& element, const char* const* keys)
{
  for (int i = 0; i < element.GetAttributeCount(); ++i)
    if (!InKeys(keys, element.GetAttributeAt(i).name))
      ThrowUnknownAttribute(element.GetAttributeAt(i).name);
}

// Strict decimal integer (blanks around allowed) within [minimum, maximum], or throws naming the
// attribute.
void CheckInteger(const MXmlItem& element, const char* name, std::int64_t minimum, std::int64_t maximum)
{
  const MString attribute = MString::FromLiteral(name);
  if (!element.HasAttribute(attribute))
    return;
  const MString text = element.GetAttribute();
  std::int32_t at = 0;
  const std::int32_t length = text.Length();
  while (at < length && (text[at] == u' ' || text[at] == u'\t'))
    ++at;
  bool negative = false;
  if (at < length && (text[at] == u'-' || text[at] == u'+'))
    negative = text[at++] == u'-';
  const std::int32_t digits = at;
  std::int64_t magnitude = 0;
  while (at < length && text[at] >= u'0' && text[at] <= u'9')
  {
    magnitude = std::min<std::int64_t>(magnitude * 10 + (text[at] - u'0'), std::int64_t{1} << 40);
    ++at;
  }
  const bool hasDigits = at > digits;
  while (at < length && (text[at] == u' ' || text[at] == u'\t'))
    ++at;
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (!hasDigits || at != length || value < minimum || value > maximum)
    throw MException(MFormat::Format(
        "Invalid value of attribute \"{0}\" ({1}): a decimal integer in {2}..{3} is expected.", attribute,
        text, MString::FromInteger(minimum), MString::FromInteger(maximum)));
}

constexpr const char* kFlagNames[] = {"visible",
                                      "enabled",
                                      "tabstop",
                                      "autodetectminimalsize",
                                      "overlaycontrol",
                                      "adaptsize",
                                      "plastic",
                                      "plasticadaptsize",
                                      "collapsable",
                                      "collapsed",
                                      "clientlayout",
                                      "layoutsaveratio",
                                      "showhelp",
                                      "useparenthelp",
                                      "closeonescape",
                                      "movetoscreencenter",
                                      "autosavestate",
                                      "enablesavestate",
                                      "savewindowpos",
                                      "savewindowsize",
                                      "savesubcontrolstate"};

// Every attribute must be one the control reads (what its class writes) or one its layout reads;
// the integers of the control table must be in range.
void CheckControlAttributes(const MControl& control, const MXmlItem& element, const char* const* memberKeys)
{
  MXmlItem known;
  control.SaveAttributes(known);
  for (int i = 0; i < element.GetAttributeCount(); ++i)
  {
    const MString& name = element.GetAttributeAt(i).name;
    // Edit fields read "maxlength" without writing it back.
    const bool unsaved =
        dynamic_cast<const MEdit*>(&control) != nullptr && name.EqualsName(MString("maxlength"));
    if (!known.HasAttribute(name) && !InKeys(memberKeys, name) && !unsaved)
      ThrowUnknownAttribute(name);
  }
  constexpr std::int64_t extent = Loader::kMaxExtent;
  for (const char* name : {"posx", "posy"})
    CheckInteger(element, name, -extent, extent);
  for (const char* name :
       {"sizex", "sizey", "minclientsizex", "minclientsizey", "layoutborderx", "layoutbordery"})
    CheckInteger(element, name, 0, extent);
  for (const char* name : {"layoutratiox", "layoutratioy"})
    CheckInteger(element, name, 0, MLayout::kMaxRatio);
  for (const char* name : kFlagNames)
    CheckInteger(element, name, INT32_MIN, INT32_MAX);
}

const MXmlItem* FindSubItem(const MXmlItem& element, const char* name)
{
  const MString wanted = MString::FromLiteral(name);
  for (int i = 0; i < element.GetSubItemCount(); ++i)
    if (element.GetSubItemAt(i).GetName().EqualsName(wanted))
      return &element.GetSubItemAt(i);
  return nullptr;
}

// "Element "knob" (id "gain") at "container/left/knob": <message>"
MString Locate(const Loader::Build& build, const MString& message)
{
  MString path;
  for (const MXmlItem* item : build.path)
  {
    if (!path.IsEmpty())
      path += u'/';
    path += item->GetName();
  }
  const MXmlItem& element = *build.path.back();
  MString id;
  for (int i = 0; i < element.GetAttributeCount(); ++i)
    if (element.GetAttributeAt(i).name.EqualsName(MString("id")))
      id = MFormat::Format(" (id \"{0}\")", element.GetAttributeAt(i).value);
  return MFormat::Format("Element \"{0}\"{1} at \"{2}\": {3}", element.GetName(), id, path, message);
}

// Runs `work` with `element` on the path; an MException from it is rethrown naming the element
// (once: the innermost element names itself).
template <class Work>
void WithElement(Loader::Build& build, const MXmlItem& element, Work&& work)
{
  build.path.push_back(&element);
  try
  {
    work();
  }
  catch (const MException& exception)
  {
    if (build.located)
    {
      build.path.pop_back();
      throw;
    }
    build.located = true;
    const MString message = Locate(build, exception.Message());
    build.path.pop_back();
    throw MException(message);
  }
  build.path.pop_back();
}

} // namespace

// --- registry ---------------------------------------------------------------------------------------

void Loader::EnsureRegistry()
{
  GetRegistry();
}

const Loader::Creator* Loader::FindCreator(const MString& name)
{
  return GetRegistry().controls.Find(name);
}

const Loader::ValueCreator* Loader::FindValueCreator(const MString& name)
{
  return GetRegistry().values.Find(name);
}

std::uint32_t Loader::HashName(const MString& name)
{
  const auto lower = [](char16_t c) -> std::uint32_t { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; };
  const std::int32_t length = name.Length();
  std::uint32_t hash = 0;
  if (length < 16)
  {
    for (std::int32_t i = 0; i < length; ++i)
      hash ^= lower(name[i]) << i;
  }
  else
  {
    const std::int32_t samples = std::min(length / 4, 8);
    for (std::int32_t i = 0; i < samples; ++i)
      hash ^= lower(name[4 * i]) << (4 * i);
  }
  return hash;
}

std::vector<MString> Loader::GetNames()
{
  return GetRegistry().controls.Names();
}

std::vector<MString> Loader::GetValueNames()
{
  return GetRegistry().values.Names();
}

std::vector<MString> Loader::GetBucket(int bucket, bool values)
{
  return values ? GetRegistry().values.Bucket(bucket) : GetRegistry().controls.Bucket(bucket);
}

// --- values -----------------------------------------------------------------------------------------

std::unique_ptr<MValue> Loader::ValueCreator::Create(const MXmlItem& element) const
{
  std::unique_ptr<MValue> value = NewValue();
  value->LoadDefinition(element);
  return value;
}

std::unique_ptr<MValue> Loader::EnumValue::NewValue() const
{
  return std::make_unique<MValueEnum<std::int32_t>>(MValueBinding<std::int32_t>::Value(0), m_table());
}

std::unique_ptr<MValue> Loader::CreateValue(const MXmlItem& element)
{
  CheckKeys(element, kValueKeys);
  const ValueCreator* creator = FindValueCreator(element.GetAttribute(MString("type"), MString()));
  return creator != nullptr ? creator->Create(element) : nullptr;
}

// --- building ---------------------------------------------------------------------------------------

void Loader::CreateChildren(Build& build, MControl& control, const MXmlItem& element, MLayout* layout)
{
  const bool valueControl = dynamic_cast<MControlValue*>(&control) != nullptr;
  for (int i = 0; i < element.GetSubItemCount(); ++i)
  {
    const MXmlItem& child = element.GetSubItemAt(i);
    const bool valueElement =
        child.GetName().EqualsName(MString("value")) || child.GetName().EqualsName(MString("maxvalue"));
    if (valueElement && valueControl && layout == nullptr)
      continue; // read by LoadControl
    WithElement(build, child, [&] {
      if (++build.elements > kMaxElements)
        throw MException(
            MFormat::Format("The document has more than {0} elements.", MString::FromInteger(kMaxElements)));
      if (static_cast<int>(build.path.size()) > kMaxDepth)
        throw MException(MFormat::Format("Controls and layouts are nested deeper than {0} levels.",
                                         MString::FromInteger(kMaxDepth)));
      const Creator* creator = FindCreator(child.GetName());
      if (creator == nullptr)
        throw MException(valueElement ? MString("Value elements belong directly inside value controls.")
                                      : MString("Unknown element name: no control or layout is called so."));
      creator->Create(build, control, child, layout);
    });
  }
}

void Loader::LoadControl(Build& build, MControl& control, const MXmlItem& element, MLayout* layout)
{
  CheckControlAttributes(control, element, layout != nullptr ? build.memberKeys : nullptr);
  control.LoadAttributes(element);

  if (auto* valueControl = dynamic_cast<MControlValue*>(&control))
  {
    std::unique_ptr<MValue> value;
    if (const MXmlItem* item = FindSubItem(element, "value"))
      WithElement(build, *item, [&] { value = CreateValue(*item); });
    // No control holds a range end yet: the element is checked and its value dropped.
    if (const MXmlItem* item = FindSubItem(element, "maxvalue"))
      WithElement(build, *item, [&] { CreateValue(*item); });
    if (value != nullptr)
      valueControl->BindOwned(std::move(value));
  }

  const char* const* memberKeys = build.memberKeys;
  build.memberKeys = nullptr;
  CreateChildren(build, control, element, nullptr);
  build.memberKeys = memberKeys;

  if (auto* container = dynamic_cast<MContainer*>(&control))
    container->Arrange();
}

MObject* Loader::BuildControl(Build& build, MControl& parent, const MXmlItem& element, MLayout* layout,
                              std::unique_ptr<MControl> control)
{
  MControl& created = parent.AddChild(std::move(control));
  LoadControl(build, created, element, layout);
  if (layout != nullptr && !created.HasFlag(FlagClientLayout))
  {
    layout->AddControlWithoutSpace(created);
    try
    {
      layout->LoadControlAttributes(created, element);
    }
    catch (const MException& exception)
    {
      if (exception.Message().Find(u'"') >= 0)
        throw;
      MString names;
      for (const char* const* key = build.memberKeys; key != nullptr && *key != nullptr; ++key)
        if (element.HasAttribute(MString::FromLiteral(*key)))
        {
          if (!names.IsEmpty())
            names += MString(", ");
          names += MFormat::Format("\"{0}\"", MString::FromLiteral(*key));
        }
      throw MException(MFormat::Format("Invalid value of attribute {0}: {1}", names, exception.Message()));
    }
  }
  return &created;
}

MObject* Loader::BuildLayout(Build& build, MControl& parent, const MXmlItem& element,
                             std::unique_ptr<MLayout> layout, const char* const* keys,
                             const char* const* memberKeys)
{
  auto* container = dynamic_cast<MContainer*>(&parent);
  if (container == nullptr)
    throw MException(MString("A layout belongs inside a container; its parent is none."));
  CheckKeys(element, keys);
  MLayout& created = container->GetLayouts().Add(std::move(layout));
  created.LoadAttributes(element);
  const char* const* saved = build.memberKeys;
  build.memberKeys = memberKeys;
  CreateChildren(build, *container, element, &created);
  build.memberKeys = saved;
  return &created;
}

void Loader::Load(MControl& root, const MXmlItem& element)
{
  Build build;
  const std::size_t children = root.GetChildCount();
  auto* container = dynamic_cast<MContainer*>(&root);
  const std::size_t layouts =
      container != nullptr && container->FindLayouts() != nullptr ? container->FindLayouts()->GetCount() : 0;
  try
  {
    WithElement(build, element, [&] { LoadControl(build, root, element, nullptr); });
  }
  catch (...)
  {
    while (root.GetChildCount() > children)
      root.RemoveChild(*root.GetChild(root.GetChildCount() - 1));
    if (container != nullptr && container->FindLayouts() != nullptr)
      while (container->FindLayouts()->GetCount() > layouts)
        container->FindLayouts()->Remove(
            *container->FindLayouts()->Get(container->FindLayouts()->GetCount() - 1));
    throw;
  }
  // A window places its client child itself, on size changes only.
  if (auto* window = dynamic_cast<MWindow*>(&root))
    for (std::size_t i = 0; i < window->GetChildCount(); ++i)
      if (MControl* child = window->GetChild(i); child->HasFlag(FlagClientLayout))
        child->SetBounds(window->GetClientRect());
}

void Loader::LoadDocument(MControl& root, MStream& stream)
{
  MXmlItem document;
  MXmlReader::Read(stream, document);
  Load(root, document);
}

std::unique_ptr<MControl> Loader::Create(const MXmlItem& element)
{
  const Creator* creator = FindCreator(element.GetName());
  std::unique_ptr<MControl> control = creator != nullptr ? creator->NewControl() : nullptr;
  if (control == nullptr)
    throw MException(MFormat::Format("Element \"{0}\": no control class is called so.", element.GetName()));
  Load(*control, element);
  return control;
}
