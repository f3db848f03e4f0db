// The widgets of the standard controls, and the table of widget classes. Each widget draws its
// control's state as the system draws that control (3D edges, classic check box, focus rectangle) and
// turns clicks into the application's input messages.
#include <algorithm>
#include <deque>
#include <memory>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/fltk/fltk_widgets.h"
#include "ui/forms.h"
#include "win/codepage.h"

namespace ui {

// ---- the table of widget classes

namespace {

struct Registered {
  std::type_index type;
  std::function<bool(const TControl&)> accepts;
  FltkWidgetClass widget_class;
};

// A deque, so that the entries handed out stay where they are when more are added.
std::deque<Registered>& Registry() {
  static std::deque<Registered> registry;
  return registry;
}

}  // namespace

void RegisterFltkWidgetClass(std::type_index type, std::function<bool(const TControl&)> accepts,
                             FltkWidgetClass widget_class) {
  for (Registered& r : Registry())
    if (r.type == type) {
      r.accepts = std::move(accepts);
      r.widget_class = std::move(widget_class);
      return;
    }
  Registry().push_back(Registered{type, std::move(accepts), std::move(widget_class)});
}

const FltkWidgetClass* FindFltkWidgetClass(const TControl& control) {
  auto& registry = Registry();
  for (Registered& r : registry)
    if (r.type == typeid(control)) return &r.widget_class;
  for (auto it = registry.rbegin(); it != registry.rend(); ++it)
    if (it->accepts && it->accepts(control)) return &it->widget_class;
  return nullptr;
}

// ---- shared pieces

namespace {

const Fl_Color kFace = fl_rgb_color(192, 192, 192);
const Fl_Color kShadow = fl_rgb_color(128, 128, 128);
const Fl_Color kLight = fl_rgb_color(223, 223, 223);

void PostClick(TControl& control) {
  if (Application) Application->InputClick(&control);
}

// The user gave the widget the focus (by clicking it): tell the framework, unless it is where the
// framework already has it (the backend's own take_focus() lands here too).
void PostFocus(TControl& control) {
  auto* w = dynamic_cast<TWinControl*>(&control);
  TForm* form = control.OwnerForm();
  if (Application && w && form && form->ActiveControl() != w) Application->InputFocus(w);
}

// Mouse handling of a control that cannot take the focus: a press and release inside is a click. The
// press is only taken when the control has a click handler, so that otherwise it reaches what is below.
int HandlePlainClick(Fl_Widget& widget, TControl& control, int event) {
  switch (event) {
    case FL_PUSH: return control.OnClick ? 1 : 0;
    case FL_DRAG: return 1;
    case FL_RELEASE:
      if (Fl::event_inside(&widget)) PostClick(control);
      return 1;
    default: return 0;
  }
}

// A rectangle with a light top-left and a dark bottom-right edge, one pixel wide.
void DrawEdge(int x, int y, int w, int h, Fl_Color top_left, Fl_Color bottom_right) {
  if (w <= 0 || h <= 0) return;
  fl_color(top_left);
  fl_xyline(x, y, x + w - 2);
  fl_yxline(x, y, y + h - 2);
  fl_color(bottom_right);
  fl_xyline(x, y + h - 1, x + w - 1);
  fl_yxline(x + w - 1, y, y + h - 1);
}

TextAlign AlignOf(TAlignment a) {
  return a == taCenter ? TextAlign::Center : a == taRightJustify ? TextAlign::Right : TextAlign::Left;
}

// ---- TLabel

class LabelWidget : public Fl_Widget {
 public:
  explicit LabelWidget(TLabel& label) : Fl_Widget(0, 0, 0, 0), label_(label) { clear_visible_focus(); }

  void draw() override {
    if (!label_.Transparent) fl_rectf(x(), y(), w(), h(), ToFlColor(label_.ColorUsed()));
    // Not cut to the label's rectangle: a label sizes itself to its text where it was designed, and the
    // stand-in font may be a pixel or two wider.
    TextBox box{x(), y(), w(), h(), AlignOf(label_.Alignment), false, label_.WordWrap};
    const TFont& font = label_.FontUsed();
    if (active_r())
      DrawText(label_.Caption(), font, ToFlColor(font.Color), box);
    else
      DrawDisabledText(label_.Caption(), font, box);
  }
  int handle(int event) override { return HandlePlainClick(*this, label_, event); }

 private:
  TLabel& label_;
};

// ---- TEdit

class EditWidget : public Fl_Input {
 public:
  explicit EditWidget(TEdit& edit) : Fl_Input(0, 0, 0, 0), edit_(edit) {
    box(FL_DOWN_BOX);
    when(FL_WHEN_CHANGED);
    callback(Typed, this);
    selection_color(ToFlColor(clHighlight));
    cursor_color(FL_BLACK);
  }

  // Brings the widget in line with the edit. The user's typing travels as messages: while some of it
  // has not reached the edit yet, the widget keeps what the user sees, unless code set a new text.
  void Update() {
    const TFont& font = edit_.FontUsed();
    FlFont f = MapFont(font);
    textfont(f.face);
    textsize(f.size);
    textcolor(ToFlColor(font.Color));
    color(ToFlColor(edit_.ColorUsed()));
    readonly(edit_.ReadOnly ? 1 : 0);
    maximum_size(edit_.MaxLength > 0 ? edit_.MaxLength : 32767);

    const std::string& text = edit_.Text();
    auto taken = std::find(sent_.begin(), sent_.end(), text);
    if (taken != sent_.end()) {
      sent_.erase(sent_.begin(), taken + 1);
    } else if (!sent_.empty() && text == synced_ && Application && Application->PendingMessages() > 0) {
      return;  // typing still on its way
    } else {
      sent_.clear();  // code set the text, or typing was refused: the edit's text wins
    }
    synced_ = text;
    if (!sent_.empty()) return;
    std::string shown = DisplayText(text);
    if (shown != value()) {
      value(shown.c_str());
      position(0);  // new text shows from its start, as the system's edit shows it
    }
  }

  int handle(int event) override {
    int result = Fl_Input::handle(event);
    if (event == FL_FOCUS && result) {
      // Focus from the keyboard or from code selects the whole text; a click places the cursor.
      if (Fl::event() != FL_PUSH) position(size(), 0);
      PostFocus(edit_);
    }
    return result;
  }

 private:
  static void Typed(Fl_Widget*, void* data) {
    auto* self = static_cast<EditWidget*>(data);
    std::string text = win::Utf8ToAnsi(self->value());
    self->sent_.push_back(text);
    if (Application) Application->InputText(&self->edit_, text);
  }

  TEdit& edit_;
  std::vector<std::string> sent_;  // texts typed and posted, oldest first, not yet seen in the edit
  std::string synced_;             // the edit's text when the widget last agreed with it
};

bool EditOwnsKey(int key) {
  // Moving the cursor and typing a space are the edit's; Tab, Enter, Escape, Up and Down are the form's.
  return key == FL_Left || key == FL_Right || key == FL_Home || key == FL_End || key == ' ';
}

// ---- TCheckBox

class CheckBoxWidget : public Fl_Widget {
 public:
  explicit CheckBoxWidget(TCheckBox& box) : Fl_Widget(0, 0, 0, 0), box_(box) {}

  void draw() override {
    // Always on a background of its own colour: text drawn twice over itself would thicken.
    fl_rectf(x(), y(), w(), h(), ToFlColor(box_.ColorUsed()));
    fl_push_clip(x(), y(), w(), h());
    int bx = x(), by = y() + (h() - kBox) / 2;
    DrawEdge(bx, by, kBox, kBox, kShadow, FL_WHITE);
    DrawEdge(bx + 1, by + 1, kBox - 2, kBox - 2, FL_BLACK, kLight);
    fl_rectf(bx + 2, by + 2, kBox - 4, kBox - 4, pressed_ || !active_r() ? kFace : FL_WHITE);
    if (box_.Checked()) {
      // The classic tick: seven columns three pixels tall.
      static const int kTop[7] = {2, 3, 4, 3, 2, 1, 0};
      fl_color(active_r() ? FL_BLACK : kShadow);
      for (int i = 0; i < 7; ++i) fl_yxline(bx + 3 + i, by + 3 + kTop[i], by + 5 + kTop[i]);
    }
    const TFont& font = box_.FontUsed();
    TextBox text{x() + kTextLeft, y(), w() - kTextLeft, h(), TextAlign::Left, true, false};
    if (active_r())
      DrawText(box_.Caption(), font, ToFlColor(font.Color), text);
    else
      DrawDisabledText(box_.Caption(), font, text);
    if (Fl::focus() == this) {
      UseFont(font);
      int width = LineWidth(DisplayText(box_.Caption()));
      int top = y() + (h() - fl_height()) / 2;
      DrawFocusRect(x() + kTextLeft - 2, top - 1, width + 4, fl_height() + 2);
    }
    fl_pop_clip();
  }

  int handle(int event) override {
    switch (event) {
      case FL_PUSH:
        if (Fl::visible_focus() && handle(FL_FOCUS)) Fl::focus(this);
        pressed_ = true;
        redraw();
        return 1;
      case FL_DRAG:
        if (pressed_ != (Fl::event_inside(this) != 0)) {
          pressed_ = !pressed_;
          redraw();
        }
        return 1;
      case FL_RELEASE:
        if (pressed_) {
          pressed_ = false;
          redraw();
          PostClick(box_);  // the framework toggles it
        }
        return 1;
      case FL_FOCUS:
        PostFocus(box_);
        redraw();
        return 1;
      case FL_UNFOCUS: redraw(); return 1;
      default: return 0;
    }
  }

 private:
  static constexpr int kBox = 13;
  static constexpr int kTextLeft = 17;
  TCheckBox& box_;
  bool pressed_ = false;  // held down with the mouse inside
};

// ---- TButton, TBitBtn

class ButtonWidget : public Fl_Button {
 public:
  explicit ButtonWidget(TButton& button) : Fl_Button(0, 0, 0, 0), button_(button) {
    clear_flag(SHORTCUT_LABEL);
    when(FL_WHEN_RELEASE);
    callback(Pressed, this);
  }

  void draw() override {
    int X = x(), Y = y(), W = w(), H = h();
    bool focused = Fl::focus() == this;
    bool down = value() != 0;
    fl_rectf(X, Y, W, H, kFace);
    if (focused || button_.Default) {
      // The button Enter would press wears a black frame.
      fl_color(FL_BLACK);
      fl_rect(X, Y, W, H);
      X += 1, Y += 1, W -= 2, H -= 2;
    }
    if (down) {
      fl_color(kShadow);
      fl_rect(X, Y, W, H);
    } else {
      DrawEdge(X, Y, W, H, FL_WHITE, FL_BLACK);
      DrawEdge(X + 1, Y + 1, W - 2, H - 2, kLight, kShadow);
    }
    fl_push_clip(X + 2, Y + 2, W - 4, H - 4);
    int shift = down ? 1 : 0;
    TextBox text{X + 2 + shift, Y + shift, W - 4, H, TextAlign::Center, true, false};
    const TFont& font = button_.FontUsed();
    if (active_r())
      DrawText(button_.Caption(), font, ToFlColor(font.Color), text);
    else
      DrawDisabledText(button_.Caption(), font, text);
    fl_pop_clip();
    if (focused) DrawFocusRect(X + 3, Y + 3, W - 6, H - 6);
  }

  int handle(int event) override {
    int result = Fl_Button::handle(event);
    if (event == FL_FOCUS && result) PostFocus(button_);
    return result;
  }

 private:
  static void Pressed(Fl_Widget*, void* data) { PostClick(static_cast<ButtonWidget*>(data)->button_); }
  TButton& button_;
};

// ---- TPanel

class PanelWidget : public Fl_Group {
 public:
  explicit PanelWidget(TPanel& panel) : Fl_Group(0, 0, 0, 0), panel_(panel) {
    end();
    resizable(nullptr);
    clip_children(1);
    clear_visible_focus();
  }

  void draw() override {
    fl_rectf(x(), y(), w(), h(), ToFlColor(panel_.ColorUsed()));
    if (panel_.BevelOuter == bvRaised) DrawEdge(x(), y(), w(), h(), FL_WHITE, kShadow);
    if (panel_.BevelOuter == bvLowered) DrawEdge(x(), y(), w(), h(), kShadow, FL_WHITE);
    if (!panel_.Caption().empty()) {
      fl_push_clip(x(), y(), w(), h());
      TextBox text{x(), y(), w(), h(), TextAlign::Center, true, false};
      const TFont& font = panel_.FontUsed();
      if (active_r())
        DrawText(panel_.Caption(), font, ToFlColor(font.Color), text);
      else
        DrawDisabledText(panel_.Caption(), font, text);
      fl_pop_clip();
    }
    draw_children();
  }

  int handle(int event) override {
    if (int result = Fl_Group::handle(event)) return result;
    // What no child takes stops here: the controls the panel lies over are out of the mouse's reach.
    switch (event) {
      case FL_PUSH:
      case FL_DRAG:
      case FL_MOUSEWHEEL: return 1;
      case FL_RELEASE:
        if (Fl::event_inside(this)) PostClick(panel_);
        return 1;
      default: return 0;
    }
  }

 private:
  TPanel& panel_;
};

// ---- TImage

void DrawStockIcon(StockIcon kind, int x, int y) {
  switch (kind) {
    case StockIcon::Error:
      fl_color(fl_rgb_color(255, 0, 0));
      fl_pie(x, y, 32, 32, 0, 360);
      fl_color(FL_WHITE);
      fl_line_style(FL_SOLID | FL_CAP_ROUND, 4);
      fl_line(x + 10, y + 10, x + 21, y + 21);
      fl_line(x + 21, y + 10, x + 10, y + 21);
      fl_line_style(0);
      break;
    case StockIcon::Warning:
      fl_color(fl_rgb_color(255, 255, 0));
      fl_polygon(x + 16, y + 1, x + 31, y + 29, x + 1, y + 29);
      fl_color(FL_BLACK);
      fl_loop(x + 16, y + 1, x + 31, y + 29, x + 1, y + 29);
      fl_rectf(x + 15, y + 9, 3, 12);
      fl_rectf(x + 15, y + 23, 3, 3);
      break;
    case StockIcon::Information:
      fl_color(fl_rgb_color(0, 0, 255));
      fl_pie(x, y, 32, 32, 0, 360);
      fl_color(FL_WHITE);
      fl_rectf(x + 14, y + 7, 4, 4);
      fl_rectf(x + 14, y + 13, 4, 12);
      fl_rectf(x + 12, y + 13, 2, 2);
      fl_rectf(x + 12, y + 23, 8, 2);
      break;
    case StockIcon::None: break;
  }
}

class ImageWidget : public Fl_Widget {
 public:
  explicit ImageWidget(TImage& image) : Fl_Widget(0, 0, 0, 0), image_(image) { clear_visible_focus(); }

  void Update() {
    std::string_view data = image_.PictureData();
    if (data.data() == source_.data() && data.size() == source_.size()) return;
    source_ = data;
    picture_.reset();
    if (data.empty()) return;
    auto png = std::make_unique<Fl_PNG_Image>(image_.PictureName().c_str(),
                                              reinterpret_cast<const unsigned char*>(data.data()),
                                              static_cast<int>(data.size()));
    // A picture that cannot be read shows as nothing, as an empty picture would.
    if (png->fail() == 0 && png->w() > 0 && png->h() > 0) picture_ = std::move(png);
  }

  void draw() override {
    fl_push_clip(x(), y(), w(), h());
    if (picture_)
      picture_->draw(x(), y());
    else
      DrawStockIcon(image_.Stock, x(), y());
    fl_pop_clip();
  }
  int handle(int event) override { return HandlePlainClick(*this, image_, event); }

 private:
  TImage& image_;
  std::string_view source_;  // the bytes `picture_` was read from
  std::unique_ptr<Fl_RGB_Image> picture_;
};

// ---- TMemo

class MemoWidget : public Fl_Text_Display {
 public:
  explicit MemoWidget(TMemo& memo) : Fl_Text_Display(0, 0, 0, 0), memo_(memo) {
    end();
    buffer(&buffer_);
    box(FL_DOWN_BOX);
  }
  ~MemoWidget() override { buffer(nullptr); }

  void Update() {
    const TFont& font = memo_.FontUsed();
    FlFont f = MapFont(font);
    textcolor(ToFlColor(font.Color));
    color(ToFlColor(memo_.ColorUsed()));
    // Lines are laid out again only when what they depend on changed.
    int scrollbar = memo_.ScrollBars == ssNone ? 0 : 16;
    int wrap = memo_.WordWrap ? WRAP_AT_BOUNDS : WRAP_NONE;
    if (f.face != textfont() || f.size != textsize() || scrollbar != scrollbar_width() || wrap != wrap_) {
      textfont(f.face);
      textsize(f.size);
      scrollbar_width(scrollbar);
      scrollbar_align(memo_.ScrollBars == ssHorizontal ? FL_ALIGN_BOTTOM : FL_ALIGN_RIGHT);
      wrap_ = wrap;
      wrap_mode(wrap, 0);
      resize(x(), y(), w(), h());
    }
    std::string text;
    const auto& lines = memo_.Lines();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) text += '\n';
      text += DisplayText(lines[i]);
    }
    if (text != shown_) {
      shown_ = text;
      buffer_.text(text.c_str());
    }
  }

  int handle(int event) override {
    switch (event) {
      case FL_FOCUS: PostFocus(memo_); return 1;
      case FL_UNFOCUS: return 1;
      case FL_KEYBOARD: {
        // Read-only: the keys that belong to the memo scroll it.
        int page = std::max(1, mNVisibleLines - 1);
        int top = mTopLineNum;
        switch (Fl::event_key()) {
          case FL_Up: top -= 1; break;
          case FL_Down: top += 1; break;
          case FL_Page_Up: top -= page; break;
          case FL_Page_Down: top += page; break;
          case FL_Home: top = 1; break;
          case FL_End: top = std::max(1, count_lines(0, buffer_.length(), true) - mNVisibleLines + 2); break;
          default: return Fl_Text_Display::handle(event);
        }
        scroll(std::max(1, top), 0);
        return 1;
      }
      default: return Fl_Text_Display::handle(event);
    }
  }

 private:
  TMemo& memo_;
  Fl_Text_Buffer buffer_;
  std::string shown_;
  int wrap_ = -1;
};

bool MemoOwnsKey(int key) {
  return key == FL_Up || key == FL_Down || key == FL_Page_Up || key == FL_Page_Down || key == FL_Home ||
         key == FL_End;
}

template <class Widget, class Control>
FltkWidgetClass Simple(bool container = false) {
  FltkWidgetClass c;
  c.create = [](TControl& control) -> Fl_Widget* { return new Widget(static_cast<Control&>(control)); };
  c.update = [](TControl&, Fl_Widget& widget) { widget.redraw(); };
  c.container = container;
  return c;
}

template <class Widget, class Control>
FltkWidgetClass WithUpdate(std::function<bool(int)> owns_key = nullptr) {
  FltkWidgetClass c = Simple<Widget, Control>();
  c.update = [](TControl&, Fl_Widget& widget) { static_cast<Widget&>(widget).Update(); };
  c.owns_key = std::move(owns_key);
  return c;
}

}  // namespace

void RegisterStandardWidgets() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  RegisterFltkWidgetClass<TLabel>(Simple<LabelWidget, TLabel>());
  RegisterFltkWidgetClass<TEdit>(WithUpdate<EditWidget, TEdit>(EditOwnsKey));
  RegisterFltkWidgetClass<TCheckBox>(Simple<CheckBoxWidget, TCheckBox>());
  RegisterFltkWidgetClass<TButton>(Simple<ButtonWidget, TButton>());
  RegisterFltkWidgetClass<TPanel>(Simple<PanelWidget, TPanel>(/*container=*/true));
  RegisterFltkWidgetClass<TImage>(WithUpdate<ImageWidget, TImage>());
  RegisterFltkWidgetClass<TMemo>(WithUpdate<MemoWidget, TMemo>(MemoOwnsKey));
}

}  // namespace ui
