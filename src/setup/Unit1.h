// Unit1: the main window TForm1. Its lower part shows the install options; four panels laid over them
// one after the other (sign-up, processing, installing, completion) are the wizard's only state.
// The whole installation runs inside BitBtn4Click (OK on the sign-up panel), on the UI thread.
#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/forms.h"
#include "ui/sockets.h"
#include "ui/timer.h"

namespace setup {

// The sign-up server. Change this one constant to point the notice at the production server.
inline constexpr const char* kSignUpHost = "signup.vantiro.example";

class TForm1 : public ui::TForm {
 public:
  explicit TForm1(ui::TComponent* owner);

  ui::TImage* Image1 = nullptr;
  ui::TLabel* Label1 = nullptr;
  ui::TEdit* Edit1 = nullptr;          // "Install to:"
  ui::TBitBtn* BitBtn1 = nullptr;      // Browse
  ui::TCheckBox* CheckBox1 = nullptr;  // desktop icon
  ui::TCheckBox* CheckBox2 = nullptr;  // Start Menu links
  ui::TBitBtn* BitBtn2 = nullptr;      // Quit
  ui::TBitBtn* BitBtn3 = nullptr;      // Install
  ui::TPanel* Panel1 = nullptr;        // installing
  ui::TPanel* Panel2 = nullptr;        // completion
  ui::TLabel* Label2 = nullptr;
  ui::TCheckBox* CheckBox3 = nullptr;  // Run Vantiro Now
  ui::TCheckBox* CheckBox4 = nullptr;  // View Release Notes
  ui::TButton* Button1 = nullptr;      // Exit
  ui::TPanel* Panel3 = nullptr;        // sign-up
  ui::TLabel* Label3 = nullptr;
  ui::TBitBtn* BitBtn4 = nullptr;  // OK
  ui::TBitBtn* BitBtn5 = nullptr;  // Skip
  ui::TEdit* Edit2 = nullptr;      // e-mail
  ui::TSockets* Sockets1 = nullptr;
  ui::TPanel* Panel4 = nullptr;  // processing
  ui::TLabel* Label4 = nullptr;
  ui::TTimer* Timer1 = nullptr;  // shows the licence agreement once
  ui::TTimer* Timer3 = nullptr;  // ends the installer beside a running product

  void FormCreate(ui::TObject* sender);
  void Timer1Timer(ui::TObject* sender);
  void Timer3Timer(ui::TObject* sender);
  void BitBtn1Click(ui::TObject* sender);
  void BitBtn2Click(ui::TObject* sender);
  void BitBtn3Click(ui::TObject* sender);
  void BitBtn4Click(ui::TObject* sender);
  void BitBtn5Click(ui::TObject* sender);
  void Button1Click(ui::TObject* sender);
  void Sockets1SessionConnected(ui::TObject* sender, win::SOCKET socket);
  void Sockets1ErrorOccurred(ui::TObject* sender, win::SOCKET socket, int error, const std::string& message);

  void findwindowa();
  void findwindowsdir();
  void registerstuff();
  void rewritereg();
  void uninstallsetup();
};

extern TForm1* Form1;

// The stamp of the sign-up notice: the local date and time, "2026-12-11 14:05:09".
std::string SignUpStamp();

}  // namespace setup
