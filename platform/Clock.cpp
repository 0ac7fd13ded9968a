#include "Clock.h"

namespace {

class SteadyClock final : public Clock
{
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

} // namespace

const Clock &Clock::system()
{
    static const SteadyClock clock;
    return clock;
}

double secondsBetween(Clock::TimePoint from, Clock::TimePoint to)
{
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(to.time_since_epoch()).count()
        - std::chrono::duration_cast<Seconds>(from.time_since_epoch()).count();
}
