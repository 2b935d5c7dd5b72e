#pragma once
// The compiler's class-data archive made in the background for a learner who has none, so that
// even the first compile maps it (CompilerArchive.h). It runs through the process seam at idle
// priority, one at a time, and ends with the program.
#include <QElapsedTimer>
#include <QObject>

#include <chrono>
#include <filesystem>
#include <optional>

#include "exercise/CompilerArchive.h"

namespace vellaro {

class BackgroundArchive : public QObject {
    Q_OBJECT
  public:
    BackgroundArchive() = default;
    ~BackgroundArchive() override; // ends the making; nothing of it is left
    BackgroundArchive(const BackgroundArchive&) = delete;
    BackgroundArchive& operator=(const BackgroundArchive&) = delete;

    // Starts making the archive when this learner has none for the JDK on the search path (and
    // none is being made); nothing otherwise. True when it was started.
    bool start();
    bool running() const { return m_job.has_value(); }
    // How long it has been making it.
    std::chrono::milliseconds makingFor() const;
    // Whether a compile asked now waits for it, and how long (ChooseArchiveWait).
    ArchiveWait waitChoice() const;
    // Ends the making; what it had written is removed.
    void stop();

  signals:
    // The making ended by itself; `made`: the archive is in place.
    void ended(bool made);

  private:
    std::optional<BackgroundArchiveJob> m_job;
    QElapsedTimer m_clock;
};

} // namespace vellaro
