#include "ui/ole.h"

#include <cstdint>
#include <cstdio>

namespace ui {

void OleCheck(win::HRESULT hr) {
  if (win::SUCCEEDED(hr)) return;
  std::string message = win::SystemErrorMessage(hr);
  if (message.empty()) {
    char text[32];
    std::snprintf(text, sizeof text, "OLE error %.8x", static_cast<std::uint32_t>(hr));
    message = text;
  }
  throw EOleSysError(message, hr);
}

ComPtr<win::IUnknown> CreateComObject(const win::CLSID& class_id) {
  ComPtr<win::IUnknown> object;
  OleCheck(win::CoCreateInstance(class_id, nullptr, win::CLSCTX_INPROC_SERVER | win::CLSCTX_LOCAL_SERVER,
                                 win::IID_IUnknown, object.put()));
  return object;
}

}  // namespace ui
