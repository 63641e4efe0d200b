// What a user of the window feels, measured on the window itself (offscreen
// or on a screen): start-up with a full data folder, the time from a
// buffer's arrival at the dispatcher to its grid row on screen, the event
// loop's stalls during a full-speed replay, the memory over a long replay,
// and the CPU share of an idle monitor. A benchmark, not a test: it prints
// figures, the goals are in docs/performance.md.
//
//   tolvana_gui_bench startup [RUNS]        6000 vehicles and status files, full grids
//   tolvana_gui_bench row-latency [N]       N status telegrams, buffer by buffer
//   tolvana_gui_bench replay-fast FILE      event-loop stalls and memory during a fast replay
//   tolvana_gui_bench idle-cpu SECONDS      paced replay of silence, every decoder on
//   tolvana_gui_bench live-latency [N]      a private PulseAudio: end of a played telegram
//                                           to its grid row on screen, N telegrams
//   tolvana_gui_bench live-idle SECONDS     the same server, nothing played: CPU share
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/capture_controller.h"
#include "gui/lists_tab.h"
#include "gui/main_window.h"
#include "gui/monitor.h"
#include "gui/window_parts.h"
#include "records/german_time.h"
#include "support/fms_encoder.h"
#include "support/pulse_server.h"
#include "support/signal.h"

namespace {

using namespace tolvana;
using namespace tolvana::gui;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

/// CPU time of the calling thread: on a loaded machine the wall time of a
/// step is mostly waiting for a core, this is the work it takes.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

void writeLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qFatal("cannot write %s", qPrintable(path));
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toLatin1() + "\r\n";
    }
    file.write(bytes);
}

void allDecodersOn(const QString& root) {
    QStringList mon(30, QStringLiteral("0"));
    for (const int text : {11, 12, 13, 14, 15, 18, 22}) {
        mon[text] = QString();
    }
    for (int i = 24; i < 30; ++i) {
        mon[i] = QStringLiteral("1");
    }
    writeLines(root + "/Mon.ini", mon);
}

/// Counts paints of a widget and notes when the first one after arm() ended.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void arm() { m_painted = false; }
    bool painted() const { return m_painted; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            m_painted = true;
        }
        return false;
    }

private:
    bool m_painted = false;
};

/// Calls back after every paint of a widget.
class PaintCallback final : public QObject {
public:
    PaintCallback(QWidget* widget, std::function<void()> callback) : m_callback(std::move(callback)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            // After the paint itself: the filter runs before it.
            static_cast<QWidget*>(watched)->removeEventFilter(this);
            QCoreApplication::sendEvent(watched, event);
            watched->installEventFilter(this);
            m_callback();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_callback;
};

struct Window {
    explicit Window(const QString& root)
        : monitor(*DataFolder::open(root)), window(monitor) {
        installWindowParts(window);
    }
    Monitor monitor;
    MainWindow window;
};

void printStats(const char* what, std::vector<double> values, const char* unit) {
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))]; };
    std::printf("%-40s median %8.2f %s   p90 %8.2f %s   max %8.2f %s   (n=%zu)\n", what, at(0.5), unit, at(0.9),
                unit, values.back(), unit, values.size());
}

int startup(int runs) {
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir(root).mkpath(QStringLiteral("Status"));
    QDir(root).mkpath(QStringLiteral("Logbuch"));
    allDecodersOn(root);
    QStringList fzg;
    for (int i = 0; i < 6000; ++i) {
        fzg.append(QStringLiteral("Florian %1\tHLF\t6%2").arg(i).arg(1000000 + i, 7, 10, QLatin1Char('0')));
        writeLines(root + QStringLiteral("/Status/%1.txt").arg(i), {QStringLiteral("%1\t0\t07.12. 15:52").arg(1 + i % 9)});
    }
    writeLines(root + "/Fzg.txt", fzg);
    const DataFolder folder = *DataFolder::open(root);
    const QDateTime now = QDateTime::currentDateTime();
    QStringList fms;
    QStringList zvei;
    QStringList poc;
    for (int i = 0; i < 5000; ++i) {
        const QString time = gridDateTime(now.addSecs(-i));
        fms.append(QStringLiteral("Florian %1\tHLF\t6%2\t3\t0\tFzg->Lst\t%3\t").arg(i % 6000).arg(1000000 + i).arg(time));
        zvei.append(QStringLiteral("%1\tFF Nord\t%2").arg(10000 + i).arg(time));
        poc.append(QStringLiteral("%1\t3\tWehr\t%2\tEinsatz: Brand Wohnhaus, Hauptstraße %3").arg(100000 + i).arg(time).arg(i));
    }
    writeLines(folder.logFile(ReceptionKind::Fms, now.date()), fms);
    writeLines(folder.logFile(ReceptionKind::Zvei, now.date()), zvei);
    writeLines(folder.logFile(ReceptionKind::Pocsag, now.date()), poc);

    std::vector<double> ms;
    std::vector<double> cpuMs;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = threadCpuMs();
        Window w(root);
        w.window.startUp();
        PaintWatch watch(w.window.listsTab()->grid(ReceptionKind::Fms)->viewport());
        w.window.show();
        while (!watch.painted()) {
            QCoreApplication::processEvents();
        }
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        cpuMs.push_back(threadCpuMs() - cpu0);
        if (run == 0) {
            std::printf("rows: FMS %d, ZVEI %d, POCSAG %d; vehicles %d\n", w.monitor.state().lists.fms.rowCount(),
                        w.monitor.state().lists.zvei.rowCount(), w.monitor.state().lists.pocsag.rowCount(),
                        w.monitor.state().vehicles.size());
        }
    }
    printStats("start-up to a drawn window", ms, "ms");
    printStats("  the same in CPU time of the thread", cpuMs, "ms");
    return 0;
}

int rowLatency(int telegrams) {
    QTemporaryDir dir;
    allDecodersOn(dir.path());
    Window w(dir.path());
    w.window.startUp();
    w.window.show();
    QCoreApplication::processEvents();
    ReceptionGrid* grid = w.window.listsTab()->grid(ReceptionKind::Fms);
    PaintWatch watch(grid->viewport());

    test::Signal left = test::silence(0.3);
    for (int i = 0; i < telegrams; ++i) {
        left.append(test::FmsEncoder().telegram({"6234" + std::to_string(5000 + i % 4000), 1 + i % 9, 0, 0, 0}));
        left.append(test::silence(0.25));
    }
    const std::vector<std::int16_t> pcm = test::interleave(test::toPcm(left), {});
    const std::size_t buffers = pcm.size() / kBufferValues;
    std::vector<double> ms;
    std::vector<double> cpuMs;
    std::vector<double> dispatchMs;
    TimePoint time = wallClock();
    for (std::size_t b = 0; b < buffers; ++b) {
        const int rowsBefore = w.monitor.state().lists.fms.rowCount();
        watch.arm();
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = threadCpuMs();
        w.monitor.dispatchBuffer(std::span<const std::int16_t, kBufferValues>(pcm.data() + b * kBufferValues, kBufferValues),
                                 time);
        time += std::chrono::milliseconds(46);
        if (w.monitor.state().lists.fms.rowCount() != rowsBefore) {
            dispatchMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            while (!watch.painted()) {
                QCoreApplication::processEvents();
            }
            ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            cpuMs.push_back(threadCpuMs() - cpu0);
        }
        QCoreApplication::processEvents();
    }
    printStats("  of it: dispatcher and hand-off", dispatchMs, "ms");
    printStats("buffer at the dispatcher to row drawn", ms, "ms");
    printStats("  the same in CPU time of the thread", cpuMs, "ms");
    return 0;
}

int replayFast(const QString& file) {
    QTemporaryDir dir;
    allDecodersOn(dir.path());
    Window w(dir.path());
    w.window.startUp();
    w.window.show();
    QCoreApplication::processEvents();

    // A timer that should tick every 5 ms: the longest gap between two ticks
    // is the longest the window did not answer.
    QElapsedTimer sinceTick;
    sinceTick.start();
    std::vector<double> gaps;
    std::vector<double> cpuGaps;
    double cpuAtTick = threadCpuMs();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        gaps.push_back(static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        const double cpu = threadCpuMs();
        cpuGaps.push_back(cpu - cpuAtTick);
        cpuAtTick = cpu;
        sinceTick.restart();
    });
    ticker.start(5);

    long firstKb = -1;
    std::uint64_t nextSample = 0;
    const std::uint64_t sampleEvery = static_cast<std::uint64_t>(kSampleRate) * 600;
    std::printf("%-12s %-12s %s\n", "audio (min)", "RSS (kB)", "rows FMS/ZVEI/POCSAG");
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const std::uint64_t frames = w.window.capture().replay().framesFed();
        if (frames >= nextSample) {
            const long kb = residentKb();
            if (firstKb < 0) {
                firstKb = kb;
            }
            std::printf("%-12.1f %-12ld %d/%d/%d\n", static_cast<double>(frames) / kSampleRate / 60, kb,
                        w.monitor.state().lists.fms.rowCount(), w.monitor.state().lists.zvei.rowCount(),
                        w.monitor.state().lists.pocsag.rowCount());
            std::fflush(stdout);
            nextSample += sampleEvery;
        }
    });
    sampler.start(50);

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    bool done = false;
    QObject::connect(&w.window.capture(), &CaptureController::replayFinished, [&] { done = true; });
    if (!w.window.capture().startReplay(file, true)) {
        return 1;
    }
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double seconds = static_cast<double>(w.window.capture().replay().framesFed()) / kSampleRate;
    std::printf("%.0f s of audio in %.1f s (%.0fx real time), CPU %.1f s; RSS %ld kB at the end (%+ld kB)\n", seconds,
                static_cast<double>(wall.elapsed()) / 1000, seconds * 1000 / static_cast<double>(wall.elapsed()),
                cpuSeconds() - cpu0, residentKb(), residentKb() - firstKb);
    printStats("event-loop gap (5 ms timer)", gaps, "ms");
    printStats("  the same in CPU time of the thread", cpuGaps, "ms");
    std::printf("receptions: FMS %llu, ZVEI %llu, POCSAG %llu\n",
                static_cast<unsigned long long>(w.monitor.view().receptionsShown(ReceptionKind::Fms)),
                static_cast<unsigned long long>(w.monitor.view().receptionsShown(ReceptionKind::Zvei)),
                static_cast<unsigned long long>(w.monitor.view().receptionsShown(ReceptionKind::Pocsag)));
    return 0;
}

int idleCpu(double seconds) {
    QTemporaryDir dir;
    allDecodersOn(dir.path());
    const QString silence = dir.path() + "/silence.raw";
    {
        QFile f(silence);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(static_cast<qsizetype>(seconds * kSampleRate) * 4, '\0'));
    }
    Window w(dir.path());
    w.window.startUp();
    w.window.show();
    QCoreApplication::processEvents();
    bool done = false;
    QObject::connect(&w.window.capture(), &CaptureController::replayFinished, [&] { done = true; });
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    w.window.capture().startReplay(silence, false);
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double cpu = cpuSeconds() - cpu0;
    std::printf("paced replay of %.0f s of silence, every decoder on: CPU %.2f s in %.1f s = %.2f %% of one core\n",
                seconds, cpu, static_cast<double>(wall.elapsed()) / 1000,
                100.0 * cpu * 1000 / static_cast<double>(wall.elapsed()));
    return 0;
}

/// A window capturing from the private server's VirtualMic.
bool startLive(Window& w) {
    MonitorSettings& settings = w.monitor.state().settings;
    settings.deviceIndex = LiveCapture::findDevice(QString::fromLatin1(test::PulseServer::kCaptureDevice));
    if (settings.deviceIndex < 0 || !w.window.capture().start(settings.deviceIndex)) {
        std::fprintf(stderr, "cannot capture from VirtualMic\n");
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (w.window.capture().live().buffersDispatched() < 20 && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return w.window.capture().live().buffersDispatched() >= 20;
}

int liveLatency(const test::PulseServer& server, int telegrams) {
    QTemporaryDir dir;
    allDecodersOn(dir.path());
    Window w(dir.path());
    w.window.startUp();
    w.window.show();
    if (!startLive(w)) {
        return 1;
    }
    // The end of a transmission lies in the last loud buffer the sound card
    // delivered, at most one buffer (46.4 ms) before that buffer's stamp:
    // the figure is the time from that stamp to the first paint of the grid
    // after the row went in, plus the 46.4 ms, an upper bound. (A null sink
    // renders ahead of the clock, so the start of the player says little.)
    constexpr double kBufferMs = 1000.0 * kBlockFrames / kSampleRate;
    QWidget* viewport = w.window.listsTab()->grid(ReceptionKind::Fms)->viewport();
    bool rowIn = false;
    TimePoint lastLoud{};
    double latency = 0;
    QEventLoop loop;
    QObject::connect(&w.monitor.state().lists.fms, &QAbstractItemModel::rowsInserted, [&] { rowIn = true; });
    QObject::connect(&w.window.capture().live(), &LiveCapture::bufferDispatched,
                     [&](const LevelMeters& m, TimePoint time) {
                         if (m.peakLeft > 2000) {
                             lastLoud = time;
                         }
                     });
    PaintCallback painted(viewport, [&] {
        if (rowIn) {
            latency = static_cast<double>((wallClock() - lastLoud).count()) + kBufferMs;
            loop.quit();
        }
    });
    // One timer, restarted per telegram: a single-shot timer of an earlier
    // telegram would end a later one's wait before its row came.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.setInterval(10000);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    std::vector<double> ms;
    test::FmsEncoder::Options quietAfter;
    quietAfter.tailSeconds = 0.0;
    for (int i = 0; i < telegrams; ++i) {
        test::Signal left = test::silence(0.3);
        left.append(test::FmsEncoder(quietAfter).telegram({"6234" + std::to_string(5000 + i), 1 + i % 9, 0, 0, 0}));
        left.append(test::silence(0.5));
        const std::string wav = dir.path().toStdString() + "/t" + std::to_string(i) + ".wav";
        test::writeRecording(wav, test::interleave(test::toPcm(left), {}), 2, kSampleRate);
        rowIn = false;
        giveUp.start();
        const pid_t player = server.playInBackground(wav);
        loop.exec();
        if (rowIn) {
            ms.push_back(latency);
        }
        // The window keeps running while the player ends: a main thread
        // blocked here would leave the capture's sound waiting (up to a
        // second per telegram) and measure that instead.
        int status = 0;
        while (waitpid(player, &status, WNOHANG) == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    w.window.capture().stop();
    if (ms.empty()) {
        std::fprintf(stderr, "nothing arrived\n");
        return 1;
    }
    printStats("end of transmission to row drawn (live, bound)", ms, "ms");
    if (qEnvironmentVariableIsSet("TOLVANA_BENCH_VERBOSE")) {
        for (const double v : ms) {
            std::printf("%.1f ", v);
        }
        std::printf("\n");
    }
    return 0;
}

int liveIdle(double seconds) {
    QTemporaryDir dir;
    allDecodersOn(dir.path());
    Window w(dir.path());
    w.window.startUp();
    w.window.show();
    if (!startLive(w)) {
        return 1;
    }
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds() - cpu0;
    std::printf("live capture of silence for %.0f s, every decoder on: CPU %.2f s = %.2f %% of one core "
                "(%llu buffers, %llu frames lost)\n",
                static_cast<double>(wall.elapsed()) / 1000, cpu, 100.0 * cpu * 1000 / static_cast<double>(wall.elapsed()),
                static_cast<unsigned long long>(w.window.capture().live().buffersDispatched()),
                static_cast<unsigned long long>(w.window.capture().live().framesLost()));
    w.window.capture().stop();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // A private audio server for the live figures, before Qt looks for one.
    std::unique_ptr<test::PulseServer> server;
    if (argc > 1 && std::string(argv[1]).starts_with("live-")) {
        server = std::make_unique<test::PulseServer>();
        if (!server->start()) {
            std::fprintf(stderr, "no PulseAudio server: %s\n", server->error().c_str());
            return 1;
        }
    }
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString what = args.value(0);
    if (what == QLatin1String("startup")) {
        return startup(args.value(1, QStringLiteral("5")).toInt());
    }
    if (what == QLatin1String("row-latency")) {
        return rowLatency(args.value(1, QStringLiteral("200")).toInt());
    }
    if (what == QLatin1String("replay-fast") && args.size() == 2) {
        return replayFast(args[1]);
    }
    if (what == QLatin1String("idle-cpu")) {
        return idleCpu(args.value(1, QStringLiteral("60")).toDouble());
    }
    if (what == QLatin1String("live-latency")) {
        return liveLatency(*server, args.value(1, QStringLiteral("20")).toInt());
    }
    if (what == QLatin1String("live-idle")) {
        return liveIdle(args.value(1, QStringLiteral("60")).toDouble());
    }
    std::fprintf(stderr, "usage: tolvana_gui_bench startup [RUNS] | row-latency [N] | replay-fast FILE | "
                         "idle-cpu SECONDS | live-latency [N] | live-idle SECONDS\n");
    return 2;
}
