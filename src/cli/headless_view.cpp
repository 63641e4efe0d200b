#include "cli/headless_view.h"

#include <cstdio>

#include "records/vehicle_table.h"

namespace tolvana {

void HeadlessView::fmsHandedOn(ChannelSide side, const FmsReception& reception,
                               const Vehicle* vehicle, TimePoint time) {
    m_printer.fms(side, reception.telegram, reception.followUpText,
                  vehicle != nullptr ? vehicle->Rufname.toStdString() : std::string(), time);
}

void HeadlessView::toneCallShown(ChannelSide side, ToneCall tone, TimePoint time) {
    m_printer.tone(side, tone, time);
}

void HeadlessView::zveiHandedOn(ChannelSide side, const ZveiCall& call) {
    m_printer.zvei(side, call.number.toStdString(), call.name.toStdString(), call.time);
}

void HeadlessView::pocsagHandedOn(ChannelSide side, const PocsagMessage& message) {
    PocsagPage page{message.number.toUInt(), message.function, message.text.toStdString()};
    m_printer.pocsag(side, page, message.name.toStdString(), message.time);
}

void HeadlessView::reportProblem(const QString& message) {
    ++m_problems;
    std::fprintf(stderr, "tolvana-decode: %s\n", message.toUtf8().constData());
}

void HeadlessView::reportFileProblem(const FileResult& result) {
    reportProblem(result.englishError());
}

} // namespace tolvana
