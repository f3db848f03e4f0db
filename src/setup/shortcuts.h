// The install engine's shortcuts: the user's desktop and Start Menu folders from the registry, and
// shell-link files made through the shell-link component object. Runs inside installfiles; a shell-link
// object that cannot be made raises, and the error ends the install routine.
#pragma once

#include <string>

#include "ui/ole.h"
#include "win/com.h"

namespace setup {

// LinkState: the shortcut work variables. They keep their last values between shortcuts.
struct LinkObjectRefs {
  ui::ComPtr<win::IUnknown> object;
  ui::ComPtr<win::IShellLinkA> shell_link;
  ui::ComPtr<win::IPersistFile> persist_file;
};
extern std::string LinkFolder;
extern LinkObjectRefs LinkObject;  // the last object stays referenced until the program ends
extern std::u16string LinkFile;
extern std::string LinkBaseName;
extern std::string LinkTarget;

// Reads "Desktop" and "Start Menu" of the user's shell folders into DesktopDir and StartMenuDir.
void getshellfolders();
// LinkBaseName = the part of LinkTarget after its last backslash (unchanged when there is none).
void getfilepart();
// The desktop icon: DesktopDir\Vantiro.lnk to the installed main program.
void makedesktopshortcut();
// The Start Menu folder "programs\Vantiro" with the program, help, read-me and uninstall links.
void makestartmenushortcuts();

// Releases the last shell-link object (before the component-object services shut down).
void ReleaseLinkObject();
void ResetLinkStateForTests();

}  // namespace setup
