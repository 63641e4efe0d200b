#include "handoff/reception_handoff.h"

#include <QFileInfo>

#include <algorithm>

#include "decoders/fms/fms_texts.h"
#include "export/export_line.h"
#include "handoff/status_page_input.h"
#include "records/call_tables.h"
#include "records/daily_log.h"
#include "records/row_text.h"

namespace tolvana {

namespace {

qint64 wholeSeconds(TimePoint time) {
    const auto ms = time.time_since_epoch().count();
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

// Within the window after `last`: a time before it (the clock was set back)
// is not, so that calls in the interval the clock jumped over are shown.
bool withinWindow(qint64 last, qint64 second) {
    const qint64 difference = second - last;
    return difference >= 0 && difference < kDuplicateWindowSeconds;
}

std::size_t slot(ChannelSide side) { return static_cast<std::size_t>(sideIndex(side)); }

// An unknown vehicle is named by what its identity says: organisation and
// federal state, each padded to its fixed width as the FMS grid shows them.
QString originText(const std::string& kennung) {
    const int organisation = kennung.empty() ? -1 : hexDigitValue(kennung[0]);
    const int state = kennung.size() < 2 ? -1 : hexDigitValue(kennung[1]);
    return QString::fromStdString(organisationName(organisation) + " " + stateName(state));
}

} // namespace

QDateTime localTime(TimePoint time) {
    return QDateTime::fromSecsSinceEpoch(wholeSeconds(time));
}

ReceptionHandoff::ReceptionHandoff(MonitorState& state, ReceptionView& view, HandoffOutputs outputs)
    : m_state(state), m_view(view), m_outputs(outputs) {}

void ReceptionHandoff::report(const FileResult& result) {
    // One message per failing file until it is written again; the status
    // files count as one, a full disk would otherwise name every vehicle.
    QString key = result.file().isEmpty() ? result.error() : result.file();
    if (!result.file().isEmpty() && QFileInfo(result.file()).absolutePath() == m_state.folder.statusDir()) {
        key = m_state.folder.statusDir();
    }
    if (result.ok()) {
        m_failing.erase(key);
    } else if (m_failing.insert(key).second) {
        m_view.reportFileProblem(result);
    }
}

void ReceptionHandoff::exportLine(const std::string& line) {
    if (m_state.settings.tcpExport == 1 && m_outputs.tcp != nullptr) {
        m_outputs.tcp->send(line);
    }
    if (m_state.settings.messageExport == 1 && m_outputs.localMessage != nullptr) {
        m_outputs.localMessage->send(line);
    }
}

void ReceptionHandoff::startAction(const QStringList& arguments) {
    if (m_outputs.actions != nullptr) {
        m_outputs.actions->start(m_state.settings.actionProgram, arguments);
    }
}

bool ReceptionHandoff::isRepeat(const LastCall& last, const QString& number, qint64 second) const {
    return last.valid && last.number.compare(number, Qt::CaseInsensitive) == 0 &&
           withinWindow(last.second, second);
}

// A page is a repeat only when a page with the same RIC, function and text
// was handed on on this channel within the window: a corrected text or a
// second alarm to the same pager is news. Pages outside the window (also
// those stamped after `second`, from before the clock was set back) are
// forgotten here.
bool ReceptionHandoff::isRepeatedPage(ChannelSide side, const PocsagPage& page, qint64 second) {
    std::deque<RecentPage>& recent = m_recentPages[slot(side)];
    std::erase_if(recent, [&](const RecentPage& r) { return !withinWindow(r.second, second); });
    return std::any_of(recent.begin(), recent.end(), [&](const RecentPage& r) {
        return r.ric == page.ric && r.function == page.function && r.text == page.text;
    });
}

void ReceptionHandoff::fmsReception(ChannelSide side, const FmsReception& reception,
                                    TimePoint time) {
    const FmsTelegram& telegram = reception.telegram;
    const QString kennung = QString::fromStdString(telegram.kennung);
    if (!m_state.filters.filterFms(kennung)) {
        return;
    }
    // The grid is emptied for every telegram that passes the filter, before
    // the plausibility check, so that its size never runs away.
    m_state.lists.fms.clearIfFull();
    if (!reception.plausible) {
        return;
    }
    const QDateTime now = localTime(time);

    switch (telegram.status) {
    case 0:
        AppendAlertLine(m_state.alerts.List3, kennung, now);
        break;
    case 5:
        AppendAlertLine(m_state.alerts.List2, kennung, now);
        break;
    case 15:
        AppendAlertLine(m_state.alerts.List1, kennung, now);
        break;
    default:
        break;
    }

    VehicleTable& vehicles = m_state.vehicles;
    int index = -1;
    switch (telegram.status) {
    case 0:
    case 5:
    case 10:
    case 12:
    case 13:
    case 14:
    case 15:
        index = vehicles.indexOfKennung(kennung);
        break;
    case 11:
        // Status 11 is always shown as from an unknown vehicle.
        break;
    default:
        // Statuses 1..9 (but 5) move the vehicle on the board, and only a
        // vehicle's own report (direction 0) does so.
        index = vehicles.indexOfKennungInUse(kennung);
        if (index >= 0 && telegram.richtung == 0) {
            vehicles.setStatus(index, telegram.status, telegram.tki, now);
            m_view.vehicleChanged(index);
            report(vehicles.saveVehicleStatus(m_state.folder, index, vehicles.at(index).Zeit));
        }
        break;
    }
    const Vehicle* vehicle = index >= 0 ? &vehicles.at(index) : nullptr;

    const QString row = vehicle != nullptr ? fmsRowKnown(*vehicle, reception, now)
                                           : fmsRowUnknown(originText(telegram.kennung), reception, now);
    m_state.lists.addFmsRow(row);
    report(appendFmsLog(m_state.folder, row, now));

    if (vehicle != nullptr) {
        if (telegram.status < 10 && telegram.richtung == 0) {
            startAction(fmsActionArguments(kennung));
        }
        m_pageChanged = true;
    }
    exportLine(fmsExportLine(telegram));
    if (m_outputs.receptions != nullptr) {
        m_outputs.receptions->fms(side, telegram, reception.followUpText,
                                  vehicle != nullptr ? vehicle->Rufname.toStdString() : std::string(),
                                  time);
    }
    m_view.fmsHandedOn(side, reception, vehicle, time);
}

void ReceptionHandoff::toneCall(ChannelSide side, ToneCall tone, TimePoint time) {
    AppendAlertLine(m_state.alerts.List1, QString::fromLatin1(toneCallText(tone)), localTime(time));
    if (m_outputs.receptions != nullptr) {
        m_outputs.receptions->tone(side, tone, time);
    }
    m_view.toneCallShown(side, tone, time);
}

void ReceptionHandoff::zveiSequence(ChannelSide side, const ZveiSequence& sequence, TimePoint time) {
    const QString number = QString::fromStdString(sequence.number);
    const qint64 second = wholeSeconds(time);
    LastCall& last = m_lastZvei[slot(side)];
    const bool repeat = isRepeat(last, number, second);
    if (number.size() != 5 || !m_state.filters.filterZvei(number) || repeat) {
        return;
    }
    const CallDisplay display = lookUpCall(number, m_state.callNames, m_state.callAssignments);
    const QDateTime now = localTime(time);
    const QString row = zveiRowText(number, display.name, now);
    m_state.lists.addZveiRow(row, display.colour);
    report(appendZveiLog(m_state.folder, row, now));
    startAction(zveiActionArguments(number));
    last = LastCall{number, second, true};
    m_pageChanged = true;
    exportLine(zveiExportLine(sequence.number, display.name.toStdString()));
    if (m_outputs.receptions != nullptr) {
        m_outputs.receptions->zvei(side, sequence.number, display.name.toStdString(), time);
    }
    m_view.zveiHandedOn(side, ZveiCall{number, display.name, display.colour, time});
}

void ReceptionHandoff::pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) {
    const QString number = QString::number(page.ric);
    if (!m_state.filters.filterPocsag(number)) {
        return;
    }
    const qint64 second = wholeSeconds(time);
    if (isRepeatedPage(side, page, second)) {
        return; // a dropped repeat does not move the window
    }
    const CallDisplay display = lookUpCall(number, m_state.callNames, m_state.callAssignments);
    const QDateTime now = localTime(time);
    const QString text = QString::fromStdString(page.text);
    const QString row = pocsagRowText(number, page.function, display.name, now, text);
    m_state.lists.addPocsagRow(row, display.colour);
    report(appendPocsagLog(m_state.folder, row, now));
    startAction(pocsagActionArguments(page.ric, page.function, text));
    exportLine(pocsagExportLine(page.ric, page.function, page.text));
    if (m_outputs.receptions != nullptr) {
        m_outputs.receptions->pocsag(side, page, display.name.toStdString(), time);
    }
    std::deque<RecentPage>& recent = m_recentPages[slot(side)];
    if (recent.size() == kRecentPagesKept) {
        recent.pop_front();
    }
    recent.push_back(RecentPage{page.ric, page.function, page.text, second});
    m_pageChanged = true;
    m_view.pocsagHandedOn(side, PocsagMessage{number, page.function, display.name, display.colour,
                                              time, text});
}

bool ReceptionHandoff::housekeeping(TimePoint now) {
    const QDateTime local = localTime(now);
    m_state.alerts.removeExpired(local);
    if (m_state.settings.htmlExport != 1 || !m_pageChanged) {
        return false;
    }
    const FileResult written = saveStatusPage(statusPageInput(m_state, local), m_state.folder.root());
    report(written);
    if (!written.ok()) {
        return false;
    }
    m_pageChanged = false;
    return true;
}

} // namespace tolvana
