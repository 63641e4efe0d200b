// The hand-off's view for the headless program: receptions go to standard
// output in the tolvana-decode contract, problems to standard error.
#pragma once

#include "cli/reception_printer.h"
#include "handoff/reception_view.h"

namespace tolvana {

class HeadlessView final : public ReceptionView {
public:
    explicit HeadlessView(ReceptionPrinter& printer) : m_printer(printer) {}

    void vehicleChanged(int) override {}
    void fmsHandedOn(ChannelSide side, const FmsReception& reception, const Vehicle* vehicle,
                     TimePoint time) override;
    void toneCallShown(ChannelSide side, ToneCall tone, TimePoint time) override;
    void zveiHandedOn(ChannelSide side, const ZveiCall& call) override;
    void pocsagHandedOn(ChannelSide side, const PocsagMessage& message) override;
    void reportProblem(const QString& message) override;
    /// In English: standard error is read by people and tools of any language.
    void reportFileProblem(const FileResult& result) override;

    int problems() const { return m_problems; }

private:
    ReceptionPrinter& m_printer;
    int m_problems = 0;
};

} // namespace tolvana
