// Runs tolvana-decode as a user would and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace tolvana::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::vector<std::string> lines() const; ///< standard output split at '\n'
};

/// Runs tolvana-decode with `args`; `stdinBytes` is fed to its standard input.
CliResult runDecode(const std::vector<std::string>& args, const std::string& stdinBytes = {});

} // namespace tolvana::test
