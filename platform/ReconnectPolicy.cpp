#include "ReconnectPolicy.h"

#include <algorithm>

namespace {

double seconds(std::chrono::milliseconds span)
{
    return std::chrono::duration<double>(span).count();
}

} // namespace

ReconnectPolicy::ReconnectPolicy(const Rules &rules, const Clock &clock)
    : m_rules(rules)
    , m_clock(clock)
    , m_retryDelay(rules.firstRetryDelay)
{ }

void ReconnectPolicy::newItem()
{
    m_wantsPlaying = false;
    m_retryPending = false;
    m_needsReconnect = false;
    m_pausedAt = Clock::distantPast();
    m_retryDelay = m_rules.firstRetryDelay;
}

ReconnectPolicy::Answer ReconnectPolicy::play(quint64 audioBuffers)
{
    const Clock::TimePoint now = m_clock.now();
    const bool paused = m_pausedAt != Clock::distantPast();
    const bool pausedLong = paused && secondsBetween(m_pausedAt, now) >= seconds(m_rules.longPause);
    const bool reconnect = m_needsReconnect || pausedLong;
    // A fresh connection may take longer than the resume guard allows for first audio.
    m_resuming = paused && !reconnect;
    m_wantsPlaying = true;
    m_pausedAt = Clock::distantPast();
    m_lastProgress = now;
    m_buffersAtLastCheck = audioBuffers;
    if (!reconnect)
        return Answer::nothing();
    m_needsReconnect = false;
    return Answer::now();
}

void ReconnectPolicy::pause()
{
    m_wantsPlaying = false;
    m_pausedAt = m_clock.now();
    if (m_retryPending) {
        // The connection is already gone; the resume makes a new one.
        m_retryPending = false;
        m_needsReconnect = true;
    }
}

void ReconnectPolicy::connecting(quint64 audioBuffers)
{
    m_retryPending = false;
    m_resuming = false;
    m_lastProgress = m_clock.now();
    m_buffersAtLastCheck = audioBuffers;
}

void ReconnectPolicy::audioStarted()
{
    m_retryDelay = m_rules.firstRetryDelay;
}

ReconnectPolicy::Answer ReconnectPolicy::failed()
{
    if (m_wantsPlaying)
        return backOff();
    // Nothing is left to put right until the resume, which connects again.
    m_retryPending = false;
    m_needsReconnect = true;
    return Answer::nothing();
}

ReconnectPolicy::Answer ReconnectPolicy::refused()
{
    return backOff();
}

ReconnectPolicy::Answer ReconnectPolicy::check(quint64 audioBuffers)
{
    if (!m_wantsPlaying || m_retryPending)
        return Answer::nothing();
    const Clock::TimePoint now = m_clock.now();
    if (audioBuffers != m_buffersAtLastCheck) {
        m_buffersAtLastCheck = audioBuffers;
        m_lastProgress = now;
        m_resuming = false;
        return Answer::nothing();
    }
    const double silent = secondsBetween(m_lastProgress, now);
    if (m_resuming && silent >= seconds(m_rules.resumeTimeout)) {
        // The kept connection died during the pause; the listener is waiting now.
        m_resuming = false;
        return Answer::now();
    }
    if (silent >= seconds(m_rules.stallTimeout))
        return backOff();
    return Answer::nothing();
}

ReconnectPolicy::Answer ReconnectPolicy::networkBack()
{
    if (!m_retryPending)
        return Answer::nothing();
    m_retryDelay = m_rules.firstRetryDelay;
    return Answer::after(std::chrono::milliseconds(0));
}

ReconnectPolicy::Answer ReconnectPolicy::retryDue()
{
    m_retryPending = false;
    return m_wantsPlaying ? Answer::now() : Answer::nothing();
}

ReconnectPolicy::Answer ReconnectPolicy::backOff()
{
    if (m_retryPending)
        return Answer::nothing();
    m_retryPending = true;
    const std::chrono::milliseconds delay = m_retryDelay;
    m_retryDelay = std::min(m_retryDelay * 2, m_rules.longestRetryDelay);
    return Answer::after(delay);
}
