// The outcome of reading or writing one of the program's files. A failure
// carries a German sentence for the user (the file name and what went wrong);
// a reader that skipped lines it could not use lists them as warnings ("file,
// line n: why"), while the rest of the file is still taken.
#pragma once

#include <QString>
#include <QStringList>

#include <utility>

namespace tolvana {

class [[nodiscard]] FileResult {
public:
    /// Success without remarks.
    FileResult() = default;

    static FileResult failure(QString message) {
        FileResult r;
        r.m_error = std::move(message);
        r.m_failed = true;
        return r;
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    /// Empty on success.
    const QString& error() const { return m_error; }

    const QStringList& warnings() const { return m_warnings; }
    void addWarning(QString warning) { m_warnings.append(std::move(warning)); }
    /// Takes over the other result's warnings, and its failure if this one has none.
    void merge(const FileResult& other) {
        m_warnings.append(other.m_warnings);
        if (!other.ok() && ok()) {
            m_error = other.m_error;
            m_failed = true;
        }
    }

private:
    QString m_error;
    QStringList m_warnings;
    bool m_failed = false;
};

} // namespace tolvana
