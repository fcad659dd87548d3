#pragma once
// Scroll bar positions 0..100 and the engines' own units, both ways.

#include <cstdint>
#include <stdexcept>

namespace sonorel::voices {

// A result that does not fit a 32-bit integer: error 6, overflow. The scroll bar
// handlers skip the engine call then, and the voice switch reports it.
class Overflow final : public std::runtime_error {
public:
    Overflow() : std::runtime_error("Overflow") {}
    static constexpr std::int32_t kNumber = 6;
};

// To the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Throws Overflow outside the 32-bit range.
std::int32_t roundHalfEven(double value);

// An engine whose maximum equals its minimum cannot be placed on the scale:
// error 11, division by zero, as the voice switch expects.
class DivisionByZero final : public std::runtime_error {
public:
    DivisionByZero() : std::runtime_error("Division by zero") {}
    static constexpr std::int32_t kNumber = 11;
};

// Generation 4: position = (value - min) / (max - min) x 100, rounded.
std::int32_t positionFromEngine(std::int32_t value, std::int32_t min, std::int32_t max);
// Generation 4: value = p x (max - min) / 100 + min, rounded; the difference and
// the product are 32-bit integers (Overflow when either does not fit).
std::int32_t engineFromPosition(std::int32_t position, std::int32_t min, std::int32_t max);
// Generation 4 channel volume: p x 655.35, rounded (0..65535).
std::int32_t channelVolumeFromPosition(std::int32_t position);
// Generation 5 rate: p / 5 - 10, rounded (-10..10), and back: rate x 5 + 50.
std::int32_t rateFromPosition(std::int32_t position);
std::int32_t positionFromRate(std::int32_t rate);

} // namespace sonorel::voices
