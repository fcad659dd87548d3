#pragma once
// A media command interpreter that records every command string it is sent and
// answers status queries from a script.

#include "platform/mediacontrol.h"

#include <QMap>
#include <QStringList>
#include <stdexcept>

namespace sonorel::test {

class RecordingMediaControl final : public platform::MediaControl {
public:
    QStringList commands;
    // Replies by the command's text; anything else succeeds with an empty reply.
    QMap<QString, QString> replies;
    // Makes every command throw, as a broken interpreter would.
    bool broken = false;

    platform::MediaReply sendString(const QString& command) override {
        commands << command;
        if (broken)
            throw std::runtime_error("media interpreter broken");
        return {platform::MediaError::None, replies.value(command)};
    }
};

} // namespace sonorel::test
