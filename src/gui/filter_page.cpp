#include "gui/filter_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>

#include "gui/captions.h"
#include "gui/user_messages.h"

namespace tolvana::gui {

QString FilterPage::prompt(int index) {
    return text::kFilterPromptWords.at(static_cast<std::size_t>(index / 2)) + text::kFilterPromptTail;
}

FilterPage::FilterPage(FilterTables& filters, UserMessages& messages, QWidget* parent)
    : SettingsPanel(text::kPageNames[10], parent), m_filters(filters), m_messages(messages) {
    auto* grid = new QGridLayout;
    const std::array<QString, 3> kinds = {text::kFilterFms, text::kFilterZvei, text::kFilterRic};
    for (int column = 0; column < 3; ++column) {
        grid->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(kinds[static_cast<std::size_t>(column)]), this),
                        0, column);
    }
    grid->addWidget(new QLabel(text::kFilterPositive, this), 1, 0, 1, 3);
    grid->addWidget(new QLabel(text::kFilterNegative, this), 3, 0, 1, 3);
    for (int index = 0; index < 6; ++index) {
        const auto i = static_cast<std::size_t>(index);
        auto* cell = new QVBoxLayout;
        auto* list = new QListWidget(this);
        list->setObjectName(QStringLiteral("List6_%1").arg(index));
        list->setMinimumHeight(90);
        auto* buttons = new QHBoxLayout;
        auto* add = new QPushButton(text::kFilterNew, this);
        add->setObjectName(QStringLiteral("Command8_%1").arg(index));
        auto* remove = new QPushButton(text::kFilterDelete, this);
        remove->setObjectName(QStringLiteral("Command9_%1").arg(index));
        buttons->addWidget(add);
        buttons->addWidget(remove);
        cell->addWidget(list);
        cell->addLayout(buttons);
        // Kind by column, positive list above, negative below.
        grid->addLayout(cell, index % 2 == 0 ? 2 : 4, index / 2);
        m_lists[i] = list;
        m_new[i] = add;
        m_delete[i] = remove;
        connect(add, &QPushButton::clicked, this, [this, index] { addEntry(index); });
        connect(remove, &QPushButton::clicked, this, [this, index] { removeEntry(index); });
    }
    content()->addLayout(grid);
    content()->addWidget(new QLabel(text::kFilterPositiveNote, this));
    content()->addWidget(new QLabel(text::kFilterPrefixNote, this));
}

void FilterPage::refreshLists() {
    for (int index = 0; index < 6; ++index) {
        QListWidget* list = m_lists[static_cast<std::size_t>(index)];
        list->clear();
        list->addItems(m_filters.listEntries(index));
    }
}

void FilterPage::addEntry(int index) {
    bool ok = false;
    const QString entry = QInputDialog::getText(this, text::kWindowTitle, prompt(index), QLineEdit::Normal,
                                                QString(), &ok);
    if (!ok) {
        return;
    }
    // An empty entry is refused with its reason, not passed over in silence.
    const FileResult result = m_filters.addFilterEntry(entry, FilterTables::listKindOfList(index),
                                                       FilterTables::kindOfList(index));
    if (!result.ok()) {
        m_messages.show(text::kTitleAttention, result.error());
    }
    refreshLists();
}

void FilterPage::removeEntry(int index) {
    const QListWidgetItem* selected = m_lists[static_cast<std::size_t>(index)]->currentItem();
    if (selected == nullptr) {
        return;
    }
    const FileResult result = m_filters.removeFilterEntry(selected->text(), index);
    if (!result.ok()) {
        m_messages.show(text::kTitleAttention, result.error());
    }
    // The file drops every line with that text, so the list shows the file.
    refreshLists();
}

} // namespace tolvana::gui
