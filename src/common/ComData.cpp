#include "common/ComData.h"

namespace vellaro {
std::string AcceptedClassName;
} // namespace vellaro
