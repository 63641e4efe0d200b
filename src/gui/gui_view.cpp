#include "gui/gui_view.h"

#include "gui/captions.h"
#include "gui/user_messages.h"

namespace tolvana::gui {

namespace {
std::size_t slot(ReceptionKind kind) {
    return static_cast<std::size_t>(kind) - 1;
}
} // namespace

GuiView::GuiView(UserMessages& messages, QObject* parent) : QObject(parent), m_messages(messages) {}

void GuiView::vehicleChanged(int index) {
    emit vehicleStatusChanged(index);
}

void GuiView::fmsHandedOn(ChannelSide, const FmsReception&, const Vehicle*, TimePoint) {
    ++m_shown[slot(ReceptionKind::Fms)];
    emit receptionShown(ReceptionKind::Fms);
}

void GuiView::toneCallShown(ChannelSide, ToneCall, TimePoint) {
    emit toneShown();
}

void GuiView::zveiHandedOn(ChannelSide, const ZveiCall&) {
    ++m_shown[slot(ReceptionKind::Zvei)];
    emit receptionShown(ReceptionKind::Zvei);
}

void GuiView::pocsagHandedOn(ChannelSide, const PocsagMessage&) {
    ++m_shown[slot(ReceptionKind::Pocsag)];
    emit receptionShown(ReceptionKind::Pocsag);
}

void GuiView::reportProblem(const QString& message) {
    m_messages.show(text::kTitleAttention, message);
}

quint64 GuiView::receptionsShown(ReceptionKind kind) const {
    return m_shown[slot(kind)];
}

} // namespace tolvana::gui
