#pragma once
#include <cstdint>
#include <QString>

namespace sonorel {

// "hh:mm:ss" for whole seconds; each field keeps its last two digits, so 123
// hours show "23". A negative count (a clock set back) shows "00:00:00".
QString elapsedText(std::int64_t seconds);

} // namespace sonorel
