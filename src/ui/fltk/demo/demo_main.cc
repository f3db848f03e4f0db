// ui_fltk_demo: a window built from a layout with one of each standard control, to look at the FLTK
// backend and drive it by hand or with xdotool. Optional arguments: a PNG for the picture, a PNG icon.
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/exceptions.h"
#include "ui/fltk/fltk_backend.h"
#include "ui/forms.h"
#include "ui/resources.h"
#include "ui/timer.h"

namespace {

const char kLayout[] = R"(object DemoForm: TDemoForm
  Caption = 'Backend demo '#150' caf'#233
  ClientWidth = 360
  ClientHeight = 320
  Color = clWhite
  BorderStyle = bsSingle
  BorderIcons = [biSystemMenu, biMinimize]
  Position = poScreenCenter
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  object Image1: TImage
    Left = -3
    Top = -2
    Width = 347
    Height = 74
    Picture.Resource = 'picture.png'
  end
  object Label1: TLabel
    Left = 53
    Top = 79
    Width = 42
    Height = 13
    Caption = 'Install to:'
  end
  object Edit1: TEdit
    Left = 102
    Top = 76
    Width = 138
    Height = 21
    Text = 'C:\Program Files\Vantiro'
    TabOrder = 0
    OnChange = Edit1Change
  end
  object CheckBox1: TCheckBox
    Left = 111
    Top = 103
    Width = 118
    Height = 17
    Caption = 'Add Icon to Deskop'
    TabOrder = 1
    OnClick = CheckBoxClick
  end
  object CheckBox2: TCheckBox
    Left = 109
    Top = 123
    Width = 129
    Height = 17
    Caption = 'Add Link to Start Menu'
    Checked = True
    TabOrder = 2
    OnClick = CheckBoxClick
  end
  object OptionsButton: TBitBtn
    Left = 85
    Top = 151
    Width = 75
    Height = 25
    Caption = 'Panel'
    TabOrder = 3
    OnClick = OptionsButtonClick
  end
  object MessageButton: TBitBtn
    Left = 173
    Top = 151
    Width = 75
    Height = 25
    Caption = 'Message'
    TabOrder = 4
    OnClick = MessageButtonClick
  end
  object ErrorButton: TButton
    Left = 256
    Top = 151
    Width = 75
    Height = 25
    Caption = 'Error'
    TabOrder = 5
    OnClick = ErrorButtonClick
  end
  object Panel1: TPanel
    Left = 15
    Top = 74
    Width = 315
    Height = 106
    BevelOuter = bvNone
    Caption = 'Installing Please Wait.......'
    Color = clWhite
    Visible = False
    TabOrder = 6
    object Label2: TLabel
      Left = 55
      Top = 6
      Width = 188
      Height = 19
      Caption = 'Install Completed Successfully!'
      ParentFont = False
      Font.Name = 'Times New Roman'
      Font.Height = -16
      Font.Color = clNavy
    end
    object BackButton: TButton
      Left = 107
      Top = 78
      Width = 75
      Height = 20
      Caption = 'Back'
      TabOrder = 0
      OnClick = BackButtonClick
    end
  end
  object Memo1: TMemo
    Left = 8
    Top = 186
    Width = 200
    Height = 90
    ReadOnly = True
    ScrollBars = ssVertical
    TabOrder = 7
  end
  object Label3: TLabel
    Left = 216
    Top = 186
    Width = 136
    Height = 52
    WordWrap = True
    Caption = 'Symbols stay text: @-> & &&x @@, and this label wraps at its width.'
  end
  object Label4: TLabel
    Left = 216
    Top = 244
    Width = 100
    Height = 13
    Caption = 'Underlined'
    ParentFont = False
    Font.Name = 'MS Sans Serif'
    Font.Height = -11
    Font.Color = clBlue
    Font.Style = [fsUnderline]
  end
  object Status: TLabel
    Left = 8
    Top = 282
    Width = 344
    Height = 13
    Caption = 'Ready.'
  end
  object Ticks: TLabel
    Left = 8
    Top = 300
    Width = 200
    Height = 13
    Caption = 'Ticks: 0'
  end
  object BusyButton: TButton
    Left = 256
    Top = 290
    Width = 96
    Height = 23
    Caption = 'Busy (Repaint)'
    TabOrder = 8
    OnClick = BusyButtonClick
  end
  object Disabled: TCheckBox
    Left = 216
    Top = 262
    Width = 136
    Height = 17
    Caption = 'Disabled option'
    Checked = True
    Enabled = False
    TabOrder = 9
  end
  object Timer1: TTimer
    Interval = 1000
    OnTimer = Timer1Timer
  end
end
)";

// A control class the backend has no widget for.
class TOddControl : public ui::TWinControl {
 public:
  using TWinControl::TWinControl;
};

class TDemoForm : public ui::TForm {
 public:
  explicit TDemoForm(ui::TComponent* owner) : TForm(owner) {
    BindField("Edit1", Edit1);
    BindField("CheckBox1", CheckBox1);
    BindField("CheckBox2", CheckBox2);
    BindField("Panel1", Panel1);
    BindField("Status", Status);
    BindField("Ticks", Ticks);
    BindField("Memo1", Memo1);
    RegisterHandler("Edit1Change", &TDemoForm::Edit1Change);
    RegisterHandler("CheckBoxClick", &TDemoForm::CheckBoxClick);
    RegisterHandler("OptionsButtonClick", &TDemoForm::OptionsButtonClick);
    RegisterHandler("BackButtonClick", &TDemoForm::BackButtonClick);
    RegisterHandler("MessageButtonClick", &TDemoForm::MessageButtonClick);
    RegisterHandler("ErrorButtonClick", &TDemoForm::ErrorButtonClick);
    RegisterHandler("BusyButtonClick", &TDemoForm::BusyButtonClick);
    RegisterHandler("Timer1Timer", &TDemoForm::Timer1Timer);
    LoadLayout("demo.layout");
    Memo1->SetLinesText(
        "A read-only memo: lines wrap at the box width, and a vertical scroll bar appears.\r\n\r\n"
        "Second paragraph, with characters of the code page: caf\xE9, na\xEFve, \x80 5.\n"
        "Line 4\nLine 5\nLine 6\nLine 7\nLine 8\nLine 9\nLine 10");
    auto* odd = new TOddControl(this);
    odd->SetParent(this);
    odd->SetBounds(16, 16, 0, 0);
  }

  ui::TEdit* Edit1 = nullptr;
  ui::TCheckBox* CheckBox1 = nullptr;
  ui::TCheckBox* CheckBox2 = nullptr;
  ui::TPanel* Panel1 = nullptr;
  ui::TLabel* Status = nullptr;
  ui::TLabel* Ticks = nullptr;
  ui::TMemo* Memo1 = nullptr;

 private:
  void Edit1Change(ui::TObject*) { Status->SetCaption("Edit: " + Edit1->Text()); }
  void CheckBoxClick(ui::TObject* sender) {
    auto* box = static_cast<ui::TCheckBox*>(sender);
    Status->SetCaption(box->Caption() + (box->Checked() ? ": checked" : ": unchecked"));
  }
  void OptionsButtonClick(ui::TObject*) { Panel1->Show(); }
  void BackButtonClick(ui::TObject*) { Panel1->Hide(); }
  void MessageButtonClick(ui::TObject*) {
    int answer = ui::Application->MessageBox("Do you want to go on?\nA second line, with & and @.", "Demo",
                                             ui::MB_OKCANCEL | ui::MB_ICONWARNING);
    Status->SetCaption(answer == ui::IDOK ? "Message box: OK" : "Message box: Cancel");
  }
  void ErrorButtonClick(ui::TObject*) { throw ui::Exception("Something went wrong on purpose"); }
  void BusyButtonClick(ui::TObject*) {
    Panel1->Show();
    Repaint();
    std::this_thread::sleep_for(std::chrono::seconds(3));  // a handler that keeps the loop waiting
    Panel1->Hide();
  }
  void Timer1Timer(ui::TObject*) { Ticks->SetCaption("Ticks: " + std::to_string(++ticks_)); }
  int ticks_ = 0;
};

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  static std::string picture = argc > 1 ? ReadFile(argv[1]) : std::string();
  static std::string icon = argc > 2 ? ReadFile(argv[2]) : std::string();
  ui::RegisterResource("demo.layout", kLayout);
  ui::RegisterResource("picture.png", picture);

  ui::MonotonicClock clock;
  ui::FltkBackend backend(clock);
  if (!icon.empty() && !backend.SetApplicationIcon(icon)) return 1;
  {
    ui::TApplication application(backend, clock);
    application.Title = "Demo";
    TDemoForm* form = nullptr;
    application.CreateForm(form);
    application.Run();
  }
  return 0;
}
