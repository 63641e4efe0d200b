// What the board tests share: dialogs answered from a script, a data folder
// of its own per test with a MonitorState over it, and the user's hand on
// the board (press, drag, drop, read the colour of a field on the screen).
#pragma once

#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <optional>
#include <variant>

#include "gui/board/board_fields.h"
#include "gui/board/board_prompts.h"
#include "gui/board/page_selectors.h"
#include "gui/board/vehicle_board.h"
#include "handoff/monitor_state.h"

namespace tolvana::test {

/// Answers every dialog from a queue and keeps a journal of what was shown:
/// "inform <title>: <text>", "ask <title>: <question>", "askText <title>:
/// <prompt> [<preset>]", "colour <preset>", "file <caption>". A dialog
/// without a queued answer is journalled with "UNANSWERED" and cancelled.
class ScriptedPrompts final : public BoardPrompts {
public:
    using Answer = std::variant<bool, std::optional<QString>, std::optional<quint32>>;

    void yes() { m_answers.emplace_back(true); }
    void no() { m_answers.emplace_back(false); }
    void text(const QString& t) { m_answers.emplace_back(std::optional<QString>(t)); }
    void cancelText() { m_answers.emplace_back(std::optional<QString>()); }
    void colour(quint32 c) { m_answers.emplace_back(std::optional<quint32>(c)); }
    void cancelColour() { m_answers.emplace_back(std::optional<quint32>()); }
    void file(const QString& path) { m_answers.emplace_back(std::optional<QString>(path)); }

    QStringList journal;
    bool allAnswered() const { return m_answers.empty(); }
    /// The journal since the last call, which empties it.
    QStringList take() {
        QStringList j = journal;
        journal.clear();
        return j;
    }

    void inform(const QString& title, const QString& text) override {
        journal.append(QStringLiteral("inform %1: %2").arg(title, text));
    }
    bool ask(const QString& title, const QString& question) override {
        journal.append(QStringLiteral("ask %1: %2").arg(title, question));
        if (const bool* a = next<bool>()) {
            return *a;
        }
        return false;
    }
    std::optional<QString> askText(const QString& title, const QString& prompt,
                                   const QString& preset) override {
        journal.append(QStringLiteral("askText %1: %2 [%3]").arg(title, prompt, preset));
        if (const auto* a = next<std::optional<QString>>()) {
            return *a;
        }
        return std::nullopt;
    }
    std::optional<quint32> chooseColour(quint32 preset) override {
        journal.append(QStringLiteral("colour %1").arg(preset));
        if (const auto* a = next<std::optional<quint32>>()) {
            return *a;
        }
        return std::nullopt;
    }
    QString chooseFile(const QString& caption, const QString&) override {
        journal.append(QStringLiteral("file %1").arg(caption));
        if (const auto* a = next<std::optional<QString>>()) {
            return a->value_or(QString());
        }
        return {};
    }

private:
    template <typename T>
    const T* next() {
        if (m_answers.empty() || !std::holds_alternative<T>(m_answers.front())) {
            journal.append(QStringLiteral("UNANSWERED"));
            return nullptr;
        }
        m_last = m_answers.front();
        m_answers.pop_front();
        return &std::get<T>(m_last);
    }

    std::deque<Answer> m_answers;
    Answer m_last;
};

/// 7 December 2026, 15:52:42: the time of every change the tests make.
inline QDateTime testNow() {
    return QDateTime(QDate(2026, 12, 7), QTime(15, 52, 42));
}

/// A data folder of its own, and the state a started monitor has over it.
class TestData {
public:
    TestData() : m_folder(*DataFolder::open(m_temp.path() + QStringLiteral("/home"))) {
        restart();
    }

    /// The monitor as after a fresh start: everything loaded from the files.
    void restart() {
        state = std::make_unique<MonitorState>(m_folder);
        const FileResult loaded = state->load(testNow());
        QVERIFY2(loaded.ok(), qPrintable(loaded.error()));
    }

    const DataFolder& folder() const { return m_folder; }

    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    QByteArray statusFile(int index) const { return read(m_folder.statusFile(index)); }

    /// A vehicle in entry `index`, kept in Fzg.txt as a user's table would be.
    void placeVehicle(int index, const QString& rufname, const QString& kennung, int status = 6) {
        Vehicle& v = state->vehicles.entry(index);
        v.Rufname = rufname;
        v.Kennung = kennung;
        v.Status = status;
        state->vehicles.noteUsed(index);
    }
    void saveVehicles() { QVERIFY(state->vehicles.saveVehicles(m_folder).ok()); }

    /// Makes every later write of `path` fail: a folder stands in its place.
    void blockFile(const QString& path) {
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path));
    }

    std::unique_ptr<MonitorState> state;

private:
    QTemporaryDir m_temp;
    DataFolder m_folder;
};

inline QPoint centreOf(const VehicleBoard& board, int field) {
    return board.fields()->fieldRect(field).center();
}

/// A point of the field near its corner, inside the raised edge and off any text.
inline QPoint fillPointOf(const VehicleBoard& board, int field) {
    return board.fields()->fieldRect(field).topLeft() + QPoint(3, 3);
}

/// The colour the screen shows at a point of the fields.
inline QColor screenColour(VehicleBoard& board, QPoint at) {
    return board.fields()->grab().toImage().pixelColor(at);
}

/// Drags field `from` and lets go over field `to`, as the mouse does it.
inline void dragToField(VehicleBoard& board, int from, int to) {
    BoardFields* fields = board.fields();
    QTest::mousePress(fields, Qt::LeftButton, {}, centreOf(board, from));
    QTest::mouseMove(fields, centreOf(board, to));
    QTest::mouseRelease(fields, Qt::LeftButton, {}, centreOf(board, to));
}

/// Drags field `from` and lets go over the selector of `page`: the release
/// still goes to the fields, which hold the mouse while it is down.
inline void dragToPage(VehicleBoard& board, int from, int page) {
    BoardFields* fields = board.fields();
    PageButton* button = board.pageSelectors()->button(page);
    const QPoint over = fields->mapFromGlobal(button->mapToGlobal(button->rect().center()));
    QTest::mousePress(fields, Qt::LeftButton, {}, centreOf(board, from));
    QTest::mouseMove(fields, over);
    QTest::mouseRelease(fields, Qt::LeftButton, {}, over);
}

/// Shows the board in a window of a fixed size and waits until it is exposed.
inline void showBoard(VehicleBoard& board) {
    board.resize(1000, 700);
    board.show();
    QVERIFY(QTest::qWaitForWindowExposed(&board));
}

} // namespace tolvana::test
