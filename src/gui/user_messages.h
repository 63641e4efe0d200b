// Every message box of the window goes through here. Boxes are shown without
// blocking (the decoders keep running while a box waits for the user), and a
// message that is still on screen is not shown a second time, so a log that
// cannot be written does not pile up a box per reception.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <vector>

namespace tolvana::gui {

class UserMessages : public QObject {
    Q_OBJECT

public:
    /// Boxes are children of `parent` (the main window).
    explicit UserMessages(QWidget* parent = nullptr);
    ~UserMessages() override;

    void setParentWidget(QWidget* parent) { m_parent = parent; }

    /// Shows a box with an OK button and returns at once.
    void show(const QString& title, const QString& text,
              QMessageBox::Icon icon = QMessageBox::Warning);

    /// Every message shown so far, as "title: text" (for the Info page and tests).
    const QStringList& history() const { return m_history; }
    /// The boxes still open.
    QList<QMessageBox*> openBoxes() const;

signals:
    void shown(const QString& title, const QString& text);

private:
    QPointer<QWidget> m_parent;
    std::vector<QPointer<QMessageBox>> m_boxes;
    QStringList m_history;
};

} // namespace tolvana::gui
