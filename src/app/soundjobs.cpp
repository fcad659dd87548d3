#include "app/soundjobs.h"

namespace sonorel::app {

void SoundJobs::enlist(const QObject* owner, const QString& name, Running running) {
    m_jobs.append({owner, name, std::move(running)});
}

QString SoundJobs::otherRunning(const QObject* asker) const {
    for (const Job& job : m_jobs) {
        if (job.owner && job.owner != asker && job.running && job.running())
            return job.name;
    }
    return {};
}

QString SoundJobs::refusal(const QString& running, const QString& wanted) {
    return QStringLiteral("Sonorel cannot start ") + wanted + QStringLiteral(" while ") + running +
           QStringLiteral(" runs: both use the same recording. Please wait until it has "
                          "finished, then start again.");
}

} // namespace sonorel::app
