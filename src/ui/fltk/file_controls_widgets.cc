// The widgets of the directory list and the drive box. The list draws its entries as the system's
// directory list does (open folders down the path, each a step further in, closed folders for the
// subfolders) and scrolls when they do not fit; the drive box is a drop-down list that cannot be typed
// in. Clicks and choices become the controls' input messages; keys go to the form (the framework).
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Scrollbar.H>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/file_controls.h"
#include "ui/fltk/fltk.h"
#include "ui/fltk/fltk_widgets.h"
#include "ui/forms.h"

namespace ui {

namespace {

const Fl_Color kFace = fl_rgb_color(192, 192, 192);
const Fl_Color kShadow = fl_rgb_color(128, 128, 128);
const Fl_Color kLight = fl_rgb_color(223, 223, 223);
const Fl_Color kFolder = fl_rgb_color(255, 255, 128);
const Fl_Color kFolderFront = fl_rgb_color(255, 255, 192);
const Fl_Color kFolderEdge = fl_rgb_color(128, 128, 0);
constexpr int kIndent = 8;      // one path level
constexpr int kIconWidth = 18;  // folder picture and the gap after it
constexpr int kScrollWidth = 16;

void DrawEdge(int x, int y, int w, int h, Fl_Color top_left, Fl_Color bottom_right) {
  if (w <= 0 || h <= 0) return;
  fl_color(top_left);
  fl_xyline(x, y, x + w - 2);
  fl_yxline(x, y, y + h - 2);
  fl_color(bottom_right);
  fl_xyline(x, y + h - 1, x + w - 1);
  fl_yxline(x + w - 1, y, y + h - 1);
}

// The sunken frame of a list or an edit field, two pixels wide.
void DrawSunkenFrame(int x, int y, int w, int h) {
  DrawEdge(x, y, w, h, kShadow, FL_WHITE);
  DrawEdge(x + 1, y + 1, w - 2, h - 2, FL_BLACK, kLight);
}

// A folder picture 15 x 11 with its top-left corner at (x, y); an open one shows its front tipped out.
void DrawFolder(int x, int y, bool open) {
  fl_color(kFolderEdge);
  fl_rectf(x + 1, y, 5, 2);
  fl_rect(x, y + 1, 14, 10);
  fl_color(kFolder);
  fl_rectf(x + 1, y + 2, 12, 8);
  if (!open) return;
  fl_color(kFolderFront);
  fl_polygon(x + 3, y + 4, x + 16, y + 4, x + 13, y + 10, x + 1, y + 10);
  fl_color(kFolderEdge);
  fl_loop(x + 3, y + 4, x + 16, y + 4, x + 13, y + 10, x + 1, y + 10);
}

// A drive picture 16 x 11: a grey box with a green light.
void DrawDrive(int x, int y) {
  fl_color(kShadow);
  fl_rect(x, y + 3, 16, 7);
  fl_color(kLight);
  fl_rectf(x + 1, y + 4, 14, 5);
  fl_color(fl_rgb_color(0, 160, 0));
  fl_rectf(x + 11, y + 6, 2, 2);
}

// The focus rectangle over a highlighted entry: the system inverts the dots, so they show light.
void DrawFocusOnHighlight(int x, int y, int w, int h) { DrawFocusRect(x, y, w, h, ToFlColor(clHighlightText)); }

// The user gave the widget the focus by clicking it: tell the framework, unless it already has it there.
void PostFocus(TWinControl& control) {
  TForm* form = control.OwnerForm();
  if (Application && form && form->ActiveControl() != &control) Application->InputFocus(&control);
}

// ---- TDirectoryListBox

class DirectoryListWidget : public Fl_Group {
 public:
  explicit DirectoryListWidget(TDirectoryListBox& list)
      : Fl_Group(0, 0, 0, 0), list_(list), scrollbar_(0, 0, 0, 0) {
    end();
    add(scrollbar_);
    resizable(nullptr);
    scrollbar_.type(FL_VERTICAL);
    scrollbar_.linesize(1);
    scrollbar_.clear_visible_focus();
    scrollbar_.callback(Scrolled, this);
  }

  void Update() {
    // A new directory starts at the top; a moved selection is scrolled into view.
    if (list_.Directory() != directory_) {
      directory_ = list_.Directory();
      top_ = 0;
    }
    if (list_.ItemIndex() != selected_) {
      selected_ = list_.ItemIndex();
      ScrollIntoView(selected_);
    }
    Layout();
    redraw();
  }

  void resize(int X, int Y, int W, int H) override {
    Fl_Widget::resize(X, Y, W, H);  // the scrollbar is placed by Layout, not scaled
    Layout();
  }

  void draw() override {
    DrawSunkenFrame(x(), y(), w(), h());
    int ix = x() + 2, iy = y() + 2, iw = InnerWidth(), ih = h() - 4;
    if (iw <= 0 || ih <= 0) return;
    fl_push_clip(ix, iy, iw, ih);
    fl_rectf(ix, iy, iw, ih, ToFlColor(list_.ColorUsed()));
    const TFont& font = list_.FontUsed();
    const auto& items = list_.Items();
    int row_height = RowHeight();
    for (int i = top_; i < static_cast<int>(items.size()); ++i) {
      int ry = iy + (i - top_) * row_height;
      if (ry >= iy + ih) break;
      bool path = i < list_.PathLevels();
      int level = path ? i : list_.PathLevels();
      int icon_x = ix + 2 + level * kIndent;
      DrawFolder(icon_x, ry + (row_height - 11) / 2, path);
      int text_x = icon_x + kIconWidth;
      UseFont(font);
      int text_w = LineWidth(DisplayText(items[i])) + 4;
      bool selected = i == list_.ItemIndex();
      Fl_Color text_color = ToFlColor(font.Color);
      if (selected) {
        fl_rectf(text_x - 2, ry, text_w, row_height, ToFlColor(clHighlight));
        text_color = ToFlColor(clHighlightText);
      }
      TextBox box{text_x, ry, iw - (text_x - ix), row_height, TextAlign::Left, true, false};
      if (active_r())
        DrawText(items[i], font, text_color, box);
      else
        DrawDisabledText(items[i], font, box);
      if (selected && Fl::focus() == this) DrawFocusOnHighlight(text_x - 2, ry, text_w, row_height);
    }
    fl_pop_clip();
    if (scrollbar_.visible()) draw_child(scrollbar_);
  }

  int handle(int event) override {
    switch (event) {
      case FL_PUSH: {
        if (scrollbar_.visible() && Fl::event_inside(&scrollbar_)) return Fl_Group::handle(event);
        if (Fl::visible_focus() && handle(FL_FOCUS)) Fl::focus(this);
        int row = RowAt(Fl::event_y());
        if (row >= 0 && Application) {
          if (Fl::event_clicks() > 0)
            list_.UserDoubleClick(row);
          else
            list_.UserSelect(row);
        }
        return 1;
      }
      case FL_DRAG:
      case FL_RELEASE:
        if (scrollbar_.visible() && Fl::pushed() == &scrollbar_) return Fl_Group::handle(event);
        return 1;
      case FL_MOUSEWHEEL: ScrollTo(top_ + 3 * Fl::event_dy()); return 1;
      case FL_FOCUS:
        PostFocus(list_);
        redraw();
        return 1;
      case FL_UNFOCUS: redraw(); return 1;
      default: return Fl_Group::handle(event);
    }
  }

 private:
  int RowHeight() const { return std::max(1, list_.ItemHeight); }
  int VisibleRows() const { return std::max(1, (h() - 4) / RowHeight()); }
  int ItemCount() const { return static_cast<int>(list_.Items().size()); }
  bool NeedsScrollbar() const { return ItemCount() > VisibleRows(); }
  int InnerWidth() const { return w() - 4 - (NeedsScrollbar() ? kScrollWidth : 0); }

  // The entry under window row `event_y`, or -1.
  int RowAt(int event_y) const {
    int offset = event_y - (y() + 2);
    if (offset < 0 || offset >= h() - 4) return -1;
    int row = top_ + offset / RowHeight();
    return row < ItemCount() ? row : -1;
  }

  void ScrollTo(int top) {
    int max_top = std::max(0, ItemCount() - VisibleRows());
    top = std::clamp(top, 0, max_top);
    if (top == top_) return;
    top_ = top;
    Layout();
    redraw();
  }

  void ScrollIntoView(int index) {
    if (index < 0) return;
    if (index < top_)
      top_ = index;
    else if (index >= top_ + VisibleRows())
      top_ = index - VisibleRows() + 1;
  }

  void Layout() {
    top_ = std::clamp(top_, 0, std::max(0, ItemCount() - VisibleRows()));
    if (!NeedsScrollbar()) {
      scrollbar_.hide();
      return;
    }
    scrollbar_.resize(x() + w() - 2 - kScrollWidth, y() + 2, kScrollWidth, h() - 4);
    scrollbar_.value(top_, VisibleRows(), 0, ItemCount());
    scrollbar_.show();
  }

  static void Scrolled(Fl_Widget*, void* data) {
    auto* self = static_cast<DirectoryListWidget*>(data);
    self->top_ = self->scrollbar_.value();
    self->redraw();
  }

  TDirectoryListBox& list_;
  Fl_Scrollbar scrollbar_;
  std::string directory_;  // the directory shown when the widget last followed the list
  int selected_ = -2;      // the selection then (-2: never followed)
  int top_ = 0;            // the entry in the first row
};

// ---- TDriveComboBox

class DriveComboWidget : public Fl_Widget {
 public:
  explicit DriveComboWidget(TDriveComboBox& box) : Fl_Widget(0, 0, 0, 0), box_(box) {}

  void draw() override {
    int X = x(), Y = y(), W = w(), H = h();
    DrawSunkenFrame(X, Y, W, H);
    int bw = std::min(W - 4, kButtonWidth);
    int field_w = W - 4 - bw;
    fl_rectf(X + 2, Y + 2, field_w, H - 4, ToFlColor(box_.ColorUsed()));
    // The drop-down button.
    int bx = X + W - 2 - bw, by = Y + 2, bh = H - 4;
    fl_rectf(bx, by, bw, bh, kFace);
    if (open_) {
      fl_color(kShadow);
      fl_rect(bx, by, bw, bh);
    } else {
      DrawEdge(bx, by, bw, bh, kLight, FL_BLACK);
      DrawEdge(bx + 1, by + 1, bw - 2, bh - 2, FL_WHITE, kShadow);
    }
    int ax = bx + bw / 2 + (open_ ? 1 : 0), ay = by + bh / 2 - 1 + (open_ ? 1 : 0);
    fl_color(active_r() ? FL_BLACK : kShadow);
    for (int i = 0; i < 4; ++i) fl_xyline(ax - 3 + i, ay + i - 1, ax + 3 - i);

    int index = box_.ItemIndex();
    if (index < 0) return;
    fl_push_clip(X + 2, Y + 2, field_w, H - 4);
    DrawDrive(X + 4, Y + (H - 11) / 2);
    std::string label = box_.Items()[index];
    const TFont& font = box_.FontUsed();
    UseFont(font);
    int text_x = X + 4 + 20, text_w = LineWidth(DisplayText(label)) + 4;
    bool focused = Fl::focus() == this;
    Fl_Color text_color = ToFlColor(font.Color);
    if (focused) {
      fl_rectf(text_x - 2, Y + 3, text_w, H - 6, ToFlColor(clHighlight));
      text_color = ToFlColor(clHighlightText);
    }
    TextBox text{text_x, Y + 2, field_w - 22, H - 4, TextAlign::Left, true, false};
    if (active_r())
      DrawText(label, font, text_color, text);
    else
      DrawDisabledText(label, font, text);
    if (focused) DrawFocusOnHighlight(text_x - 2, Y + 3, text_w, H - 6);
    fl_pop_clip();
  }

  int handle(int event) override {
    switch (event) {
      case FL_PUSH:
        if (Fl::visible_focus() && handle(FL_FOCUS)) Fl::focus(this);
        DropDown();
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
  static constexpr int kButtonWidth = 16;

  // Shows the drives below the box; a choice becomes the box's input message.
  void DropDown() {
    std::vector<std::string> labels = box_.Items();
    if (labels.empty()) return;
    std::vector<Fl_Menu_Item> menu(labels.size() + 1);
    for (size_t i = 0; i < labels.size(); ++i) {
      labels[i] = DisplayText(labels[i]);
      menu[i] = Fl_Menu_Item{};
      menu[i].label(labels[i].c_str());
      FlFont f = MapFont(box_.FontUsed());
      menu[i].labelfont(f.face);
      menu[i].labelsize(f.size);
    }
    menu.back() = Fl_Menu_Item{};
    open_ = true;
    redraw();
    // Below the box, as the system's drop-down list opens.
    const Fl_Menu_Item* picked = menu[0].pulldown(x(), y(), w(), h(), nullptr, nullptr, nullptr, 0);
    open_ = false;
    redraw();
    // The window takes the keyboard back when the list closes and hands it to the control focused
    // before the click: the box takes it again.
    if (Fl::focus() != this) Fl::focus(this);
    PostFocus(box_);
    if (picked && Application) box_.UserSelect(static_cast<int>(picked - menu.data()));
  }

  TDriveComboBox& box_;
  bool open_ = false;  // the drop-down is showing
};

template <class Widget, class Control>
FltkWidgetClass FileWidgetClass(void (*update)(Widget&)) {
  FltkWidgetClass c;
  c.create = [](TControl& control) -> Fl_Widget* { return new Widget(static_cast<Control&>(control)); };
  c.update = [update](TControl&, Fl_Widget& widget) { update(static_cast<Widget&>(widget)); };
  return c;
}

}  // namespace

void RegisterFileControlWidgets() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  RegisterFltkWidgetClass<TDirectoryListBox>(
      FileWidgetClass<DirectoryListWidget, TDirectoryListBox>([](DirectoryListWidget& w) { w.Update(); }));
  RegisterFltkWidgetClass<TDriveComboBox>(
      FileWidgetClass<DriveComboWidget, TDriveComboBox>([](DriveComboWidget& w) { w.redraw(); }));
}

}  // namespace ui
