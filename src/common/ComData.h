#pragma once
#include <string>

namespace vellaro {
// The last class name that passed the class-name rule.
extern std::string AcceptedClassName;
} // namespace vellaro
