// Lets the event loop run until a condition holds, for tests that wait on real
// sockets and processes. The bound only ends a test that would otherwise hang;
// nothing is measured against it.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace tolvana::test {

inline constexpr int kEventWaitMs = 10000;

template <typename Condition>
bool waitFor(Condition condition, int boundMs = kEventWaitMs) {
    const QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

/// Runs pending events for a moment, for checks that something did not happen.
inline void settle(int ms = 100) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

} // namespace tolvana::test
