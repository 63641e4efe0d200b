// Start-up with the largest board (6000 vehicles and status files), and the
// per-reception work of the records: filter check, vehicle look-up, log append.
#include "records/call_tables.h"
#include "records/daily_log.h"
#include "records/filters.h"
#include "records/row_text.h"
#include "records/station_names.h"
#include "records/vehicle_table.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <optional>

namespace {

using namespace tolvana;

constexpr int kLargestBoard = 6000;
const QDateTime kNow(QDate(2004, 12, 7), QTime(15, 52, 42));

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::abort();
    }
}

QString kennung(int i) {
    return QStringLiteral("6%1").arg(i, 7, 10, QChar(u'0'));
}

/// A data folder as a large installation has it after a day of traffic.
class FullFolder {
public:
    FullFolder() {
        m_folder = DataFolder::open(m_temp.path());
        QByteArray vehicles;
        for (int i = 0; i < kLargestBoard; ++i) {
            vehicles += "RTW " + QByteArray::number(i) +
                        "\tWache M\xFC"
                        "nchen\t" +
                        kennung(i).toLatin1() + "\r\n";
            write(m_folder->statusFile(i), "3\t0\t07.12. 15:52\r\n");
        }
        write(m_folder->vehiclesFile(), vehicles);
        QByteArray calls;
        QByteArray log;
        for (int i = 0; i < 300; ++i) {
            calls +=
                QByteArray::number(10000 + i) + "\tMelder " + QByteArray::number(i) + "\t255\r\n";
        }
        for (int i = 0; i < 2000; ++i) {
            log += "RTW 1\t\t62345678\t3\t0\tFzg->Lst\t07.12.2004 15:52:42\t\r\n";
        }
        write(m_folder->callNamesFile(), calls);
        write(m_folder->logFile(ReceptionKind::Fms, kNow.date()), log);
        write(m_folder->logFile(ReceptionKind::Pocsag, kNow.date()), log);
        write(m_folder->filterFile(FilterKind::Fms), "6\t0\r\n62\t1\r\n");
    }
    const DataFolder& folder() const { return *m_folder; }

private:
    QTemporaryDir m_temp;
    std::optional<DataFolder> m_folder;
};

void BM_LoadVehicleStatus6000(benchmark::State& state) {
    const FullFolder data;
    VehicleTable table(kLargestBoard);
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.loadVehicleStatus(data.folder()).ok());
    }
}
BENCHMARK(BM_LoadVehicleStatus6000)->Unit(benchmark::kMillisecond);

// Every table, the filters and today's logs, in start-up order.
void BM_StartUpRecords(benchmark::State& state) {
    const FullFolder data;
    for (auto _ : state) {
        VehicleTable vehicles(kLargestBoard);
        CallNameTable names;
        CallAssignmentTable assignments;
        StationNames stations;
        ReceptionLists lists;
        FilterTables filters(data.folder());
        bool ok = vehicles.loadVehicles(data.folder()).ok();
        ok &= vehicles.loadVehicleStatus(data.folder()).ok();
        ok &= names.loadCallNames(data.folder()).ok();
        ok &= assignments.loadCallAssignments(data.folder()).ok();
        ok &= stations.loadStationNames(data.folder()).ok();
        ok &= reloadTodaysLogs(data.folder(), kNow.date(), lists).ok();
        ok &= filters.rebuildFilters().ok();
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_StartUpRecords)->Unit(benchmark::kMillisecond);

void BM_SaveVehicles6000(benchmark::State& state) {
    const FullFolder data;
    VehicleTable table(kLargestBoard);
    (void)table.loadVehicles(data.folder());
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.saveVehicles(data.folder()).ok());
    }
}
BENCHMARK(BM_SaveVehicles6000)->Unit(benchmark::kMillisecond);

// One status change of the FMS hand-off: an atomic replacement of one file.
void BM_SaveVehicleStatus(benchmark::State& state) {
    const FullFolder data;
    VehicleTable table(kLargestBoard);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            table.saveVehicleStatus(data.folder(), 17, QStringLiteral("07.12. 15:52")).ok());
    }
}
BENCHMARK(BM_SaveVehicleStatus)->Unit(benchmark::kMicrosecond);

// "Status for all" on the largest board writes every status file.
void BM_SaveAllVehicleStatus6000(benchmark::State& state) {
    const FullFolder data;
    VehicleTable table(kLargestBoard);
    for (auto _ : state) {
        bool ok = true;
        for (int i = 0; i < kLargestBoard; ++i) {
            ok &= table.saveVehicleStatus(data.folder(), i, QStringLiteral("07.12. 15:52")).ok();
        }
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_SaveAllVehicleStatus6000)->Unit(benchmark::kMillisecond)->Iterations(2);

// The hand-off's per-telegram work on the largest board: filter, the
// look-up of a vehicle that is not there (the whole table), row and log.
void BM_FmsReceptionRecords(benchmark::State& state) {
    const FullFolder data;
    FilterTables filters(data.folder());
    (void)filters.rebuildFilters();
    VehicleTable table(kLargestBoard);
    (void)table.loadVehicles(data.folder());
    ReceptionListModel list(ReceptionKind::Fms);
    FmsReception r;
    r.telegram = {"69999999", 0, 3, 0};
    for (auto _ : state) {
        const bool passes = filters.filterFms(QStringLiteral("69999999"));
        list.clearIfFull();
        const int index = table.indexOfKennung(QStringLiteral("69999999"));
        const QString row = fmsRowUnknown(QStringLiteral("Feuerwehr"), r, kNow);
        list.addRow(row);
        benchmark::DoNotOptimize(appendFmsLog(data.folder(), row, kNow).ok());
        benchmark::DoNotOptimize(passes);
        benchmark::DoNotOptimize(index);
    }
}
BENCHMARK(BM_FmsReceptionRecords)->Unit(benchmark::kMicrosecond);

} // namespace
