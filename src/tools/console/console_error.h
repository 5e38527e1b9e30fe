#pragma once
// What the console's operations refuse or fail with. The command line turns the kind into
// its exit status and message, the HTTP console into a status code.

#include <stdexcept>
#include <string>

namespace kz::console {

enum class ErrorKind {
    InvalidId,    // not a name the agent gives a held message: refused before any lookup
    NotHeld,      // a valid name that is not in the quarantine
    Unavailable,  // a folder or setting the operation needs is missing
    Failed,       // a file could not be read, written or handed on
};

class ConsoleError : public std::runtime_error {
  public:
    ConsoleError(ErrorKind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

}  // namespace kz::console
