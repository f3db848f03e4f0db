#include "ui/graphics.h"

namespace ui {

TColor ColorToRGB(TColor color) {
  if ((color & 0x80000000u) == 0) return color;
  switch (color) {
    case clWindow: return clWhite;
    case clWindowText: return clBlack;
    case clBtnFace: return 0xC0C0C0;
    case clBtnText: return clBlack;
    case clHighlight: return 0x800000;
    case clHighlightText: return clWhite;
    default: return clBlack;
  }
}

}  // namespace ui
