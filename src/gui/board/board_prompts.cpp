#include "gui/board/board_prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStandardPaths>

#include "gui/board/board_texts.h"
#include "records/colour.h"

namespace tolvana {

namespace {

// Over an open modal dialog (the vehicle editor) rather than behind it.
QWidget* ownerOf(QWidget* parent) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr ? modal : parent;
}

} // namespace

void DialogPrompts::inform(const QString& title, const QString& text) {
    const QMessageBox::Icon icon =
        title == board_texts::kAttention ? QMessageBox::Warning : QMessageBox::Information;
    QMessageBox box(icon, title, text, QMessageBox::Ok, ownerOf(m_parent));
    box.exec();
}

bool DialogPrompts::ask(const QString& title, const QString& question) {
    return QMessageBox::question(ownerOf(m_parent), title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<QString> DialogPrompts::askText(const QString& title, const QString& prompt,
                                              const QString& preset) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(ownerOf(m_parent), title, prompt, QLineEdit::Normal, preset, &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}

std::optional<quint32> DialogPrompts::chooseColour(quint32 preset) {
    const quint32 shown = displayColour(preset);
    // QColorDialog keeps its custom colours for the whole run of the program.
    const QColor colour =
        QColorDialog::getColor(QColor(redOf(shown), greenOf(shown), blueOf(shown)), ownerOf(m_parent));
    if (!colour.isValid()) {
        return std::nullopt;
    }
    return rgb(colour.red(), colour.green(), colour.blue());
}

QString DialogPrompts::chooseFile(const QString& caption, const QString& filter) {
    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (start.isEmpty() || !QDir(start).exists()) {
        start = QDir::homePath();
    }
    return QFileDialog::getOpenFileName(ownerOf(m_parent), caption, start, filter);
}

} // namespace tolvana
