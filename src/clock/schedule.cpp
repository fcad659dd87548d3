#include "clock/schedule.h"

#include <cstdlib>

namespace sonorel::clock {

QString sayStamp(const QTime& time) {
    return QString::number(time.hour()) + QString::number(time.minute());
}

QString shortSentence(const ClockSettings& s, const QTime& time) {
    return s.SentenceStart + " " + QString::number(time.hour()) + " " + s.HourWord;
}

QString fullSentence(const ClockSettings& s, const QTime& time) {
    return shortSentence(s, time) + " " + QString::number(time.minute()) + " " + s.MinuteWord;
}

qint64 calendarMinutes(const QDateTime& from, const QDateTime& to) {
    // The wall clock's fields, as the user reads them: a change of daylight
    // saving time moves the count with the clock.
    const auto minuteOf = [](const QDateTime& t) {
        return t.date().toJulianDay() * 1440 + t.time().hour() * 60 + t.time().minute();
    };
    return minuteOf(to) - minuteOf(from);
}

std::optional<QString> dueSentence(const ClockSettings& s, const QDateTime& intervalBase,
                                   const QDateTime& now) {
    const QTime time = now.time();
    const int minute = time.minute();
    if (minute == 0 && s.HourOn == 1)
        return shortSentence(s, time);
    if (minute == 30 && s.HalfOn == 1)
        return fullSentence(s, time);
    if ((minute == 15 || minute == 45) && s.QuarterOn == 1)
        return fullSentence(s, time);
    if (s.IntervalOn == 1 && s.IntervalMinutes >= 1) {
        // Not in the base minute itself: a save is no alarm.
        const qint64 count = std::llabs(calendarMinutes(intervalBase, now));
        if (count > 0 && count % s.IntervalMinutes == 0)
            return fullSentence(s, time);
    }
    if (s.HourlyOn == 1 && minute == s.HourlyMinute)
        return fullSentence(s, time);
    if (s.DailyOn == 1 && time.hour() == s.DailyHour && minute == s.DailyMinute)
        return fullSentence(s, time);
    return std::nullopt;
}

} // namespace sonorel::clock
