#include "ui/message_box.h"

#include <algorithm>

#include "ui/application.h"

namespace ui {

namespace {
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kLineHeight = 13;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
}  // namespace

TMessageForm::TMessageForm(TComponent* owner, const std::string& text, const std::string& caption,
                           unsigned flags)
    : TForm(owner) {
  Name = "MessageBox";
  SetCaption(caption);
  BorderStyle = bsDialog;
  BorderIcons = TBorderIcons{true, false, false};
  Position = poScreenCenter;
  SetColor(clBtnFace);

  switch (flags & 0xF0) {
    case MB_ICONERROR: IconKind = StockIcon::Error; break;
    case MB_ICONWARNING: IconKind = StockIcon::Warning; break;
    case MB_ICONINFORMATION: IconKind = StockIcon::Information; break;
    default: break;
  }
  const bool ok_cancel = (flags & 0xF) == MB_OKCANCEL;

  // Size the box around the text as the system box does: lines stacked, icon at the left.
  Backend& backend = Application->GetBackend();
  auto lines = SplitLines(text);
  int text_width = 0;
  for (const auto& line : lines) text_width = std::max(text_width, backend.TextWidth(FontUsed(), line));
  int text_height = static_cast<int>(lines.size()) * kLineHeight;
  int text_left = IconKind == StockIcon::None ? kMargin + 6 : kMargin + kIconSize + kMargin;
  int buttons_width = ok_cancel ? 2 * kButtonWidth + kButtonGap : kButtonWidth;
  int width = std::max({text_left + text_width + kMargin + 6, buttons_width + 2 * kMargin, 120});
  int body = std::max(text_height, IconKind == StockIcon::None ? 0 : kIconSize);
  int height = kMargin + 8 + body + 20 + kButtonHeight + kMargin;
  SetBounds(0, 0, width, height);

  if (IconKind != StockIcon::None) {
    Icon = new TImage(this);
    Icon->Name = "Icon";
    Icon->Stock = IconKind;
    Icon->SetParent(this);
    Icon->SetBounds(kMargin + 6, kMargin + 6, kIconSize, kIconSize);
  }
  Message = new TLabel(this);
  Message->Name = "Message";
  Message->SetParent(this);
  int text_top = kMargin + 8 + (body - text_height) / 2;
  Message->SetBounds(text_left, text_top, text_width + 4, text_height);
  Message->SetCaption(text);

  int left = (width - buttons_width) / 2;
  int top = height - kMargin - kButtonHeight;
  OkButton = new TButton(this);
  OkButton->Name = "OK";
  OkButton->SetParent(this);
  OkButton->SetBounds(left, top, kButtonWidth, kButtonHeight);
  OkButton->SetCaption("OK");
  OkButton->ModalResult = mrOk;
  OkButton->TabOrder = 0;
  if (ok_cancel) {
    CancelButton = new TButton(this);
    CancelButton->Name = "Cancel";
    CancelButton->SetParent(this);
    CancelButton->SetBounds(left + kButtonWidth + kButtonGap, top, kButtonWidth, kButtonHeight);
    CancelButton->SetCaption("Cancel");
    CancelButton->ModalResult = mrCancel;
    CancelButton->Cancel = true;
    CancelButton->TabOrder = 1;
  } else {
    OkButton->Cancel = true;  // Escape answers a box that has only OK
  }
}

}  // namespace ui
