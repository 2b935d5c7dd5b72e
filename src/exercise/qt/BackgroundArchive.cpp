#include "exercise/qt/BackgroundArchive.h"

#include <QPointer>

#include "common/Platform.h"
#include "common/delCommFunc.h"
#include "exercise/qt/Process.h"

namespace vellaro {

BackgroundArchive::~BackgroundArchive() {
    stop();
}

bool BackgroundArchive::start() {
    if (m_job)
        return false;
    m_job =
        PlanBackgroundArchive(CurrentFolderSource().cache, FindJdk(platform::ProgramSearchPath()),
                              TempPath(), JvmEnvironment(&platform::EnvironmentValue));
    if (!m_job)
        return false;
    m_clock.start();
    QPointer<BackgroundArchive> self(this);
    const bool started = Processes().startBackground(m_job->command, [self](int status) {
        if (!self || !self->m_job)
            return;
        const BackgroundArchiveJob job = *self->m_job;
        self->m_job.reset();
        const bool made = FinishBackgroundArchive(
            job, status, std::chrono::milliseconds{self->m_clock.elapsed()});
        emit self->ended(made);
    });
    if (!started) {
        AbandonBackgroundArchive(*m_job);
        m_job.reset();
    }
    return started;
}

std::chrono::milliseconds BackgroundArchive::makingFor() const {
    return m_job ? std::chrono::milliseconds{m_clock.elapsed()} : std::chrono::milliseconds{0};
}

ArchiveWait BackgroundArchive::waitChoice() const {
    if (!m_job)
        return {};
    return ChooseArchiveWait(makingFor(), m_job->plan.times);
}

void BackgroundArchive::stop() {
    if (!m_job)
        return;
    Processes().stopBackground();
    AbandonBackgroundArchive(*m_job);
    m_job.reset();
}

} // namespace vellaro
