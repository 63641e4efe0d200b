#include "gui/board/detail_panel.h"

#include <QGridLayout>
#include <QLabel>

#include "gui/board/board_texts.h"
#include "gui/board/field_look.h"
#include "records/vehicle_table.h"

namespace tolvana {

DetailPanel::DetailPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setVerticalSpacing(1);
    using namespace board_texts;
    const std::array<QString, kValues> headings{kHeadRufname, kHeadStatus, kHeadTki,
                                                kHeadEigenschaft, kHeadZeit};
    // Room in proportion to what each value usually holds.
    const std::array<int, kValues> stretch{3, 1, 1, 5, 2};
    for (int i = 0; i < kValues; ++i) {
        const auto column = static_cast<std::size_t>(i);
        grid->addWidget(new QLabel(headings[column], this), 0, i);
        auto* value = new QLabel(this);
        value->setAutoFillBackground(true);
        QPalette p = value->palette();
        p.setColor(QPalette::Window, kFieldLightGrey);
        p.setColor(QPalette::WindowText, Qt::black);
        value->setPalette(p);
        value->setTextFormat(Qt::PlainText);
        value->setMargin(2);
        value->setMinimumWidth(20);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(value, 1, i);
        grid->setColumnStretch(i, stretch[column]);
        m_values[column] = value;
    }
}

void DetailPanel::showVehicle(const Vehicle* vehicle) {
    if (vehicle == nullptr || vehicle->Rufname.isEmpty()) {
        for (QLabel* v : m_values) {
            v->clear();
        }
        return;
    }
    m_values[0]->setText(vehicle->Rufname);
    m_values[1]->setText(QString::number(vehicle->Status));
    m_values[2]->setText(QString::number(vehicle->Tki));
    m_values[3]->setText(vehicle->Eigenschaft);
    m_values[4]->setText(vehicle->Zeit);
}

QString DetailPanel::value(int i) const {
    return m_values.at(static_cast<std::size_t>(i))->text();
}

} // namespace tolvana
