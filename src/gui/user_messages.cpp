#include "gui/user_messages.h"

#include <algorithm>

namespace tolvana::gui {

UserMessages::UserMessages(QWidget* parent) : QObject(parent), m_parent(parent) {}

UserMessages::~UserMessages() {
    for (const QPointer<QMessageBox>& box : m_boxes) {
        delete box.data();
    }
}

QList<QMessageBox*> UserMessages::openBoxes() const {
    QList<QMessageBox*> out;
    for (const QPointer<QMessageBox>& box : m_boxes) {
        if (box != nullptr) {
            out.append(box.data());
        }
    }
    return out;
}

void UserMessages::show(const QString& title, const QString& text, QMessageBox::Icon icon) {
    std::erase_if(m_boxes, [](const QPointer<QMessageBox>& box) { return box == nullptr; });
    m_history.append(title + QStringLiteral(": ") + text);
    emit shown(title, text);
    const bool open = std::any_of(m_boxes.begin(), m_boxes.end(), [&](const QPointer<QMessageBox>& box) {
        return box->windowTitle() == title && box->text() == text;
    });
    if (open) {
        return;
    }
    auto* box = new QMessageBox(icon, title, text, QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    m_boxes.emplace_back(box);
}

} // namespace tolvana::gui
