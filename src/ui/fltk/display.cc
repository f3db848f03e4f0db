// The window-system calls of the FLTK backend, kept apart: Xlib's macros (None, Status, Bool) clash
// with the framework's names.
#include <FL/Fl_Window.H>
#include <FL/x.H>

namespace ui {

bool CanOpenDisplay() {
  if (fl_display) return true;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

void OpenDisplay() { fl_open_display(); }

void SyncDisplay() {
  if (fl_display) XSync(fl_display, False);
}

void SetWindowFunctions(Fl_Window& window, bool close, bool minimize, bool resize) {
  if (!fl_display || !window.shown()) return;
  // The Motif hints say which title-bar functions the window offers; window managers that read them
  // leave out the others (a window manager may ignore them: then it decides).
  // FLTK writes the same property for its own reasons (fixed size, no border): keep what it says of
  // the border.
  enum : unsigned long { kFunctions = 1, kDecorations = 2 };
  enum : unsigned long { kResize = 2, kMove = 4, kMinimize = 8, kMaximize = 16, kClose = 32 };
  unsigned long hints[5] = {kFunctions, kMove, 0, 0, 0};
  if (!window.border()) hints[0] |= kDecorations;  // and hints[2], the decorations, stays 0: none
  if (resize) hints[1] |= kResize | kMaximize;
  if (minimize) hints[1] |= kMinimize;
  if (close) hints[1] |= kClose;
  Atom atom = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, fl_xid(&window), atom, atom, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(hints), 5);
}

}  // namespace ui
