// The framework's face of component objects: failed calls raised as exceptions (EOleSysError,
// EIntfCastError), and ComPtr, an interface pointer that owns one reference. Raises; runs no handlers.
#pragma once

#include <cstddef>
#include <utility>

#include "ui/exceptions.h"
#include "win/com.h"

namespace ui {

// Raises EOleSysError for a failure code: its text is the system's message for the code, or
// "OLE error 8xxxxxxx" when the system has none. Success codes (S_OK, S_FALSE) pass.
void OleCheck(win::HRESULT hr);

// Owns one reference to an interface: released on reset and destruction; storing another releases
// the one held (after taking the new one, so storing the same object is safe).
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);  // the old one is released as `other` goes
    return *this;
  }
  ~ComPtr() { reset(); }

  // Takes over a reference the caller owns (no AddRef).
  void Attach(T* p) {
    reset();
    p_ = p;
  }
  // Hands the reference to the caller, who then releases it.
  T* Detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // For an out-parameter (CoCreateInstance, QueryInterface): releases what is held and gives the
  // place where the callee stores its new reference.
  void** put() {
    reset();
    return reinterpret_cast<void**>(&p_);
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// Asks `object` for interface `iid` (of type T) and returns it with a reference the caller owns (hand
// it to ComPtr::Attach). Raises EIntfCastError "Interface not supported" when the object refuses it or
// there is no object.
template <class T>
T* QueryInterfaceOrRaise(win::IUnknown* object, const win::IID& iid) {
  void* result = nullptr;
  if (object == nullptr || win::FAILED(object->QueryInterface(iid, &result)) || result == nullptr)
    throw EIntfCastError("Interface not supported");
  return static_cast<T*>(result);
}

// Creates an object of `class_id` (in process or local server) and returns its IUnknown; raises as
// OleCheck when the creation fails (CO_E_NOTINITIALIZED before CoInitialize, an unknown class, ...).
ComPtr<win::IUnknown> CreateComObject(const win::CLSID& class_id);

}  // namespace ui
