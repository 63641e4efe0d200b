#include "export/mqtt_export.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "export/reception_json.h"

namespace tolvana {

namespace {

constexpr int kKeepAliveSeconds = 30;
// How long the network thread sleeps in the library waiting for traffic; a
// message handed on from another thread wakes it at once.
constexpr int kLoopTimeoutMs = 200;
constexpr int kOfflineWaitMs = 1000;

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// A Kennung comes from the air: whatever a topic level cannot hold becomes "_".
std::string topicLevel(const std::string& text) {
    std::string level = text.empty() ? std::string("_") : text;
    for (char& c : level) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '+' || c == '#' || c == '/' || u < 0x20 || u == 0x7F) {
            c = '_';
        }
    }
    return level;
}

// The statuses that move a vehicle on the board: its own reports 1..9 but 5
// (a request to speak says nothing of where the vehicle is).
bool setsVehicleStatus(const FmsTelegram& telegram) {
    return telegram.richtung == 0 && telegram.status >= 1 && telegram.status <= 9 &&
           telegram.status != 5;
}

} // namespace

MqttExport::MqttExport(Logger logger) : m_logger(std::move(logger)) {}

MqttExport::~MqttExport() {
    stop(0);
}

void MqttExport::setReconnectDelay(unsigned first, unsigned longest) {
    m_delayFirst = std::max(first, 1U);
    m_delayLongest = std::max(longest, m_delayFirst);
}

void MqttExport::log(const std::string& line) const {
    if (m_logger) {
        m_logger("MQTT: " + line);
    }
}

bool MqttExport::start(const MqttSettings& settings, std::string* error) {
    if (m_client != nullptr) {
        *error = "already started";
        return false;
    }
    if (const QString problem = mqttSettingsProblem(settings); !problem.isEmpty()) {
        *error = "unusable settings: " + problem.toStdString();
        return false;
    }
    initLibrary();
    m_station = effectiveStation(settings).toStdString();
    m_base = settings.prefix.toStdString() + "/" + m_station;
    const std::string host = settings.host.trimmed().toStdString();
    m_broker = host + ":" + std::to_string(settings.port);
    m_limit = static_cast<std::size_t>(settings.queueLimit);

    // A random client id with a clean session: two monitors with the same
    // station name never throw each other off the broker.
    m_client = mosquitto_new(nullptr, true, this);
    if (m_client == nullptr) {
        *error = "cannot create the client";
        return false;
    }
    const auto fail = [&](const std::string& what, int rc) {
        *error = what + ": " + mosquitto_strerror(rc);
        mosquitto_destroy(m_client);
        m_client = nullptr;
        return false;
    };
    mosquitto_threaded_set(m_client, true);
    mosquitto_max_inflight_messages_set(m_client, kMqttInflight);
    if (!settings.username.isEmpty()) {
        const std::string user = settings.username.toStdString();
        const std::string password = settings.password.toStdString();
        if (const int rc = mosquitto_username_pw_set(
                m_client, user.c_str(), settings.password.isEmpty() ? nullptr : password.c_str());
            rc != MOSQ_ERR_SUCCESS) {
            return fail("user name", rc);
        }
    }
    const std::string onlineTopic = m_base + "/online";
    if (const int rc = mosquitto_will_set(m_client, onlineTopic.c_str(), 5, "false", 1, true);
        rc != MOSQ_ERR_SUCCESS) {
        return fail("last will", rc);
    }
    if (settings.tls) {
        const std::string ca = settings.caFile.toStdString();
        const std::string cert = settings.certFile.toStdString();
        const std::string key = settings.keyFile.toStdString();
        // Without a CA file of its own the broker's certificate is checked
        // against the system's (ca-certificates).
        const int rc = mosquitto_tls_set(m_client, ca.empty() ? nullptr : ca.c_str(),
                                         ca.empty() ? "/etc/ssl/certs" : nullptr,
                                         cert.empty() ? nullptr : cert.c_str(),
                                         key.empty() ? nullptr : key.c_str(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            return fail("TLS files (CA " + (ca.empty() ? std::string("/etc/ssl/certs") : ca) +
                            (cert.empty() ? std::string() : ", certificate " + cert) + ")",
                        rc);
        }
    }
    mosquitto_connect_callback_set(m_client, &MqttExport::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttExport::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttExport::onPublish);
    mosquitto_log_callback_set(m_client, &MqttExport::onLog);

    {
        // Started again (new settings): the board stays and is published
        // under the new topics once connected.
        const std::lock_guard lock(m_mutex);
        m_quit = false;
        m_stopping = false;
        m_lastRefusal = 0;
        m_reportedErrors.clear();
        m_droppedSinceReport = 0;
    }
    m_thread = std::thread([this, host, port = settings.port] { run(host, port); });
    return true;
}

void MqttExport::run(const std::string& host, int port) {
    unsigned delay = m_delayFirst;
    int rc = mosquitto_connect_async(m_client, host.c_str(), port, kKeepAliveSeconds);
    for (;;) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_quit) {
                return;
            }
        }
        if (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop(m_client, kLoopTimeoutMs, 1);
            if (rc == MOSQ_ERR_SUCCESS) {
                const std::lock_guard lock(m_mutex);
                if (m_connected) {
                    delay = m_delayFirst;
                }
                continue;
            }
        }
        // No connection (refused, lost, or the broker not there): wait, then
        // try again, each time twice as long up to the longest delay.
        {
            std::unique_lock lock(m_mutex);
            m_connected = false;
            if (m_quit) {
                return;
            }
            if (rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_EAI || rc == MOSQ_ERR_TLS) {
                std::string why = rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno))
                                                       : std::string(mosquitto_strerror(rc));
                if (!why.empty() && why.back() == '.') {
                    why.pop_back();
                }
                if (m_reportedErrors.insert(why).second) {
                    lock.unlock();
                    log("no connection to " + m_broker + ": " + why + "; trying again, keeping up to " +
                        std::to_string(m_limit) + " receptions meanwhile");
                    lock.lock();
                }
            }
            m_changed.wait_for(lock, std::chrono::seconds(delay), [this] { return m_quit; });
            if (m_quit) {
                return;
            }
        }
        delay = std::min(delay * 2, m_delayLongest);
        rc = mosquitto_reconnect_async(m_client);
    }
}

void MqttExport::onConnect(mosquitto*, void* self, int result) {
    auto* me = static_cast<MqttExport*>(self);
    std::string line;
    {
        const std::lock_guard lock(me->m_mutex);
        if (result != 0) {
            ++me->m_counters.refusals;
            // A wrong password is refused on every attempt: said once.
            if (result != me->m_lastRefusal) {
                me->m_lastRefusal = result;
                line = "the broker " + me->m_broker + " refused the connection: " +
                       mosquitto_connack_string(result) + "; trying again with back-off";
            }
        } else {
            me->m_connected = true;
            me->m_lastRefusal = 0;
            me->m_reportedErrors.clear();
            ++me->m_counters.connects;
            me->m_onlinePending = true;
            for (const auto& [kennung, payload] : me->m_board) {
                me->m_boardPending.insert(kennung);
            }
            line = (me->m_counters.connects == 1 ? "connected to " : "connected again to ") +
                   me->m_broker + ", topics " + me->m_base + "/...";
            if (me->m_droppedSinceReport > 0) {
                line += "; " + std::to_string(me->m_droppedSinceReport) +
                        " receptions were dropped while the broker was away (queue limit " +
                        std::to_string(me->m_limit) + ")";
                me->m_droppedSinceReport = 0;
            }
        }
        me->m_changed.notify_all();
    }
    if (!line.empty()) {
        me->log(line);
    }
    if (result == 0) {
        me->pump();
    }
}

void MqttExport::onDisconnect(mosquitto*, void* self, int result) {
    auto* me = static_cast<MqttExport*>(self);
    bool report = false;
    {
        const std::lock_guard lock(me->m_mutex);
        report = me->m_connected && result != 0 && !me->m_stopping;
        me->m_connected = false;
        me->m_changed.notify_all();
    }
    if (report) {
        me->log("connection to " + me->m_broker + " lost; reconnecting, keeping up to " +
                std::to_string(me->m_limit) + " receptions meanwhile");
    }
}

void MqttExport::onPublish(mosquitto*, void* self, int mid) {
    auto* me = static_cast<MqttExport*>(self);
    me->acknowledged(mid);
    me->pump();
}

void MqttExport::onLog(mosquitto*, void* self, int level, const char* text) {
    if (level != MOSQ_LOG_ERR || text == nullptr) {
        return;
    }
    auto* me = static_cast<MqttExport*>(self);
    {
        const std::lock_guard lock(me->m_mutex);
        // A broker that fails the same way on every attempt is reported once.
        if (!me->m_reportedErrors.insert(text).second) {
            return;
        }
    }
    me->log(text);
}

void MqttExport::acknowledged(int mid) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_inflight.find(mid);
    if (it == m_inflight.end()) {
        // The broker was quicker than publish() returning to pump().
        m_earlyAcks.insert(mid);
    } else {
        if (it->second.kind == Kind::Reception) {
            ++m_counters.acknowledged;
        }
        m_inflight.erase(it);
    }
    m_changed.notify_all();
}

void MqttExport::pump() {
    if (m_client == nullptr) {
        return;
    }
    const std::lock_guard send(m_sendMutex);
    for (;;) {
        Message message;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_connected || m_inflight.size() >= static_cast<std::size_t>(kMqttInflight)) {
                return;
            }
            if (m_onlinePending) {
                m_onlinePending = false;
                message = Message{m_base + "/online", "true", Kind::Online, {}};
            } else if (!m_queue.empty()) {
                message = std::move(m_queue.front());
                m_queue.pop_front();
            } else if (!m_boardPending.empty()) {
                const auto first = m_boardPending.begin();
                message = Message{m_base + "/vehicle/" + topicLevel(*first), m_board[*first],
                                  Kind::Vehicle, *first};
                m_boardPending.erase(first);
            } else {
                return;
            }
        }
        int mid = 0;
        const int rc = mosquitto_publish(m_client, &mid, message.topic.c_str(),
                                         static_cast<int>(message.payload.size()),
                                         message.payload.data(), 1, message.kind != Kind::Reception);
        const std::lock_guard lock(m_mutex);
        if (rc != MOSQ_ERR_SUCCESS) {
            if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NOMEM) {
                // Back where it was; sent after the next connect.
                switch (message.kind) {
                case Kind::Reception:
                    m_queue.push_front(std::move(message));
                    break;
                case Kind::Vehicle:
                    m_boardPending.insert(message.kennung);
                    break;
                case Kind::Online:
                    m_onlinePending = true;
                    break;
                }
                return;
            }
            // The broker can never take it (too large, say): counted as lost.
            if (message.kind == Kind::Reception) {
                ++m_counters.dropped;
            }
            continue;
        }
        if (m_earlyAcks.erase(mid) > 0) {
            if (message.kind == Kind::Reception) {
                ++m_counters.acknowledged;
            }
            m_changed.notify_all();
            continue;
        }
        m_inflight.emplace(mid, std::move(message));
    }
}

void MqttExport::enqueue(const char* kind, std::string payload) {
    bool firstDrop = false;
    {
        const std::lock_guard lock(m_mutex);
        if (m_client == nullptr || m_stopping) {
            return;
        }
        if (m_queue.size() >= m_limit) {
            // The freshest news matters most to a control room: the oldest
            // reception makes room.
            m_queue.pop_front();
            ++m_counters.dropped;
            firstDrop = m_droppedSinceReport++ == 0;
        }
        m_queue.push_back(Message{m_base + "/" + kind, std::move(payload), Kind::Reception, {}});
    }
    if (firstDrop) {
        log("queue full (" + std::to_string(m_limit) +
            " receptions): dropping the oldest until the broker " + m_broker + " takes them again");
    }
    pump();
}

void MqttExport::fms(ChannelSide side, const FmsTelegram& telegram, const std::string& followUpText,
                     const std::string& rufname, TimePoint time) {
    if (m_client == nullptr) {
        return; // not started: nothing to build
    }
    QJsonObject o = fmsJson(side, telegram, followUpText, rufname, time);
    o.insert(QStringLiteral("station"), QString::fromStdString(m_station));
    std::string payload = compactJson(o);
    if (setsVehicleStatus(telegram)) {
        bool full = false;
        {
            const std::lock_guard lock(m_mutex);
            const auto it = m_board.find(telegram.kennung);
            if (it != m_board.end()) {
                it->second = payload;
                m_boardPending.insert(telegram.kennung);
            } else if (m_board.size() < kMqttMaxVehicles) {
                m_board.emplace(telegram.kennung, payload);
                m_boardPending.insert(telegram.kennung);
            } else {
                full = !std::exchange(m_reportedMaxVehicles, true);
            }
        }
        if (full) {
            log("more than " + std::to_string(kMqttMaxVehicles) +
                " vehicles: further vehicles are not kept on the retained board");
        }
    }
    enqueue("fms", std::move(payload));
}

void MqttExport::tone(ChannelSide side, ToneCall tone, TimePoint time) {
    if (m_client == nullptr) {
        return;
    }
    QJsonObject o = toneJson(side, tone, time);
    o.insert(QStringLiteral("station"), QString::fromStdString(m_station));
    enqueue("tone", compactJson(o));
}

void MqttExport::zvei(ChannelSide side, const std::string& number, const std::string& name,
                      TimePoint time) {
    if (m_client == nullptr) {
        return;
    }
    QJsonObject o = zveiJson(side, number, name, time);
    o.insert(QStringLiteral("station"), QString::fromStdString(m_station));
    enqueue("zvei", compactJson(o));
}

void MqttExport::pocsag(ChannelSide side, const PocsagPage& page, const std::string& name,
                        TimePoint time) {
    if (m_client == nullptr) {
        return;
    }
    QJsonObject o = pocsagJson(side, page, name, time);
    o.insert(QStringLiteral("station"), QString::fromStdString(m_station));
    enqueue("pocsag", compactJson(o));
}

bool MqttExport::waitUntil(int timeoutMs, const std::function<bool()>& done) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), done);
}

bool MqttExport::waitForConnected(int timeoutMs) {
    return waitUntil(timeoutMs, [this] { return m_connected; });
}

bool MqttExport::flush(int timeoutMs) {
    return waitUntil(timeoutMs, [this] {
        return m_queue.empty() && m_boardPending.empty() && m_inflight.empty();
    });
}

bool MqttExport::stop(int timeoutMs) {
    if (m_client == nullptr) {
        return true;
    }
    const bool delivered = flush(timeoutMs);
    bool wasConnected = false;
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        wasConnected = m_connected;
    }
    if (wasConnected) {
        // Said by us on a clean stop; the broker says it for us (last will)
        // when the program vanishes.
        int mid = 0;
        if (mosquitto_publish(m_client, &mid, (m_base + "/online").c_str(), 5, "false", 1, true) ==
            MOSQ_ERR_SUCCESS) {
            {
                const std::lock_guard lock(m_mutex);
                if (m_earlyAcks.erase(mid) == 0) {
                    m_inflight.emplace(mid, Message{{}, {}, Kind::Online, {}});
                }
            }
            waitUntil(kOfflineWaitMs, [this, mid] { return m_inflight.count(mid) == 0; });
        }
        mosquitto_disconnect(m_client);
        waitUntil(kOfflineWaitMs, [this] { return !m_connected; });
    }
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::size_t left = 0;
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& [mid, message] : m_inflight) {
            left += message.kind == Kind::Reception ? 1 : 0;
        }
        left += m_queue.size();
        m_queue.clear();
        m_inflight.clear();
        m_earlyAcks.clear();
        m_connected = false;
    }
    mosquitto_destroy(m_client);
    m_client = nullptr;
    if (left > 0) {
        log(std::to_string(left) + " receptions could not be delivered to " + m_broker);
    }
    return delivered && left == 0;
}

MqttExport::Counters MqttExport::counters() const {
    const std::lock_guard lock(m_mutex);
    Counters c = m_counters;
    c.waiting = m_queue.size();
    for (const auto& [mid, message] : m_inflight) {
        c.waiting += message.kind == Kind::Reception ? 1 : 0;
    }
    return c;
}

bool MqttExport::connected() const {
    const std::lock_guard lock(m_mutex);
    return m_connected;
}

} // namespace tolvana
