#include "cli/streamed_decode.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/signal.h"

namespace tolvana::test {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

} // namespace

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

StreamedDecode::StreamedDecode(const std::vector<std::string>& args) {
    m_dir = makeTempDir("tolvana-stream");
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        m_ended = true;
        return;
    }
    m_ours = ends[0];
    m_theirs = ends[1];

    std::vector<std::string> argvStore{TOLVANA_DECODE_EXE};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const std::string outPath = m_dir + "/stdout";
    const std::string errPath = m_dir + "/stderr";

    m_pid = fork();
    if (m_pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(m_theirs, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (m_pid < 0) {
        m_ended = true;
    }
}

StreamedDecode::~StreamedDecode() {
    if (!m_ended && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) {
        }
    }
    for (const int fd : {m_ours, m_theirs}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

bool StreamedDecode::feed(const std::vector<std::int16_t>& samples) {
    std::string bytes;
    bytes.reserve(samples.size() * 2);
    for (const std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    std::size_t done = 0;
    while (done < bytes.size() && m_ours >= 0) {
        const ssize_t n = send(m_ours, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return done == bytes.size();
}

void StreamedDecode::endInput() {
    if (m_ours >= 0) {
        close(m_ours);
        m_ours = -1;
    }
}

void StreamedDecode::breakInput() {
    // A stream socket closed while data it never read waits in it resets the
    // connection: its peer reads what was sent to it, then gets an error.
    if (m_theirs >= 0 && m_ours >= 0) {
        const char unread = 0;
        (void)send(m_theirs, &unread, 1, MSG_NOSIGNAL);
    }
    endInput();
}

bool StreamedDecode::running() {
    if (m_ended) {
        return false;
    }
    pid_t done = 0;
    while ((done = waitpid(m_pid, &m_status, WNOHANG)) < 0 && errno == EINTR) {
    }
    m_ended = done == m_pid || done < 0;
    return !m_ended;
}

std::string StreamedDecode::out() const {
    return slurp(m_dir + "/stdout");
}

std::string StreamedDecode::err() const {
    return slurp(m_dir + "/stderr");
}

CliResult StreamedDecode::finish() {
    while (running()) {
        usleep(1000);
    }
    CliResult result;
    result.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
    result.out = out();
    result.err = err();
    return result;
}

} // namespace tolvana::test
