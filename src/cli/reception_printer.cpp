#include "cli/reception_printer.h"

#include "export/export_line.h"
#include "export/reception_json.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvana {

namespace {

std::string prefixed(ChannelSide side, const std::string& text) {
    return std::string(1, sideLetter(side)) + "\t" + text;
}

void note(const std::string& text) {
    std::fprintf(stderr, "tolvana-decode: %s\n", text.c_str());
}

/// Whether standard error is the same file as `fd` (2>&1): then a note
/// about a stalled `fd` would stall as well.
bool sharesStderr(int fd) {
    struct stat a {};
    struct stat b {};
    return fstat(fd, &a) == 0 && fstat(STDERR_FILENO, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

struct OutputWriter::Shared {
    int fd = -1;
    std::size_t maxBytes = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> queue;
    std::size_t queuedBytes = 0; // including the line being written
    std::uint64_t queued = 0;    // lines ever queued
    std::uint64_t taken = 0;     // lines the writer is done with, written or not
    std::uint64_t written = 0;
    std::uint64_t dropped = 0;
    std::uint64_t droppedReported = 0;
    bool writing = false;
    bool stalled = false;
    bool broken = false;
    bool quit = false;

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return quit || !queue.empty(); });
            if (queue.empty()) {
                return;
            }
            std::string line = std::move(queue.front());
            queue.pop_front();
            writing = true;
            lock.unlock();
            const bool ok = writeAll(line);
            lock.lock();
            writing = false;
            queuedBytes -= line.size();
            ++taken;
            if (!ok) {
                breakOff();
            } else {
                ++written;
            }
            if (queue.empty() && !broken) {
                caughtUp(lock);
            }
            changed.notify_all();
        }
    }

    bool writeAll(const std::string& line) const {
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The reader has gone (broken pipe) or the output failed otherwise: said
    // once, and nothing more is written.
    void breakOff() {
        const int error = errno;
        broken = true;
        dropped += queue.size() + 1;
        droppedReported = dropped;
        taken += queue.size();
        for (const std::string& waiting : queue) {
            queuedBytes -= waiting.size();
        }
        queue.clear();
        note(std::string("standard output failed (") + std::strerror(error) +
             "); decoding, logs and exports go on without it");
    }

    void caughtUp(std::unique_lock<std::mutex>& lock) {
        stalled = false;
        if (dropped > droppedReported) {
            const std::uint64_t lost = dropped - droppedReported;
            droppedReported = dropped;
            lock.unlock();
            note("standard output: " + std::to_string(lost) +
                 " lines were dropped while its reader did not keep up");
            lock.lock();
        }
    }
};

OutputWriter::OutputWriter(int fd, std::size_t maxQueuedBytes)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->fd = fd;
    m_shared->maxBytes = maxQueuedBytes;
    m_thread = std::thread([shared = m_shared] { shared->run(); });
}

OutputWriter::~OutputWriter() {
    if (m_thread.joinable()) {
        finish(std::chrono::milliseconds(0));
    }
}

void OutputWriter::writeLine(const std::string& line) {
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    if (s.broken) {
        ++s.dropped;
        ++s.droppedReported; // said once already
        return;
    }
    if (s.queuedBytes + line.size() + 1 > s.maxBytes) {
        ++s.dropped;
        s.stalled = true;
        return;
    }
    s.queue.push_back(line + '\n');
    s.queuedBytes += line.size() + 1;
    const std::uint64_t number = ++s.queued;
    s.changed.notify_all();
    if (!s.stalled &&
        !s.changed.wait_for(lock, kOutputLineWait, [&] { return s.taken >= number; })) {
        s.stalled = true; // not waited for again until the reader catches up
    }
}

bool OutputWriter::finish(std::chrono::milliseconds timeout) {
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    s.quit = true;
    s.changed.notify_all();
    const bool drained =
        s.changed.wait_for(lock, timeout, [&] { return s.queue.empty() && !s.writing; });
    const std::uint64_t unwritten =
        s.dropped - s.droppedReported + s.queue.size() + (s.writing ? 1 : 0);
    lock.unlock();
    if (drained) {
        m_thread.join();
    } else {
        // The reader still does not read: the writer stays blocked in its
        // write and ends with the process; it holds its own share of the queue.
        m_thread.detach();
    }
    if (unwritten > 0 && !sharesStderr(s.fd)) {
        note("standard output: " + std::to_string(unwritten) +
             " lines could not be written (its reader did not read them)");
    }
    return drained && s.dropped == 0;
}

std::uint64_t OutputWriter::linesWritten() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->written;
}

std::uint64_t OutputWriter::linesDropped() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->dropped;
}

bool OutputWriter::broken() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->broken;
}

void ReceptionPrinter::fms(ChannelSide side, const FmsTelegram& telegram,
                           const std::string& followUpText, const std::string& rufname,
                           TimePoint time) {
    if (!m_json) {
        write(prefixed(side, fmsExportLine(telegram)));
        return;
    }
    write(compactJson(fmsJson(side, telegram, followUpText, rufname, time)));
}

void ReceptionPrinter::tone(ChannelSide side, ToneCall tone, TimePoint time) {
    if (!m_json) {
        write(prefixed(side, toneCallText(tone)));
        return;
    }
    write(compactJson(toneJson(side, tone, time)));
}

void ReceptionPrinter::zvei(ChannelSide side, const std::string& number, const std::string& name,
                            TimePoint time) {
    if (!m_json) {
        write(prefixed(side, zveiExportLine(number, name)));
        return;
    }
    write(compactJson(zveiJson(side, number, name, time)));
}

void ReceptionPrinter::pocsag(ChannelSide side, const PocsagPage& page, const std::string& name,
                              TimePoint time) {
    if (!m_json) {
        write(prefixed(side, pocsagExportLine(page.ric, page.function, page.text)));
        return;
    }
    write(compactJson(pocsagJson(side, page, name, time)));
}

} // namespace tolvana
