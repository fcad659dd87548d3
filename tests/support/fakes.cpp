#include "support/fakes.h"

#include "shared/recordcodec.h"

#include <QFile>

namespace sonorel::test {

using namespace platform;

template <class T> std::optional<T> ScriptedDialogs::next() {
    if (m_script.isEmpty() || !std::holds_alternative<T>(m_script.head()))
        return std::nullopt;
    return std::get<T>(m_script.dequeue());
}

MessageAnswer ScriptedDialogs::message(const MessageSpec& request, QWidget*) {
    messages << request;
    return next<MessageAnswer>().value_or(defaultAnswer(request));
}

std::optional<FileChoice> ScriptedDialogs::openFile(const FileDialogSpec& request, QWidget*) {
    fileDialogs << request;
    return next<std::optional<FileChoice>>().value_or(std::nullopt);
}

std::optional<FileChoice> ScriptedDialogs::saveFile(const FileDialogSpec& request, QWidget*) {
    fileDialogs << request;
    return next<std::optional<FileChoice>>().value_or(std::nullopt);
}

std::optional<FontChoice> ScriptedDialogs::chooseFont(const FontChoice&, QWidget*) {
    ++fontDialogs;
    return next<std::optional<FontChoice>>().value_or(std::nullopt);
}

std::optional<QColor> ScriptedDialogs::chooseColor(const std::optional<QColor>&, QWidget*) {
    ++colorDialogs;
    return next<std::optional<QColor>>().value_or(std::nullopt);
}

std::optional<QString> ScriptedDialogs::chooseFolder(const QString&, const QString&, QWidget*) {
    ++folderDialogs;
    return next<std::optional<QString>>().value_or(std::nullopt);
}

std::optional<qint64> FakeLauncher::start(const QString& program, const QStringList& arguments,
                                          WindowMode mode) {
    if (failStarts)
        return std::nullopt;
    const qint64 pid = m_nextPid++;
    started << Started{program, arguments, mode, pid};
    m_alive.insert(pid);
    return pid;
}

bool makeFakeEncoder(const QString& folder) {
    const QString lame = folder + QStringLiteral("/lame");
    return writeFileAtomically(lame, "#!/bin/sh\nexit 0\n") &&
           QFile::setPermissions(lame, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
}

void FakeLauncher::finish(qint64 pid) {
    m_alive.remove(pid);
    const QList<EndNotice> notices = std::exchange(m_endNotices, {});
    for (const EndNotice& notice : notices) {
        if (notice.pid != pid)
            m_endNotices << notice;
        else if (notice.context)
            notice.ended();
    }
}

bool FakeLauncher::notifyEnd(qint64 pid, QObject* context, std::function<void()> ended) {
    m_endNotices << EndNotice{pid, context, std::move(ended)};
    return true;
}

} // namespace sonorel::test
