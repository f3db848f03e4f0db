// The component-object services: per-thread initialisation, class lookup, task memory.
#include "win/com.h"

#include <atomic>
#include <cstdlib>

#include "win/posix/com_classes.h"

namespace win {
namespace {

thread_local int initialised = 0;  // CoInitialize calls not yet undone on this thread
std::atomic<int> live_objects{0};

}  // namespace

namespace posix {
LiveObject::LiveObject() { ++live_objects; }
LiveObject::~LiveObject() { --live_objects; }
}  // namespace posix

HRESULT CoInitialize(void* reserved) {
  if (reserved != nullptr) return E_INVALIDARG;
  return initialised++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  // An unbalanced call is ignored, as Windows does.
  if (initialised > 0) --initialised;
}

HRESULT CoCreateInstance(const CLSID& class_id, IUnknown* outer, DWORD class_context, const IID& iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (initialised == 0) return CO_E_NOTINITIALIZED;
  if (class_id != CLSID_ShellLink || !(class_context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)))
    return REGDB_E_CLASSNOTREG;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return posix::CreateShellLink(iid, object);
}

void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }
void CoTaskMemFree(void* memory) { std::free(memory); }

int LiveComObjects() { return live_objects.load(); }

}  // namespace win
