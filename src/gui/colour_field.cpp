#include "gui/colour_field.h"

#include <QColorDialog>
#include <QMouseEvent>

#include "gui/colours.h"

namespace tolvana::gui {

ColourField::ColourField(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setMinimumSize(110, 28);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    setColour(0);
}

void ColourField::setColour(quint32 stored) {
    m_colour = stored;
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(stored));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void ColourField::chooseColour() {
    // The dialog keeps the user's custom colours for as long as the program runs.
    QColorDialog dialog(toQColor(m_colour), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle(text());
    if (dialog.exec() == QDialog::Accepted) {
        const QColor chosen = dialog.selectedColor();
        if (chosen.isValid() && chosen != toQColor(m_colour)) {
            setColour(fromQColor(chosen));
        }
    }
    emit edited();
}

void ColourField::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        chooseColour();
    }
    QLabel::mouseReleaseEvent(event);
}

} // namespace tolvana::gui
