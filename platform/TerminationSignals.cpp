#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace TerminationSignals {

namespace {

// [0] is written by the signal handler, [1] read on the main thread.
int doorbell[2] = { -1, -1 };
volatile sig_atomic_t rung = 0;

constexpr std::array numbers{ SIGTERM, SIGINT, SIGHUP };
// What each signal did before; SIG_IGN ones are left alone.
std::array<struct sigaction, numbers.size()> previous{};
std::array<bool, numbers.size()> handled{};

// Runs on whatever thread took the signal: only async-signal-safe calls here.
void ring(int number)
{
    const int savedErrno = errno;
    if (rung != 0) {
        // Asked again while the orderly end is stuck: end as the signal would have, once this
        // handler returns and unblocks it.
        signal(number, SIG_DFL);
        raise(number);
    }
    rung = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(doorbell[0], &byte, 1);
    errno = savedErrno;
}

// Once the event loop is over nothing answers the doorbell, so a signal during the rest of
// shutdown does what it did before.
void restore()
{
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (handled[i])
            sigaction(numbers[i], &previous[i], nullptr);
        handled[i] = false;
    }
}

} // namespace

bool quitOnTermination()
{
    if (doorbell[0] >= 0)
        return true;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, doorbell) != 0)
        return false;
    auto *notifier
        = new QSocketNotifier(doorbell[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char bytes[16];
        while (read(doorbell[1], bytes, sizeof bytes) > 0) { }
        QCoreApplication::quit();
    });
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, notifier,
                     restore);
    struct sigaction action = {};
    action.sa_handler = ring;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        // Ignored by whoever started us (nohup, a session that must not end us): kept ignored.
        if (sigaction(numbers[i], nullptr, &previous[i]) != 0 || previous[i].sa_handler == SIG_IGN)
            continue;
        handled[i] = sigaction(numbers[i], &action, nullptr) == 0;
    }
    return true;
}

} // namespace TerminationSignals
