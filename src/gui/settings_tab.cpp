#include "gui/settings_tab.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "gui/captions.h"
#include "gui/colours.h"

namespace tolvana::gui {

SettingsPanel::SettingsPanel(const QString& pageName, QWidget* parent) : QGroupBox(pageName, parent) {
    auto* layout = new QVBoxLayout(this);
    m_content = new QVBoxLayout;
    m_extensions = new QVBoxLayout;
    layout->addLayout(m_content);
    layout->addLayout(m_extensions);
    layout->addStretch(1);
}

void SettingsPanel::load(const MonitorSettings&) {}

void SettingsPanel::collect(MonitorSettings&) const {}

SettingsTab::SettingsTab(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List4"));
    m_list->setMaximumWidth(260);
    left->addWidget(m_list, 1);
    m_save = new QPushButton(text::kSave, this);
    m_save->setObjectName(QStringLiteral("Command1"));
    left->addWidget(m_save);
    layout->addLayout(left);

    auto* right = new QVBoxLayout;
    m_title = new QLabel(this);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_title->setFont(bold);
    right->addWidget(m_title);
    m_stack = new QStackedWidget(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(m_stack);
    right->addWidget(scroll, 1);
    layout->addLayout(right, 1);

    connect(m_list, &QListWidget::currentRowChanged, this, &SettingsTab::selectPage);
    connect(m_save, &QPushButton::clicked, this, &SettingsTab::saveRequested);
}

int SettingsTab::addPage(SettingsPanel* panel) {
    m_panels.push_back(panel);
    m_stack->addWidget(panel);
    m_list->addItem(panel->pageName());
    connect(panel, &SettingsPanel::edited, this, &SettingsTab::markUnsaved);
    if (m_panels.size() == 1) {
        selectPage(0);
    }
    return pageCount() - 1;
}

void SettingsTab::selectPage(int index) {
    if (index < 0 || index >= pageCount()) {
        return;
    }
    if (m_list->currentRow() != index) {
        m_list->setCurrentRow(index);
    }
    m_stack->setCurrentIndex(index);
    m_title->setText(panel(index)->pageName());
}

void SettingsTab::applySettingsToControls(const MonitorSettings& settings) {
    for (SettingsPanel* p : m_panels) {
        p->load(settings);
    }
}

MonitorSettings SettingsTab::collectSettingsFromControls(const MonitorSettings& base) const {
    MonitorSettings s = base;
    for (const SettingsPanel* p : m_panels) {
        p->collect(s);
    }
    return s;
}

void SettingsTab::markUnsaved() {
    m_unsaved = true;
    paintWidget(m_save, kRed);
}

void SettingsTab::markSaved() {
    m_unsaved = false;
    paintWidget(m_save, std::nullopt);
}

} // namespace tolvana::gui
