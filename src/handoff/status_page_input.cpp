#include "handoff/status_page_input.h"

#include <algorithm>

#include "records/colour.h"

namespace tolvana {

namespace {

template <std::size_t N>
std::vector<std::array<QString, N>> newestRows(const ReceptionListModel& list) {
    std::vector<std::array<QString, N>> rows;
    const int count = std::min<int>(list.rowCount(), static_cast<int>(kStatusPageListRows));
    for (int r = 0; r < count; ++r) {
        std::array<QString, N> cells;
        for (std::size_t c = 0; c < N; ++c) {
            cells[c] = list.data(list.index(r, static_cast<int>(c))).toString();
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

} // namespace

StatusPageInput statusPageInput(const MonitorState& state, const QDateTime& now) {
    StatusPageInput input;
    const BoardSize size = state.boardSize();
    input.columns = size.columns;
    input.rows = size.rows;
    const int fields = std::min(size.fieldsPerPage(), state.vehicles.size());
    input.vehicles.reserve(static_cast<std::size_t>(fields));
    for (int i = 0; i < fields; ++i) {
        const Vehicle& v = state.vehicles.at(i);
        input.vehicles.push_back(StatusPageVehicle{v.Kennung, v.Rufname, v.Status});
    }
    for (std::size_t k = 0; k < input.statusColours.size(); ++k) {
        input.statusColours[k] = displayColour(state.settings.statusColours[k]);
    }
    input.zveiRows = newestRows<3>(state.lists.zvei);
    input.pocsagRows = newestRows<5>(state.lists.pocsag);
    input.now = now;
    return input;
}

} // namespace tolvana
