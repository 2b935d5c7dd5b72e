#pragma once
#include <stdexcept>
#include <string>

namespace vellaro {
// A failure that no operation catches: the window's handler boundary shows what() (UTF-8)
// in the standard error box, and the command that met it stops.
class VellaroError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
} // namespace vellaro
