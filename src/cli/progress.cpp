#include "cli/progress.h"

#include <algorithm>

namespace sonorel::cli {

namespace {

QString minutes(std::int64_t ms) {
    const std::int64_t s = ms / 1000;
    return s >= 3600 ? QStringLiteral("%1:%2:%3")
                           .arg(s / 3600)
                           .arg(s / 60 % 60, 2, 10, QChar(u'0'))
                           .arg(s % 60, 2, 10, QChar(u'0'))
                     : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar(u'0'));
}

} // namespace

QString progressText(int percent, std::int64_t elapsedMs) {
    QString line =
        QStringLiteral("%1% of the text, %2 so far").arg(percent).arg(minutes(elapsedMs));
    if (percent >= 1 && percent < 100)
        line +=
            QStringLiteral(", about %1 left").arg(minutes(elapsedMs * (100 - percent) / percent));
    return line;
}

ProgressLine::ProgressLine(std::FILE* to, bool enabled, std::int64_t textLength)
    : m_to(to), m_enabled(enabled), m_length(std::max<std::int64_t>(1, textLength)) {}

void ProgressLine::reached(std::int64_t position) {
    if (!m_enabled)
        return;
    const int percent = int(std::clamp<std::int64_t>(position, 0, m_length) * 100 / m_length);
    const auto now = Clock::now();
    // A few times a second at most: a terminal is slow to write to.
    if (percent == m_shown || now - m_lastShown < std::chrono::milliseconds(250))
        return;
    m_shown = percent;
    m_lastShown = now;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start);
    std::fprintf(m_to, "\r%s\033[K",
                 progressText(percent, elapsed.count()).toLocal8Bit().constData());
    std::fflush(m_to);
}

void ProgressLine::finish() {
    if (m_enabled && m_shown >= 0) {
        std::fputs("\r\033[K", m_to);
        std::fflush(m_to);
    }
}

} // namespace sonorel::cli
