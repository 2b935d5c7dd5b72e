#include "exercise/qt/RunExplain.h"

#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "common/qt/QtText.h"
#include "exercise/Compile.h"

namespace vellaro {

namespace {

struct RunState {
    std::string className;
    std::optional<RunFailure> failure;
};

RunState& State() {
    static RunState state;
    return state;
}

// The source's lines as UTF-8; none when the file cannot be read.
std::vector<std::string> SourceLines(const std::string& className) {
    std::string bytes;
    if (!ReadWholeFile(className + ".java", bytes))
        return {};
    std::vector<std::string> lines;
    for (const Cp932Text& line : SplitCaptureLines(bytes))
        lines.push_back(Cp932ToUtf8Lossy(line));
    return lines;
}

} // namespace

void BeginRun(const std::string& className) {
    State() = {className, std::nullopt};
}

const std::optional<RunFailure>& LastRunFailure() {
    return State().failure;
}

QStringList ExplainRunEnd(int /*status*/, const QString& screenText) {
    RunState& state = State();
    if (state.className.empty())
        return {};
    // A trace tells by itself that the class ended with an uncaught exception; the exit status
    // does not (an exception in another thread leaves it 0).
    state.failure =
        ExplainRunOutput(ToUtf8(screenText), state.className, SourceLines(state.className));
    QStringList lines;
    if (state.failure)
        for (const std::string& line : RunFailureLines(*state.failure))
            lines << FromUtf8(line);
    return lines;
}

} // namespace vellaro
