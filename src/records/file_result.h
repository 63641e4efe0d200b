// The outcome of reading or writing one of the program's files. A failure
// carries a German sentence for the user (the file name and what went wrong)
// and, where the writer gives one, the same in English for the headless
// program's standard error; a reader that skipped lines it could not use
// lists them as warnings ("file, line n: why"), while the rest of the file is
// still taken. Writers name the file they wrote, on success too, so that a
// caller can tell when a file that failed before is written again.
#pragma once

#include <QString>
#include <QStringList>

#include <utility>

namespace tolvana {

class [[nodiscard]] FileResult {
public:
    /// Success without remarks.
    FileResult() = default;

    /// A failure with its German message and, if given, its English one.
    static FileResult failure(QString message, QString english = {}) {
        FileResult r;
        r.m_error = std::move(message);
        r.m_english = std::move(english);
        r.m_failed = true;
        return r;
    }

    /// The same outcome, naming the file it concerns.
    FileResult&& about(QString file) && {
        m_file = std::move(file);
        return std::move(*this);
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    /// Empty on success.
    const QString& error() const { return m_error; }
    /// The failure in English; the German text where no English one was given.
    const QString& englishError() const { return m_english.isEmpty() ? m_error : m_english; }
    /// The file written or read, where the operation names one.
    const QString& file() const { return m_file; }

    const QStringList& warnings() const { return m_warnings; }
    /// The warnings in English, each one in German where it has no English text.
    QStringList englishWarnings() const {
        QStringList out;
        for (qsizetype i = 0; i < m_warnings.size(); ++i) {
            const QString& english = m_englishWarnings.at(i);
            out.append(english.isEmpty() ? m_warnings.at(i) : english);
        }
        return out;
    }
    void addWarning(QString warning, QString english = {}) {
        m_warnings.append(std::move(warning));
        m_englishWarnings.append(std::move(english));
    }
    /// Takes over the other result's warnings, and its failure if this one has none.
    void merge(const FileResult& other) {
        m_warnings.append(other.m_warnings);
        m_englishWarnings.append(other.m_englishWarnings);
        if (!other.ok() && ok()) {
            m_error = other.m_error;
            m_english = other.m_english;
            m_file = other.m_file;
            m_failed = true;
        }
    }

private:
    QString m_error;
    QString m_english;
    QString m_file;
    QStringList m_warnings;
    QStringList m_englishWarnings; ///< parallel to m_warnings, empty where none
    bool m_failed = false;
};

} // namespace tolvana
