// The FLTK headers of the backend, in one place. Some of them pull in Xlib, whose macros (None,
// InputFocus, Status, Bool) are named like the framework's identifiers: they are undefined here, so
// files of this folder include FLTK through this header only, in any order with the framework's.
#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

#include "ui/fltk/undef_xlib.h"
