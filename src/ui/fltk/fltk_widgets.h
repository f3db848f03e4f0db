// Inside the FLTK backend: the table of widget classes (which FLTK widget stands for which control
// class), and the drawing helpers the widgets share (colours, the installed fonts standing in for the
// layouts' fonts, text laid out as the system draws it). The backend places, shows, enables, focuses
// and deletes widgets; a widget class only makes its widget and copies its control's own state onto it.
// A widget never runs a handler: it reports input through ui::Application's input path.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include "ui/component.h"
#include "ui/fltk/fltk.h"
#include "ui/graphics.h"

namespace ui {

struct FltkWidgetClass {
  // Makes the control's widget, not yet in any group.
  std::function<Fl_Widget*(TControl& control)> create;
  // Copies the control's own state (text, colours, font, checked...) onto its widget. Runs after every
  // change of the control; position, size, visibility and activation are already set.
  std::function<void(TControl& control, Fl_Widget& widget)> update;
  // Keys (FLTK key codes) the focused widget handles itself; every other key the framework gives a
  // meaning to goes to the form. Empty: the widget handles none.
  std::function<bool(int fl_key)> owns_key;
  // The widget is an Fl_Group that holds the widgets of the control's child controls.
  bool container = false;
};

// Registers the widget class for controls of type `type` (the exact class) and, through `accepts`,
// for classes derived from it. A control of a class nobody registered gets no widget.
void RegisterFltkWidgetClass(std::type_index type, std::function<bool(const TControl&)> accepts,
                             FltkWidgetClass widget_class);
template <class T>
void RegisterFltkWidgetClass(FltkWidgetClass widget_class) {
  RegisterFltkWidgetClass(
      typeid(T), [](const TControl& c) { return dynamic_cast<const T*>(&c) != nullptr; },
      std::move(widget_class));
}
// The widget class for `control`: its exact class first, then the latest registered base class.
const FltkWidgetClass* FindFltkWidgetClass(const TControl& control);

// The framework's standard controls (widgets.cc). The backend registers them when it starts; a file
// that adds widgets for more classes declares its own registration here and the backend calls it too.
void RegisterStandardWidgets();
// The directory list and the drive box (file_controls_widgets.cc).
void RegisterFileControlWidgets();

// ---- drawing helpers (fonts.cc)

Fl_Color ToFlColor(TColor color);

struct FlFont {
  Fl_Font face;
  int size;  // pixels
};
// The installed font standing in for `font` (a sans serif for "MS Sans Serif", a metric-compatible
// serif for "Times New Roman"), with its weight, slant and pixel height.
FlFont MapFont(const TFont& font);
// Makes `font` current for fl_draw and fl_width.
void UseFont(const TFont& font);

// `text` (Windows-1252) as the display's UTF-8.
std::string DisplayText(const std::string& text);

// The lines of `text` (UTF-8) broken at CR LF, CR and LF; with `wrap_width` > 0 each line is also broken
// between words so that it fits, a word longer than the width keeping a line of its own.
std::vector<std::string> LayoutLines(std::string_view text, int wrap_width,
                                     const std::function<double(std::string_view)>& measure);

enum class TextAlign { Left, Center, Right };
struct TextBox {
  int x, y, w, h;
  TextAlign align = TextAlign::Left;
  bool center_vertically = false;
  bool wrap = false;
};
// Draws `text` (Windows-1252) in `font` and `color` inside `box`: no symbol or shortcut characters,
// an underline drawn under each line when the font has one. Returns the height the lines took.
int DrawText(const std::string& text, const TFont& font, Fl_Color color, const TextBox& box);
// Draws text the way the system shows a disabled control's text: grey, with a white shadow.
void DrawDisabledText(const std::string& text, const TFont& font, const TextBox& box);
// The width of one line of `text` (UTF-8) in the current font.
int LineWidth(std::string_view text);

// A dotted rectangle, as around the caption of a focused button or check box.
void DrawFocusRect(int x, int y, int w, int h, Fl_Color color = FL_BLACK);

// ---- the window system (display.cc)

// True when a display server answers (FLTK ends the program when it opens none).
bool CanOpenDisplay();
// Connects to the display server unless connected.
void OpenDisplay();
// Offers only these title-bar functions on a shown window (moving it always).
void SetWindowFunctions(Fl_Window& window, bool close, bool minimize, bool resize);
// Sends everything drawn to the display server and waits until it has taken it.
void SyncDisplay();

}  // namespace ui
