// MQTT export: every reception as a JSON message to a broker, for dashboards
// and for receivers at several sites that feed one picture.
//
//   <prefix>/<station>/fms|zvei|pocsag|tone    one message per reception (QoS 1):
//                                              the object `tolvana-decode --json`
//                                              prints, plus "station"
//   <prefix>/<station>/vehicle/<Kennung>       the vehicle's current status,
//                                              retained (the FMS object of the
//                                              report that set it)
//   <prefix>/<station>/online                  "true" while connected, "false"
//                                              (retained; the broker sends it
//                                              as last will when we vanish)
//
// Decoding never waits for the network. A reception only takes the lock to
// append to a queue; a network thread of the export's own runs libmosquitto
// (non-blocking connects, reconnects with a doubling back-off that stop() can
// cut short) and sends. At most kMqttInflight messages are handed to the
// library at a time (they are re-sent by it after a reconnect until the
// broker acknowledges them); the rest wait in our queue of `queueLimit`
// receptions. While the broker is away the queue fills; once full, the
// oldest reception is dropped for each new one, and the drops are counted and
// reported when the connection is back. The order of one station's messages
// is kept, as only one thread hands messages on at a time.
//
// The vehicle statuses are kept too (one per Kennung), and all of them are
// published again after every connect: a broker restarted without its
// retained store shows the whole board again at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "export/reception_export.h"
#include "records/mqtt_settings.h"

struct mosquitto;

namespace tolvana {

/// Messages handed to the library and not yet acknowledged, at most.
inline constexpr int kMqttInflight = 20;
/// Vehicles whose status is kept for republishing (the board has at most
/// 10 x 20 fields on 30 pages); further ones are published but not kept.
inline constexpr std::size_t kMqttMaxVehicles = 10000;

/// The receptions, start() and stop() come from one thread (the hand-off's);
/// the counters and waits may be read from any.
class MqttExport final : public ReceptionExport {
public:
    /// Receives one English diagnostic line (no "MQTT:" prefix needed, it is
    /// there). Called from the network thread as well: it must be
    /// thread-safe (writing to standard error is).
    using Logger = std::function<void(const std::string&)>;

    explicit MqttExport(Logger logger = {});
    ~MqttExport() override;

    MqttExport(const MqttExport&) = delete;
    MqttExport& operator=(const MqttExport&) = delete;

    /// Reconnect back-off in seconds: first delay, and the longest (the delay
    /// doubles up to it). 1 and 30 unless set before start().
    void setReconnectDelay(unsigned first, unsigned longest);

    /// Starts connecting to the broker of `settings` (its station, or the
    /// host name) in the background; after stop() it may start again with
    /// new settings. Receptions given while it is not started are ignored. False with `error` (English) when the
    /// settings are unusable or the library refuses them (a TLS file that
    /// cannot be read).
    bool start(const MqttSettings& settings, std::string* error);
    /// Waits at most `timeoutMs` until everything queued has been
    /// acknowledged by the broker, says "offline" and disconnects. Returns
    /// whether nothing was left undelivered.
    bool stop(int timeoutMs);

    /// Waits at most `timeoutMs` for the connection; whether it stands.
    bool waitForConnected(int timeoutMs);
    /// Waits at most `timeoutMs` until the queue is empty and every message
    /// has been acknowledged.
    bool flush(int timeoutMs);

    void fms(ChannelSide side, const FmsTelegram& telegram, const std::string& followUpText,
             const std::string& rufname, TimePoint time) override;
    void tone(ChannelSide side, ToneCall tone, TimePoint time) override;
    void zvei(ChannelSide side, const std::string& number, const std::string& name,
              TimePoint time) override;
    void pocsag(ChannelSide side, const PocsagPage& page, const std::string& name,
                TimePoint time) override;

    struct Counters {
        std::uint64_t acknowledged = 0; ///< receptions the broker has taken
        std::uint64_t dropped = 0;      ///< receptions lost to the queue bound
        std::size_t waiting = 0;        ///< receptions queued or in flight
        int connects = 0;               ///< successful connects so far
        int refusals = 0;               ///< connects the broker refused
    };
    Counters counters() const;
    bool connected() const;

    /// "<prefix>/<station>".
    const std::string& topicBase() const { return m_base; }

private:
    enum class Kind { Reception, Vehicle, Online };

    struct Message {
        std::string topic;
        std::string payload;
        Kind kind = Kind::Reception;
        std::string kennung; ///< a vehicle status: whose
    };

    static void onConnect(mosquitto* client, void* self, int result);
    static void onDisconnect(mosquitto* client, void* self, int result);
    static void onPublish(mosquitto* client, void* self, int mid);
    static void onLog(mosquitto* client, void* self, int level, const char* text);

    void run(const std::string& host, int port);
    void enqueue(const char* kind, std::string payload);
    void pump();
    void log(const std::string& line) const;
    void acknowledged(int mid);
    bool waitUntil(int timeoutMs, const std::function<bool()>& done);

    Logger m_logger;
    mosquitto* m_client = nullptr;
    std::thread m_thread;
    unsigned m_delayFirst = 1;
    unsigned m_delayLongest = 30;
    std::string m_base;
    std::string m_station;
    std::string m_broker; ///< "host:port" for messages
    std::size_t m_limit = kMqttDefaultQueue;

    // Held while messages are taken from the queue and handed to the
    // library, so that two threads never hand them on out of order.
    std::mutex m_sendMutex;
    mutable std::mutex m_mutex; // everything below
    std::condition_variable m_changed;
    std::deque<Message> m_queue;
    std::map<int, Message> m_inflight;
    std::set<int> m_earlyAcks; ///< acknowledged before publish() told us the id
    std::map<std::string, std::string> m_board;
    std::set<std::string> m_boardPending; ///< statuses still to be published
    bool m_connected = false;
    bool m_onlinePending = false;
    bool m_quit = false;       ///< the network thread ends
    bool m_stopping = false;   ///< a disconnect now is ours
    bool m_reportedMaxVehicles = false;
    int m_lastRefusal = 0;
    std::set<std::string> m_reportedErrors; ///< said since the last connect
    std::uint64_t m_droppedSinceReport = 0;
    Counters m_counters;
};

} // namespace tolvana
