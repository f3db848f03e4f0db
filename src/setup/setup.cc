#include "setup/setup.h"

#include "setup/Unit1.h"
#include "setup/Unit3.h"
#include "setup/Unit4.h"
#include "setup/shortcuts.h"
#include "ui/application.h"
#include "win/com.h"
#include "win/system_root.h"

namespace setup {

int Run(ui::Backend& backend, ui::Clock& clock) {
  RegisterEmbeddedResources();
  win::EnsureSystemRoot();
  // The shell links need the component-object services on this thread before any window exists.
  win::CoInitialize(nullptr);
  {
    ui::TApplication application(backend, clock);
    application.Title = "Setup";
    application.CreateForm(Form1);
    application.CreateForm(Form3);
    application.CreateForm(Form4);
    application.Run();
  }  // the forms are destroyed here
  Form1 = nullptr;
  Form3 = nullptr;
  Form4 = nullptr;
  ReleaseLinkObject();
  win::CoUninitialize();
  return 0;
}

}  // namespace setup
