#include "common/qt/QtEvents.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QMetaObject>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include "common/qt/QtText.h"

namespace vellaro {
namespace {

bool g_terminateRequested = false;
// How deep we are inside pumpEvents(): an exit request met there waits for the main loop.
int g_pumpDepth = 0;
QMetaObject::Connection g_waitForIdle;

// A handler that keeps posting work would never let "until none is left" end; past this many
// rounds the rest waits for the event loop.
constexpr int kMaxPumpRounds = 64;

// True while the main event loop itself is handling an event: not inside a nested loop (a modal
// dialog, a wait for a child process), not inside pumpEvents(), not before exec().
bool AtMainLoopTurn() {
    return QThread::currentThread()->loopLevel() == 1 && g_pumpDepth == 0;
}

// QCoreApplication::exit() stops the loops without closing any window, so no closing handler
// runs. quit() would not do: it first tries to close every window, and before exec() it is lost.
bool ExitIfAtMainLoop() {
    if (!g_terminateRequested || !AtMainLoopTurn())
        return false;
    QObject::disconnect(g_waitForIdle);
    QCoreApplication::exit(0);
    return true;
}

class PumpDepth {
  public:
    PumpDepth() { ++g_pumpDepth; }
    ~PumpDepth() { --g_pumpDepth; }
    PumpDepth(const PumpDepth&) = delete;
    PumpDepth& operator=(const PumpDepth&) = delete;
};

} // namespace

bool TerminateRequested() {
    return g_terminateRequested;
}

void ForgetTerminateRequest() {
    g_terminateRequested = false;
    QObject::disconnect(g_waitForIdle);
    g_waitForIdle = {};
}

void QtEventSeam::pumpEvents() {
    auto* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    PumpDepth depth;
    for (int round = 0; round < kMaxPumpRounds; ++round) {
        QCoreApplication::sendPostedEvents();
        // Never waits: returns false once nothing was ready to handle.
        if (!dispatcher->processEvents(QEventLoop::AllEvents))
            break;
    }
    QCoreApplication::sendPostedEvents();
}

void QtEventSeam::appTerminate() {
    g_terminateRequested = true;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // The request is handled at the main loop's next turn: a queued call normally reaches it
    // there. If the call is consumed elsewhere (inside PumpEvents, a nested loop, before exec()),
    // the loop stops the next time it has nothing left to do at its own level.
    QMetaObject::invokeMethod(
        app, [] { ExitIfAtMainLoop(); }, Qt::QueuedConnection);
    if (!g_waitForIdle) {
        if (auto* dispatcher = QAbstractEventDispatcher::instance(app->thread()))
            g_waitForIdle = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                             app, [] { ExitIfAtMainLoop(); });
    }
}

void QtEventSeam::shellOpen(const std::string& target) {
    if (target.empty())
        return;
    const QString text = FromUtf8(target);
    // An address carries a scheme of two or more letters ("https:", "mailto:"); anything else is
    // a path on this machine.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    const QUrl url = (!text.startsWith(QLatin1Char('/')) && scheme.match(text).hasMatch())
                         ? QUrl(text, QUrl::TolerantMode)
                         : QUrl::fromLocalFile(QDir::current().absoluteFilePath(text));
    // Started and left alone; the viewer's success or failure is not ours to report.
    (void)QDesktopServices::openUrl(url);
}

void InstallQtEventSeam() {
    static QtEventSeam seam;
    SetEventSeam(&seam);
}

} // namespace vellaro
