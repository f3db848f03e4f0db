#include "setup/unit2.h"

#include <algorithm>
#include <array>

#include "setup/shortcuts.h"
#include "ui/application.h"
#include "win/files.h"

namespace setup {

using ui::Application;

std::string SourceDir;
std::string WindowsDir;
std::string InstallDir;
std::string UninstallerDir;
std::string DesktopDir;
std::string StartMenuDir;
bool AddDesktopIcon = false;
bool AddStartMenuLinks = false;
bool InstallFailed = false;
bool SkipSignUp = false;

namespace {

const char kCopyFailedMessage[] =
    "There was an error installing Vantiro.\r\rBe sure that you have closed any previous version of "
    "Vantiro that is running on your system and that you have adequate drive space.";

// Old files removed from the installation directory before the copies, in this order.
constexpr std::array<const char*, 5> kStaleInstallFiles = {"vantro.exe", "vantro.doc", "readme.txt",
                                                           "iplist.txt", "portslist.txt"};
// Copied into the installation directory after the main executable, results not examined.
constexpr std::array<const char*, 4> kProductFiles = {"portslist.txt", "iplist.txt", "vnhelp.doc",
                                                      "readme.txt"};
// Removed from the source directory once all copies were attempted, in this order.
constexpr std::array<const char*, 6> kShippedFiles = {"portslist.txt", "iplist.txt",  "vnhelp.doc",
                                                      "readme.txt",    "uninst1.exe", "vantro.exe"};

std::string InstallTarget(const char* name) { return InstallDir + "\\" + name; }

// Step 3: the directory, then each missing level from the left, then the directory once more. Every
// failure is ignored; a directory that cannot be made shows up as the failed copy of the main program.
void createinstalldir() {
  if (!win::CreateDirectoryA(InstallDir, nullptr)) {
    for (size_t k = 0; k + 1 < InstallDir.size(); ++k)
      if (InstallDir[k] == '\\' && k > 0) win::CreateDirectoryA(InstallDir.substr(0, k), nullptr);
  }
  win::CreateDirectoryA(InstallDir, nullptr);
}

// The shipped files whose copy arrived whole (flushed to disk); only their sources are removed.
struct Transfer {
  std::array<bool, kShippedFiles.size()> arrived{};
  void Mark(const char* name) {
    for (size_t i = 0; i < kShippedFiles.size(); ++i)
      if (std::string(kShippedFiles[i]) == name) arrived[i] = true;
  }
};

// Copies one shipped file. A file already in place (the installation directory is the source
// directory, however spelled) counts as arrived and is neither copied onto itself nor removed.
bool copyshipped(const char* name, const std::string& target, Transfer& transfer, bool& in_place) {
  std::string source = SourceDir + name;
  in_place = win::SameFile(source, target);
  if (in_place) return true;
  if (!win::CopyFileA(source, target, false)) return false;
  transfer.Mark(name);
  return true;
}

void copyfailed(win::FolderLock& transfer_lock) {
  transfer_lock.Release();
  Application->MessageBox(kCopyFailedMessage, Application->Title, ui::MB_OK);
  InstallFailed = true;
}

}  // namespace

void installfiles() {
  InstallFailed = false;
  getshellfolders();
  createinstalldir();

  // Another installer moving this product's files now stops this one before it deletes anything: its
  // checks of the sources and the other's moves would interleave. It ends as it would a moment later,
  // when the sources are gone. The hold is let go before any message waits for the person.
  win::FolderLock transfer_lock;
  bool busy = !transfer_lock.TryAcquire(SourceDir) && win::GetLastError() == win::ERROR_SHARING_VIOLATION;

  // A missing or unreadable main program is known before anything is deleted: the previous
  // installation stays whole.
  if (busy || !win::FileReadable(SourceDir + kMainExecutable)) {
    copyfailed(transfer_lock);
    return;
  }

  for (const char* name : kStaleInstallFiles) {
    std::string target = InstallTarget(name);
    if (win::SameFile(SourceDir + name, target)) continue;  // the shipped file itself: keep it
    // An old copy whose replacement is not in the source stays: a run again after an interrupted one
    // finds some files already moved, and deleting their installed copies would lose them.
    bool shipped = std::find_if(kShippedFiles.begin(), kShippedFiles.end(), [name](const char* f) {
                     return std::string(f) == name;
                   }) != kShippedFiles.end();
    if (shipped && !win::FileReadable(SourceDir + name)) continue;
    win::DeleteFileA(target);
  }

  Transfer transfer;
  bool in_place = false;
  if (!copyshipped(kMainExecutable, InstallTarget(kMainExecutable), transfer, in_place)) {
    copyfailed(transfer_lock);
    return;
  }
  for (const char* name : kProductFiles) copyshipped(name, InstallTarget(name), transfer, in_place);
  copyshipped(kUninstaller, UninstallerDir + "\\" + kUninstaller, transfer, in_place);

  // Repaints and the sign-up connection's notifications run here.
  Application->ProcessMessages();

  for (size_t i = 0; i < kShippedFiles.size(); ++i)
    if (transfer.arrived[i]) win::DeleteFileA(SourceDir + kShippedFiles[i]);
  transfer_lock.Release();

  LinkTarget = InstallTarget(kMainExecutable);
  if (AddDesktopIcon) makedesktopshortcut();
  if (AddStartMenuLinks) makestartmenushortcuts();
}

void ResetInstallStateForTests() {
  SourceDir = WindowsDir = InstallDir = UninstallerDir = DesktopDir = StartMenuDir = "";
  AddDesktopIcon = AddStartMenuLinks = InstallFailed = SkipSignUp = false;
  ResetLinkStateForTests();
}

}  // namespace setup
