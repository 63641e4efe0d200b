// The receiving end of an export line. The hand-offs call `send` with the line
// of each reception; TcpExport and LocalMessageExport carry it to other
// software, and tests put a fake in their place to check what was sent.
#pragma once

#include <string>

namespace tolvana {

class LineExport {
public:
    virtual ~LineExport() = default;

    /// Passes one export line (UTF-8, as the line builders make it) on.
    /// Never blocks for long, never throws, never reports to the user: a
    /// receiver that is not there simply misses the line.
    virtual void send(const std::string& line) = 0;
};

} // namespace tolvana
