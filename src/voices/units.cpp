#include "voices/units.h"

#include <cmath>
#include <limits>

namespace sonorel::voices {

namespace {
std::int32_t checked(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        throw Overflow();
    return static_cast<std::int32_t>(value);
}
} // namespace

std::int32_t roundHalfEven(double value) {
    if (!(value >= double(std::numeric_limits<std::int32_t>::min()) - 0.5 &&
          value < double(std::numeric_limits<std::int32_t>::max()) + 0.5))
        throw Overflow(); // also NaN
    const double floor = std::floor(value);
    const double diff = value - floor;
    double result = floor;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0))
        result = floor + 1;
    return static_cast<std::int32_t>(result);
}

std::int32_t positionFromEngine(std::int32_t value, std::int32_t min, std::int32_t max) {
    const std::int32_t range = checked(std::int64_t(max) - min);
    if (range == 0)
        throw DivisionByZero();
    const std::int32_t offset = checked(std::int64_t(value) - min);
    return roundHalfEven(double(offset) / double(range) * 100.0);
}

std::int32_t engineFromPosition(std::int32_t position, std::int32_t min, std::int32_t max) {
    const std::int32_t product = checked(std::int64_t(position) * checked(std::int64_t(max) - min));
    return roundHalfEven(double(product) / 100.0 + min);
}

std::int32_t channelVolumeFromPosition(std::int32_t position) {
    return roundHalfEven(position * 655.35);
}

std::int32_t rateFromPosition(std::int32_t position) {
    return roundHalfEven(position / 5.0 - 10);
}

std::int32_t positionFromRate(std::int32_t rate) {
    return rate * 5 + 50;
}

} // namespace sonorel::voices
