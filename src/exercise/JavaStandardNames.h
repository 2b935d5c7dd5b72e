#pragma once
// The simple names of the public classes and interfaces of java.lang, java.util and java.io: the
// packages every generated source imports. A class of the learner's with one of these names, compiled
// into the shared work folder, hides Java's own class from every other exercise there.

#include <string_view>
#include <vector>

namespace vellaro {

// Sorted by byte value, without duplicates.
const std::vector<std::string_view>& JavaStandardNames();

} // namespace vellaro
