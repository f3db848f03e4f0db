#include "ui/file_controls.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/layout.h"
#include "win/codepage.h"
#include "win/files.h"
#include "win/paths.h"

namespace ui {

namespace {

[[noreturn]] void RaiseLastError() {
  unsigned long code = win::GetLastError();
  throw EInOutError(InOutErrorText(code), static_cast<int>(code));
}

char UpperDrive(char letter) {
  return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 0x20) : letter;
}

}  // namespace

std::string InOutErrorText(unsigned long error_code) {
  switch (error_code) {
    case win::ERROR_FILE_NOT_FOUND: return "File not found";
    case win::ERROR_PATH_NOT_FOUND: return "Invalid filename";
    case win::ERROR_ACCESS_DENIED: return "File access denied";
    default: return "I/O error " + std::to_string(error_code);
  }
}

// ---- TDirectoryListBox

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TWinControl(owner) {
  TabStop = true;
  SetColor(clWindow);
  directory_ = win::GetCurrentDirectoryA();
  BuildList();
}

TDirectoryListBox::~TDirectoryListBox() {
  if (drive_box_) drive_box_->dir_list_ = nullptr;
}

void TDirectoryListBox::SetDirectory(const std::string& path) {
  if (path.empty() || win::EqualNoCase(path, directory_)) return;
  std::string full;
  if (!win::GetFullPathName(path, full) || !win::SetCurrentDirectoryA(full)) RaiseLastError();
  directory_ = win::GetCurrentDirectoryA();
  if (drive_box_) drive_box_->ListMoved(directory_[0]);
  Update();
}

void TDirectoryListBox::Update() {
  BuildList();
  if (OnChange) OnChange(this);
}

void TDirectoryListBox::BuildList() {
  items_.clear();
  items_.push_back(directory_.substr(0, 3));
  for (const std::string& level : win::PathComponents(directory_.substr(3))) items_.push_back(level);
  path_levels_ = static_cast<int>(items_.size());
  item_index_ = path_levels_ - 1;

  std::vector<win::FindData> entries;
  std::vector<std::string> folders;
  // A folder that can be entered but not read shows no subfolders, as an empty one would: there is
  // nothing the user could do about it here.
  if (win::ListDirectory(directory_, entries))
    for (const win::FindData& e : entries)
      if (e.attributes & win::FILE_ATTRIBUTE_DIRECTORY) folders.push_back(e.name);
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    std::string fa = win::CharUpperA(a), fb = win::CharUpperA(b);
    return fa != fb ? fa < fb : a < b;
  });
  items_.insert(items_.end(), folders.begin(), folders.end());
  Changed();
}

std::string TDirectoryListBox::EntryPath(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return "";
  if (index >= path_levels_) {
    bool at_root = !directory_.empty() && directory_.back() == '\\';
    return directory_ + (at_root ? "" : "\\") + items_[index];
  }
  std::string path = items_[0];
  for (int i = 1; i <= index; ++i) path += (i > 1 ? "\\" : "") + items_[i];
  return path;
}

void TDirectoryListBox::OpenCurrent() {
  if (item_index_ >= 0) SetDirectory(EntryPath(item_index_));
}

void TDirectoryListBox::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size()) || index == item_index_) return;
  item_index_ = index;
  Changed();
}

int TDirectoryListBox::PageSize() const {
  int rows = ItemHeight > 0 ? (Height() - 4) / ItemHeight : 1;
  return std::max(1, rows - 1);
}

void TDirectoryListBox::UserMoveTo(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size()) || index == item_index_) return;
  SetItemIndex(index);
  Click();
}

void TDirectoryListBox::UserSelect(int index) {
  Application->PostFor(this, [this, index] {
    if (!IsReachable()) return;
    if (CanFocus()) SetFocus();
    UserMoveTo(index);
  });
}

void TDirectoryListBox::UserDoubleClick(int index) {
  Application->PostFor(this, [this, index] {
    if (!IsReachable()) return;
    if (CanFocus()) SetFocus();
    UserMoveTo(index);
    OpenCurrent();
  });
}

void TDirectoryListBox::KeyDown(Key key) {
  int last = static_cast<int>(items_.size()) - 1;
  int at = item_index_;
  switch (key) {
    case Key::Up: return UserMoveTo(std::max(0, at - 1));
    case Key::Down: return UserMoveTo(std::min(last, at + 1));
    case Key::Home: return UserMoveTo(0);
    case Key::End: return UserMoveTo(last);
    case Key::PageUp: return UserMoveTo(std::max(0, at - PageSize()));
    case Key::PageDown: return UserMoveTo(std::min(last, at < 0 ? 0 : at + PageSize()));
    case Key::Enter: return OpenCurrent();
    default: return;
  }
}

bool TDirectoryListBox::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "ItemHeight")
    ItemHeight = v.AsInt();
  else if (name == "OnChange")
    OnChange = form.FindHandler<void(TObject*)>(v.AsIdentifier());
  else
    return TWinControl::ApplyProperty(name, v, form);
  Changed();
  return true;
}

void TDirectoryListBox::Loaded() {
  if (!Owner()) return;
  for (TComponent* c : Owner()->Components()) {
    auto* box = dynamic_cast<TDriveComboBox*>(c);
    if (box && !box->dir_list_name_.empty() && box->dir_list_name_ == Name) box->SetDirList(this);
  }
}

// ---- TDriveComboBox

TDriveComboBox::TDriveComboBox(TComponent* owner) : TWinControl(owner) {
  TabStop = true;
  SetColor(clWindow);
  UpdateDrives();
  drive_ = win::GetCurrentDirectoryA()[0];
}

TDriveComboBox::~TDriveComboBox() {
  if (dir_list_) dir_list_->drive_box_ = nullptr;
}

void TDriveComboBox::UpdateDrives() {
  drives_.clear();
  win::DWORD mask = win::GetLogicalDrives();
  for (int i = 0; i < 26; ++i)
    if (mask & (win::DWORD{1} << i)) drives_.push_back(static_cast<char>('A' + i));
  Changed();
}

std::vector<std::string> TDriveComboBox::Items() const {
  std::vector<std::string> labels;
  for (char d : drives_) labels.push_back(std::string{static_cast<char>(d - 'A' + 'a'), ':'});
  return labels;
}

int TDriveComboBox::ItemIndex() const {
  auto it = std::find(drives_.begin(), drives_.end(), drive_);
  return it == drives_.end() ? -1 : static_cast<int>(it - drives_.begin());
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list) {
  dir_list_name_.clear();
  if (dir_list_ == list) return;
  if (dir_list_) dir_list_->drive_box_ = nullptr;
  dir_list_ = list;
  if (!list) return;
  if (list->drive_box_) list->drive_box_->dir_list_ = nullptr;
  list->drive_box_ = this;
  ListMoved(list->Directory()[0]);
}

void TDriveComboBox::ListMoved(char letter) {
  if (drive_ == letter) return;
  drive_ = letter;
  if (ItemIndex() < 0) UpdateDrives();
  Changed();
}

void TDriveComboBox::ChooseDrive(char letter) {
  letter = UpperDrive(letter);
  if (letter == drive_) return;
  drive_ = letter;
  Changed();
  if (!dir_list_ || dir_list_->Directory()[0] == letter) return;
  try {
    // "X:" is the drive's current directory, as the system remembers it.
    dir_list_->SetDirectory(std::string{letter, ':'});
  } catch (...) {
    drive_ = dir_list_->Directory()[0];
    Changed();
    throw;
  }
}

void TDriveComboBox::UserSelect(int index) {
  Application->PostFor(this, [this, index] {
    if (!IsReachable()) return;
    if (CanFocus()) SetFocus();
    if (index >= 0 && index < static_cast<int>(drives_.size())) ChooseDrive(drives_[index]);
  });
}

void TDriveComboBox::KeyDown(Key key) {
  int at = ItemIndex();
  int last = static_cast<int>(drives_.size()) - 1;
  if (key == Key::Up && at > 0)
    ChooseDrive(drives_[at - 1]);
  else if (key == Key::Down && at < last)
    ChooseDrive(drives_[at + 1]);
}

bool TDriveComboBox::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name != "DirList") return TWinControl::ApplyProperty(name, v, form);
  const std::string& list_name = v.AsIdentifier();
  TComponent* found = Owner() ? Owner()->FindComponent(list_name) : nullptr;
  if (!found) {
    dir_list_name_ = list_name;  // not made yet: the list links itself once loaded
    return true;
  }
  auto* list = dynamic_cast<TDirectoryListBox*>(found);
  if (!list)
    throw Exception("layout line " + std::to_string(v.line) + ": " + list_name + " is not a directory list");
  SetDirList(list);
  return true;
}

}  // namespace ui
