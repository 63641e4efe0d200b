// The sound-card input without a sound card: what happens when there is no
// device, and the ring of buffers with its re-entrance guard, fed as the
// device feeds it while a hand-off runs a nested event loop.
#include "capture/live_capture.h"
#include "support/collecting_sink.h"
#include "support/fms_encoder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace tolvana {
namespace {

using namespace std::chrono_literals;

struct Reported {
    CaptureProblem problem;
    QString detail;
};

// Four status telegrams from four vehicles on the left channel, 0.3 s apart.
QByteArray fourTelegrams(std::vector<std::string>& kennungen) {
    test::Signal left;
    const test::FmsEncoder encoder;
    for (int i = 0; i < 4; ++i) {
        test::FmsFields fields;
        fields.kennung = "6234567" + std::to_string(i + 1);
        fields.status = i + 1;
        kennungen.push_back(fields.kennung);
        left.append(encoder.telegram(fields));
        left.append(test::silence(0.3));
    }
    const std::vector<std::int16_t> pcm =
        test::interleave(test::toPcm(left), std::vector<std::int16_t>(left.samples.size(), 0));
    QByteArray bytes(reinterpret_cast<const char*>(pcm.data()),
                     static_cast<qsizetype>(pcm.size() * 2));
    // Whole buffers only, so that every frame reaches the dispatcher.
    bytes.append(QByteArray(kCaptureBufferBytes - bytes.size() % kCaptureBufferBytes, '\0'));
    return bytes;
}

std::vector<std::string> kennungenOf(const test::CollectingSink& sink) {
    std::vector<std::string> out;
    for (const test::FmsEvent& e : sink.plausibleFms()) {
        out.push_back(e.reception.telegram.kennung);
    }
    return out;
}

/// A hand-off that runs a nested event loop on the first telegram, as a
/// message box would, until `done` says it has seen enough.
class NestingSink final : public ReceptionSink {
public:
    std::function<bool()> done; ///< polled in the nested loop
    std::function<void()> entered;
    test::CollectingSink collected;
    bool nested = false;

    void fmsReception(ChannelSide side, const FmsReception& r, TimePoint time) override {
        collected.fmsReception(side, r, time);
        if (nested) {
            return;
        }
        nested = true;
        if (entered) {
            entered();
        }
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) {
                loop.quit();
            }
        });
        poll.start(0);
        loop.exec();
    }
    void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override {
        collected.toneCall(side, tone, time);
    }
    void zveiSequence(ChannelSide side, const ZveiSequence& s, TimePoint time) override {
        collected.zveiSequence(side, s, time);
    }
    void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) override {
        collected.pocsagPage(side, page, time);
    }
};

/// Feeds `bytes` to the capture in pieces of `piece` bytes, one piece per
/// turn of the event loop, as the audio device announces its data (a posted
/// event, which nested event loops deliver too); returns when all is fed.
class Feeder {
public:
    Feeder(LiveCapture& capture, const QByteArray& bytes, int piece)
        : m_capture(capture), m_bytes(bytes), m_piece(piece) {}
    qsizetype fed() const { return m_pos; }
    void run() {
        QEventLoop loop;
        m_loop = &loop;
        step();
        loop.exec();
    }

private:
    void step() {
        if (m_pos >= m_bytes.size()) {
            m_loop->quit();
            return;
        }
        const qsizetype n = std::min<qsizetype>(m_piece, m_bytes.size() - m_pos);
        const QByteArray piece = m_bytes.mid(m_pos, n);
        m_pos += n;
        QMetaObject::invokeMethod(
            m_loop, [this] { step(); }, Qt::QueuedConnection);
        m_capture.feed(piece);
    }

    LiveCapture& m_capture;
    QByteArray m_bytes;
    int m_piece;
    qsizetype m_pos = 0;
    QEventLoop* m_loop = nullptr;
};

TEST(LiveCaptureWithoutSoundCard, NothingIsListedStartSaysWhyAndNothingRuns) {
    test::CollectingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    LiveCapture capture(dispatcher);
    std::vector<CaptureProblem> problems;
    int changes = 0;
    QObject::connect(&capture, &LiveCapture::problem,
                     [&](CaptureProblem p, const QString&) { problems.push_back(p); });
    QObject::connect(&capture, &LiveCapture::started, [&] { ++changes; });
    QObject::connect(&capture, &LiveCapture::stopped, [&] { ++changes; });

    EXPECT_TRUE(LiveCapture::inputDevices().isEmpty());
    EXPECT_TRUE(capture.listInputDevices().isEmpty());
    EXPECT_EQ(LiveCapture::findDevice(QStringLiteral("default")), -1);
    EXPECT_EQ(LiveCapture::findDevice(QStringLiteral("0")), -1);
    EXPECT_FALSE(capture.start(-1));
    EXPECT_FALSE(capture.start(0));
    EXPECT_FALSE(capture.isRunning());
    capture.stop(); // nothing open: nothing happens
    EXPECT_EQ(problems, (std::vector{CaptureProblem::NoDevice, CaptureProblem::NoDeviceChosen,
                                     CaptureProblem::CannotOpen}));
    EXPECT_EQ(changes, 0);

    // The user sees these exact texts and titles.
    const CaptureMessage none = captureMessage(CaptureProblem::NoDevice);
    EXPECT_EQ(none.title, QStringLiteral("Achtung!"));
    EXPECT_EQ(none.text, QStringLiteral("Keine Soundkarte (Input-Device)!"));
    EXPECT_EQ(none.icon, CaptureMessage::Icon::Critical);
    EXPECT_EQ(captureMessage(CaptureProblem::NoDeviceChosen).text,
              QStringLiteral("Es wurde noch keine Soundkarte selektiert"));
    const CaptureMessage busy = captureMessage(CaptureProblem::CannotOpen);
    EXPECT_EQ(busy.title, QStringLiteral("Achtung:"));
    EXPECT_EQ(busy.text,
              QStringLiteral(
                  "Soundkarte kann nicht geöffnet werden ! (von anderem Programm in Benutzung ?)"));
    EXPECT_TRUE(captureMessage(CaptureProblem::DeviceLost, QStringLiteral("USB Audio"))
                    .text.contains(QStringLiteral("\"USB Audio\"")));
}

TEST(LiveCaptureRing, BuffersArrivingInANestedEventLoopWaitAndFollowInOrder) {
    std::vector<std::string> sent;
    const QByteArray sound = fourTelegrams(sent);
    NestingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    LiveCapture capture(dispatcher);
    std::vector<TimePoint> times;
    std::vector<CaptureProblem> problems;
    QObject::connect(&capture, &LiveCapture::bufferDispatched,
                     [&](const LevelMeters&, TimePoint t) { times.push_back(t); });
    QObject::connect(&capture, &LiveCapture::problem,
                     [&](CaptureProblem p, const QString&) { problems.push_back(p); });

    // Pieces of an odd size, so buffers are completed in the middle of a piece.
    Feeder feeder(capture, sound, 1001);
    std::uint64_t dispatchedAtEntry = 0;
    qsizetype fedAtEntry = 0;
    bool heldBack = true;
    sink.entered = [&] {
        dispatchedAtEntry = capture.buffersDispatched();
        fedAtEntry = feeder.fed();
    };
    // The message box stays open while eight more buffers arrive.
    sink.done = [&] {
        heldBack = heldBack && capture.buffersDispatched() == dispatchedAtEntry && capture.isBusy();
        return feeder.fed() - fedAtEntry >= 8 * kCaptureBufferBytes || feeder.fed() == sound.size();
    };
    feeder.run();

    EXPECT_TRUE(sink.nested);
    EXPECT_TRUE(heldBack) << "a buffer was processed inside the hand-off of another";
    EXPECT_EQ(capture.buffersDispatched(),
              static_cast<std::uint64_t>(sound.size() / kCaptureBufferBytes));
    EXPECT_EQ(capture.framesLost(), 0u);
    EXPECT_TRUE(problems.empty());
    // Lost, repeated or reordered buffers would break telegrams or repeat them.
    EXPECT_EQ(kennungenOf(sink.collected), sent);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
}

TEST(LiveCaptureRing, AFullRingLosesTheRestCountsItAndSaysSoOnceCaughtUp) {
    std::vector<std::string> sent;
    const QByteArray sound = fourTelegrams(sent);
    NestingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    LiveCapture capture(dispatcher); // ten buffers
    std::vector<Reported> problems;
    QObject::connect(&capture, &LiveCapture::problem, [&](CaptureProblem p, const QString& detail) {
        problems.push_back({p, detail});
        // Reported after the catch-up, not from inside the blocked hand-off.
        EXPECT_FALSE(capture.isBusy());
    });

    Feeder feeder(capture, sound, kCaptureBufferBytes);
    qsizetype fedAtEntry = 0;
    sink.entered = [&] { fedAtEntry = feeder.fed(); };
    sink.done = [&] { return feeder.fed() - fedAtEntry >= 15 * kCaptureBufferBytes; };
    feeder.run();

    ASSERT_TRUE(sink.nested);
    // Ten buffers waited; the five after them had nowhere to go.
    EXPECT_EQ(capture.framesLost(), 5u * kBlockFrames);
    EXPECT_EQ(capture.buffersDispatched(),
              static_cast<std::uint64_t>(sound.size() / kCaptureBufferBytes - 5));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].problem, CaptureProblem::Overrun);
    EXPECT_EQ(problems[0].detail, QStringLiteral("0,2")); // 5120 frames = 0.23 s
    // The first telegram was handed on before the loss, none twice.
    const std::vector<std::string> got = kennungenOf(sink.collected);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), sent.front());
    EXPECT_EQ(std::set<std::string>(got.begin(), got.end()).size(), got.size());
}

TEST(LiveCaptureRing, ALongPieceGoesOnWholeEachBufferStampedWhenItsLastFrameCame) {
    test::CollectingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches{});
    LiveCapture capture(dispatcher);
    std::vector<TimePoint> times;
    QObject::connect(&capture, &LiveCapture::bufferDispatched,
                     [&](const LevelMeters&, TimePoint t) { times.push_back(t); });
    const TimePoint t0{std::chrono::milliseconds(1'700'000'000'000)};
    // An audio server that was held up delivers more than the ring holds in
    // one piece: 12.5 buffers. Nothing is in hand, so nothing may be lost.
    // The first buffer was complete 11.5 buffers (534 ms) before the piece
    // came, the last one half a buffer (23 ms) before.
    capture.feed(QByteArray(12 * kCaptureBufferBytes + kCaptureBufferBytes / 2, '\0'), t0);
    capture.feed(QByteArray(kCaptureBufferBytes / 2, '\0'), t0 + 50ms);
    EXPECT_EQ(capture.framesLost(), 0u);
    ASSERT_EQ(times.size(), 13u);
    EXPECT_EQ(times.front(), t0 - 534ms);
    EXPECT_EQ(times[11], t0 - 23ms);
    EXPECT_EQ(times[12], t0 + 50ms);
}

} // namespace
} // namespace tolvana

int main(int argc, char** argv) {
    // No audio server may answer, whatever runs on this machine.
    setenv("PULSE_SERVER", "unix:/nonexistent/tolvana-no-audio-server", 1);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
