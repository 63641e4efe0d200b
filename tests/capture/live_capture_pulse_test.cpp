// The sound-card input through a real audio server: a private PulseAudio
// whose null sink plays what the "receivers" send and whose capture device
// "VirtualMic" Qt opens. What is captured must decode; a device that goes
// away and an audio server that dies must stop the capture with a message;
// a device that cannot be opened must say so at Start.
//
// Each test gets its own server when CTest runs it (one process per test).
// Tests are skipped, with the reason, where pulseaudio cannot start.
#include "capture/live_capture.h"
#include "support/collecting_sink.h"
#include "support/fms_encoder.h"
#include "support/pulse_server.h"
#include "support/signal.h"
#include "support/zvei_encoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tolvana {
namespace {

test::PulseServer* g_server = nullptr;
std::string g_serverError;

class PulseEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        m_server = std::make_unique<test::PulseServer>();
        if (m_server->start()) {
            g_server = m_server.get();
        } else {
            g_serverError = m_server->error();
        }
    }
    void TearDown() override {
        g_server = nullptr;
        m_server.reset();
    }

private:
    std::unique_ptr<test::PulseServer> m_server;
};

/// Runs the event loop until `done` or `seconds` have passed.
bool waitUntil(const std::function<bool()>& done, int seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class LiveCapturePulse : public ::testing::Test {
protected:
    void SetUp() override {
        if (g_server == nullptr) {
            GTEST_SKIP() << "no PulseAudio server for this test: " << g_serverError;
        }
        m_capture = std::make_unique<LiveCapture>(m_dispatcher);
        QObject::connect(m_capture.get(), &LiveCapture::problem,
                         [this](CaptureProblem p, const QString&) { m_problems.push_back(p); });
        QObject::connect(m_capture.get(), &LiveCapture::stopped, [this] { ++m_stops; });
        QObject::connect(m_capture.get(), &LiveCapture::bufferDispatched,
                         [this](const LevelMeters& m, TimePoint) {
                             m_peakLeft = std::max(m_peakLeft, m.peakLeft);
                             m_peakRight = std::max(m_peakRight, m.peakRight);
                         });
    }

    /// Starts on VirtualMic and waits for its first buffer.
    void startCapturing() {
        const int index =
            LiveCapture::findDevice(QString::fromLatin1(test::PulseServer::kCaptureDevice));
        ASSERT_GE(index, 0) << LiveCapture::inputDevices().join(QStringLiteral(", ")).toStdString();
        ASSERT_TRUE(m_capture->start(index));
        EXPECT_EQ(m_capture->deviceName(), QString::fromLatin1(test::PulseServer::kCaptureDevice));
        ASSERT_TRUE(waitUntil([&] { return m_capture->buffersDispatched() > 0; }, 10))
            << "no sound came";
    }

    test::CollectingSink m_sink;
    Dispatcher m_dispatcher{m_sink, DecoderSwitches::all()};
    std::unique_ptr<LiveCapture> m_capture;
    std::vector<CaptureProblem> m_problems;
    int m_stops = 0;
    int m_peakLeft = 0;
    int m_peakRight = 0;
};

TEST_F(LiveCapturePulse, WhatTheReceiversSendIsDecodedFromBothChannels) {
    // Left receiver: two status telegrams; right receiver: a five-tone call.
    test::Signal left = test::silence(0.3);
    const test::FmsEncoder fms;
    test::FmsFields first;
    first.kennung = "62345671";
    first.status = 3;
    test::FmsFields second = first;
    second.kennung = "62345672";
    second.status = 4;
    left.append(fms.telegram(first));
    left.append(test::silence(0.4));
    left.append(fms.telegram(second));
    left.append(test::silence(1.0));
    const test::Signal right = test::ZveiEncoder().call("21345");
    const std::string wav = g_server->dir() + "/receivers.wav";
    test::writeRecording(wav, test::interleave(test::toPcm(left), test::toPcm(right)), 2,
                         kSampleRate);

    startCapturing();
    ASSERT_TRUE(g_server->play(wav));
    ASSERT_TRUE(waitUntil(
        [&] {
            return m_sink.plausibleFms().size() >= 2 && !m_sink.only<test::ZveiEvent>().empty();
        },
        20))
        << m_sink.events.size() << " receptions, " << m_sink.plausibleFms().size() << " telegrams, "
        << m_sink.only<test::ZveiEvent>().size() << " calls, " << m_capture->buffersDispatched()
        << " buffers";
    m_capture->stop();
    EXPECT_EQ(m_stops, 1);
    EXPECT_FALSE(m_capture->isRunning());
    EXPECT_TRUE(m_problems.empty());

    const auto telegrams = m_sink.plausibleFms();
    ASSERT_EQ(telegrams.size(), 2u);
    EXPECT_EQ(telegrams[0].reception.telegram, first.telegram());
    EXPECT_EQ(telegrams[1].reception.telegram, second.telegram());
    EXPECT_EQ(telegrams[0].side, ChannelSide::Left);
    const auto calls = m_sink.only<test::ZveiEvent>();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].sequence.number, "21345");
    EXPECT_EQ(calls[0].side, ChannelSide::Right);
    EXPECT_GT(m_peakLeft, 10000);
    EXPECT_GT(m_peakRight, 10000);
    EXPECT_EQ(m_capture->framesLost(), 0u);
}

TEST_F(LiveCapturePulse, ADeviceThatGoesAwayStopsTheCaptureAndSaysSo) {
    startCapturing();
    ASSERT_TRUE(g_server->removeCaptureDevice());
    // PulseAudio moves the stream to another source without a word; the
    // capture must notice that its device is gone.
    ASSERT_TRUE(waitUntil([&] { return !m_problems.empty(); }, 15));
    EXPECT_EQ(m_problems, std::vector{CaptureProblem::DeviceLost});
    EXPECT_EQ(m_stops, 1);
    EXPECT_FALSE(m_capture->isRunning());
    g_server->restoreCaptureDevice();
}

TEST_F(LiveCapturePulse, AnAudioServerThatDiesStopsTheCaptureAndNothingOpensAfterwards) {
    startCapturing();
    const int index =
        LiveCapture::findDevice(QString::fromLatin1(test::PulseServer::kCaptureDevice));
    g_server->kill();
    ASSERT_TRUE(waitUntil([&] { return !m_problems.empty(); }, 15));
    EXPECT_EQ(m_problems, std::vector{CaptureProblem::DeviceLost});
    EXPECT_EQ(m_stops, 1);

    // "Start" again: the device may still be listed, but it cannot be opened.
    EXPECT_FALSE(m_capture->start(index));
    EXPECT_EQ(m_problems.back(), CaptureProblem::CannotOpen);
    EXPECT_FALSE(m_capture->isRunning());
}

} // namespace
} // namespace tolvana

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The server comes first: Qt connects to the audio server it finds when
    // the device list is first asked for.
    ::testing::AddGlobalTestEnvironment(new tolvana::PulseEnvironment);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
