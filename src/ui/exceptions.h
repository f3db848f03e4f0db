// The framework's errors. Handlers let them escape; the dispatch point catches them and the error
// display shows what() (Windows-1252 text). Each kind carries what its raiser knows.
#pragma once

#include <stdexcept>
#include <string>

namespace ui {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A file-system component could not do what it was asked; ErrorCode is the operating system's error.
class EInOutError : public Exception {
 public:
  EInOutError(const std::string& message, int error_code) : Exception(message), ErrorCode(error_code) {}
  int ErrorCode;
};

// A component-object call failed with an HRESULT.
class EOleSysError : public Exception {
 public:
  EOleSysError(const std::string& message, long error_code) : Exception(message), ErrorCode(error_code) {}
  long ErrorCode;
};

// An object refused an interface the caller asked for.
class EIntfCastError : public Exception {
 public:
  using Exception::Exception;
};

// The registry refused what the registry object asked.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ui
