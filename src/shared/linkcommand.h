#pragma once
// Commands carried by the command link and by the reader's command line: a fixed
// 32-character token, a two-character code, then the command's own text.
// Positions in comments count characters from 1.

#include <cstdint>
#include <QString>

namespace sonorel {

inline const QString kLinkToken = QStringLiteral("7D0A94E3B2C5F16850E7A3D9C4B1F062");

inline const QString kLinkSwitchVoice = QStringLiteral("-4");
inline const QString kLinkStop = QStringLiteral("_3");
inline const QString kLinkSpeakPause = QStringLiteral("_2");
inline const QString kLinkRead = QStringLiteral("_1");

enum class LinkCommand { SwitchVoice, Stop, SpeakPause, Read, File };

// The key is the first 34 characters, compared exactly with token + code in the
// order -4, _3, _2, _1; anything else names a file.
LinkCommand classifyLinkCommand(const QString& command);

// The text of a "_1" command: from character 35 on.
QString linkCommandText(const QString& command);

QString makeLinkCommand(const QString& code, const QString& text = {});

// "-4": character 35 the generation digit, 36..40 the five-digit index, from 41
// the voice's list text. A field that is not a number reads as 0.
struct VoiceCommand {
    std::int32_t generation = 0;
    std::int32_t index = 0;
    QString entryText;
};
VoiceCommand parseVoiceCommand(const QString& command);
QString makeVoiceCommand(std::int32_t itemCode, const QString& entryText);

// A command line given to a reader running alone is read with a 33-character key:
// token + "-" ends it, token + "_" reads the text from character 35 on.
enum class StartCommand { Exit, ReadTokenText, ReadWholeLine };
StartCommand classifyStartCommand(const QString& commandLine);

} // namespace sonorel
