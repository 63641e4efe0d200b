// A full disk for tests: a small tmpfs of its own, mounted on a fresh folder,
// that a test fills up to the last page. Mounting needs root (the CI runs as
// root); where the machine does not allow it, mounted() is false and the test
// falls back to the file-size limit or says why it skips.
#pragma once

#include <cstddef>
#include <string>

namespace tolvana::test {

class SmallDisk {
public:
    /// Mounts a tmpfs of `kilobytes` on a new folder below the temporary folder.
    explicit SmallDisk(std::size_t kilobytes);
    /// Unmounts it and removes the folder.
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    /// Why the mount failed ("" when it worked).
    const std::string& why() const { return m_why; }
    /// The mount point.
    const std::string& path() const { return m_path; }

    /// Fills every free byte with a filler file (kept in a folder of its own
    /// on the disk), so that the next write that needs a new page fails with
    /// "no space left on device".
    void fill();
    /// Frees `bytes` of the filler again (rounded down to whole pages of the
    /// file system); all of it when `bytes` is 0.
    void release(std::size_t bytes = 0);
    /// Bytes still free on the disk.
    std::size_t freeBytes() const;

private:
    std::string m_path;
    std::string m_why;
    bool m_mounted = false;
};

} // namespace tolvana::test
