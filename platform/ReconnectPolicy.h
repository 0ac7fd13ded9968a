#pragma once

#include "Clock.h"

#include <QtGlobal>

#include <chrono>

// When a live stream should connect again. Knows no pipeline and keeps no timer: the player
// reports what happens and carries out each answer, starting and stopping its own retry timer.
// Main thread.
class ReconnectPolicy
{
public:
    struct Rules
    {
        std::chrono::milliseconds firstRetryDelay{};
        std::chrono::milliseconds longestRetryDelay{};
        std::chrono::milliseconds stallTimeout{};
        std::chrono::milliseconds resumeTimeout{};
        std::chrono::milliseconds longPause{};
    };

    struct Answer
    {
        enum class Action { Nothing, ReconnectNow, ReconnectAfter };
        Action action = Action::Nothing;
        std::chrono::milliseconds delay{ 0 }; // for ReconnectAfter

        static Answer nothing() { return {}; }
        static Answer now() { return { Action::ReconnectNow, {} }; }
        static Answer after(std::chrono::milliseconds delay)
        {
            return { Action::ReconnectAfter, delay };
        }
    };

    // `clock` outlives the policy.
    ReconnectPolicy(const Rules &rules, const Clock &clock);

    // A new item replaces the current one, stopped and not yet playing.
    void newItem();
    // The listener plays or resumes; `audioBuffers` counts all audio played so far.
    // Nothing means: go on with the current connection.
    Answer play(quint64 audioBuffers);
    // The listener pauses. A waiting retry is dropped: the resume reconnects instead.
    void pause();
    // A new connection starts, now that the old one has stopped: silence counts from here.
    void connecting(quint64 audioBuffers);
    // Audio of the current connection reached the output for the first time.
    void audioStarted();
    // The connection failed or ended. While paused the player stops it; the resume reconnects.
    Answer failed();
    // The pipeline refused a change of state: retry after the backoff, whatever the listener wants.
    Answer refused();
    // A periodic look at how much audio has played, to catch a stall.
    Answer check(quint64 audioBuffers);
    // The network is reachable again.
    Answer networkBack();
    // The wait of the last ReconnectAfter is over.
    Answer retryDue();

    bool wantsPlaying() const { return m_wantsPlaying; }
    // A ReconnectAfter is waiting to be due.
    bool retryPending() const { return m_retryPending; }

private:
    Answer backOff();

    Rules m_rules;
    const Clock &m_clock;
    bool m_wantsPlaying = false;
    bool m_retryPending = false;
    bool m_needsReconnect = false;
    bool m_resuming = false; // waiting for the first audio after a resume
    std::chrono::milliseconds m_retryDelay;
    Clock::TimePoint m_pausedAt = Clock::distantPast();
    quint64 m_buffersAtLastCheck = 0;
    Clock::TimePoint m_lastProgress;
};
