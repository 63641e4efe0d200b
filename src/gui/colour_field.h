// A colour field of the "FMS-Statusfarben" page: a framed field in the colour
// of one FMS status. Clicking it opens the colour dialog with that colour
// preset; a different colour chosen there becomes the field's colour. Either
// way the click counts as a change of the options.
#pragma once

#include <QLabel>

namespace tolvana::gui {

class ColourField final : public QLabel {
    Q_OBJECT

public:
    explicit ColourField(const QString& caption, QWidget* parent = nullptr);

    /// The colour as stored in the options (0x00BBGGRR, or a system
    /// colour value kept as it was read).
    quint32 colour() const { return m_colour; }
    void setColour(quint32 stored);

    /// Opens the colour dialog (what a click does).
    void chooseColour();

signals:
    /// After every click, whether or not the colour changed.
    void edited();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    quint32 m_colour = 0;
};

} // namespace tolvana::gui
