// The panel beside the fields that shows the entry under the pointer (or
// chosen with the keyboard): Rufname, Status, TKI, Eigenschaft and when the
// status last changed. A free field shows five blanks.
#pragma once

#include <QFrame>

#include <array>

class QLabel;

namespace tolvana {

struct Vehicle;

class DetailPanel final : public QFrame {
    Q_OBJECT
public:
    static constexpr int kValues = 5;

    explicit DetailPanel(QWidget* parent = nullptr);

    /// Shows `vehicle`, or blanks for null or a free entry.
    void showVehicle(const Vehicle* vehicle);
    /// Value i: 0 Rufname, 1 Status, 2 TKI, 3 Eigenschaft, 4 letzte Änderung.
    QString value(int i) const;

private:
    std::array<QLabel*, kValues> m_values{};
};

} // namespace tolvana
