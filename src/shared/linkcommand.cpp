#include "shared/linkcommand.h"

#include "shared/voiceentry.h"

namespace sonorel {

namespace {
constexpr qsizetype kKeyLength = 34;
constexpr qsizetype kStartKeyLength = 33;
} // namespace

LinkCommand classifyLinkCommand(const QString& command) {
    const QStringView key = QStringView(command).left(kKeyLength);
    const auto is = [&](const QString& code) { return key == QString(kLinkToken + code); };
    if (is(kLinkSwitchVoice))
        return LinkCommand::SwitchVoice;
    if (is(kLinkStop))
        return LinkCommand::Stop;
    if (is(kLinkSpeakPause))
        return LinkCommand::SpeakPause;
    if (is(kLinkRead))
        return LinkCommand::Read;
    return LinkCommand::File;
}

QString linkCommandText(const QString& command) {
    return command.mid(kKeyLength);
}

QString makeLinkCommand(const QString& code, const QString& text) {
    return kLinkToken + code + text;
}

VoiceCommand parseVoiceCommand(const QString& command) {
    const QStringView c(command);
    VoiceCommand v;
    v.generation = leadingNumber(c.mid(34, 1));
    v.index = leadingNumber(c.mid(35, 5));
    v.entryText = command.mid(40);
    return v;
}

QString makeVoiceCommand(std::int32_t itemCode, const QString& entryText) {
    return makeLinkCommand(kLinkSwitchVoice, QString::number(itemCode) + entryText);
}

StartCommand classifyStartCommand(const QString& commandLine) {
    const QStringView key = QStringView(commandLine).left(kStartKeyLength);
    if (key == QString(kLinkToken + '-'))
        return StartCommand::Exit;
    if (key == QString(kLinkToken + '_'))
        return StartCommand::ReadTokenText;
    return StartCommand::ReadWholeLine;
}

} // namespace sonorel
