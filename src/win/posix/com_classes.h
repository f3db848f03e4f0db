// The classes served in process, as the component-object services see them: a constructor per class
// and the live-object count every object keeps. Internal to the POSIX implementation.
#pragma once

#include "win/com.h"

namespace win::posix {

// Creates a shell-link object and asks it for `iid` (E_NOINTERFACE and no object left when refused).
HRESULT CreateShellLink(const IID& iid, void** object);

// Counts an object alive from its construction to its destruction; a member of each object.
class LiveObject {
 public:
  LiveObject();
  ~LiveObject();
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
};

}  // namespace win::posix
