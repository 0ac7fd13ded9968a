#pragma once

#include "Clock.h"

// A clock that moves only when the test says so.
class ManualClock final : public Clock
{
public:
    TimePoint now() const override { return m_now; }
    void advance(std::chrono::duration<double> by)
    {
        m_now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(by);
    }

private:
    TimePoint m_now = std::chrono::steady_clock::now();
};
