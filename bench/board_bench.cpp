// The status board at its largest size (10 x 20 fields on each of 30 pages),
// drawn on the offscreen platform into the window's backing store:
//
//   BM_PageSwitch       a page selector pressed: 200 fields drawn anew
//   BM_OneFieldRedraw   one FMS status received: only its field drawn
//   BM_StatusForAll     "Status für alle auf": a status file per named entry
//
// Each iteration waits until the paint has happened (the paint events are
// counted). With --screenshot FILE the program instead renders a full board
// with statuses in several colours into FILE (docs/board.png).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

#include "gui/board/board_actions.h"
#include "gui/board/board_fields.h"
#include "gui/board/board_prompts.h"
#include "gui/board/detail_panel.h"
#include "gui/board/vehicle_board.h"
#include "handoff/monitor_state.h"

namespace {

using namespace tolvana;

class NoPrompts final : public BoardPrompts {
public:
    void inform(const QString&, const QString&) override {}
    bool ask(const QString&, const QString&) override { return false; }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<quint32> chooseColour(quint32) override { return std::nullopt; }
    QString chooseFile(const QString&, const QString&) override { return {}; }
};

class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

const char* const kNames[] = {"RTW", "NEF", "HLF", "LF", "DLK", "ELW", "KTW", "MTW", "GW-L", "TLF"};

// A full board: a heading on top of every column, vehicles in every other
// field, statuses 1 to 9 spread over them, a few free fields and a vehicle
// without an FMS identity.
struct Fixture {
    QTemporaryDir temp;
    std::unique_ptr<MonitorState> state;
    NoPrompts prompts;
    std::unique_ptr<VehicleBoard> board;

    Fixture() {
        state = std::make_unique<MonitorState>(*DataFolder::open(temp.path()));
        state->settings.boardSizeIndex = 4;
        state->sizeVehicleTable();
        const int perPage = state->boardSize().fieldsPerPage();
        for (int i = 0; i < state->vehicles.size(); ++i) {
            const int page = i / perPage;
            const int field = i % perPage;
            const int column = field / 20;
            const int row = field % 20;
            Vehicle& v = state->vehicles.entry(i);
            if (row == 0) {
                v.Rufname = QStringLiteral("Wache %1-%2").arg(page + 1).arg(column + 1);
                continue;
            }
            if ((row * 7 + column * 3) % 11 == 0) {
                continue; // free
            }
            // Every page differs in every vehicle, so a page switch draws all.
            v.Rufname = QStringLiteral("%1 %2/%3-%4")
                            .arg(QLatin1String(kNames[(row + column + page) % 10]))
                            .arg(page + 1)
                            .arg(column + 1)
                            .arg(row);
            v.Kennung = (row + column) % 13 == 0
                            ? QString()
                            : QStringLiteral("6%1%2").arg(page % 10).arg(field, 6, 10, QLatin1Char('0'));
            v.Status = 1 + (row * 5 + column * 2 + page) % 9;
            v.Eigenschaft = QStringLiteral("Standort Wache %1").arg(page + 1);
            v.Zeit = QStringLiteral("07.12. %1:%2")
                         .arg(6 + row % 12, 2, 10, QLatin1Char('0'))
                         .arg((column * 7) % 60, 2, 10, QLatin1Char('0'));
            v.Tki = row % 4;
        }
        state->stationNames.setName(0, QStringLiteral("Wache Nord"));
        state->stationNames.setName(1, QStringLiteral("Wache S\u00FCd"));
        state->stationNames.setName(2, QStringLiteral("RD Mitte"));
        state->stationNames.setName(3, QStringLiteral("FF Dorf"));
        board = std::make_unique<VehicleBoard>(*state, prompts);
        board->resize(1280, 760);
        board->show();
        QCoreApplication::processEvents();
    }
};

void BM_PageSwitch(benchmark::State& st) {
    Fixture f;
    PaintCounter counter(f.board->fields());
    int page = 0;
    for (auto _ : st) {
        page = (page + 1) % 30;
        const int before = counter.paints;
        f.board->setCurrentPage(page);
        while (counter.paints == before) {
            QCoreApplication::processEvents();
        }
    }
    st.counters["fields"] = benchmark::Counter(static_cast<double>(f.board->fields()->fieldsPainted()),
                                               benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PageSwitch)->Unit(benchmark::kMillisecond);

void BM_OneFieldRedraw(benchmark::State& st) {
    Fixture f;
    PaintCounter counter(f.board->fields());
    // A vehicle in the middle of page 0: its status alternates, as reports do.
    const int index = 5 * 20 + 7;
    int status = 3;
    for (auto _ : st) {
        status = status == 3 ? 4 : 3;
        f.state->vehicles.entry(index).Status = status;
        const int before = counter.paints;
        f.board->vehicleChanged(index);
        while (counter.paints == before) {
            QCoreApplication::processEvents();
        }
    }
    st.counters["fields"] = benchmark::Counter(static_cast<double>(f.board->fields()->fieldsPainted()),
                                               benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OneFieldRedraw)->Unit(benchmark::kMicrosecond);

// "Status für alle auf" on a full table: one status file per named entry
// (about 5700 here), each written beside and renamed over the old one.
void BM_StatusForAll(benchmark::State& st) {
    Fixture f;
    int status = 1;
    for (auto _ : st) {
        status = status % 9 + 1;
        const FileResult r = setStatusForAll(*f.state, status, QDateTime::currentDateTime());
        if (!r.ok()) {
            st.SkipWithError(qPrintable(r.error()));
        }
    }
}
BENCHMARK(BM_StatusForAll)->Unit(benchmark::kMillisecond)->Iterations(1);

int screenshot(const char* file) {
    Fixture f;
    f.state->vehicles.entry(21).Status = 0; // no colour for status 0: hatched grey
    f.board->update_label();
    f.board->detailPanel()->showVehicle(&f.state->vehicles.at(24));
    QCoreApplication::processEvents();
    return f.board->grab().save(QString::fromLocal8Bit(file)) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
        return screenshot(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
