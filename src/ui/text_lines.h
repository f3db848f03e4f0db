// Text broken into lines as the system breaks it: at CR LF, CR or LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

// The lines of `text`; an empty text is one empty line, and a text ending in a line break ends in an
// empty line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace ui
