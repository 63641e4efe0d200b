#include "cli/cli_runner.h"

#include "support/signal.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tolvana::test {

std::vector<std::string> CliResult::lines() const {
    std::vector<std::string> result;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

namespace {

std::string slurpFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

} // namespace

DecodeProcess::DecodeProcess(const std::vector<std::string>& args, const std::string& stdinBytes) {
    // Files instead of pipes keep this simple and free of deadlocks.
    m_dir = makeTempDir("tolvana-cli");
    const std::string inPath = m_dir + "/stdin";
    const std::string outPath = m_dir + "/stdout";
    const std::string errPath = m_dir + "/stderr";
    std::ofstream(inPath, std::ios::binary) << stdinBytes;

    std::vector<std::string> argvStore;
    argvStore.emplace_back(TOLVANA_DECODE_EXE);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    m_pid = fork();
    if (m_pid == 0) {
        const int in = open(inPath.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (m_pid < 0) {
        m_ended = true;
        m_status = 127 << 8;
    }
}

DecodeProcess::~DecodeProcess() {
    if (!m_ended) {
        kill(SIGKILL);
        while (waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) {
        }
    }
    cleanUp();
}

bool DecodeProcess::running() {
    if (m_ended) {
        return false;
    }
    pid_t done = 0;
    while ((done = waitpid(m_pid, &m_status, WNOHANG)) < 0 && errno == EINTR) {
    }
    m_ended = done == m_pid || done < 0;
    return !m_ended;
}

void DecodeProcess::kill(int sig) {
    if (!m_ended && m_pid > 0) {
        ::kill(m_pid, sig);
    }
}

CliResult DecodeProcess::finish(const std::function<void()>& whileWaiting) {
    while (running()) {
        if (whileWaiting) {
            whileWaiting();
        }
        usleep(1000);
    }
    CliResult result;
    result.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
    result.out = slurpFile(m_dir + "/stdout");
    result.err = slurpFile(m_dir + "/stderr");
    return result;
}

void DecodeProcess::cleanUp() {
    if (m_dir.empty()) {
        return;
    }
    for (const char* name : {"/stdin", "/stdout", "/stderr"}) {
        std::remove((m_dir + name).c_str());
    }
    rmdir(m_dir.c_str());
    m_dir.clear();
}

LiveDecode::LiveDecode(const std::vector<std::string>& args, Reader reader) : m_reader(reader) {
    m_dir = makeTempDir("tolvana-live");
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipes";
        return;
    }
    if (reader == Reader::Stalls) {
        // A small pipe fills after a few lines.
        fcntl(out[1], F_SETPIPE_SZ, 4096);
    }
    std::vector<std::string> argvStore{TOLVANA_DECODE_EXE};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const std::string errPath = m_dir + "/stderr";
    m_pid = fork();
    if (m_pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
    // The test must not die of a child that stops reading its input.
    signal(SIGPIPE, SIG_IGN);
    if (reader != Reader::Stalls) {
        m_thread = std::thread([this] { readOutput(); });
    }
}

LiveDecode::~LiveDecode() {
    if (!m_ended && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_status, 0);
    }
    closeInput();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_out >= 0) {
        close(m_out);
    }
    std::remove((m_dir + "/stderr").c_str());
    rmdir(m_dir.c_str());
}

void LiveDecode::readOutput() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(m_out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        const std::lock_guard lock(m_mutex);
        m_bytes.append(buffer, static_cast<std::size_t>(n));
        m_partial.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = m_partial.find('\n')) != std::string::npos;) {
            m_lines.push_back(Line{m_partial.substr(0, end), now});
            m_partial.erase(0, end + 1);
        }
        if (m_reader == Reader::Closes && !m_lines.empty()) {
            close(m_out);
            m_out = -1;
            return;
        }
    }
}

bool LiveDecode::send(const void* data, std::size_t bytes) {
    const auto* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = write(m_in, p, bytes);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

void LiveDecode::closeInput() {
    if (m_in >= 0) {
        close(m_in);
        m_in = -1;
    }
}

void LiveDecode::kill(int sig) {
    if (!m_ended && m_pid > 0) {
        ::kill(m_pid, sig);
    }
}

bool LiveDecode::waitForLines(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_lines.size() >= count) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        usleep(1000);
    }
}

std::vector<LiveDecode::Line> LiveDecode::lines() {
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

int LiveDecode::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_ended) {
        pid_t done = 0;
        while ((done = waitpid(m_pid, &m_status, WNOHANG)) < 0 && errno == EINTR) {
        }
        m_ended = done == m_pid || done < 0;
        if (!m_ended) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "tolvana-decode did not end in time";
                ::kill(m_pid, SIGKILL);
            }
            usleep(2000);
        }
    }
    if (m_reader == Reader::Stalls && !m_thread.joinable()) {
        m_thread = std::thread([this] { readOutput(); });
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
}

std::string LiveDecode::err() const {
    return slurpFile(m_dir + "/stderr");
}

std::string LiveDecode::out() {
    const std::lock_guard lock(m_mutex);
    return m_bytes;
}

CliResult runDecode(const std::vector<std::string>& args, const std::string& stdinBytes) {
    DecodeProcess process(args, stdinBytes);
    return process.finish();
}

} // namespace tolvana::test
