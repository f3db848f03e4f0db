#include "ui/resources.h"

#include <map>

#include "ui/exceptions.h"

namespace ui {
namespace {
std::map<std::string, std::string_view>& Table() {
  static std::map<std::string, std::string_view> table;
  return table;
}
}  // namespace

void RegisterResource(const std::string& name, std::string_view bytes) { Table()[name] = bytes; }

bool HasResource(const std::string& name) { return Table().count(name) != 0; }

std::string_view FindResource(const std::string& name) {
  auto it = Table().find(name);
  if (it == Table().end()) throw Exception("Resource " + name + " not found");
  return it->second;
}

}  // namespace ui
