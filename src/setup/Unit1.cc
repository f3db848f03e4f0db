#include "setup/Unit1.h"

#include <ctime>

#include "setup/Unit3.h"
#include "setup/Unit4.h"
#include "setup/unit2.h"
#include "ui/application.h"
#include "ui/registry.h"
#include "win/files.h"
#include "win/paths.h"
#include "win/process.h"
#include "win/registry.h"

namespace setup {

using ui::Application;

TForm1* Form1 = nullptr;

namespace {
const char kRunningCopyMessage[] =
    "Another version of Vantiro is currently running on your system.\r\r"
    "Please close the previous version and then rerun setup.";
}  // namespace

TForm1::TForm1(ui::TComponent* owner) : ui::TForm(owner) {
  BindField("Image1", Image1);
  BindField("Label1", Label1);
  BindField("Edit1", Edit1);
  BindField("BitBtn1", BitBtn1);
  BindField("CheckBox1", CheckBox1);
  BindField("CheckBox2", CheckBox2);
  BindField("BitBtn2", BitBtn2);
  BindField("BitBtn3", BitBtn3);
  BindField("Panel1", Panel1);
  BindField("Panel2", Panel2);
  BindField("Label2", Label2);
  BindField("CheckBox3", CheckBox3);
  BindField("CheckBox4", CheckBox4);
  BindField("Button1", Button1);
  BindField("Panel3", Panel3);
  BindField("Label3", Label3);
  BindField("BitBtn4", BitBtn4);
  BindField("BitBtn5", BitBtn5);
  BindField("Edit2", Edit2);
  BindField("Sockets1", Sockets1);
  BindField("Panel4", Panel4);
  BindField("Label4", Label4);
  BindField("Timer1", Timer1);
  BindField("Timer3", Timer3);
  RegisterHandler("FormCreate", &TForm1::FormCreate);
  RegisterHandler("Timer1Timer", &TForm1::Timer1Timer);
  RegisterHandler("Timer3Timer", &TForm1::Timer3Timer);
  RegisterHandler("BitBtn1Click", &TForm1::BitBtn1Click);
  RegisterHandler("BitBtn2Click", &TForm1::BitBtn2Click);
  RegisterHandler("BitBtn3Click", &TForm1::BitBtn3Click);
  RegisterHandler("BitBtn4Click", &TForm1::BitBtn4Click);
  RegisterHandler("BitBtn5Click", &TForm1::BitBtn5Click);
  RegisterHandler("Button1Click", &TForm1::Button1Click);
  RegisterHandler<void(ui::TObject*, win::SOCKET)>(
      "Sockets1SessionConnected", [this](ui::TObject* s, win::SOCKET k) { Sockets1SessionConnected(s, k); });
  RegisterHandler<void(ui::TObject*, win::SOCKET, int, const std::string&)>(
      "Sockets1ErrorOccurred", [this](ui::TObject* s, win::SOCKET k, int e, const std::string& m) {
        Sockets1ErrorOccurred(s, k, e, m);
      });
  LoadLayout("Unit1.layout");
}

// ---- start-up and the running-copy guard

void TForm1::FormCreate(ui::TObject*) {
  // First: the directory chooser moves the current directory as the user browses.
  SourceDir = win::GetCurrentDirectoryA() + "\\";
  findwindowa();
  SkipSignUp = false;
  AddDesktopIcon = false;
  AddStartMenuLinks = false;
  Timer1->SetEnabled(true);
}

void TForm1::findwindowa() {
  if (win::FindWindowA(nullptr, "Vantiro") == 0) return;
  Application->MessageBox(kRunningCopyMessage, "Setup", ui::MB_OK);
  Timer3->SetEnabled(true);
}

void TForm1::Timer1Timer(ui::TObject*) {
  Timer1->SetEnabled(false);  // the agreement comes up once per run
  Form4->ShowModal();
}

void TForm1::Timer3Timer(ui::TObject*) { Close(); }

void TForm1::BitBtn2Click(ui::TObject*) { Close(); }

// ---- the wizard

void TForm1::BitBtn3Click(ui::TObject*) {
  Panel3->Show();
  Edit2->SetFocus();
}

void TForm1::BitBtn1Click(ui::TObject*) { Form3->ShowModal(); }

void TForm1::BitBtn4Click(ui::TObject*) {
  Panel4->Show();
  Repaint();
  if (Edit2->Text().empty()) Edit2->SetText("Not Specified");
  Sockets1->IPAddr = kSignUpHost;
  if (!SkipSignUp) Sockets1->SConnect();
  Panel4->Hide();
  Panel3->Hide();
  Panel1->Show();
  InstallDir = Edit1->Text();
  rewritereg();
  if (CheckBox1->Checked()) AddDesktopIcon = true;
  if (CheckBox2->Checked()) AddStartMenuLinks = true;
  findwindowsdir();
  UninstallerDir = WindowsDir;
  installfiles();
  if (InstallFailed) {
    Close();
    return;
  }
  uninstallsetup();
  registerstuff();
  Panel2->Show();
}

void TForm1::BitBtn5Click(ui::TObject*) {
  SkipSignUp = true;
  BitBtn4->Click();
}

void TForm1::Button1Click(ui::TObject*) {
  // The program paths are quoted: an unquoted "C:\Program Files\..." would let C:\Program.exe start.
  if (CheckBox3->Checked()) win::WinExec("\"" + InstallDir + "\\vantro.exe\"", win::SW_SHOWNORMAL);
  if (CheckBox4->Checked())
    win::WinExec("\"" + WindowsDir + "\\notepad.exe\" \"" + InstallDir + "\\readme.txt\"",
                 win::SW_SHOWNORMAL);
  Close();
}

void TForm1::registerstuff() { Application->ProcessMessages(); }

void TForm1::findwindowsdir() { WindowsDir = win::WindowsDirectory(); }

// ---- the sign-up notice: fire-and-forget, every failure silent

std::string SignUpStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm* converted = std::localtime(&now)) local = *converted;  // null only past the calendar
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

void TForm1::Sockets1SessionConnected(ui::TObject*, win::SOCKET) {
  Sockets1->SetText("Vantiro 1.1 - " + SignUpStamp() + " - " + Edit2->Text());
}

void TForm1::Sockets1ErrorOccurred(ui::TObject*, win::SOCKET, int, const std::string&) {
  // The notice never reaches the user: no message, no retry, no effect on the installation.
}

// ---- registry records

void TForm1::rewritereg() {
  ui::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  registry.CreateKey("\\Software\\vnta");
  registry.OpenKey("\\Software\\vnta", true);
  registry.WriteString("installdir", Edit1->Text());
  registry.CloseKey();
}

void TForm1::uninstallsetup() {
  ui::TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantiro", true);
  registry.WriteString("Displayname", "Vantiro");
  registry.WriteString("UninstallString", WindowsDir + "\\uninst1.exe");
  registry.CloseKey();
}

}  // namespace setup
