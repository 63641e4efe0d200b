#include "support/pulse_server.h"

#include "support/signal.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tolvana::test {

pid_t spawn(const std::vector<std::string>& argv) {
    std::vector<std::string> store = argv;
    std::vector<char*> args;
    for (std::string& a : store) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // A test that crashes must not leave an audio server behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

namespace {

constexpr const char* kRemapModule = "module-remap-source";
constexpr const char* kRemapArguments =
    "master=vsink.monitor source_name=vmic source_properties=device.description=VirtualMic";

bool onPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string rest = path != nullptr ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string dir = rest.substr(0, colon);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    }
    return false;
}

} // namespace

bool PulseServer::start() {
    for (const char* tool : {"pulseaudio", "pactl", "parec", "paplay"}) {
        if (!onPath(tool)) {
            m_error = std::string(tool) +
                      " is not installed (Debian packages pulseaudio, pulseaudio-utils)";
            return false;
        }
    }
    m_dir = makeTempDir("tolvana-pulse");
    if (m_dir.empty()) {
        m_error = "no temporary folder";
        return false;
    }
    chmod(m_dir.c_str(), 0700);
    const std::string socket = m_dir + "/native";
    setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    setenv("HOME", m_dir.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    // In the foreground as a child of the test, so that it is ours to end
    // by its process id. As root, pulseaudio warns and runs.
    m_server = spawn({"pulseaudio", "--daemonize=no", "-n", "--system=false", "--exit-idle-time=-1",
                      "--use-pid-file=no", "--disable-shm=yes",
                      "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
                      "--load=module-null-sink sink_name=vsink rate=22050 channels=2",
                      "--load=" + std::string(kRemapModule) + " " + kRemapArguments,
                      "--log-target=file:" + m_dir + "/pa.log"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (pactl({"info"}) != 0) {
        int status = 0;
        if (waitpid(m_server, &status, WNOHANG) == m_server) {
            m_server = -1;
            m_error = "pulseaudio ended at start-up (see " + m_dir + "/pa.log)";
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            m_error = "pulseaudio did not answer within 15 s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    pactl({"set-default-sink", "vsink"});
    pactl({"set-default-source", "vmic"});
    m_keepAlive = spawn({"parec", "--latency-msec=20", "--device=vsink.monitor", "--raw"});
    return true;
}

PulseServer::~PulseServer() {
    kill();
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

int PulseServer::pactl(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return waitFor(spawn(argv));
}

bool PulseServer::play(const std::string& file) const {
    return waitFor(playInBackground(file)) == 0;
}

pid_t PulseServer::playInBackground(const std::string& file) const {
    return spawn({"paplay", "--device=vsink", file});
}

bool PulseServer::removeCaptureDevice() const {
    return pactl({"unload-module", kRemapModule}) == 0;
}

bool PulseServer::restoreCaptureDevice() const {
    return pactl({"load-module", kRemapModule, "master=vsink.monitor", "source_name=vmic",
                  "source_properties=device.description=VirtualMic"}) == 0;
}

void PulseServer::kill() {
    for (pid_t* pid : {&m_keepAlive, &m_server}) {
        if (*pid > 0) {
            ::kill(*pid, SIGKILL);
            waitFor(*pid);
            *pid = -1;
        }
    }
}

} // namespace tolvana::test
