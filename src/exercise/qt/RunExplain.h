#pragma once
// What a run's console tells the main window: the explanation of the uncaught exception that
// ended the learner's class, read from the console's text when the class ended (PtyConsole's
// run-end hook).
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "exercise/RuntimeErrors.h"

namespace vellaro {

// A run of the class begins: the last run's failure is forgotten.
void BeginRun(const std::string& className);

// The failure of the run begun last, once its class ended with an uncaught exception.
const std::optional<RunFailure>& LastRunFailure();

// The console's run-end hook: explains the last trace in the console's text, with the statements
// of <class>.java in the current folder (the source the class was compiled from), keeps the
// failure for LastRunFailure and answers the lines the console shows. None without a trace.
QStringList ExplainRunEnd(int status, const QString& screenText);

} // namespace vellaro
