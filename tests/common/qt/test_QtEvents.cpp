// The Qt event seam: PumpEvents handles what is pending, AppTerminate ends the main loop without
// closing any window (even when asked before the loop runs), ShellOpen hands paths and
// addresses to the desktop.
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "common/delCommFunc.h"
#include "common/qt/QtEvents.h"

namespace {

class CountingWindow : public QWidget {
  public:
    int closes = 0;

  protected:
    void closeEvent(QCloseEvent* e) override {
        ++closes;
        e->accept();
    }
};

// Receives what QDesktopServices would hand to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void handle(const QUrl& url) { urls.append(url); }
};

// Runs the application's main loop as main() does; a guard ends it with 99 if nothing else does,
// so a fault shows as a failed comparison rather than a hang.
int RunMainLoop() {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    return QApplication::exec();
}

} // namespace

class TestQtEvents : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { vellaro::InstallQtEventSeam(); }
    void cleanup() { vellaro::ForgetTerminateRequest(); }

    void pumpEventsHandlesPostedCallsAndTimers() {
        int posted = 0;
        int timed = 0;
        QMetaObject::invokeMethod(
            qApp,
            [&] {
                ++posted;
                // Posted while pumping: handled in the same call.
                QMetaObject::invokeMethod(
                    qApp, [&] { ++posted; }, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        QTimer::singleShot(0, qApp, [&] { ++timed; });
        vellaro::PumpEvents();
        QCOMPARE(posted, 2);
        QCOMPARE(timed, 1);
    }

    void terminateBeforeTheLoopRunsEndsItAtOnce() {
        CountingWindow w;
        w.show();
        vellaro::AppTerminate();
        QVERIFY(vellaro::TerminateRequested());
        QCOMPARE(RunMainLoop(), 0);
        QCOMPARE(w.closes, 0); // nothing stored by a closing handler
        QVERIFY(w.isVisible());
    }

    void terminateConsumedByPumpEventsStillEndsTheLoop() {
        // During start-up PumpEvents may handle the request before the main loop exists.
        vellaro::AppTerminate();
        vellaro::PumpEvents();
        QVERIFY(vellaro::TerminateRequested());
        QCOMPARE(RunMainLoop(), 0);
    }

    void terminateFromAHandlerLetsItFinish() {
        CountingWindow w;
        w.show();
        bool finished = false;
        QTimer::singleShot(0, qApp, [&] {
            vellaro::AppTerminate();
            vellaro::PumpEvents(); // the request must not end anything inside the handler
            finished = true;
        });
        QCOMPARE(RunMainLoop(), 0);
        QVERIFY(finished);
        QCOMPARE(w.closes, 0);
    }

    void terminateInsideANestedLoopWaitsForTheMainLoop() {
        // A modal window or a wait for a child process runs a loop of its own: it ends as its
        // owner decides, then the main loop stops.
        int nested = -1;
        QTimer::singleShot(0, qApp, [&] {
            QEventLoop inner;
            QTimer::singleShot(0, &inner, [&] {
                vellaro::AppTerminate();
                QTimer::singleShot(0, &inner, [&] { inner.exit(7); });
            });
            nested = inner.exec();
        });
        QCOMPARE(RunMainLoop(), 0);
        QCOMPARE(nested, 7);
    }

    void shellOpenHandsPathsAndAddressesToTheDesktop() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "handle");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "handle");
        vellaro::ShellOpen("https://example.invalid/page?a=1");
        vellaro::ShellOpen("/opt/vellaro/Vellaro.chm");
        vellaro::ShellOpen("/tmp/java source/日本語.txt");
        vellaro::ShellOpen("relative.chm");
        vellaro::ShellOpen("");
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.urls.size(), 4);
        QCOMPARE(catcher.urls[0], QUrl(QStringLiteral("https://example.invalid/page?a=1")));
        QCOMPARE(catcher.urls[1], QUrl::fromLocalFile(QStringLiteral("/opt/vellaro/Vellaro.chm")));
        QCOMPARE(catcher.urls[2].toLocalFile(), QStringLiteral("/tmp/java source/日本語.txt"));
        QCOMPARE(catcher.urls[3].toLocalFile(), QDir::current().absoluteFilePath("relative.chm"));
    }
};

QTEST_MAIN(TestQtEvents)
#include "test_QtEvents.moc"
