// Colours of the window: the program keeps colours as 0x00BBGGRR values
// (records/colour.h); widgets want QColor. A few widgets are painted in a
// colour that means something (a red "speichern", a green "Start", a red
// "stop", the alert lists); paintWidget() does that the same way everywhere.
#pragma once

#include <QColor>

#include <optional>

#include "records/colour.h"

class QWidget;

namespace tolvana::gui {

/// A stored colour as it is painted (system colour values of older files resolved).
inline QColor toQColor(quint32 stored) {
    const quint32 c = displayColour(stored);
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

inline quint32 fromQColor(const QColor& colour) {
    return rgb(colour.red(), colour.green(), colour.blue());
}

inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 255, 0);

/// Gives a button, label or list the background `colour`; nothing restores
/// the style's own colour (the "button face" of an idle button).
void paintWidget(QWidget* widget, std::optional<QColor> colour);
/// The background given by paintWidget(), nothing for the style's own.
std::optional<QColor> paintedColour(const QWidget* widget);

} // namespace tolvana::gui
