#include "shared/records.h"

namespace sonorel {

WinSets WinSets::defaults(const QString& programFolder, const QString& homeFolder) {
    WinSets s;
    s.OpenFolder = programFolder;
    s.SaveFolder = programFolder;
    s.BatchDrive = "/";
    s.BatchSourceFolder = homeFolder;
    s.BatchTargetFolder = homeFolder;
    s.SlideFolder = homeFolder;
    return s;
}

ClockSettings ClockSettings::defaults(const QString& programFolder) {
    ClockSettings s;
    s.BellFile = programFolder + "/bell.wav";
    return s;
}

std::optional<bool> boolFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare("True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare("False", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

QString textFromBool(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace sonorel
