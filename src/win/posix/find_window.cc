// FindWindowA over Xlib: a short-lived connection to $DISPLAY per call. The top-level windows are the
// root's children and, since window managers reparent clients into frames (some into a frame and a
// wrapper inside it), the managed clients below them: the windows that carry WM_STATE.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <optional>
#include <string>

#include "win/codepage.h"
#include "win/process.h"

namespace win {
namespace {

// Windows may vanish while we look at them; their errors are expected and must not end the process.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string utf8;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

class WindowMatcher {
 public:
  WindowMatcher(Display* display, const char* class_name, const char* title)
      : display_(display),
        class_name_(class_name),
        title_(title),
        net_wm_name_(XInternAtom(display, "_NET_WM_NAME", False)),
        utf8_string_(XInternAtom(display, "UTF8_STRING", False)),
        wm_state_(XInternAtom(display, "WM_STATE", False)) {}

  // Titles compare as Windows compares them: without regard to case.
  bool Matches(Window window) const {
    if (title_) {
      std::optional<std::string> title = TitleOf(window);
      if (!title || !EqualNoCase(*title, title_)) return false;
    }
    return !class_name_ || HasClass(window);
  }

  // A window that a window manager manages (a client in its frame).
  bool IsManagedClient(Window window) const {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool has = XGetWindowProperty(display_, window, wm_state_, 0, 0, False, AnyPropertyType, &type, &format,
                                  &count, &after, &data) == Success &&
               type != 0;
    if (data) XFree(data);
    return has;
  }

 private:
  // The title in Windows-1252: _NET_WM_NAME (UTF-8) when set, else WM_NAME.
  std::optional<std::string> TitleOf(Window window) const {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, net_wm_name_, 0, 4096, False, utf8_string_, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
      std::string text(reinterpret_cast<char*>(data), type == utf8_string_ && format == 8 ? count : 0);
      XFree(data);
      if (type == utf8_string_ && format == 8) return Utf8ToAnsi(text);
    }
    XTextProperty property{};
    if (!XGetWMName(display_, window, &property) || !property.value) return std::nullopt;
    std::string text(reinterpret_cast<char*>(property.value), property.format == 8 ? property.nitems : 0);
    XFree(property.value);
    if (property.encoding == utf8_string_) return Utf8ToAnsi(text);
    if (property.encoding == XA_STRING) return Utf8ToAnsi(Latin1ToUtf8(text));
    return text;  // compound text: its ASCII reads as is
  }

  bool HasClass(Window window) const {
    XClassHint hint{};
    if (!XGetClassHint(display_, window, &hint)) return false;
    bool match = (hint.res_class && std::strcmp(hint.res_class, class_name_) == 0) ||
                 (hint.res_name && std::strcmp(hint.res_name, class_name_) == 0);
    if (hint.res_class) XFree(hint.res_class);
    if (hint.res_name) XFree(hint.res_name);
    return match;
  }

  Display* display_;
  const char* class_name_;
  const char* title_;
  Atom net_wm_name_;
  Atom utf8_string_;
  Atom wm_state_;
};

// The children of `window`, top of the stacking order first (the order Windows searches in).
template <class Visit>
bool VisitChildren(Display* display, Window window, Visit visit) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
  bool stopped = false;
  for (unsigned int i = count; i-- > 0 && !stopped;) stopped = visit(children[i]);
  if (children) XFree(children);
  return stopped;
}

// Looks below `frame` (a window that is no client itself) for a managed client that matches; frames
// nest a few levels at most.
bool FindClientBelow(Display* display, const WindowMatcher& matcher, Window frame, int depth, HWND& found) {
  if (depth > 4) return false;
  return VisitChildren(display, frame, [&](Window child) {
    if (matcher.IsManagedClient(child)) {
      if (!matcher.Matches(child)) return false;
      found = child;
      return true;
    }
    return FindClientBelow(display, matcher, child, depth + 1, found);
  });
}

}  // namespace

HWND FindWindowA(const char* class_name, const char* title) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 0;
  XErrorHandler previous = XSetErrorHandler(IgnoreXErrors);
  WindowMatcher matcher(display, class_name, title);
  HWND found = 0;
  VisitChildren(display, DefaultRootWindow(display), [&](Window top) {
    if (matcher.Matches(top)) {
      found = top;
      return true;
    }
    // A client is a whole window: what lies inside it is its own, never top-level.
    return !matcher.IsManagedClient(top) && FindClientBelow(display, matcher, top, 1, found);
  });
  XSync(display, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display);
  return found;
}

}  // namespace win
