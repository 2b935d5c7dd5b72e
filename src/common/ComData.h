#pragma once
#include <string>

namespace vellaro {

// The last class name that passed the class-name rule.
extern std::string AcceptedClassName;

// Empties the shared texts (CurSrcPath and ShellCommand of delCommFunc, AcceptedClassName), as
// they are when the program starts: every program a test starts begins from the same state.
void ResetSharedTexts();

} // namespace vellaro
