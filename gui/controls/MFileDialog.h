#pragma once
// Choosing files.
//  - MFileListBox: the entries of one folder, read with std::filesystem: "..", then folders,
//    then files whose extension is in the filter (all when the filter is empty), sorted by name
//    (case folded). Choosing a folder (double click, Return) opens it; choosing a file fires the
//    chosen event. A folder that cannot be read shows only "..".
//  - MFileDialog: a dialog (MDialog) with the current folder, the list and a file-name field; OK
//    answers the full path of the named file. Shown as a sheet (MSheet) in plug-in editors.
//  - MFileSelector: a file-name field with a browse button that opens an MFileDialog as a sheet
//    over its window; a chosen path fires the changed event.
//
// Paths are MString (UTF-16) converted to std::filesystem::path directly, so the code is the
// same on every platform. Threads: GUI thread (folders are read on it; at most kMaxEntries).

#include "base/MStringList.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MListBox.h"
#include "gui/controls/MPanel.h"

#include <cstdint>

class MButton;
class MEdit;
class MStatic;

class MFileListBox : public MListBoxT<MFileItem>
{
public:
  static constexpr std::size_t kMaxEntries = 10000;

  MFileListBox();
  ~MFileListBox() override = default;

  /// Lists `path`; answers false (listing only "..") when it cannot be read.
  bool SetDirectory(const MString& path);
  const MString& GetDirectory() const { return m_directory; }
  /// Extensions shown, without the dot ("wav", "aiff"), case folded; empty shows every file.
  void SetFilter(const MStringList& extensions);
  /// Full path of the selected entry; empty when none.
  MString GetSelectedPath() const;
  /// Opens the folder or fires the chosen event for a file.
  bool Choose(std::int32_t index) override;

protected:
  void PaintItem(MDrawer& drawer, MStyle& style, std::int32_t index, const MRect& rect,
                 MControlPaint& paint) override;

private:
  MString m_directory;
  MStringList m_filter;
};

class MFileDialog : public MDialog
{
public:
  MFileDialog(const MString& title, const MString& directory, const MStringList& filter = MStringList());
  ~MFileDialog() override = default;

  /// Full path of the named file (folder + name); empty when no name is given.
  MString GetPath() const;
  MFileListBox& GetList() { return *m_list; }
  MEdit& GetNameEdit() { return *m_name; }

protected:
  void LayoutContent(const MRect& content) override;

private:
  void OnListChanged(MOnNotifyParams& params);
  void OnFileChosen(MOnItemParams<std::int32_t>& params);

  MStatic* m_folder = nullptr;
  MFileListBox* m_list = nullptr;
  MEdit* m_name = nullptr;
};

class MFileSelector : public MPanel
{
public:
  MFileSelector();
  ~MFileSelector() override;

  const MString& GetPath() const { return m_path; }
  /// Sets the path without the changed event.
  void SetPath(const MString& path);
  void SetFilter(const MStringList& extensions) { m_filter = extensions; }
  /// Opens the file dialog as a sheet over the selector's window and returns (nothing without a
  /// window); a path chosen later replaces the current one and fires the changed event.
  void Browse();

  MSize GetPreferredSize() const override;

protected:
  void OnSizeChanged() override;

private:
  void OnEditChanged(MOnNotifyParams& params);
  void OnBrowse(MOnNotifyParams& params);

  MString m_path;
  MStringList m_filter;
  MEdit* m_edit;
  MButton* m_button;
};
