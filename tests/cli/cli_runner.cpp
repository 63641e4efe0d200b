#include "cli/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/signal.h"

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

std::string slurp(const std::string& path) {
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
    result.out = slurp(m_dir + "/stdout");
    result.err = slurp(m_dir + "/stderr");
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

CliResult runDecode(const std::vector<std::string>& args, const std::string& stdinBytes) {
    DecodeProcess process(args, stdinBytes);
    return process.finish();
}

} // namespace tolvana::test
