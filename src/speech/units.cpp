#include "speech/units.h"

#include <cmath>

namespace sonorel::speech {

std::int32_t roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    double result = floor;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0))
        result = floor + 1;
    return static_cast<std::int32_t>(result);
}

std::int32_t positionFromEngine(std::int32_t value, std::int32_t min, std::int32_t max) {
    if (max == min)
        throw DivisionByZero();
    return roundHalfEven(double(value - min) / double(max - min) * 100.0);
}

std::int32_t engineFromPosition(std::int32_t position, std::int32_t min, std::int32_t max) {
    const auto product = static_cast<std::int32_t>(std::int64_t(position) * (max - min));
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

} // namespace sonorel::speech
