#include "export/report.h"

#include "export/encoder.h"
#include "platform/files.h"

namespace sonorel::exporting {

RecordingFailure notRendered(const QString& target, const QString& why) {
    return {RecordingFailure::Kind::NotRendered,
            QStringLiteral("Sonorel could not save the speech to ") + target +
                QStringLiteral(".\n") + why};
}

RecordingFailure keepWaveInstead(const QString& wav, const QString& mp3, const QString& target,
                                 const QString& why) {
    const QString kept = keptWavPath(target);
    const QString moveError = moveFile(wav, kept);
    platform::removeFile(mp3);
    const QString where =
        moveError.isEmpty()
            ? QStringLiteral("The speech was saved as a WAV file instead:\n") + kept
            : QStringLiteral("The speech is in the WAV file ") + wav +
                  QStringLiteral(" until the next recording (") + kept +
                  QStringLiteral(" could not be written: ") + moveError + QStringLiteral(").");
    return {RecordingFailure::Kind::KeptAsWav,
            QStringLiteral("Sonorel could not make the MP3 file ") + target +
                QStringLiteral(".\n") + why + QStringLiteral("\n\n") + where};
}

RecordingFailure notMoved(const QString& target, const QString& why, const QString& mp3) {
    return {RecordingFailure::Kind::NotMoved, QStringLiteral("Sonorel could not write ") + target +
                                                  QStringLiteral(": ") + why +
                                                  QStringLiteral(".\nThe MP3 file is in ") + mp3 +
                                                  QStringLiteral(" until the next recording.")};
}

} // namespace sonorel::exporting
