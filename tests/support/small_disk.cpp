#include "support/small_disk.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "support/signal.h"

namespace tolvana::test {

namespace {

std::string fillerPath(const std::string& root) {
    return root + "/.filler/filler";
}

} // namespace

SmallDisk::SmallDisk(std::size_t kilobytes) {
    m_path = makeTempDir("tolvana-small-disk");
    const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
    if (mount("tolvana-test", m_path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        m_why = std::string("mounting a tmpfs failed: ") + std::strerror(errno) +
                " (needs root and the right to mount)";
        return;
    }
    m_mounted = true;
    std::filesystem::create_directory(m_path + "/.filler");
}

SmallDisk::~SmallDisk() {
    if (m_mounted) {
        // Detached: a file some child process still holds open must not keep
        // the mount (and the test) alive.
        umount2(m_path.c_str(), MNT_DETACH);
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void SmallDisk::fill() {
    const int fd = open(fillerPath(m_path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    const std::vector<char> block(4096, 'F');
    // Whole pages first, then single bytes into the last page the file owns.
    while (write(fd, block.data(), block.size()) > 0) {
    }
    while (write(fd, block.data(), 1) > 0) {
    }
    close(fd);
}

void SmallDisk::release(std::size_t bytes) {
    const std::string filler = fillerPath(m_path);
    std::error_code error;
    const auto size = std::filesystem::file_size(filler, error);
    if (error) {
        return;
    }
    const auto keep = bytes == 0 || bytes >= size ? 0 : size - bytes;
    std::filesystem::resize_file(filler, keep, error);
}

std::size_t SmallDisk::freeBytes() const {
    struct statvfs s {};
    if (statvfs(m_path.c_str(), &s) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(s.f_bavail) * static_cast<std::size_t>(s.f_frsize);
}

} // namespace tolvana::test
