// Xlib, which some FLTK headers (fl_draw.H, Fl_Text_Display.H) pull in, defines macros named like the
// framework's identifiers (StockIcon::None, TApplication::InputFocus). Include this after FLTK headers;
// or include "ui/fltk/fltk.h", which does both.
#undef None
#undef InputFocus
#undef Status
#undef Bool
#undef Success
