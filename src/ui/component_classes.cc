// The classes a layout may name. One table, so that a new component class is added in one place.
#include <functional>
#include <map>

#include "ui/controls.h"
#include "ui/file_controls.h"
#include "ui/layout.h"
#include "ui/sockets.h"
#include "ui/timer.h"

namespace ui {

TComponent* CreateComponentOfClass(const std::string& class_name, TComponent* owner) {
  static const std::map<std::string, std::function<TComponent*(TComponent*)>> kClasses = {
      {"TLabel", [](TComponent* o) { return new TLabel(o); }},
      {"TEdit", [](TComponent* o) { return new TEdit(o); }},
      {"TCheckBox", [](TComponent* o) { return new TCheckBox(o); }},
      {"TButton", [](TComponent* o) { return new TButton(o); }},
      {"TBitBtn", [](TComponent* o) { return new TBitBtn(o); }},
      {"TPanel", [](TComponent* o) { return new TPanel(o); }},
      {"TImage", [](TComponent* o) { return new TImage(o); }},
      {"TMemo", [](TComponent* o) { return new TMemo(o); }},
      {"TTimer", [](TComponent* o) { return new TTimer(o); }},
      {"TSockets", [](TComponent* o) { return new TSockets(o); }},
      {"TDriveComboBox", [](TComponent* o) { return new TDriveComboBox(o); }},
      {"TDirectoryListBox", [](TComponent* o) { return new TDirectoryListBox(o); }},
  };
  auto it = kClasses.find(class_name);
  return it == kClasses.end() ? nullptr : it->second(owner);
}

}  // namespace ui
