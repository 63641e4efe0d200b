#include "export/nmcli_dial_up.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include "export/upload_texts.h"

namespace tolvana {

namespace {

// nmcli answers from NetworkManager's state at once; only "up" waits for
// the connection, and that runs asynchronously.
constexpr int kQueryTimeoutMs = 5000;
constexpr char kDialWaitSeconds[] = "90";

QProcessEnvironment untranslated() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return env;
}

} // namespace

NmcliDialUp::NmcliDialUp(QString program, QObject* parent) : DialUpService(parent), m_program(std::move(program)) {}

QStringList NmcliDialUp::terseFields(const QString& line) {
    QStringList fields;
    QString current;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'\\' && i + 1 < line.size()) {
            current += line.at(++i);
        } else if (c == u':') {
            fields << current;
            current.clear();
        } else {
            current += c;
        }
    }
    fields << current;
    return fields;
}

bool NmcliDialUp::run(const QStringList& arguments, QString* output) {
    QProcess process;
    process.setProcessEnvironment(untranslated());
    process.start(m_program, arguments);
    if (!process.waitForFinished(kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output != nullptr) {
        *output = QString::fromUtf8(process.readAllStandardOutput());
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool NmcliDialUp::available(QString* reason) {
    const bool found = QFileInfo(m_program).isAbsolute() ? QFileInfo(m_program).isExecutable()
                                                          : !QStandardPaths::findExecutable(m_program).isEmpty();
    if (!found) {
        if (reason != nullptr) {
            *reason = QString::fromUtf8(upload_text::kNoNetworkManager);
        }
        return false;
    }
    QString out;
    if (!run({QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("RUNNING"), QStringLiteral("general")},
             &out) ||
        out.trimmed() != u"running") {
        if (reason != nullptr) {
            *reason = QString::fromUtf8(upload_text::kNetworkManagerStopped);
        }
        return false;
    }
    return true;
}

QStringList NmcliDialUp::entries() {
    QString out;
    if (!run({QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("NAME,TYPE,ACTIVE"),
              QStringLiteral("connection"), QStringLiteral("show")},
             &out)) {
        return {};
    }
    QStringList names;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = terseFields(line);
        if (f.size() < 3 || f[0].isEmpty() || f[1] == u"loopback" || f[2] == u"yes") {
            continue;
        }
        names << f[0];
    }
    return names;
}

bool NmcliDialUp::isConnected() {
    QString out;
    // "connected" is NetworkManager's global state (the internet is
    // reachable); "connected (site only)" and "(local only)" are not.
    return run({QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("STATE"), QStringLiteral("general")}, &out) &&
           out.trimmed() == u"connected";
}

void NmcliDialUp::dial(const QString& entry) {
    auto* process = new QProcess(this);
    process->setProcessEnvironment(untranslated());
    connect(process, &QProcess::finished, this, [this, process, entry](int exitCode, QProcess::ExitStatus status) {
        const bool ok = status == QProcess::NormalExit && exitCode == 0;
        const QString error = ok ? QString() : QString::fromUtf8(process->readAllStandardError()).trimmed();
        process->deleteLater();
        emit dialFinished(entry, ok, error);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, entry](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            const QString message = process->errorString();
            process->deleteLater();
            emit dialFinished(entry, false, message);
        }
    });
    process->start(m_program, {QStringLiteral("--wait"), QString::fromLatin1(kDialWaitSeconds),
                               QStringLiteral("connection"), QStringLiteral("up"), QStringLiteral("id"), entry});
}

void NmcliDialUp::hangUp(const QString& entry) {
    QProcess process;
    process.setProcessEnvironment(untranslated());
    process.setProgram(m_program);
    process.setArguments({QStringLiteral("connection"), QStringLiteral("down"), QStringLiteral("id"), entry});
    process.setStandardOutputFile(QProcess::nullDevice());
    process.startDetached();
}

} // namespace tolvana
