// Colours, fonts and rectangles of the framework, in the pixels of a 96-dpi layout.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace ui {

// 0x00BBGGRR, or a system colour: 0x80000000 | its index.
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clNavy = 0x800000, clTeal = 0x808000,
                 clRed = 0x0000FF, clGray = 0x808080, clSilver = 0xC0C0C0, clMaroon = 0x000080,
                 clBlue = 0xFF0000, clGreen = 0x008000;
constexpr TColor clWindow = 0x80000005, clWindowText = 0x80000008, clBtnFace = 0x8000000F,
                 clBtnText = 0x80000012, clHighlight = 0x8000000D, clHighlightText = 0x8000000E;

// The RGB a colour shows as (system colours in their classic values).
TColor ColorToRGB(TColor color);
inline int RedOf(TColor c) { return static_cast<int>(ColorToRGB(c) & 0xFF); }
inline int GreenOf(TColor c) { return static_cast<int>((ColorToRGB(c) >> 8) & 0xFF); }
inline int BlueOf(TColor c) { return static_cast<int>((ColorToRGB(c) >> 16) & 0xFF); }

enum TFontCharset { ANSI_CHARSET = 0, DEFAULT_CHARSET = 1 };

struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;  // negative: character height in pixels; positive: cell height
  TColor Color = clWindowText;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  int Charset = DEFAULT_CHARSET;

  int PixelHeight() const { return std::abs(Height); }
  bool operator==(const TFont&) const = default;
};

struct TRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool Contains(int x, int y) const { return x >= Left && x < Right() && y >= Top && y < Bottom(); }
  bool Intersects(const TRect& o) const {
    return Left < o.Right() && o.Left < Right() && Top < o.Bottom() && o.Top < Bottom();
  }
  bool operator==(const TRect&) const = default;
};

}  // namespace ui
