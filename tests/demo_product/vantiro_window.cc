// The demo product's main program: a small window titled "Vantiro", so that a person can see the
// installed program start, and the installer's running-copy guard has something to find.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>

#include <cstdlib>

int main() {
  // Tests may ask for another title, to check that only an exact "Vantiro" counts.
  const char* title = std::getenv("VANTIRO_DEMO_TITLE");
  Fl_Window window(320, 120, title ? title : "Vantiro");
  Fl_Box text(10, 10, 300, 100, "Vantiro 1.1\nNetwork utility (demo product)");
  text.labelsize(16);
  window.end();
  window.show();
  return Fl::run();
}
