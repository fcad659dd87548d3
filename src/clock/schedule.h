#pragma once
// The talking clock's rules: the stamp of a minute, the two sentences, and which
// announcement (if any) a minute is due.

#include "shared/records.h"

#include <optional>
#include <QDateTime>
#include <QString>

namespace sonorel::clock {

// Hour then minute, without leading zeros: 15:30 is "1530", 9:05 is "95".
QString sayStamp(const QTime& time);

// "The time is 9 o'clock".
QString shortSentence(const ClockSettings& settings, const QTime& time);
// "The time is 15 o'clock 30 minute".
QString fullSentence(const ClockSettings& settings, const QTime& time);

// Minute boundaries crossed from `from` to `to` on the wall clock (10:03:59 to
// 10:13:00 counts 10), negative when `to` is earlier.
qint64 calendarMinutes(const QDateTime& from, const QDateTime& to);

// The sentence the first matching rule announces at `now`, in the rules' order:
// on the hour, half, quarters, interval (counted from `intervalBase`), hourly,
// daily. A flag counts only when it is exactly 1. An interval below one minute
// never fires, nor does an interval alarm in the minute of its base.
std::optional<QString> dueSentence(const ClockSettings& settings, const QDateTime& intervalBase,
                                   const QDateTime& now);

} // namespace sonorel::clock
