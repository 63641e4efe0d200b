// Lets the event loop run until a condition holds, for tests that wait on real
// sockets and processes. The bound only ends a test that would otherwise hang;
// nothing is measured against it. A test that must show that something did
// not happen sends a marker after it and waits for the marker instead of
// waiting a while.
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

} // namespace tolvana::test
