#include "cli/live_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/signal.h"

namespace tolvana::test {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

} // namespace

LivePipeDecode::LivePipeDecode(const std::vector<std::string>& args) {
    // A reader that has gone must not end the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    m_dir = makeTempDir("tolvana-live");
    const std::string outPath = m_dir + "/stdout";
    const std::string errPath = m_dir + "/stderr";
    std::vector<std::string> store{TOLVANA_DECODE_EXE};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fds[0], 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[0]);
    m_input = fds[1];
}

LivePipeDecode::~LivePipeDecode() {
    closeInput();
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

bool LivePipeDecode::feed(const std::int16_t* samples, std::size_t count) {
    const char* bytes = reinterpret_cast<const char*>(samples);
    std::size_t left = count * sizeof(std::int16_t);
    while (left > 0) {
        const ssize_t n = ::write(m_input, bytes, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void LivePipeDecode::closeInput() {
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
}

void LivePipeDecode::signal(int sig) {
    if (m_pid > 0) {
        ::kill(m_pid, sig);
    }
}

std::vector<std::string> LivePipeDecode::printed() const {
    const std::string out = slurp(m_dir + "/stdout");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = out.find('\n'); end != std::string::npos; end = out.find('\n', start)) {
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool LivePipeDecode::waitForPrinted(std::size_t count, int boundMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (printed().size() < count) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string LivePipeDecode::errors() const {
    return slurp(m_dir + "/stderr");
}

int LivePipeDecode::finish(int boundMs) {
    if (m_pid <= 0) {
        return m_status;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            break;
        }
        if (std::chrono::steady_clock::now() > end) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_pid = -1;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

} // namespace tolvana::test
