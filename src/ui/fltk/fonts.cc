// Colours, fonts and text drawing of the FLTK backend.

#include <cmath>

#include "ui/fltk/fltk_widgets.h"
#include "ui/text_lines.h"
#include "win/codepage.h"

namespace ui {

Fl_Color ToFlColor(TColor color) {
  return fl_rgb_color(static_cast<uchar>(RedOf(color)), static_cast<uchar>(GreenOf(color)),
                      static_cast<uchar>(BlueOf(color)));
}

namespace {

// FLTK font slots for the stand-in families, four styles each (plain, bold, italic, bold italic).
enum Family { kSans, kSerif, kMono, kFamilies };
constexpr const char* kFamilyNames[kFamilies] = {"Liberation Sans", "Liberation Serif", "Liberation Mono"};

Fl_Font FamilySlot(Family family, bool bold, bool italic) {
  static bool registered = false;
  if (!registered) {
    // FLTK's Xft names carry the style in their first character.
    // FLTK keeps the name's pointer, so the names live as long as the program.
    static const char kStyles[4] = {' ', 'B', 'I', 'P'};
    static std::string names[kFamilies * 4];
    for (int f = 0; f < kFamilies; ++f)
      for (int s = 0; s < 4; ++s) {
        std::string& name = names[f * 4 + s];
        name = std::string(1, kStyles[s]) + kFamilyNames[f];
        Fl::set_font(static_cast<Fl_Font>(FL_FREE_FONT + f * 4 + s), name.c_str());
      }
    registered = true;
  }
  return static_cast<Fl_Font>(FL_FREE_FONT + family * 4 + (bold ? 1 : 0) + (italic ? 2 : 0));
}

Family FamilyOf(const std::string& name) {
  if (name == "Times New Roman" || name == "Times" || name == "Georgia") return kSerif;
  if (name == "Courier New" || name == "Courier" || name == "Fixedsys") return kMono;
  return kSans;  // "MS Sans Serif", "Arial", "Tahoma" and anything unknown
}

}  // namespace

FlFont MapFont(const TFont& font) {
  // A negative height is the characters' own height (the font's pixel size); a positive one is the
  // cell height, of which the characters take about seven eighths.
  int size = font.Height < 0 ? -font.Height : static_cast<int>(std::lround(font.Height * 0.875));
  if (size <= 0) size = 11;
  return FlFont{FamilySlot(FamilyOf(font.Name), font.Bold, font.Italic), size};
}

void UseFont(const TFont& font) {
  FlFont f = MapFont(font);
  fl_font(f.face, f.size);
}

std::string DisplayText(const std::string& text) { return win::AnsiToUtf8(text); }

std::vector<std::string> LayoutLines(std::string_view text, int wrap_width,
                                     const std::function<double(std::string_view)>& measure) {
  std::vector<std::string> hard = SplitLines(text);
  if (wrap_width <= 0) return hard;

  std::vector<std::string> out;
  for (const std::string& line : hard) {
    if (measure(line) <= wrap_width) {
      out.push_back(line);
      continue;
    }
    // Greedy: as many words as fit; the spaces at a break vanish.
    std::string current;
    size_t pos = 0;
    while (pos < line.size()) {
      size_t word_end = line.find(' ', pos);
      if (word_end == std::string::npos) word_end = line.size();
      std::string word = line.substr(pos, word_end - pos);
      std::string candidate = current.empty() ? word : current + ' ' + word;
      if (current.empty() || measure(candidate) <= wrap_width) {
        current = candidate;
      } else {
        out.push_back(current);
        current = word;
      }
      pos = word_end;
      while (pos < line.size() && line[pos] == ' ') ++pos;
    }
    out.push_back(current);
  }
  return out;
}

int LineWidth(std::string_view text) {
  return static_cast<int>(std::ceil(fl_width(text.data(), static_cast<int>(text.size()))));
}

namespace {

int DrawLines(const std::vector<std::string>& lines, bool underline, Fl_Color color, const TextBox& box,
              int dx, int dy) {
  int line_height = fl_height();
  int total = line_height * static_cast<int>(lines.size());
  int y = box.y + (box.center_vertically ? (box.h - total) / 2 : 0);
  fl_color(color);
  for (const std::string& line : lines) {
    int width = LineWidth(line);
    int x = box.x;
    if (box.align == TextAlign::Center) x = box.x + (box.w - width) / 2;
    if (box.align == TextAlign::Right) x = box.x + box.w - width;
    int baseline = y + line_height - fl_descent();
    // Drawn as plain bytes: FLTK's '@' symbols and '&' shortcuts never apply here.
    fl_draw(line.data(), static_cast<int>(line.size()), x + dx, baseline + dy);
    if (underline && width > 0) fl_xyline(x + dx, baseline + dy + 1, x + dx + width - 1);
    y += line_height;
  }
  return total;
}

std::vector<std::string> LinesFor(const std::string& text, const TextBox& box) {
  return LayoutLines(DisplayText(text), box.wrap ? box.w : 0,
                     [](std::string_view s) { return fl_width(s.data(), static_cast<int>(s.size())); });
}

}  // namespace

int DrawText(const std::string& text, const TFont& font, Fl_Color color, const TextBox& box) {
  UseFont(font);
  return DrawLines(LinesFor(text, box), font.Underline, color, box, 0, 0);
}

void DrawDisabledText(const std::string& text, const TFont& font, const TextBox& box) {
  UseFont(font);
  auto lines = LinesFor(text, box);
  DrawLines(lines, font.Underline, FL_WHITE, box, 1, 1);
  DrawLines(lines, font.Underline, fl_rgb_color(128, 128, 128), box, 0, 0);
}

void DrawFocusRect(int x, int y, int w, int h, Fl_Color color) {
  if (w <= 0 || h <= 0) return;
  fl_color(color);
  // Every other pixel, as the system's focus rectangle.
  for (int i = x; i < x + w; i += 2) {
    fl_point(i, y);
    fl_point(i, y + h - 1);
  }
  for (int j = y; j < y + h; j += 2) {
    fl_point(x, j);
    fl_point(x + w - 1, j);
  }
}

}  // namespace ui
