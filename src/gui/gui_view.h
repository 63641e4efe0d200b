// The window's side of the hand-off. The list and alert-list models announce
// their own rows; what is left reaches the window as signals: a board field
// to redraw, a reception shown, a problem for the user. The board (in its
// own part of the window) connects to the board signals:
//
//   vehicleStatusChanged(i)   one vehicle's status changed: redraw its field
//   boardRedrawRequested()    redraw every field of the current page
//                             (start-up, after "speichern")
//   boardRebuildRequested()   the board size changed: build the fields anew
//                             for MonitorState::boardSize() (start-up, and
//                             "speichern" with another size)
//   stationNamesChanged()     the 30 page names were loaded
//   shuttingDown()            the window closes: close editors
#pragma once

#include <QObject>

#include "handoff/reception_view.h"
#include "records/reception_kind.h"

namespace tolvana::gui {

class UserMessages;

class GuiView final : public QObject, public ReceptionView {
    Q_OBJECT

public:
    explicit GuiView(UserMessages& messages, QObject* parent = nullptr);

    void vehicleChanged(int index) override;
    void fmsHandedOn(ChannelSide side, const FmsReception& reception, const Vehicle* vehicle,
                     TimePoint time) override;
    void toneCallShown(ChannelSide side, ToneCall tone, TimePoint time) override;
    void zveiHandedOn(ChannelSide side, const ZveiCall& call) override;
    void pocsagHandedOn(ChannelSide side, const PocsagMessage& message) override;
    void reportProblem(const QString& message) override;

    /// Receptions handed on since the start, per kind (FMS, ZVEI, POCSAG).
    quint64 receptionsShown(ReceptionKind kind) const;

signals:
    void vehicleStatusChanged(int index);
    void boardRedrawRequested();
    void boardRebuildRequested();
    void stationNamesChanged();
    void shuttingDown();
    /// A reception went through the whole hand-off (its grid row is in).
    void receptionShown(tolvana::ReceptionKind kind);
    void toneShown();

private:
    UserMessages& m_messages;
    std::array<quint64, 3> m_shown{};
};

} // namespace tolvana::gui
