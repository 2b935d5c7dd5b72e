// The one running copy's lock as an earlier version sees it. That version judged EX_Mutex with
// a lock file that never counts a file as stale by its age: it must refuse to start while this
// version runs, and start once this version has ended, however it ended.
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "common/delCommFunc.h"

class TestInstanceLockEarlier : public QObject {
    Q_OBJECT
  private slots:
    void earlierVersionFollowsTheRunningCopy() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("EX_Mutex"));
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t holder = ::fork();
        QVERIFY(holder >= 0);
        if (holder == 0) {
            const vellaro::InstanceLock lock(path.toStdString());
            (void)!::write(ready[1], "H", 1);
            ::pause();
            ::_exit(0);
        }
        char state = 0;
        QCOMPARE(::read(ready[0], &state, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        {
            QLockFile earlier(path);
            earlier.setStaleLockTime(0);
            QVERIFY(!earlier.tryLock(0));
            QCOMPARE(earlier.error(), QLockFile::LockFailedError);
        }
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        QLockFile earlier(path);
        earlier.setStaleLockTime(0);
        QVERIFY(earlier.tryLock(0));
    }
};

QTEST_GUILESS_MAIN(TestInstanceLockEarlier)
#include "test_InstanceLockEarlier.moc"
