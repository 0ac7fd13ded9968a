#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace TerminationSignals {

namespace {

// [0] is written by the signal handler, [1] read on the main thread.
int doorbell[2] = { -1, -1 };

// Runs on whatever thread took the signal: only async-signal-safe calls here.
void ring(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(doorbell[0], &byte, 1);
    errno = savedErrno;
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
    struct sigaction action = {};
    action.sa_handler = ring;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : { SIGTERM, SIGINT, SIGHUP })
        sigaction(number, &action, nullptr);
    return true;
}

} // namespace TerminationSignals
