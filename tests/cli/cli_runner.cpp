#include "cli/cli_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

CliResult runDecode(const std::vector<std::string>& args, const std::string& stdinBytes) {
    // Files instead of pipes keep this simple and free of deadlocks.
    const std::string dir = makeTempDir("tolvana-cli");
    const std::string inPath = dir + "/stdin";
    const std::string outPath = dir + "/stdout";
    const std::string errPath = dir + "/stderr";
    std::ofstream(inPath, std::ios::binary) << stdinBytes;

    std::vector<std::string> argvStore;
    argvStore.emplace_back(TOLVANA_DECODE_EXE);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    CliResult result;
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open(inPath.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    std::remove(inPath.c_str());
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    rmdir(dir.c_str());
    return result;
}

} // namespace tolvana::test
