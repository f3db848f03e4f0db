#include "setup/shortcuts.h"

#include "setup/unit2.h"
#include "ui/registry.h"
#include "win/codepage.h"
#include "win/files.h"
#include "win/registry.h"

namespace setup {

std::string LinkFolder;
LinkObjectRefs LinkObject;
std::u16string LinkFile;
std::string LinkBaseName;
std::string LinkTarget;

namespace {

const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kStartMenuFolder[] = "\\programs\\Vantiro";

// M1: a new shell-link object with both interfaces; storing it releases the previous one.
void createlinkobject() {
  win::IUnknown* raw = nullptr;
  ui::OleCheck(win::CoCreateInstance(win::CLSID_ShellLink, nullptr,
                                     win::CLSCTX_INPROC_SERVER | win::CLSCTX_LOCAL_SERVER, win::IID_IUnknown,
                                     reinterpret_cast<void**>(&raw)));
  LinkObjectRefs refs;
  refs.object.Attach(raw);
  refs.shell_link.Attach(ui::QueryInterfaceOrRaise<win::IShellLinkA>(raw, win::IID_IShellLinkA));
  refs.persist_file.Attach(ui::QueryInterfaceOrRaise<win::IPersistFile>(raw, win::IID_IPersistFile));
  LinkObject = std::move(refs);
}

// M2 to M4 once the object exists: the file name, the target, the save. Nothing is reported: a
// shortcut that cannot be made is simply missing. A target the object refuses (too long for a shortcut)
// is such a case: saved anyway, the file would point nowhere.
void savelink(const std::string& path) {
  LinkFile = win::MultiByteToWideChar(win::CP_ACP, path);
  if (win::FAILED(LinkObject.shell_link->SetPath(LinkTarget.c_str()))) return;
  LinkObject.persist_file->Save(LinkFile.c_str(), false);
}

// The product shortcut's name comes from its target: "vantro.exe" less four characters, + ".lnk".
std::string derivedlinkpath() {
  getfilepart();
  LinkBaseName = LinkBaseName.size() > 4 ? LinkBaseName.substr(0, LinkBaseName.size() - 4) : "";
  return LinkFolder + "\\" + LinkBaseName + ".lnk";
}

void makefilelink(const std::string& file_name, const std::string& target) {
  LinkFolder = StartMenuDir + kStartMenuFolder;
  createlinkobject();
  std::string path = LinkFolder + "\\" + file_name;
  LinkTarget = target;
  savelink(path);
}

}  // namespace

void getshellfolders() {
  ui::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  registry.OpenKey(kShellFoldersKey, true);
  DesktopDir = registry.ReadString("Desktop");
  StartMenuDir = registry.ReadString("Start Menu");
  registry.CloseKey();
}

void getfilepart() {
  auto slash = LinkTarget.rfind('\\');
  if (slash == std::string::npos) return;
  LinkBaseName = LinkTarget.substr(slash + 1);
}

void makedesktopshortcut() {
  win::DeleteFileA(DesktopDir + "\\Vantiro.lnk");
  win::DeleteFileA(DesktopDir + "\\vantro.lnk");
  LinkFolder = DesktopDir;
  createlinkobject();
  savelink(derivedlinkpath());
  win::MoveFileA(DesktopDir + "\\vantro.lnk", DesktopDir + "\\Vantiro.lnk");
}

void makestartmenushortcuts() {
  const std::string folder = StartMenuDir + kStartMenuFolder;
  try {
    win::DeleteFileA(folder + "\\Vantiro.lnk");
    win::DeleteFileA(folder + "\\vnhelp.lnk");
    win::DeleteFileA(folder + "\\ReadMe.lnk");
    win::CreateDirectoryA(folder, nullptr);
  } catch (...) {
    // Only the folder's creation could fail here, and a missing folder just means no links.
  }

  LinkFolder = folder;
  createlinkobject();
  savelink(derivedlinkpath());
  win::MoveFileA(folder + "\\vantro.lnk", folder + "\\Vantiro.lnk");

  makefilelink("vnhelp.lnk", InstallDir + "\\vnhelp.doc");
  makefilelink("ReadMe.lnk", InstallDir + "\\readme.txt");
  makefilelink("Uninstall.lnk", UninstallerDir + "\\" + kUninstaller);
}

void ReleaseLinkObject() { LinkObject = LinkObjectRefs{}; }

void ResetLinkStateForTests() {
  ReleaseLinkObject();
  LinkFolder.clear();
  LinkFile.clear();
  LinkBaseName.clear();
  LinkTarget.clear();
}

}  // namespace setup
