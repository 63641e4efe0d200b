// A private Mosquitto broker for one test (on a free 127.0.0.1 port, in a
// folder of its own, stopped by its PID) and a subscriber that records what
// reaches it. Tests skip when the broker is not installed.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

namespace tolvana::test {

/// Path of the mosquitto broker, or empty when it is not installed.
std::string mosquittoBinary();

struct BrokerOptions {
    bool persistence = false;  ///< keep retained messages and sessions over a restart
    std::string user;          ///< with `password`: anonymous clients refused
    std::string password;
    bool tls = false;          ///< a TLS listener with a certificate for 127.0.0.1
};

class Broker {
public:
    explicit Broker(BrokerOptions options = {});
    ~Broker();
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    /// Starts (or starts again, on the same port) and waits until it accepts
    /// connections. False with the broker's log in `error` when it does not.
    bool start(std::string* error = nullptr);
    /// SIGTERM and wait: the broker saves its store (with persistence) and ends.
    void stop();
    bool running() const { return m_pid > 0; }

    int port() const { return m_port; }
    const std::string& dir() const { return m_dir; }
    /// The CA certificate that signed the TLS listener's certificate.
    std::string caFile() const { return m_dir + "/ca.pem"; }

private:
    BrokerOptions m_options;
    std::string m_dir;
    int m_port = 0;
    pid_t m_pid = -1;
};

struct Received {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class Subscriber {
public:
    /// `clientId` empty: a fresh clean session; otherwise a persistent
    /// session that the broker keeps (with its queued messages) while the
    /// subscriber is away.
    explicit Subscriber(int port, std::string clientId = {});
    ~Subscriber();
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    /// Connects and subscribes to `filter` with QoS 1; returns once the
    /// broker has confirmed the subscription.
    bool subscribe(const std::string& filter);
    void disconnect();

    /// Waits until the broker has handled everything this subscriber sent
    /// before (acknowledgements included): a QoS 1 message of its own comes
    /// back acknowledged only after them.
    bool barrier();

    std::vector<Received> messages() const;
    /// Waits (bounded) until at least `count` messages have arrived.
    bool waitForCount(std::size_t count, int boundMs = 15000) const;

private:
    static void onMessage(mosquitto*, void* self, const void* message);

    int m_port;
    std::string m_clientId;
    mosquitto* m_client = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Received> m_messages;
    int m_subscribed = 0;
    int m_acknowledged = 0;
};

} // namespace tolvana::test
