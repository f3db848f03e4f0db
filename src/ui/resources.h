// Named resources compiled into the program (layouts, pictures, texts), looked up by file name.
#pragma once

#include <string>
#include <string_view>

namespace ui {

void RegisterResource(const std::string& name, std::string_view bytes);
// The resource's bytes; raises ui::Exception when there is none of that name.
std::string_view FindResource(const std::string& name);
bool HasResource(const std::string& name);

}  // namespace ui
