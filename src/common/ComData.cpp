#include "common/ComData.h"

#include "common/delCommFunc.h"

namespace vellaro {

std::string AcceptedClassName;

void ResetSharedTexts() {
    CurSrcPath.clear();
    ShellCommand.clear();
    AcceptedClassName.clear();
}

} // namespace vellaro
