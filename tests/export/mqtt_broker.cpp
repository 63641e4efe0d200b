#include "mqtt_broker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mosquitto.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace tolvana::test {

namespace {

namespace fs = std::filesystem;

using Clock = std::chrono::steady_clock;

template <typename Condition> bool waitUntil(Condition condition, int boundMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

int run(const std::vector<std::string>& args, const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

std::string mosquittoBinary() {
    for (const char* candidate : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto", "/usr/local/sbin/mosquitto"}) {
        if (::access(candidate, X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

Broker::Broker(BrokerOptions options) : m_options(std::move(options)) {
    std::string pattern = (fs::temp_directory_path() / "tolvana-broker-XXXXXX").string();
    m_dir = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    // Started as root, the broker runs as the user "mosquitto": its folder
    // and files must be open to others, and its store writable.
    ::chmod(m_dir.c_str(), 0777);
    m_port = freePort();
}

Broker::~Broker() {
    stop();
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
}

bool Broker::start(std::string* error) {
    const std::string binary = mosquittoBinary();
    const std::string conf = m_dir + "/broker.conf";
    const std::string log = m_dir + "/broker.log";
    std::ofstream out(conf);
    out << "listener " << m_port << " 127.0.0.1\n";
    if (m_options.persistence) {
        out << "persistence true\npersistence_location " << m_dir << "/\n";
    } else {
        out << "persistence false\n";
    }
    if (!m_options.user.empty()) {
        const std::string passwords = m_dir + "/passwords";
        if (!fs::exists(passwords)) {
            run({"/usr/bin/mosquitto_passwd", "-c", "-b", passwords, m_options.user, m_options.password}, log);
            ::chmod(passwords.c_str(), 0644);
        }
        out << "allow_anonymous false\npassword_file " << passwords << "\n";
    } else {
        out << "allow_anonymous true\n";
    }
    if (m_options.tls) {
        const std::string d = m_dir + "/";
        if (!fs::exists(d + "server.pem")) {
            run({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                 "/CN=tolvana test CA", "-keyout", d + "ca.key", "-out", d + "ca.pem"},
                log);
            run({"/usr/bin/openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                 "-keyout", d + "server.key", "-out", d + "server.csr"},
                log);
            std::ofstream(d + "san.ext") << "subjectAltName=IP:127.0.0.1\n";
            run({"/usr/bin/openssl", "x509", "-req", "-in", d + "server.csr", "-CA", d + "ca.pem", "-CAkey",
                 d + "ca.key", "-CAcreateserial", "-days", "2", "-extfile", d + "san.ext", "-out",
                 d + "server.pem"},
                log);
            for (const char* name : {"ca.pem", "server.pem", "server.key"}) {
                ::chmod((d + name).c_str(), 0644);
            }
        }
        out << "cafile " << d << "ca.pem\ncertfile " << d << "server.pem\nkeyfile " << d << "server.key\n";
    }
    out.close();
    ::chmod(conf.c_str(), 0644);

    std::vector<std::string> args = {binary, "-c", conf};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        if (error != nullptr) {
            *error = "cannot start " + binary;
        }
        return false;
    }
    const bool up = waitUntil(
        [&] {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return true;
            }
            return accepts(m_port);
        },
        10000);
    if (!up || m_pid < 0) {
        if (error != nullptr) {
            *error = "the broker did not come up:\n" + readAll(log);
        }
        stop();
        return false;
    }
    return true;
}

void Broker::stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

Subscriber::Subscriber(int port, std::string clientId) : m_port(port), m_clientId(std::move(clientId)) {
    initLibrary();
}

Subscriber::~Subscriber() {
    disconnect();
}

void Subscriber::onMessage(mosquitto*, void* self, const void* raw) {
    auto* me = static_cast<Subscriber*>(self);
    const auto* message = static_cast<const mosquitto_message*>(raw);
    Received r;
    r.topic = message->topic;
    r.payload.assign(static_cast<const char*>(message->payload), static_cast<std::size_t>(message->payloadlen));
    r.retained = message->retain;
    const std::lock_guard lock(me->m_mutex);
    me->m_messages.push_back(std::move(r));
}

bool Subscriber::subscribe(const std::string& filter) {
    disconnect();
    m_client = mosquitto_new(m_clientId.empty() ? nullptr : m_clientId.c_str(), m_clientId.empty(), this);
    mosquitto_message_callback_set(m_client, [](mosquitto* c, void* self, const mosquitto_message* m) {
        onMessage(c, self, m);
    });
    mosquitto_subscribe_callback_set(m_client, [](mosquitto*, void* self, int, int, const int*) {
        auto* me = static_cast<Subscriber*>(self);
        const std::lock_guard lock(me->m_mutex);
        ++me->m_subscribed;
    });
    mosquitto_publish_callback_set(m_client, [](mosquitto*, void* self, int) {
        auto* me = static_cast<Subscriber*>(self);
        const std::lock_guard lock(me->m_mutex);
        ++me->m_acknowledged;
    });
    if (mosquitto_connect(m_client, "127.0.0.1", m_port, 30) != MOSQ_ERR_SUCCESS) {
        return false;
    }
    mosquitto_loop_start(m_client);
    int before = 0;
    {
        const std::lock_guard lock(m_mutex);
        before = m_subscribed;
    }
    if (mosquitto_subscribe(m_client, nullptr, filter.c_str(), 1) != MOSQ_ERR_SUCCESS) {
        return false;
    }
    return waitUntil(
        [&] {
            const std::lock_guard lock(m_mutex);
            return m_subscribed > before;
        },
        10000);
}

bool Subscriber::barrier() {
    int before = 0;
    {
        const std::lock_guard lock(m_mutex);
        before = m_acknowledged;
    }
    if (mosquitto_publish(m_client, nullptr, "tolvana-test/barrier", 1, "x", 1, false) != MOSQ_ERR_SUCCESS) {
        return false;
    }
    return waitUntil(
        [&] {
            const std::lock_guard lock(m_mutex);
            return m_acknowledged > before;
        },
        10000);
}

void Subscriber::disconnect() {
    if (m_client == nullptr) {
        return;
    }
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
    mosquitto_destroy(m_client);
    m_client = nullptr;
}

std::vector<Received> Subscriber::messages() const {
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

bool Subscriber::waitForCount(std::size_t count, int boundMs) const {
    return waitUntil(
        [&] {
            const std::lock_guard lock(m_mutex);
            return m_messages.size() >= count;
        },
        boundMs);
}

} // namespace tolvana::test
