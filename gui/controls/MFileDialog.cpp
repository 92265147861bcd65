#include "gui/controls/MFileDialog.h"

#include "gui/controls/MSheet.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MStatic.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace
{
std::filesystem::path ToPath(const MString& text)
{
  return std::filesystem::path(text.ToUTF16());
}

MString FromPath(const std::filesystem::path& path)
{
  return MString(std::u16string_view(path.u16string()));
}

/// A folder as the dialog shows it: its last two names (".../Library/Presets").
MString ShortFolderName(const MString& path)
{
  const std::filesystem::path folder = ToPath(path);
  const std::filesystem::path parent = folder.parent_path();
  if (parent.empty() || parent == folder || parent.parent_path() == parent)
    return path;
  MString text("...");
  text += MString(u"/") + FromPath(parent.filename()) + MString(u"/") + FromPath(folder.filename());
  return text;
}

bool LessByName(const MFileItem& a, const MFileItem& b)
{
  const int folded = a.GetText().CompareNames(b.GetText());
  return folded != 0 ? folded < 0 : a.GetText() < b.GetText();
}
} // namespace

// --- MFileListBox -----------------------------------------------------------------------------------

MFileListBox::MFileListBox() = default;

void MFileListBox::SetFilter(const MStringList& extensions)
{
  m_filter = extensions;
  if (!m_directory.IsEmpty())
    SetDirectory(m_directory);
}

bool MFileListBox::SetDirectory(const MString& path)
{
  Clear();
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::absolute(ToPath(path), error).lexically_normal();
  m_directory = error ? path : FromPath(folder);
  const std::filesystem::path parent = folder.parent_path();
  if (!error && parent != folder && !parent.empty())
    AddItem(MFileItem(MString(".."), FromPath(parent), true));
  std::vector<MFileItem> folders;
  std::vector<MFileItem> files;
  std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied,
                                         error);
  const bool readable = !error;
  for (; !error && it != std::filesystem::directory_iterator() && folders.size() + files.size() < kMaxEntries;
       it.increment(error))
  {
    std::error_code kind;
    const MString name = FromPath(it->path().filename());
    if (it->is_directory(kind) && !kind)
    {
      folders.emplace_back(name, FromPath(it->path()), true);
      continue;
    }
    if (!m_filter.IsEmpty())
    {
      MString extension = FromPath(it->path().extension());
      if (!extension.IsEmpty() && extension.At(0) == u'.')
        extension = extension.Substring(1);
      if (m_filter.IndexOfName(extension) < 0)
        continue;
    }
    std::error_code sizeError;
    const std::uintmax_t size = it->is_regular_file(kind) ? it->file_size(sizeError) : 0;
    files.emplace_back(name, FromPath(it->path()), false, sizeError ? 0 : std::uint64_t(size));
  }
  std::sort(folders.begin(), folders.end(), LessByName);
  std::sort(files.begin(), files.end(), LessByName);
  for (MFileItem& item : folders)
    AddItem(std::move(item));
  for (MFileItem& item : files)
    AddItem(std::move(item));
  SetTopIndex(0);
  NotifyChanged();
  return readable;
}

MString MFileListBox::GetSelectedPath() const
{
  return GetSelection() >= 0 ? GetItem(GetSelection()).GetPath() : MString();
}

bool MFileListBox::Choose(std::int32_t index)
{
  if (index < 0 || index >= GetItemCount())
    return false;
  if (GetItem(index).IsDirectory())
  {
    const MString path = GetItem(index).GetPath();
    SetDirectory(path);
    return true;
  }
  return MListBoxT<MFileItem>::Choose(index);
}

void MFileListBox::PaintItem(MDrawer& drawer, MStyle& style, std::int32_t index, const MRect& rect,
                             MControlPaint& paint)
{
  const MFileItem& item = GetItem(index);
  // A small folder or document glyph in front of the name.
  MControlPaint row = paint;
  style.PaintContent(drawer, rect, row);
  const MColor ink =
      paint.clicked ? MControlUtility::Mix(style.GetColor(MStdColor::Text), MColor{255, 255, 255, 255}, 0.5)
                    : style.GetColor(MStdColor::Highlight);
  const MColor color = MControlUtility::Disabled(ink, paint.disabled);
  const double x = rect.right - 16, cy = (rect.top + rect.bottom) / 2.0;
  if (rect.Width() < 40)
    return;
  if (item.IsDirectory())
  {
    drawer.FillRoundRectangle(
        MRect{std::int32_t(x), std::int32_t(cy - 4), std::int32_t(x + 11), std::int32_t(cy + 5)}, 1.5,
        color.WithAlpha(200));
    drawer.FillRectangle(
        MRect{std::int32_t(x), std::int32_t(cy - 6), std::int32_t(x + 5), std::int32_t(cy - 4)},
        color.WithAlpha(200));
  }
  else
    drawer.FrameRoundRectangle(
        MRect{std::int32_t(x + 1), std::int32_t(cy - 6), std::int32_t(x + 10), std::int32_t(cy + 6)}, 1.5,
        1.2, color.WithAlpha(170));
}

// --- MFileDialog ------------------------------------------------------------------------------------

MFileDialog::MFileDialog(const MString& title, const MString& directory, const MStringList& filter)
{
  SetCaption(title);
  m_folder = &Add<MStatic>();
  m_folder->SetTextAlignment(MAlign::Left | MAlign::VCenter);
  m_folder->SetFont(MStdFont::Small);
  m_list = &Add<MFileListBox>();
  m_name = &Add<MEdit>();
  m_list->GetChangedEvent().Subscribe<&MFileDialog::OnListChanged>(this);
  m_list->GetChosenEvent().Subscribe<&MFileDialog::OnFileChosen>(this);
  m_list->SetFilter(filter);
  m_list->SetDirectory(directory);
  SetInitialFocus(m_list);
  AddButton("OK", MModalValue::Ok);
  AddButton("Cancel", MModalValue::Cancel);
  SetSize(MSize{460, 380});
}

MString MFileDialog::GetPath() const
{
  const MString name = m_name->GetText();
  if (name.IsEmpty())
    return MString();
  return FromPath(ToPath(m_list->GetDirectory()) / ToPath(name));
}

void MFileDialog::LayoutContent(const MRect& content)
{
  if (m_folder == nullptr || m_list == nullptr || m_name == nullptr)
    return;
  const std::int32_t row = 24;
  m_folder->SetBounds(
      MRect{content.left, content.top, content.right, std::min(content.bottom, content.top + 18)});
  const std::int32_t nameTop = std::max(content.top, content.bottom - row);
  m_list->SetBounds(MRect{content.left, std::min(content.bottom, content.top + 22), content.right,
                          std::max(content.top, nameTop - 8)});
  m_name->SetBounds(MRect{content.left, nameTop, content.right, content.bottom});
}

void MFileDialog::OnListChanged(MOnNotifyParams&)
{
  m_folder->SetText(ShortFolderName(m_list->GetDirectory()));
  const std::int32_t selection = m_list->GetSelection();
  if (selection >= 0 && !m_list->GetItem(selection).IsDirectory())
    m_name->SetText(m_list->GetItem(selection).GetText());
}

void MFileDialog::OnFileChosen(MOnItemParams<std::int32_t>& params)
{
  if (params.item >= 0 && params.item < m_list->GetItemCount())
    m_name->SetText(m_list->GetItem(params.item).GetText());
  End(MModalValue::Ok);
}

// --- MFileSelector ----------------------------------------------------------------------------------

MFileSelector::MFileSelector()
{
  SetControlType(MControlType::NoBackground);
  m_edit = &Add<MEdit>();
  m_button = &Add<MButton>(MString("Browse..."));
  m_edit->GetChangedEvent().Subscribe<&MFileSelector::OnEditChanged>(this);
  m_button->GetChangedEvent().Subscribe<&MFileSelector::OnBrowse>(this);
}

MFileSelector::~MFileSelector() = default;

void MFileSelector::SetPath(const MString& path)
{
  m_path = path;
  m_edit->SetText(path);
}

MSize MFileSelector::GetPreferredSize() const
{
  return MSize{280, MControlUtility::Metric(*this, MStyle::MetricButtonHeight, 24)};
}

void MFileSelector::OnSizeChanged()
{
  const MRect client = GetClientRect();
  const std::int32_t buttonWidth = std::min(client.Width() / 2, std::max(0, m_button->GetPreferredSize().x));
  m_edit->SetBounds(
      MRect{client.left, client.top, std::max(client.left, client.right - buttonWidth - 6), client.bottom});
  m_button->SetBounds(MRect{client.right - buttonWidth, client.top, client.right, client.bottom});
}

void MFileSelector::Browse()
{
  MWindow* window = GetWindow();
  if (window == nullptr)
    return;
  std::error_code error;
  std::filesystem::path folder = ToPath(m_path).parent_path();
  if (folder.empty() || !std::filesystem::is_directory(folder, error))
    folder = std::filesystem::current_path(error);
  auto dialog = std::make_unique<MFileDialog>(MString("Choose a file"), FromPath(folder), m_filter);
  MFileDialog& chooser = *dialog;
  // The selector outlives the sheet: both hang in the same window, which destroys its sheets
  // (without their completions) before anything else goes.
  MSheet::Show(*window, std::move(dialog), [this, &chooser](MModalValue answer) {
    if (answer == MModalValue::Ok && !chooser.GetPath().IsEmpty())
    {
      SetPath(chooser.GetPath());
      NotifyChanged();
    }
  });
}

void MFileSelector::OnEditChanged(MOnNotifyParams&)
{
  if (m_edit->GetText() == m_path)
    return;
  m_path = m_edit->GetText();
  NotifyChanged();
}

void MFileSelector::OnBrowse(MOnNotifyParams&)
{
  Browse();
}
