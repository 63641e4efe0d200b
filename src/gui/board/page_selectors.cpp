#include "gui/board/page_selectors.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace tolvana {

PageButton::PageButton(int page, QWidget* parent) : QPushButton(parent), m_page(page) {
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    // Every selector one tenth of the frame, whatever its name.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void PageButton::setName(const QString& name) {
    m_name = name;
    setToolTip(name);
    showName();
}

void PageButton::showName() {
    const int room = std::max(width() - 8, 0);
    setText(fontMetrics().elidedText(m_name, Qt::ElideRight, room));
}

QSize PageButton::sizeHint() const {
    return QSize(60, QPushButton::sizeHint().height());
}

QSize PageButton::minimumSizeHint() const {
    return QSize(20, QPushButton::minimumSizeHint().height());
}

void PageButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    showName();
}

void PageButton::mousePressEvent(QMouseEvent* event) {
    // A page changes when the button goes down, not when it comes up.
    if (event->button() == Qt::LeftButton) {
        emit chosen(m_page);
    } else {
        emit renameRequested(m_page);
    }
    event->accept();
}

void PageButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept(); // the board keeps the state; no toggling on release
}

void PageButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit chosen(m_page);
        break;
    case Qt::Key_F2:
    case Qt::Key_Menu:
        emit renameRequested(m_page);
        break;
    default:
        QPushButton::keyPressEvent(event);
        break;
    }
}

PageSelectors::PageSelectors(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    grid->setSpacing(2);
    grid->setContentsMargins(2, 2, 2, 2);
    for (int page = 0; page < kPages; ++page) {
        auto* button = new PageButton(page, this);
        button->setObjectName(QStringLiteral("label8_%1").arg(page));
        grid->addWidget(button, page / kPerRow, page % kPerRow);
        connect(button, &PageButton::chosen, this, &PageSelectors::pageChosen);
        connect(button, &PageButton::renameRequested, this, &PageSelectors::renameRequested);
        m_buttons[static_cast<std::size_t>(page)] = button;
    }
    for (int column = 0; column < kPerRow; ++column) {
        grid->setColumnStretch(column, 1);
    }
    setCurrentPage(0);
}

void PageSelectors::setCurrentPage(int page) {
    for (PageButton* b : m_buttons) {
        const bool current = b->page() == page;
        b->setChecked(current);
        // Down and in bold: the current page at a glance.
        if (b->font().bold() != current) {
            QFont font = b->font();
            font.setBold(current);
            b->setFont(font);
            b->setName(b->name());
        }
    }
}

void PageSelectors::setName(int page, const QString& name) {
    button(page)->setName(name);
}

int PageSelectors::pageAt(QPoint globalPos) const {
    for (const PageButton* b : m_buttons) {
        if (b->isVisible() && b->rect().contains(b->mapFromGlobal(globalPos))) {
            return b->page();
        }
    }
    return -1;
}

void PageSelectors::setDropTarget(int page) {
    if (page == m_dropTarget) {
        return;
    }
    if (m_dropTarget >= 0) {
        button(m_dropTarget)->setDown(false);
    }
    m_dropTarget = page;
    if (page >= 0) {
        button(page)->setDown(true);
    }
}

} // namespace tolvana
