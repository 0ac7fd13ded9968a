#pragma once

#include <chrono>

// The time source behind every time-based rule, so tests can move time instead of waiting.
class Clock
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;

    // The monotonic clock of the machine; lives for the whole process.
    static const Clock &system();

    // A moment before any moment now() can return.
    static constexpr TimePoint distantPast() { return TimePoint::min(); }
};

// Seconds from `from` to `to`, in double precision. Safe for distantPast(), where the
// integer difference would overflow.
double secondsBetween(Clock::TimePoint from, Clock::TimePoint to);
