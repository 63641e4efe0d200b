// The window as main() builds it, over a data folder of the test's own, and
// helpers to drive it as a user does: modal dialogs answered when they come
// up, files written and read as the program's own (Windows-1252, CR LF).
#pragma once

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

#include "gui/main_window.h"
#include "gui/monitor.h"
#include "gui/window_parts.h"
#include "records/data_folder.h"
#include "records/reception_lists.h"

namespace tolvana::gui::test {

/// Records the reception actions instead of starting programs.
class RecordingActions final : public ActionStarter {
public:
    QList<QStringList> started;

private:
    void launch(const QString& program, const QStringList& arguments) override {
        started.append(QStringList{program} + arguments);
    }
};

class WindowRig {
public:
    explicit WindowRig(const QString& root) {
        const std::optional<DataFolder> folder = DataFolder::open(root);
        if (!folder) {
            qFatal("cannot open the data folder %s", qPrintable(root));
        }
        m_monitor = std::make_unique<Monitor>(*folder, &m_actions);
        m_window = std::make_unique<MainWindow>(*m_monitor);
        installWindowParts(*m_window);
    }
    ~WindowRig() {
        m_window.reset();
        m_monitor.reset();
    }
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    /// Start-up as the program runs it; the window is shown.
    QStringList startUp() {
        const QStringList problems = m_window->startUp();
        m_window->show();
        return problems;
    }

    Monitor& monitor() { return *m_monitor; }
    MainWindow& window() { return *m_window; }
    MonitorState& state() { return m_monitor->state(); }
    RecordingActions& actions() { return m_actions; }

    template <typename T> T* find(const QString& objectName) {
        T* widget = m_window->findChild<T*>(objectName);
        if (widget == nullptr) {
            qFatal("no widget %s", qPrintable(objectName));
        }
        return widget;
    }

private:
    RecordingActions m_actions;
    std::unique_ptr<Monitor> m_monitor;
    std::unique_ptr<MainWindow> m_window;
};

/// A file of the program's own: lines in Windows-1252, each ended by CR LF.
inline void writeLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toLatin1() + "\r\n";
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

/// The lines of a file (CR LF removed); empty when it is missing.
inline QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

/// The rows of a reception list, top (newest) first.
inline QStringList rowsOf(const ReceptionListModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows.append(model.rowText(row));
    }
    return rows;
}

/// Answers the next modal dialog of type `Dialog` with `answer` as soon as it
/// is up (the caller then does what opens it). Gives up after ten seconds.
template <typename Dialog> void whenDialogOpens(std::function<void(Dialog*)> answer) {
    auto* poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(poll, &QTimer::timeout, [poll, answer, deadline] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(dialog);
        } else if (deadline->hasExpired()) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

/// Types `path` into a file dialog's name field and accepts, as a user does.
/// (QFileDialog::selectFile leaves the field alone while it has the focus and
/// then selects only what the dialog's folder listing, filled by a thread of
/// its own, already holds: the dialog would stay open now and then.)
inline void chooseFile(QFileDialog* dialog, const QString& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name == nullptr) {
        qFatal("the file dialog has no name field");
    }
    name->setText(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}

/// The project's testdata folder.
inline QString testData(const QString& relative) {
    const QByteArray dir = qgetenv("TOLVANA_TESTDATA");
    return QString::fromLocal8Bit(dir) + u'/' + relative;
}

/// Today's log of a kind in the data folder.
inline QString todaysLog(const DataFolder& folder, ReceptionKind kind) {
    return folder.logFile(kind, QDate::currentDate());
}

} // namespace tolvana::gui::test
