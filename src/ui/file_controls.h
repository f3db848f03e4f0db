// The file-system controls: a directory list that shows and changes the process's current directory,
// and a drive box linked to it. Both work through the Windows layer; a directory that cannot be entered
// raises EInOutError and leaves everything as it was. User input reaches them as messages posted by
// UserSelect and friends (the application's input path); nothing here pumps messages.
#pragma once

#include <string>
#include <vector>

#include "ui/component.h"

namespace ui {

class TDriveComboBox;

// The text the error display shows for an operating-system error met by a file-system control.
std::string InOutErrorText(unsigned long error_code);

// The list shows the path from the drive root down to the current directory, one entry per level
// (root first, the directory itself selected), then the directory's subfolders sorted without regard
// to case. Its directory is a full Windows path with no trailing backslash except at a drive root.
class TDirectoryListBox : public TWinControl {
 public:
  explicit TDirectoryListBox(TComponent* owner);
  ~TDirectoryListBox() override;

  int ItemHeight = 16;
  TNotifyEvent OnChange;  // after each rebuild of the entries

  const std::string& Directory() const { return directory_; }
  // Makes `path` the process's current directory and the list's. An empty path, or one that names the
  // list's directory (as a file name, without regard to case), does nothing. "X:" is drive X's current
  // directory; a path on another drive moves the linked drive box there. Raises EInOutError when the
  // directory cannot be entered, and then changes nothing.
  void SetDirectory(const std::string& path);
  // Reads the entries again and fires OnChange.
  void Update();
  // Opens the selected entry: an ancestor (or the root), the directory itself, or a subfolder.
  void OpenCurrent();

  const std::vector<std::string>& Items() const { return items_; }
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int index);
  // How many leading entries are the path (root included); the rest are subfolders.
  int PathLevels() const { return path_levels_; }
  // The full path entry `index` opens.
  std::string EntryPath(int index) const;
  // Entries a page moves (PageUp/PageDown): those that fit in the control, less one.
  int PageSize() const;

  // Input path: each posts a message; at dispatch the input is dropped unless the list is reachable.
  // A click on entry `index`: selects it (OnClick when the selection changed).
  void UserSelect(int index);
  // A double click on entry `index`: selects it (OnClick when the selection changed), then opens it.
  void UserDoubleClick(int index);

  // Arrow keys, Home, End and the page keys move the selection (OnClick when it changed); Enter opens
  // the selected entry, whatever OnClick does (so an entry that failed to open can be tried again).
  void KeyDown(Key key) override;
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;
  // Links a drive box of the same layout that named this list before the list existed.
  void Loaded() override;

 private:
  friend class TDriveComboBox;
  void BuildList();
  // Selection changed by the user: select, and fire OnClick when it moved.
  void UserMoveTo(int index);

  std::string directory_;
  std::vector<std::string> items_;
  int item_index_ = -1;
  int path_levels_ = 0;
  TDriveComboBox* drive_box_ = nullptr;  // the box linked to this list, told when the drive changes
};

// A drop-down list of the system's drives (not typeable), starting on the current directory's drive.
// Linked to a directory list, a user's choice of another drive moves the list to that drive's current
// directory; when that fails the error is raised and the box goes back to the list's drive.
class TDriveComboBox : public TWinControl {
 public:
  explicit TDriveComboBox(TComponent* owner);
  ~TDriveComboBox() override;

  // The drive shown, 'A'..'Z'.
  char Drive() const { return drive_; }
  // The drives offered, 'A'..'Z', in order, and their labels ("c:").
  const std::vector<char>& Drives() const { return drives_; }
  std::vector<std::string> Items() const;
  // Index of Drive() in Drives(), or -1.
  int ItemIndex() const;
  // Reads the system's drives again.
  void UpdateDrives();

  TDirectoryListBox* DirList() const { return dir_list_; }
  // Links the box to `list` (or unlinks it) and shows the list's drive.
  void SetDirList(TDirectoryListBox* list);

  // Input path: the user picks entry `index` of the drop-down (posted as a message).
  void UserSelect(int index);

  // Up and Down choose the previous or next drive, as a user's choice.
  void KeyDown(Key key) override;
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

 private:
  friend class TDirectoryListBox;
  // Switches the box to `letter`; moves a linked list there when it is on another drive.
  void ChooseDrive(char letter);
  // The list moved to `letter`: show it.
  void ListMoved(char letter);

  std::vector<char> drives_;
  char drive_ = 'C';
  TDirectoryListBox* dir_list_ = nullptr;
  // A layout may name the list before creating it; the list links itself when it is loaded.
  std::string dir_list_name_;
};

}  // namespace ui
