// A fresh data folder per test, byte-level file helpers, and a way to make
// writes fail (the file-size limit behaves like a full disk, also for root).
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>
#include <optional>
#include <ostream>

#include "records/data_folder.h"

// Readable failure messages for Qt's text types. Every test file of the
// records tests includes this header, so all of them print these types the
// same way (gtest's printers are templates, instantiated once per binary).
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(QStringLiteral("|")).toStdString() << ']';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            *os << c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            *os << "\\x" << kHex[u >> 4] << kHex[u & 0xF];
        }
    }
    *os << '"';
}

namespace tolvana::test {

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<missing>");
    }
    return file.readAll();
}

/// Files in a folder, sorted: catches temporary files left behind.
inline QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        const auto opened = DataFolder::open(m_temp.path() + QStringLiteral("/home"));
        ASSERT_TRUE(opened.has_value());
        m_folder.emplace(*opened);
    }
    const DataFolder& folder() const { return *m_folder; }

private:
    QTemporaryDir m_temp;
    std::optional<DataFolder> m_folder;
};

/// While alive, writes that would make a file larger than `bytes` fail
/// with EFBIG, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace tolvana::test
